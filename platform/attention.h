// The attention check: how a long operation learns that it should stop.
//
// A client that wants to interrupt work running on some thread gives that thread
// an attention flag for the duration of the work:
//
//   std::atomic<bool> stop{false};
//   // on the worker thread:
//   {
//     vxAttentionScope scope(stop);
//     vfForwardFFT(image, buffer);   // throws vxAttentionInterrupted once `stop` is set
//   }
//   // on any other thread:
//   stop = true;
//
// Checks made outside any scope always succeed and cost one thread-local read.
#ifndef VXFREQ_PLATFORM_ATTENTION_H
#define VXFREQ_PLATFORM_ATTENTION_H

#include "platform/vx_export.h"

#include <atomic>
#include <cstdint>

// Status values of the system layer.
enum : std::int32_t {
  vxStatusOK = 0,
  vxStatusAttention = 1,
};

// Returns vxStatusAttention when the calling thread's attention flag is set,
// otherwise vxStatusOK.
VX_API std::int32_t vsys_attention_check();

// Returns when `status` is vxStatusOK; otherwise throws the core layer's exception
// for it (vxAttentionInterrupted for vxStatusAttention, vxStatusFailure otherwise).
VX_API void vfThrowExceptionOnFailure(long status);

// Points the calling thread's attention checks at `flag` until the scope ends; the
// previous flag (or none) is restored afterwards. Scopes nest.
class VX_API vxAttentionScope {
public:
  // Points the calling thread's checks at `flag`, which must outlive the scope.
  explicit vxAttentionScope(const std::atomic<bool>& flag);
  ~vxAttentionScope();
  vxAttentionScope(const vxAttentionScope&) = delete;
  vxAttentionScope& operator=(const vxAttentionScope&) = delete;

private:
  const std::atomic<bool>* previous_;
};

namespace vx_detail {
// Test instrumentation, not exported: counts the calling thread's attention checks
// and can make the check with a given 1-based number (counted from the last reset)
// report attention. `failAt` 0 never fails.
struct AttentionProbe {
  std::int64_t checks = 0;
  std::int64_t failAt = 0;
};
// The probe of the calling thread while one is installed, else null.
AttentionProbe* attentionProbe();
// Installs `probe` for the calling thread (null removes it); returns the previous one.
AttentionProbe* setAttentionProbe(AttentionProbe* probe);
// The flag the calling thread's checks read (null outside every scope), and a way to
// point them at another one (null for none), returning the previous one: the
// parallel loops hand their caller's flag to the threads that run their tasks.
const std::atomic<bool>* attentionFlag();
const std::atomic<bool>* setAttentionFlag(const std::atomic<bool>* flag);
}  // namespace vx_detail

#endif
