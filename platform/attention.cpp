#include "platform/attention.h"

#include "platform/exception.h"

namespace {
thread_local const std::atomic<bool>* tCurrentFlag = nullptr;
thread_local vx_detail::AttentionProbe* tProbe = nullptr;
}  // namespace

std::int32_t vsys_attention_check() {
  if (tProbe != nullptr) {
    ++tProbe->checks;
    if (tProbe->failAt != 0 && tProbe->checks == tProbe->failAt) return vxStatusAttention;
  }
  const std::atomic<bool>* flag = tCurrentFlag;
  if (flag != nullptr && flag->load(std::memory_order_relaxed)) return vxStatusAttention;
  return vxStatusOK;
}

void vfThrowExceptionOnFailure(long status) {
  if (status == vxStatusOK) return;
  if (status == vxStatusAttention) throw vxAttentionInterrupted();
  throw vxStatusFailure(status);
}

vxAttentionScope::vxAttentionScope(const std::atomic<bool>& flag) : previous_(tCurrentFlag) {
  tCurrentFlag = &flag;
}

vxAttentionScope::~vxAttentionScope() { tCurrentFlag = previous_; }

namespace vx_detail {
AttentionProbe* attentionProbe() { return tProbe; }
AttentionProbe* setAttentionProbe(AttentionProbe* probe) {
  AttentionProbe* old = tProbe;
  tProbe = probe;
  return old;
}
const std::atomic<bool>* attentionFlag() { return tCurrentFlag; }
const std::atomic<bool>* setAttentionFlag(const std::atomic<bool>* flag) {
  const std::atomic<bool>* old = tCurrentFlag;
  tCurrentFlag = flag;
  return old;
}
}  // namespace vx_detail
