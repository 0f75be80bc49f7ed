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
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

thread_local vxExecutor* tExecutor = nullptr;
// What the library knows of tExecutor, kept apart from it: whether it still lives.
thread_local std::shared_ptr<vx_detail::ExecutorState> tExecutorState;
// Set by vx_detail::SplitAlways.
thread_local bool tSplitAlways = false;
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

// Static bands (for the loops whose bands are joined in order) have at least this many
// elements of work each, and there are at most this many of them.
constexpr long kMinBandWork = 1L << 14;
constexpr long kMaxBands = 64;

// A loop is split only when its work takes this many times as long as handing a job to
// the executor: the threads' gain then outweighs what the handing over costs.
constexpr double kPayback = 40.0;

// The processor's hardware threads (at least 1): no more tasks of one job run at once.
long hardwareThreads() {
  static const long threads = std::max(1L, static_cast<long>(std::thread::hardware_concurrency()));
  return threads;
}

// How long an idle worker of a pool watches for the next job before it sleeps.
constexpr std::chrono::microseconds kWatch(200);

}  // namespace

namespace vx_detail {

// Shared by an executor and the scopes that name it, so that a scope can tell that its
// executor is gone; and what was measured of the executor.
struct ExecutorState {
  std::atomic<bool> alive{true};
  std::atomic<long> handoffNs{-1};  // the cost of handing a job to it; -1 until measured
};

}  // namespace vx_detail

vxExecutor::vxExecutor() : state_(std::make_shared<vx_detail::ExecutorState>()) {}

vxExecutor::vxExecutor(const vxExecutor&) : state_(std::make_shared<vx_detail::ExecutorState>()) {}

// An executor keeps its own state (whether it lives): assignment copies nothing of it.
// NOLINTNEXTLINE(bugprone-unhandled-self-assignment)
vxExecutor& vxExecutor::operator=(const vxExecutor&) { return *this; }

vxExecutor::~vxExecutor() { state_->alive.store(false, std::memory_order_release); }

// ---------------------------------------------------------------------------------
// vxThreadPool

namespace {

// One call of run: its tasks are claimed by number by the caller and by any worker
// that joins.
struct Job {
  Job(const std::function<void(long)>& t, long n, long helpers)
      : task(t), count(n), maxWorkers(helpers) {}

  const std::function<void(long)>& task;
  const long count;
  const long maxWorkers;  // workers that may join besides the caller
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
  long watching = 0;  // workers watching for a job (guarded by the mutex)
  std::vector<std::thread> workers;

  void drop(Job* job) {
    const auto it = std::find(jobs.begin(), jobs.end(), job);
    if (it != jobs.end()) jobs.erase(it);
  }

