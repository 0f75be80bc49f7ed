// Spreading the library's work over threads the caller owns.
//
// Outside a vxParallelScope every call runs on its caller's thread alone, as it
// always has. Inside one, the transforms, filters, images and arithmetic called on
// the thread that made the scope split their rows into tasks for the scope's
// executor; the results are the same bits whatever the number of threads.
//
//   vxThreadPool pool(4);             // the calling thread and 3 more
//   vxParallelScope scope(pool);      // calls on this thread may use the pool
//   vfForwardFFT<unsigned char>(image, spectrum);
//
// Attention checks made by a task read the flag of the thread that made the call;
// once a task has thrown (an attention request, an allocation failure, a library
// error) no further task starts and the call throws that exception on its caller.
#ifndef VXFREQ_FILT_PARALLEL_H
#define VXFREQ_FILT_PARALLEL_H

#include "platform/vx_export.h"

#include <functional>
#include <memory>

namespace vx_detail {
struct ExecutorState;
}

// Runs numbered tasks, possibly at the same time.
class VX_API vxExecutor {
public:
  vxExecutor();
  // A copy is an executor of its own (its scopes are its own).
  vxExecutor(const vxExecutor& other);
  vxExecutor& operator=(const vxExecutor& other);
  virtual ~vxExecutor();
  // Runs task(i) for each i from 0 to count - 1 and returns when all have returned.
  // The first exception a task throws is rethrown here once the tasks already running
  // have returned; tasks not yet started are skipped. May be called from several
  // threads at once; a call made from inside a task runs its tasks inline.
  virtual void run(long count, const std::function<void(long)>& task) = 0;

private:
  friend class vxParallelScope;
  friend struct vx_detail::ExecutorState;
  // Whether the executor lives, and what the library measured of it.
  std::shared_ptr<vx_detail::ExecutorState> state_;
};

// An executor with a fixed number of threads: `threads` in all, the thread that
// calls run being one of them, so the pool starts threads - 1 of its own and stops
// and joins them when it is destroyed. A pool of 1 runs every task on the calling
// thread. Fewer than 1 thread throws std::invalid_argument. However many threads it
// has, no more tasks of one call of run execute at once than the processor has
// hardware threads: the others wait, so a pool larger than the machine costs nothing
// but its idle threads.
class VX_API vxThreadPool : public vxExecutor {
public:
  // Starts threads - 1 threads. A thread that runs out of tasks watches for new ones
  // for 0.2 ms, yielding its core to any other thread that wants it, then sleeps
  // until a task is queued: a call's parallel loops follow each other closely, and a
  // sleeping thread would wake too late to share the next one. No more threads watch,
  // and no more are woken for a call, than can join it. Throws std::invalid_argument
  // for fewer than 1 thread.
  explicit vxThreadPool(long threads);
  ~vxThreadPool() override;
  vxThreadPool(const vxThreadPool&) = delete;
  vxThreadPool& operator=(const vxThreadPool&) = delete;

  // The number of threads given to the constructor, the caller of run counted.
  long threads() const;
  void run(long count, const std::function<void(long)>& task) override;

private:
  struct State;
  std::unique_ptr<State> pool_;
};

// While it lives, calls made on the thread that created it may spread their work
// over `executor`, which must outlive the scope. Scopes nest: the innermost one
// decides until it ends, and the previous one (or none) is restored afterwards.
//
// A library call splits its work only where the work takes far longer than handing it
// to the executor (measured for each executor on its first use, against the speed of
// this processor) and the picture is at least as large as the smallest one whose
// transform the threads were measured to make faster: cores that share a picture held
// in their caches pass its data between them, which on some machines costs more than
// the second core gains. That size is measured once per process and number of threads,
// by the first call that could split (real-input transforms of 256 x 256 up to
// 2048 x 2048 timed alone and split, at most about a quarter of a second). So small
// calls stay on the calling thread and a pool never makes them slower; its loops are
// handed out in small parts that the threads claim as they come, so a thread that
// starts late or is held up by another process keeps back one part at most. An executor destroyed
// while a scope still names it is not touched again: the next call that would use it
// throws std::logic_error, and so do the scope's nested scopes.
class VX_API vxParallelScope {
public:
  // Makes `executor` the one that this thread's calls use, until the scope is destroyed.
  explicit vxParallelScope(vxExecutor& executor);
  ~vxParallelScope();
  vxParallelScope(const vxParallelScope&) = delete;
  vxParallelScope& operator=(const vxParallelScope&) = delete;

private:
  vxExecutor* previous_;
  std::shared_ptr<vx_detail::ExecutorState> previousState_;
};

#endif
