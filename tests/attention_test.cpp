// Attention requests: the per-thread flag, where the engines and every public
// operation check, and that failing any one check throws the core exception at once
// and leaves every object usable.
//
// Complex engine, W x H, band [miny, maxy]: one check per kept row r < H with
// r % 16 == 0, one per 16 columns, and 2 when a transpose is blocked (W = H >= 4,
// or both sides >= 4). Real engine: ceil(H / 16) row checks when W >= 2, floor(W / 32)
// + 1 column checks, 2 for blocked half transposes (W = H >= 8, or both sides >= 4),
// and 1 in the completion step.
#include "engine/test_support.h"
#include "filt/buffer/access.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filt/planner.h"
#include "filters/test_support.h"
#include "platform/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace engine_test;
using Access = vx_detail::FrequencyBufferAccess;

TEST(Attention, ScopesArePerThreadAndNest) {
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);  // no scope: always OK
  std::atomic<bool> outer{false}, inner{true};
  {
    vxAttentionScope a(outer);
    {
      vxAttentionScope b(inner);
      EXPECT_EQ(vsys_attention_check(), vxStatusAttention);
    }
    EXPECT_EQ(vsys_attention_check(), vxStatusOK);
    std::thread([&] { outer = true; }).join();  // set by another thread
    int elsewhere = -1;
    std::thread([&] { elsewhere = vsys_attention_check(); }).join();  // the scope is this thread's
    EXPECT_EQ(elsewhere, vxStatusOK);
    EXPECT_THROW(vfThrowExceptionOnFailure(vsys_attention_check()), vxAttentionInterrupted);
  }
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);
  EXPECT_STREQ(vxAttentionInterrupted().what(), "Operation interrupted by an attention request");
  EXPECT_THROW(vfThrowExceptionOnFailure(7), vxStatusFailure);
}

struct EngineRun {
  bool real;
  int w, h;
  long miny, maxy;
  std::int64_t checks;
  bool sweep;  // fail every check in turn
};

void runEngine(const EngineRun& run, std::vector<float>& data) {
  if (run.real)
    vf_RealFFT2D(data.data(), vxPair<long>(run.w, run.h), +1, run.miny, run.maxy);
  else
    vf_ComplexFFT2D(data.data(), vxPair<long>(run.w, run.h), -1, run.miny, run.maxy);
}

std::vector<float> inputFor(const EngineRun& run) {
  return run.real ? realInput(run.w, run.h) : complexInput(run.w, run.h);
}

TEST(EngineAttention, ChecksFallAtTheDocumentedPointsOnEveryPathAndEachCanInterrupt) {
  const EngineRun runs[] = {
      {false, 64, 64, 0, 64, 10, true},   // rows 0, 16, 32, 48 twice + 2 transposes
      {false, 64, 64, 28, 35, 7, true},   // rows 16, 32, 48 of the first pass skipped
      {false, 64, 64, 40, 50, 7, false},  // kept rows 8..18: only row 16 checks
      {false, 1, 1, 0, 1, 2, false},
      {false, 2, 2, 0, 2, 2, false},
      {false, 4, 4, 0, 4, 4, false},
      {false, 16, 4, 0, 4, 4, false},
      {false, 2, 8, 0, 8, 2, false},
      {false, 32, 8, 0, 8, 5, true},
      {false, 8, 32, 0, 32, 5, true},
      {false, 1, 64, 0, 64, 5, true},
      {false, 2048, 1, 0, 1, 129, false},
      {false, 1, 2048, 1000, 1100, 7, false},
      {false, 2048, 2048, 0, 2048, 258, false},
      {true, 64, 64, 0, 64, 10, true},  // 4 rows + 3 columns + 2 half transposes + 1
      {true, 1, 1, 0, 1, 2, false},
      {true, 1, 2048, 0, 2048, 2, false},
      {true, 4, 4, 0, 4, 3, false},
      {true, 8, 8, 0, 8, 5, false},
      {true, 16, 4, 0, 4, 5, false},
      {true, 2, 8, 0, 8, 3, false},
      {true, 32, 8, 0, 8, 6, true},
      {true, 8, 32, 0, 32, 6, true},
      {true, 64, 2, 0, 2, 5, true},
      {true, 128, 4, 0, 4, 9, true},
      {true, 2048, 1, 0, 1, 67, false},
      {true, 2048, 2048, 0, 2048, 196, false}};
  onEveryPath([&](const TestPath&) {
    for (const EngineRun& run : runs) {
      SCOPED_TRACE(::testing::Message()
                   << (run.real ? "real " : "complex ") << run.w << "x" << run.h);
      std::vector<float> expected = inputFor(run);
      {
        ProbeGuard counting;
        runEngine(run, expected);
        EXPECT_EQ(counting.checks(), run.checks);
      }
      for (std::int64_t k = 1; run.sweep && k <= run.checks; ++k) {
        std::vector<float> data = inputFor(run);
        ProbeGuard failing(k);
        EXPECT_THROW(runEngine(run, data), vxAttentionInterrupted) << "check " << k;
        EXPECT_EQ(failing.checks(), k);
      }
      std::vector<float> again = inputFor(run);
      runEngine(run, again);  // the next call runs to the end as usual
      EXPECT_EQ(fnv1a64(again), fnv1a64(expected));
    }
  });
}

