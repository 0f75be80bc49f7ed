// The thread pool and the parallel scope. Every operation that splits its rows gives
// the same bits with 1, 2, 3 and 8 threads as without a scope, odd shapes and NaN
// pixels included; exceptions, attention requests and allocation failures raised in
// tasks reach the caller; scopes nest and a run inside a task runs inline.
#include "filt/parallel.h"
#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/simd/paths.h"
#include "filt/threads/rows.h"

#include "filters/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using filter_test::patternImage;
using Bytes = std::vector<unsigned char>;

// A pool whose tasks are counted, to show that a call really was split.
struct CountingPool : vxExecutor {
  explicit CountingPool(long threads) : pool(threads) {}
  void run(long count, const std::function<void(long)>& task) override {
    tasks += count;
    pool.run(count, task);
  }
  vxThreadPool pool;
  std::atomic<long> tasks{0};
};

template <class T>
void append(std::vector<Bytes>& out, const vxPelBuffer<T>& image) {
  Bytes b;
  for (long y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const unsigned char*>(&image.at(0, y));
    b.insert(b.end(), row, row + image.width() * sizeof(T));
  }
  out.push_back(b);
}

void append(std::vector<Bytes>& out, const vxFrequencyBuffer& buffer) {
  append(out, buffer.getRealImage(false));
  append(out, buffer.getImaginaryImage(false));
}

// A double image with NaN pixels, signed zeros and negative values, where a NaN
// changes what the range scan of the display mapping finds.
vxPelBuffer<double> awkwardImage(long w, long h, int variant) {
  vxPelBuffer<double> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = std::sin(0.37 * x + 0.11 * y) * (1 + y % 7);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const long n = w * h;
  const long spots[] = {0, n / 3, n / 3 + 1, n / 2, n - 1, n / 5};
  for (int i = 0; i <= variant % 6; ++i) {
    const long at = spots[i] % n;
    image.at(at % w, at / w) = (i == 3 ? -0.0 : nan);
  }
  if (variant >= 3 && n > 2) image.at((n - 2) % w, (n - 2) / w) = -50.0;
  return image;
}

// Every operation that splits its rows, run on the calling thread's current scope.
std::vector<Bytes> everything(long w, long h) {
  std::vector<Bytes> out;
  const vxPelBuffer<unsigned char> image = patternImage(w, h, {1, -2});
  vxFrequencyBuffer a, b, c;
  vfForwardFFT<unsigned char>(image, a);
  vfForwardFFT<unsigned char>(patternImage(w, h, {0, 0}, 3, 29), b);
  append(out, a);
  vfForwardFFT(b, c);
  append(out, c);
  vfInverseFFT(static_cast<const vxFrequencyBuffer&>(a), c);
  append(out, c);
  vxPelBuffer<unsigned char> back;
  vfInverseFFT<unsigned char>(a, back, true);
  append(out, back);
  vxPelBuffer<unsigned short> back16;
  vfInverseFFT<unsigned short>(a, back16, false);
  append(out, back16);
  vxPelBuffer<double> magnitude, angle;
  c = a;
  vfInverseFFTAngle<double>(c, magnitude, angle, false, true);
  append(out, magnitude);
  append(out, angle);
  vfFrequencyAdd(a, b, c);
  append(out, c);
  vfFrequencySubtract(a, b, c);
  append(out, c);
  vfFrequencyMultiply(a, b, c);
  append(out, c);
  vfFrequencyConjugate(c);
  append(out, c);

  const vxPair<long> size(a.width(), a.height());
  const vxPair<double> sigma(0.05, 0.02), plateau(0.01, 0.0);
  vxFrequencyFilterBandPass(0.02, 0.01, 0.2, size, 1).apply(a, c);
  append(out, c);
  vxFrequencyFilterBandReject(0.02, 0.01, 0.2, size, 1).apply(a, c);
  append(out, c);
  vxFrequencyFilterGabor(sigma, plateau, vxRadian(0.7), 0.2, size, 1).apply(a, c);
  append(out, c);
  c = a;
  vxFrequencyFilterGaborReject(sigma, plateau, vxRadian(0.7), 0.2, size, 1).apply(c);
  append(out, c);
  vxFrequencyFilterImage(b).apply(a, c);
  append(out, c);

  for (bool centered : {false, true}) {
    append(out, a.getRealImage(centered));
    append(out, a.getImaginaryImage(centered));
    append(out, a.getMagnitudeImage(centered));
    append(out, a.getPhaseImage(centered));
  }
  for (int m = vxFrequencyDefs::Clamp; m <= vxFrequencyDefs::Angle; ++m) {
    const auto mapping = static_cast<vxFrequencyDefs::FrequencyMapping>(m);
    append(out, vfFrequencyMapImage(a.getMagnitudeImage(true), mapping, -3.0, 900.0));
    for (int variant = 0; variant < 6; ++variant)
      append(out, vfFrequencyMapImage(awkwardImage(w, h, variant), mapping, -1.0, 5.0));
  }
  return out;
}

}  // namespace