  // A call runs several parallel loops with short serial steps between them. A worker
  // that went to sleep at the end of one loop would wake for the next only after the
  // caller had done much of it alone, so an idle worker first watches for a job for a
  // while, yielding its core to any other thread that wants it.
  // No more workers watch at once than can join a job (the hardware threads but the
  // caller's): in a pool larger than the machine the others would only take the cores
  // from the threads doing the work.
  void awaitJob(std::unique_lock<std::mutex>& lock) {
    if (stopping || !jobs.empty()) return;
    if (watching < hardwareThreads() - 1) {
      ++watching;
      const unsigned long seen = queued.load(std::memory_order_relaxed);
      lock.unlock();
      const auto until = std::chrono::steady_clock::now() + kWatch;
      while (queued.load(std::memory_order_relaxed) == seen &&
             std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
      lock.lock();
      --watching;
    }
    wake.wait(lock, [this] { return stopping || !jobs.empty(); });
  }

  void workerLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      awaitJob(lock);
      if (stopping) return;
      Job* job = jobs.front();
      // Enough threads on it: nobody else joins, so that no more tasks run at once than
      // the processor has hardware threads.
      if (++job->workers >= job->maxWorkers) drop(job);
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

vxThreadPool::vxThreadPool(long threads) : pool_(new State) {
  if (threads < 1) throw std::invalid_argument("vxThreadPool needs at least 1 thread");
  pool_->threads = threads;
  try {
    for (long i = 1; i < threads; ++i)
      pool_->workers.emplace_back([s = pool_.get()] { s->workerLoop(); });
  } catch (...) {
    pool_->stop();
    throw;
  }
}

vxThreadPool::~vxThreadPool() { pool_->stop(); }

long vxThreadPool::threads() const { return pool_->threads; }

void vxThreadPool::run(long count, const std::function<void(long)>& task) {
  if (count <= 0) return;
  if (pool_->workers.empty() || tInTask || count == 1) {
    const TaskMark mark;
    for (long i = 0; i < count; ++i) task(i);
    return;
  }
  Job job(task, count, std::min<long>(count - 1, hardwareThreads() - 1));
  if (job.maxWorkers < 1) {
    const TaskMark mark;
    for (long i = 0; i < count; ++i) task(i);
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(pool_->mutex);
    pool_->jobs.push_back(&job);
    pool_->queued.fetch_add(1, std::memory_order_relaxed);
  }
  // As many sleeping workers woken as may join: the others sleep on.
  for (long i = 0; i < job.maxWorkers; ++i) pool_->wake.notify_one();
  job.work();
  {
    std::unique_lock<std::mutex> lock(pool_->mutex);
    pool_->drop(&job);
    pool_->settled.wait(lock, [&job] { return job.workers == 0; });
  }
  if (job.error) std::rethrow_exception(job.error);
}

// ---------------------------------------------------------------------------------
// vxParallelScope

vxParallelScope::vxParallelScope(vxExecutor& executor)
    : previous_(tExecutor), previousState_(tExecutorState) {
  tExecutor = &executor;
  tExecutorState = executor.state_;
}

vxParallelScope::~vxParallelScope() {
  tExecutor = previous_;
  tExecutorState = previousState_;
}

// ---------------------------------------------------------------------------------
// Row splitting

namespace vx_detail {

SerialScope::SerialScope() : previous_(tInTask) { tInTask = true; }
SerialScope::~SerialScope() { tInTask = previous_; }

namespace {

// The calling thread's executor when a call made now may split its work over it, else
// null. An executor destroyed under its scope is never touched: std::logic_error.
vxExecutor* usableExecutor() {
  if (tExecutor == nullptr || tInTask || attentionProbe() != nullptr) return nullptr;
  if (!tExecutorState->alive.load(std::memory_order_acquire))
    throw std::logic_error("vxParallelScope: its executor was destroyed while the scope was alive");
  return tExecutor;
}

// Nanoseconds per element of a loop like the library's (a complex multiply-add over an
// array in the first-level cache), measured once on the first thread that asks.
double elementNs() {
  static const double ns = [] {
    constexpr int kValues = 4096;
    std::vector<float> re(kValues, 1.0f), im(kValues, 0.5f);
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
      const auto start = std::chrono::steady_clock::now();
      for (int pass = 0; pass < 16; ++pass)
        for (int i = 0; i < kValues; ++i) {
          const float r = re[i] * 0.999f - im[i] * 0.001f;
          im[i] = re[i] * 0.001f + im[i] * 0.999f;
          re[i] = r;
        }
      const double elapsed =
          std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
              .count();
      best = std::min(best, elapsed / (16.0 * kValues));
    }
    // Keep the loop's results alive.
    if (re[0] == 12345.0f) best += 1e-9;
    return std::max(best, 0.05);
  }();
  return ns;
}

// The cost of handing a job to `executor` in nanoseconds: the median of a few jobs of one
// task for each thread that do nothing, measured on the executor's first use.
long handoffNs(vxExecutor& executor, long threads) {
  std::atomic<long>& known = tExecutorState->handoffNs;
  long ns = known.load(std::memory_order_relaxed);
  if (ns >= 0) return ns;
  std::vector<long> samples;
  for (int round = 0; round < 7; ++round) {
    const auto start = std::chrono::steady_clock::now();
    executor.run(threads, [](long) {});
    samples.push_back(static_cast<long>(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
            .count()));
  }
  std::sort(samples.begin(), samples.end());
  ns = samples[samples.size() / 2];
  known.store(ns, std::memory_order_relaxed);
  return ns;
}

// The engines' transform timed for setSplitTrial, and the smallest picture (pixels) that
// the threads make faster, per number of threads (0 until measured).
std::atomic<SplitTrial> gSplitTrial{nullptr};
std::mutex gFloorMutex;
std::vector<long> gFloors;  // guarded by gFloorMutex, indexed by threads

constexpr long kLargestTrialSide = 2048;
constexpr long kBeyondTrials = 4096L * 4096L;  // where no measured size paid
constexpr double kTrialBudget = 0.25;          // seconds, over all the sides
// The split transform must take at most this share of the lone one's time: the calls
// around the engines (conversions, copies) gain less from the threads than they do.
constexpr double kSplitGain = 0.8;

long measureFloor(SplitTrial trial) {
  const auto start = std::chrono::steady_clock::now();
  for (long side = 256; side <= kLargestTrialSide; side *= 2) {
    double lone = 0.0, split = 0.0;
    trial(side, &lone, &split);
    if (split <= kSplitGain * lone) return side * side;
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (spent > kTrialBudget) break;
  }
  return kBeyondTrials;
}

// The smallest picture whose loops are split over `threads` threads.
long splitFloor(long threads) {
  const SplitTrial trial = gSplitTrial.load(std::memory_order_acquire);
  if (trial == nullptr) return 0;
  const std::lock_guard<std::mutex> lock(gFloorMutex);
  if (gFloors.size() <= static_cast<std::size_t>(threads))
    gFloors.resize(static_cast<std::size_t>(threads) + 1, 0);
  long& floor = gFloors[static_cast<std::size_t>(threads)];
  if (floor == 0) {
    try {
      floor = measureFloor(trial);
    } catch (...) {
      return 0;  // no memory for the trial: the handing-over cost alone decides
    }
  }
  return floor;
}

}  // namespace

vxExecutor* currentExecutor() { return usableExecutor(); }

SplitAlways::SplitAlways() : previous_(tSplitAlways) { tSplitAlways = true; }

SplitAlways::~SplitAlways() { tSplitAlways = previous_; }

long executorThreads() {
  vxExecutor* executor = usableExecutor();
  if (executor == nullptr) return 1;
  const long threads = [&] {
    if (const auto* pool = dynamic_cast<const vxThreadPool*>(executor)) return pool->threads();
    return 4L;
  }();
  return std::min(threads, hardwareThreads());
}

long rowBands(long rows, long rowWork) {
  if (usableExecutor() == nullptr) return 1;
  if (rows < 2 || rowWork < 1) return 1;
  const long work = rows * rowWork;
  const long bands = std::max(1L, std::min(std::min(rows, kMaxBands), work / kMinBandWork));
  const long threads = executorThreads();
  if (bands < 2 || threads < 2 || tSplitAlways) return bands;
  return work >= splitFloor(threads) ? bands : 1;
}

long workSlots(long rows, long rowWork) { return workSlots(rows, rowWork, rows * rowWork); }

long workSlots(long rows, long rowWork, long pixels) {
  vxExecutor* executor = usableExecutor();
  if (executor == nullptr || rows < 2 || rowWork < 1) return 1;
  const long threads = executorThreads();
  if (threads < 2) return 1;
  if (tSplitAlways) return threads;
  const double work = static_cast<double>(rows) * static_cast<double>(rowWork) * elementNs();
  if (work < kPayback * static_cast<double>(handoffNs(*executor, threads))) return 1;
  return pixels >= splitFloor(threads) ? threads : 1;
}

void setSplitTrial(SplitTrial trial) { gSplitTrial.store(trial, std::memory_order_release); }

void splitRowBands(long rows, long bands, const std::function<void(long, long, long)>& body) {
  if (bands <= 1 || tExecutor == nullptr) {
    body(0, 0, rows);
    return;
  }
  vxExecutor* executor = usableExecutor();
  const std::atomic<bool>* flag = attentionFlag();
  const bool extended = vfExtendedMode();
  std::atomic<bool> stopped{false};
  executor->run(bands, [&](long band) {
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

void splitRowChunks(long rows, long slots, long chunk,
                    const std::function<void(long, long, long)>& body) {
  if (slots <= 1 || tExecutor == nullptr || rows <= chunk) {
    if (rows > 0) body(0, 0, rows);
    return;
  }
  vxExecutor* executor = usableExecutor();
  const std::atomic<bool>* flag = attentionFlag();
  const bool extended = vfExtendedMode();
  std::atomic<long> next{0};
  std::atomic<bool> stopped{false};
  executor->run(slots, [&](long slot) {
    const TaskMark mark;
    const FlagBinding binding(flag);
    const vxExtendedScope mode(extended);
    while (!stopped.load(std::memory_order_acquire)) {
      const long first = next.fetch_add(chunk, std::memory_order_relaxed);
      if (first >= rows) return;
      try {
        body(slot, first, std::min(rows, first + chunk));
      } catch (...) {
        stopped.store(true, std::memory_order_release);
        throw;
      }
    }
  });
}

void splitRows(long rows, long rowWork, const std::function<void(long, long)>& body) {
  const long slots = workSlots(rows, rowWork);
  // Parts of about a quarter of a slot's share: small enough to balance the threads,
  // large enough that claiming them costs nothing.
  const long chunk = std::max(1L, rows / (4 * slots));
  splitRowChunks(rows, slots, chunk, [&body](long, long begin, long end) { body(begin, end); });
}

}  // namespace vx_detail
