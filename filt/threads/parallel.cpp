// The thread pool, the parallel scope and the row splitting of the library's loops.
#include "filt/parallel.h"

#include "filt/extended.h"
#include "filt/threads/rows.h"
#include "platform/attention.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

thread_local vxExecutor* tExecutor = nullptr;
// Set while the thread runs a task, so that a run or a split inside it stays inline.
thread_local bool tInTask = false;

class TaskMark {
public:
  TaskMark() : previous_(tInTask) { tInTask = true; }
  ~TaskMark() { tInTask = previous_; }
  TaskMark(const TaskMark&) = delete;
  TaskMark& operator=(const TaskMark&) = delete;

private:
  bool previous_;
};

// Points the thread's attention checks at `flag` (which may be null) for one task.
class FlagBinding {
public:
  explicit FlagBinding(const std::atomic<bool>* flag)
      : previous_(vx_detail::setAttentionFlag(flag)) {}
  ~FlagBinding() { vx_detail::setAttentionFlag(previous_); }
  FlagBinding(const FlagBinding&) = delete;
  FlagBinding& operator=(const FlagBinding&) = delete;

private:
  const std::atomic<bool>* previous_;
};

// A split pays only when each band has this many elements of work; and there are
// at most this many bands, enough to even out the threads of a pool.
constexpr long kMinBandWork = 1L << 14;
constexpr long kMaxBands = 64;

// How long an idle worker of a pool watches for the next job before it sleeps.
constexpr std::chrono::microseconds kWatch(200);

}  // namespace

vxExecutor::~vxExecutor() = default;

// ---------------------------------------------------------------------------------
// vxThreadPool

namespace {

// One call of run: its tasks are claimed by number by the caller and by any worker
// that joins.
struct Job {
  Job(const std::function<void(long)>& t, long n) : task(t), count(n) {}

  const std::function<void(long)>& task;
  const long count;
  std::atomic<long> next{0};
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  std::exception_ptr error;
  long workers = 0;  // guarded by the pool's mutex

  // Runs tasks until none is left or one has failed.
  void work() {
    TaskMark mark;
    while (!failed.load(std::memory_order_acquire)) {
      const long i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= count) return;
      try {
        task(i);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(errorMutex);
        if (!error) error = std::current_exception();
        failed.store(true, std::memory_order_release);
      }
    }
  }
};

}  // namespace

struct vxThreadPool::State {
  long threads = 1;
  std::mutex mutex;
  std::condition_variable wake;     // workers: a job was queued, or the pool stops
  std::condition_variable settled;  // callers: a worker left a job
  std::deque<Job*> jobs;
  bool stopping = false;
  // Counts the jobs ever queued, so that an idle worker can watch for the next one
  // without the mutex.
  std::atomic<unsigned long> queued{0};
  std::vector<std::thread> workers;

  void drop(Job* job) {
    const auto it = std::find(jobs.begin(), jobs.end(), job);
    if (it != jobs.end()) jobs.erase(it);
  }

  // A call runs several parallel loops with short serial steps between them. A worker
  // that went to sleep at the end of one loop would wake for the next only after the
  // caller had done much of it alone, so an idle worker first watches for a job for a
  // while, yielding its core to any other thread that wants it.
  void awaitJob(std::unique_lock<std::mutex>& lock) {
    if (stopping || !jobs.empty()) return;
    const unsigned long seen = queued.load(std::memory_order_relaxed);
    lock.unlock();
    const auto until = std::chrono::steady_clock::now() + kWatch;
    while (queued.load(std::memory_order_relaxed) == seen &&
           std::chrono::steady_clock::now() < until)
      std::this_thread::yield();
    lock.lock();
    wake.wait(lock, [this] { return stopping || !jobs.empty(); });
  }

  void workerLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      awaitJob(lock);
      if (stopping) return;
      Job* job = jobs.front();
      ++job->workers;
      lock.unlock();
      job->work();
      lock.lock();
      // Every task of the job is claimed (or it failed): nobody should join it again.
      drop(job);
      if (--job->workers == 0) settled.notify_all();
    }
  }

  void stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    for (std::thread& t : workers) t.join();
    workers.clear();
  }
};

vxThreadPool::vxThreadPool(long threads) : state_(new State) {
  if (threads < 1) throw std::invalid_argument("vxThreadPool needs at least 1 thread");
  state_->threads = threads;
  try {
    for (long i = 1; i < threads; ++i)
      state_->workers.emplace_back([s = state_.get()] { s->workerLoop(); });
  } catch (...) {
    state_->stop();
    throw;
  }
}

vxThreadPool::~vxThreadPool() { state_->stop(); }

long vxThreadPool::threads() const { return state_->threads; }

void vxThreadPool::run(long count, const std::function<void(long)>& task) {
  if (count <= 0) return;
  if (state_->workers.empty() || tInTask || count == 1) {
    const TaskMark mark;
    for (long i = 0; i < count; ++i) task(i);
    return;
  }
  Job job(task, count);
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->jobs.push_back(&job);
    state_->queued.fetch_add(1, std::memory_order_relaxed);
  }
  state_->wake.notify_all();
  job.work();
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->drop(&job);
    state_->settled.wait(lock, [&job] { return job.workers == 0; });
  }
  if (job.error) std::rethrow_exception(job.error);
}

// ---------------------------------------------------------------------------------
// vxParallelScope

vxParallelScope::vxParallelScope(vxExecutor& executor) : previous_(tExecutor) {
  tExecutor = &executor;
}

vxParallelScope::~vxParallelScope() { tExecutor = previous_; }

// ---------------------------------------------------------------------------------
// Row splitting

namespace vx_detail {

vxExecutor* currentExecutor() { return tExecutor; }

long executorThreads() {
  if (tExecutor == nullptr || tInTask || attentionProbe() != nullptr) return 1;
  if (const auto* pool = dynamic_cast<const vxThreadPool*>(tExecutor)) return pool->threads();
  return 4;
}

long rowBands(long rows, long rowWork) {
  if (tExecutor == nullptr || tInTask || attentionProbe() != nullptr) return 1;
  if (rows < 2 || rowWork < 1) return 1;
  const long work = rows * rowWork;
  return std::max(1L, std::min(std::min(rows, kMaxBands), work / kMinBandWork));
}

void splitRowBands(long rows, long bands, const std::function<void(long, long, long)>& body) {
  if (bands <= 1 || tExecutor == nullptr) {
    body(0, 0, rows);
    return;
  }
  const std::atomic<bool>* flag = attentionFlag();
  const bool extended = vfExtendedMode();
  std::atomic<bool> stopped{false};
  tExecutor->run(bands, [&](long band) {
    if (stopped.load(std::memory_order_acquire)) return;
    const TaskMark mark;
    const FlagBinding binding(flag);
    const vxExtendedScope mode(extended);
    try {
      body(band, rows * band / bands, rows * (band + 1) / bands);
    } catch (...) {
      stopped.store(true, std::memory_order_release);
      throw;
    }
  });
}

void splitRows(long rows, long rowWork, const std::function<void(long, long)>& body) {
  splitRowBands(rows, rowBands(rows, rowWork),
                [&body](long, long begin, long end) { body(begin, end); });
}

}  // namespace vx_detail