TEST(ThreadPool, RunsEveryTaskOnceOnItsThreadsPassesTheFirstExceptionAndNestsInline) {
  EXPECT_THROW(vxThreadPool(0), std::invalid_argument);
  EXPECT_THROW(vxThreadPool(-4), std::invalid_argument);
  for (long threads : {1L, 3L}) {
    vxThreadPool pool(threads);
    EXPECT_EQ(pool.threads(), threads);
    std::vector<std::atomic<int>> runs(1000);
    std::mutex m;
    std::set<std::thread::id> ids;
    pool.run(1000, [&](long i) {
      ++runs[static_cast<std::size_t>(i)];
      const std::lock_guard<std::mutex> lock(m);
      ids.insert(std::this_thread::get_id());
    });
    for (const auto& r : runs) ASSERT_EQ(r.load(), 1);
    EXPECT_LE(static_cast<long>(ids.size()), threads);
    EXPECT_TRUE(threads > 1 || *ids.begin() == std::this_thread::get_id());
    pool.run(0, [](long) { FAIL(); });
  }
  // The first exception reaches the caller; a run inside a task runs inline.
  vxThreadPool pool(3);
  std::atomic<long> started{0};
  EXPECT_THROW(pool.run(200,
                        [&](long i) {
                          ++started;
                          if (i == 5) throw std::runtime_error("task 5");
                          std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        }),
               std::runtime_error);
  EXPECT_LT(started.load(), 200);
  std::atomic<long> inner{0};
  pool.run(8, [&](long) { pool.run(10, [&](long) { ++inner; }); });
  EXPECT_EQ(inner.load(), 80);
}

// In both modes: the extended one transforms 300 x 301, 301 x 300 and 17 x 31 at their
// own sizes (odd real rows in pairs, Bluestein's transform for no side here).
TEST(ParallelScope, SameBitsForAnyNumberOfThreadsAndShape) {
  const vxPair<long> shapes[] = {{1, 1}, {4, 64}, {2048, 16}, {300, 301}, {301, 300}, {17, 31}};
  for (const bool extended : {false, true})
    for (const vxPair<long>& shape : shapes) {
      const vxExtendedScope mode(extended);
      SCOPED_TRACE(std::to_string(shape.x) + " x " + std::to_string(shape.y) +
                   (extended ? " extended" : ""));
      const std::vector<Bytes> serial = everything(shape.x, shape.y);
      for (long threads : {1L, 2L, 3L, 8L}) {
        CountingPool pool(threads);
        const vxParallelScope scope(pool);
        const vx_detail::SplitAlways split;
        const std::vector<Bytes> parallel = everything(shape.x, shape.y);
        ASSERT_EQ(parallel.size(), serial.size());
        for (std::size_t i = 0; i < serial.size(); ++i)
          EXPECT_TRUE(parallel[i] == serial[i]) << "result " << i << ", " << threads << " threads";
        EXPECT_TRUE(shape.x * shape.y < 2048 * 16 || pool.tasks.load() > 0);
      }
    }
  // The scalar path splits its passes too.
  const std::vector<Bytes> serial = everything(300, 301);
  vx_detail::EnginePathOverride scalar(vx_detail::EnginePath::Scalar);
  vxThreadPool pool(3);
  const vxParallelScope scope(pool);
  const vx_detail::SplitAlways split;
  EXPECT_TRUE(everything(300, 301) == serial);
}

TEST(ParallelScope, ScopesNestAndTheInnerOneWins) {
  CountingPool outer(2), inner(2);
  const vxFrequencyBuffer a(512, 512);
  const vxParallelScope first(outer);
  const vx_detail::SplitAlways split;
  {
    const vxParallelScope second(inner);
    (void)a.getMagnitudeImage(true);
    EXPECT_GT(inner.tasks.load(), 0);
    EXPECT_EQ(outer.tasks.load(), 0);
  }
  (void)a.getMagnitudeImage(true);
  EXPECT_GT(outer.tasks.load(), 0);
  // Another thread has no scope of its own: its calls stay on it.
  const long before = outer.tasks.load();
  std::thread([&] { (void)a.getMagnitudeImage(true); }).join();
  EXPECT_EQ(outer.tasks.load(), before);
}

