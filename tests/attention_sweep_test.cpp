// Every public operation that checks for attention: how many checks it makes, and
// that failing each one in turn throws the core exception and leaves every object
// usable.
//
// The checks fall at the start of every wrap copy and zero padding, at every 16th
// row of each engine pass, once per blocked transpose, once in the real engine's
// completion step, once per inverse-to-image call after its outputs are prepared,
// and once in each angle or quadrant image.
#include "filt/buffer_access.h"
#include "filt/fft.h"
#include "engine_test_support.h"

#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using engine_test::ProbeGuard;
using Access = vx_detail::FrequencyBufferAccess;

namespace {

using image_test::patternImage;
using image_test::samePixels;

// Expected engine checks for a W x H transform.
long complexChecks(long W, long H, long miny, long maxy) {
  long checks = 0;
  for (long r = 0; r < H; r += 16) {
    const long centred = (r + H / 2) % H;
    if (centred >= miny && centred <= maxy) ++checks;
  }
  checks += (W + 15) / 16;
  const bool blocked = W > 1 && H > 1 && (W == H ? W >= 4 : (W >= 4 && H >= 4));
  return checks + (blocked ? 2 : 0);
}

long realChecks(long W, long H) {
  long checks = W >= 2 ? (H + 15) / 16 : 0;
  checks += W / 32 + 1;
  const bool blocked = W > 1 && H > 1 && (W == H ? W >= 8 : (W >= 4 && H >= 4));
  return checks + (blocked ? 2 : 0) + 1;
}



struct Operation {
  std::string name;
  long expectedChecks;
  // Runs the operation on fresh objects; `check` compares its results with those of
  // an uninterrupted run when `reference` is false, and records them when true.
  std::function<void()> prepare;
  std::function<void()> run;
  std::function<void()> reuse;  // uses the objects again after an interruption
};

void sweep(const Operation& op) {
  SCOPED_TRACE(op.name);
  op.prepare();
  std::int64_t checks = 0;
  {
    ProbeGuard counting;
    op.run();
    checks = counting.checks();
  }
  EXPECT_EQ(checks, op.expectedChecks);
  for (std::int64_t k = 1; k <= checks; ++k) {
    op.prepare();
    {
      ProbeGuard failing(k);
      EXPECT_THROW(op.run(), vxAttentionInterrupted) << "check " << k;
      EXPECT_EQ(failing.checks(), k);
    }
    op.reuse();
  }
}

}  // namespace

TEST(AttentionSweep, EveryCheckOfEveryOperation) {
  const long w = 40, h = 20, W = 64, H = 32;
  const vxPair<long> at(-3, -5);
  const vxPelBuffer<unsigned char> image = patternImage(w, h, {0, 0});
  const vxPelBuffer<unsigned char> moved = patternImage(w, h, at);

  vxFrequencyBuffer spectrum;  // of `moved`, the reference every inverse starts from
  vfForwardFFT<unsigned char>(moved, spectrum);
  vxFrequencyBuffer work;
  vxPelBuffer<unsigned char> out8, quadrant;
  vxPelBuffer<unsigned short> out16;
  vxPelBuffer<double> outD, angle, re, im;

  vxPelBuffer<unsigned char> expect8;
  vfInverseFFT<unsigned char>(spectrum, expect8, false);

  auto freshWork = [&] { work = spectrum; };
  auto unboundOutputs = [&] {
    out8 = vxPelBuffer<unsigned char>();
    quadrant = vxPelBuffer<unsigned char>();
    out16 = vxPelBuffer<unsigned short>();
    outD = angle = re = im = vxPelBuffer<double>();
  };
  // After an interruption the buffer can be sized and transformed again, and gives
  // the uninterrupted result.
  auto transformAgain = [&] {
    vfForwardFFT<unsigned char>(moved, work);
    EXPECT_EQ(work, spectrum);
    vxPelBuffer<unsigned char> again;
    vfInverseFFT<unsigned char>(work, again, false, true);
    EXPECT_TRUE(samePixels(again, expect8));
  };

  // A masked spectrum: rows outside centred rows 14..17 are zero.
  vxFrequencyBuffer masked(spectrum);
  for (long v = 0; v < H; ++v) {
    const long centred = (v + H / 2) % H;
    if (centred < 14 || centred > 17) std::memset(Access::data(masked) + 2 * v * W, 0, 2 * W * sizeof(float));
  }
  Access::setMask(masked, 1, 14, 17);

  const long inverse = complexChecks(W, H, 0, H) + 1;  // engine, then once before filling
  const std::vector<Operation> operations = {
      {"wrap copy", 1, [&] { out8 = vxPelBuffer<unsigned char>(w, h, 32); },
       [&] { vf_WrapCopy<unsigned char>(moved, out8, true); }, [] {}},
      {"zero padding", 1, freshWork, [&] { vf_ZeroPadding(w, h, W, H, Access::data(work)); },
       transformAgain},
      {"forward, real", realChecks(W, H), freshWork,
       [&] { vfForwardFFT<unsigned char>(image, work); }, transformAgain},
      {"forward, real, offset", 1 + realChecks(W, H), freshWork,
       [&] { vfForwardFFT<unsigned char>(moved, work); }, transformAgain},
      {"forward, pair, offset", 2 + 1 + complexChecks(W, H, 0, H), freshWork,
       [&] { vfForwardFFT<unsigned char>(moved, moved, work); }, transformAgain},
      {"buffer forward", complexChecks(W, H, 0, H), freshWork,
       [&] { vfForwardFFT(spectrum, work); }, transformAgain},
      {"inverse to 8-bit, in place", inverse + 1,
       [&] { freshWork(); unboundOutputs(); },
       [&] { vfInverseFFT<unsigned char>(work, out8, false, true); }, transformAgain},
      {"inverse, masked band", complexChecks(W, H, 14, 17) + 1 + 1,
       [&] { work = masked; unboundOutputs(); },
       [&] { vfInverseFFT<unsigned char>(work, out8, true, true); }, transformAgain},
      {"inverse with quadrant, 8-bit", inverse + 2 + 1,
       [&] { freshWork(); unboundOutputs(); },
       [&] { vfInverseFFTQuadrant<unsigned char>(work, out8, quadrant, true, true); }, transformAgain},
      {"inverse with quadrant, double", inverse + 1 + 1,
       [&] { freshWork(); unboundOutputs(); },
       [&] { vfInverseFFTQuadrant<double>(work, outD, quadrant, false, false); }, transformAgain},
      {"inverse with angle, 16-bit", inverse + 2 + 1,
       [&] { freshWork(); unboundOutputs(); },
       [&] { vfInverseFFTAngle<unsigned short>(work, out16, angle, false, true); }, transformAgain},
      {"inverse to real and imaginary", inverse + 2,
       [&] { freshWork(); unboundOutputs(); }, [&] { vfInverseFFT(work, re, im, true); },
       transformAgain},
      {"angle image", 2, [&] { freshWork(); unboundOutputs(); },
       [&] { vf_ComputeAngleImage(work, angle); }, transformAgain},
      {"quadrant image", 2, [&] { freshWork(); unboundOutputs(); },
       [&] { vf_ComputeQuadrantImage(work, quadrant); }, transformAgain},
  };
  long swept = 0;
  for (const Operation& op : operations) {
    sweep(op);
    swept += op.expectedChecks;
  }
  RecordProperty("interruption_points", static_cast<int>(swept));
}