// Each public operation on a 40 x 20 image (a 64 x 32 transform) with its number of
// checks: wrap copies and zero padding check once, an inverse to images once after
// its outputs are prepared, and each angle or quadrant image once.
TEST(PublicAttention, EveryCheckOfEveryOperationInterruptsAndLeavesObjectsUsable) {
  const vxPelBuffer<unsigned char> image = filter_test::patternImage(40, 20);
  const vxPelBuffer<unsigned char> moved = filter_test::patternImage(40, 20, {-3, -5});
  vxFrequencyBuffer spectrum, work;
  vfForwardFFT<unsigned char>(moved, spectrum);
  vxPelBuffer<unsigned char> out8, quadrant, expect8;
  vxPelBuffer<unsigned short> out16;
  vxPelBuffer<double> outD, angle, re, im;
  vfInverseFFT<unsigned char>(spectrum, expect8, false);
  auto fresh = [&] {
    work = spectrum;
    out8 = quadrant = vxPelBuffer<unsigned char>();
    out16 = vxPelBuffer<unsigned short>();
    outD = angle = re = im = vxPelBuffer<double>();
  };
  vxFrequencyBuffer masked(spectrum);  // rows outside centred rows 14..17 zeroed
  for (long v = 0; v < 32; ++v)
    if ((v + 16) % 32 < 14 || (v + 16) % 32 > 17)
      std::memset(Access::data(masked) + 2 * v * 64, 0, 512);
  Access::setMask(masked, 1, 14, 17);
  struct Operation {
    const char* name;
    long checks;
    std::function<void()> prepare, run;
  };
  const Operation operations[] = {
      {"wrap copy", 1, [&] { out8 = vxPelBuffer<unsigned char>(40, 20, 32); },
       [&] { vf_WrapCopy<unsigned char>(moved, out8, true); }},
      {"zero padding", 1, fresh, [&] { vf_ZeroPadding(40, 20, 64, 32, Access::data(work)); }},
      {"forward, real, offset", 9, fresh, [&] { vfForwardFFT<unsigned char>(moved, work); }},
      {"forward, pair, offset", 11, fresh,
       [&] { vfForwardFFT<unsigned char>(moved, moved, work); }},
      {"buffer forward", 8, fresh, [&] { vfForwardFFT(spectrum, work); }},
      {"inverse, masked band", 9, [&] { fresh(), work = masked; },
       [&] { vfInverseFFT<unsigned char>(work, out8, true, true); }},
      {"inverse with quadrant", 12, fresh,
       [&] { vfInverseFFTQuadrant<unsigned char>(work, out8, quadrant, true, true); }},
      {"inverse with angle", 12, fresh,
       [&] { vfInverseFFTAngle<unsigned short>(work, out16, angle, false, true); }},
      {"inverse to real and imaginary", 11, fresh, [&] { vfInverseFFT(work, re, im, true); }},
      {"angle image", 2, fresh, [&] { vf_ComputeAngleImage(work, angle); }},
      {"quadrant image", 2, fresh, [&] { vf_ComputeQuadrantImage(work, quadrant); }},
  };
  for (const Operation& op : operations) {
    SCOPED_TRACE(op.name);
    op.prepare();
    {
      ProbeGuard counting;
      op.run();
      EXPECT_EQ(counting.checks(), op.checks);
    }
    for (std::int64_t k = 1; k <= op.checks; ++k) {
      op.prepare();
      {
        ProbeGuard failing(k);
        EXPECT_THROW(op.run(), vxAttentionInterrupted) << "check " << k;
        EXPECT_EQ(failing.checks(), k);
      }
      // The buffer can be sized and transformed again, with the uninterrupted result.
      vfForwardFFT<unsigned char>(moved, work);
      EXPECT_EQ(work, spectrum);
      vxPelBuffer<unsigned char> again;
      vfInverseFFT<unsigned char>(work, again, false, true);
      EXPECT_TRUE(filter_test::samePixels(again, expect8));
    }
  }
}

// The first call of a process at a size the planner measures times the vector paths on
// a copy of its input. The measuring reads the caller's flag as the transforms do, so a
// flag set while it runs stops the call within a pass of a trial transform, not after
// the whole measuring (a few hundred milliseconds at 2048 x 2048 before).
TEST(PlannerAttention, TheFirstCallStopsPromptlyWhileThePathsAreMeasured) {
  const bool planning = vfPathPlanning();
  vfSetPathPlanning(true);
  const vxPelBuffer<unsigned char> picture(2048, 2048, 32);
  for (int delayMs : {5, 20, 40, 80}) {
    SCOPED_TRACE(delayMs);
    vfForgetPathPlans();
    std::atomic<bool> stop{false};
    bool interrupted = false;
    std::chrono::steady_clock::time_point stopped;
    std::thread worker([&] {
      const vxAttentionScope scope(stop);
      vxFrequencyBuffer spectrum;
      try {
        // Calls until the flag stops one: the first measures, the later ones run planned.
        for (int call = 0; call < 10000; ++call) vfForwardFFT<unsigned char>(picture, spectrum);
      } catch (const vxAttentionInterrupted&) {
        interrupted = true;
      }
      stopped = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const auto asked = std::chrono::steady_clock::now();
    stop = true;
    worker.join();
    EXPECT_TRUE(interrupted);
    const std::chrono::duration<double, std::milli> late = stopped - asked;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && \
    !defined(VXFREQ_TESTS_EMULATED)
    // Sanitizers and an emulator make a pass of the trials many times slower.
    EXPECT_LT(late.count(), 100.0);
#else
    (void)late;
#endif
  }
  vfSetPathPlanning(planning);
  vfForgetPathPlans();
}

}  // namespace