// A part's attention checks read the caller's flag whichever thread runs it; after a
// part has thrown no new part starts.
TEST(ParallelScope, ExceptionsAndAttentionRequestsInTasksReachTheCaller) {
  std::atomic<bool> stop{false};
  vxThreadPool pool(2);
  const vxParallelScope scope(pool);
  const vx_detail::SplitAlways split;
  const vxAttentionScope attention(stop);
  std::atomic<long> entered{0};
  std::atomic<long> enteredAfterRequest{0};
  std::atomic<long> rows{0};
  long requestAt = 2048;  // the request comes with the part that starts here or later
  auto checkEveryRow = [&](long first, long end) {
    if (stop.load()) ++enteredAfterRequest;
    if (first >= requestAt) stop = true;
    ++entered;
    rows += end - first;
    for (long r = first; r < end; ++r) vfThrowExceptionOnFailure(vsys_attention_check());
  };
  requestAt = 512;
  // Parts may run before the request as the threads are scheduled; after it, each of
  // the 2 threads starts at most the one part it had already claimed.
  EXPECT_THROW(vx_detail::splitRows(2048, 2048, checkEveryRow), vxAttentionInterrupted);
  EXPECT_LE(enteredAfterRequest.load(), 2);

  // A transform whose tasks see the request, raised as its second parallel loop starts:
  // the call throws on its caller.
  stop = false;
  struct Interrupting : vxExecutor {
    vxThreadPool pool{2};
    std::atomic<bool>* flag = nullptr;
    long runs = 0;
    void run(long count, const std::function<void(long)>& task) override {
      if (++runs == 2) *flag = true;
      pool.run(count, task);
    }
  } interrupting;
  interrupting.flag = &stop;
  {
    const vxParallelScope interruptingScope(interrupting);
    vxFrequencyBuffer spectrum;
    EXPECT_THROW(vfForwardFFT<unsigned char>(patternImage(1024, 1024), spectrum),
                 vxAttentionInterrupted);
    EXPECT_EQ(interrupting.runs, 2);
  }

  requestAt = 2048;
  CountingPool plain(3);
  const vxParallelScope plainScope(plain);
  stop = true;  // set before the call: whichever part runs first throws
  EXPECT_THROW(vx_detail::splitRows(2048, 2048, checkEveryRow), vxAttentionInterrupted);
  stop = false;
  auto throwing = [](long limit, auto error) {
    return [=](long first, long) {
      if (first > limit) throw error;
    };
  };
  EXPECT_THROW(vx_detail::splitRows(2048, 2048, throwing(0, std::bad_alloc())), std::bad_alloc);
  EXPECT_THROW(
      vx_detail::splitRows(2048, 2048, throwing(500, vxFrequencyDefs::InvalidSize(L"band"))),
      vxFrequencyDefs::InvalidSize);
  // The pool is still fine afterwards, and the parts cover every row once.
  entered = 0;
  rows = 0;
  vx_detail::splitRows(2048, 2048, checkEveryRow);
  EXPECT_GT(entered.load(), 2);
  EXPECT_EQ(rows.load(), 2048);
}

// However large a pool is, no more of one call's tasks run at once than the processor has
// hardware threads; a pool destroyed while a scope names it is never touched again, and
// the next call that would use it says so.
TEST(ThreadPool, AsManyTasksAtOnceAsHardwareThreadsAndNoUseOfADestroyedPool) {
  const long hardware = std::max(1L, static_cast<long>(std::thread::hardware_concurrency()));
  vxThreadPool big(64);
  std::atomic<long> running{0}, most{0};
  big.run(256, [&](long) {
    const long now = ++running;
    long seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {}
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    --running;
  });
  EXPECT_LE(most.load(), hardware);
  {
    const vxParallelScope bigScope(big);
    EXPECT_LE(vx_detail::executorThreads(), hardware);
  }

  const vxFrequencyBuffer small(16, 16);
  std::unique_ptr<vxThreadPool> pool(new vxThreadPool(2));
  const vxParallelScope scope(*pool);
  pool.reset();
  try {
    (void)small.getMagnitudeImage(false);
    ADD_FAILURE() << "no exception";
  } catch (const std::logic_error& e) {
    EXPECT_NE(std::string(e.what()).find("destroyed"), std::string::npos) << e.what();
  }
  vxThreadPool other(2);
  {
    const vxParallelScope inner(other);
    (void)small.getMagnitudeImage(false);  // a live inner scope works
  }
  EXPECT_THROW((void)small.getMagnitudeImage(false), std::logic_error);
}
