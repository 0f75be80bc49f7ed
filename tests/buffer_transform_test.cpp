// Transforms between frequency buffers: results and the flags they leave.
#include "filt/buffer_access.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using Defs = vxFrequencyDefs;
using Access = vx_detail::FrequencyBufferAccess;

namespace {

vxFrequencyBuffer randomBuffer(long w, long h, unsigned seed) {
  vxFrequencyBuffer b(w, h);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  float* d = Access::data(b);
  for (long i = 0; i < 2 * b.width() * b.height(); ++i) d[i] = dist(rng);
  return b;
}

bool sameBits(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) {
  const std::size_t n = 2 * static_cast<std::size_t>(a.width()) * a.height();
  return a.width() == b.width() && a.height() == b.height() &&
         std::memcmp(Access::data(a), Access::data(b), n * sizeof(float)) == 0;
}

}  // namespace

TEST(BufferTransform, KnownValues) {
  vxFrequencyBuffer one(1, 1);
  one.put(0, 0, vxPair<double>(2, 3), false);
  vxFrequencyBuffer out;
  vfForwardFFT(one, out);
  EXPECT_EQ(out.get(0, 0, false), vxPair<double>(2, 3));

  vxFrequencyBuffer two(2, 1);
  two.putReal(0, 0, 1.0, false);
  vfForwardFFT(two, out);
  EXPECT_EQ(out.get(0, 0, false), vxPair<double>(1, 0));
  EXPECT_EQ(out.get(1, 0, false), vxPair<double>(1, 0));

  // A sample at column 1 of an 8 x 1 buffer: e^(-2 pi i u / 8) forward, e^(+...) inverse.
  vxFrequencyBuffer impulse(8, 1);
  impulse.putReal(1, 0, 1.0, false);
  vxFrequencyBuffer fwd, inv;
  vfForwardFFT(impulse, fwd);
  vfInverseFFT(impulse, inv);
  const double pi = 3.14159265358979323846;
  for (long u = 0; u < 8; ++u) {
    EXPECT_NEAR(fwd.getReal(u, 0, false), std::cos(2 * pi * u / 8), 1e-6);
    EXPECT_NEAR(fwd.getImaginary(u, 0, false), -std::sin(2 * pi * u / 8), 1e-6);
    EXPECT_NEAR(inv.getImaginary(u, 0, false), std::sin(2 * pi * u / 8), 1e-6);
  }

  // All-ones transforms to W H at DC and zeros elsewhere.
  vxFrequencyBuffer ones(16, 4);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 16; ++x) ones.putReal(x, y, 1.0, false);
  vfForwardFFT(ones, out);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 16; ++x)
      EXPECT_EQ(out.get(x, y, false), vxPair<double>(x == 0 && y == 0 ? 64.0 : 0.0, 0.0));
}

TEST(BufferTransform, ForwardThenInverseGivesWHTimesTheInput) {
  const long sizes[][2] = {{8, 8}, {16, 4}, {4, 16}, {1, 8}, {8, 1}, {64, 32}};
  for (const auto& s : sizes) {
    const vxFrequencyBuffer input = randomBuffer(s[0], s[1], static_cast<unsigned>(s[0] * 100 + s[1]));
    vxFrequencyBuffer spectrum, back;
    vfForwardFFT(input, spectrum);
    vfInverseFFT(spectrum, back);
    const double n = static_cast<double>(s[0]) * s[1];
    for (long y = 0; y < s[1]; ++y)
      for (long x = 0; x < s[0]; ++x) {
        EXPECT_NEAR(back.getReal(x, y, false), n * input.getReal(x, y, false), 1e-5 * n);
        EXPECT_NEAR(back.getImaginary(x, y, false), n * input.getImaginary(x, y, false), 1e-5 * n);
      }
  }
}

TEST(BufferTransform, MaskedInverseEqualsUnmaskedBitForBit) {
  const long sizes[][2] = {{4, 4}, {16, 16}, {32, 8}, {8, 32}, {64, 64}};
  for (const auto& s : sizes) {
    const long W = s[0], H = s[1];
    vxFrequencyBuffer b = randomBuffer(W, H, 5);
    const long miny = H / 2 - 1, maxy = H / 2;  // the DC row and the one above it
    float* d = Access::data(b);
    for (long v = 0; v < H; ++v) {
      const long centred = (v + H / 2) % H;
      if (centred < miny || centred > maxy) std::memset(d + 2 * v * W, 0, 2 * W * sizeof(float));
    }
    vxFrequencyBuffer plain, masked;
    vfInverseFFT(b, plain);
    Access::setMask(b, 1, miny, maxy);
    vfInverseFFT(b, masked);
    EXPECT_TRUE(sameBits(plain, masked)) << W << "x" << H;
  }
}

TEST(BufferTransform, FlagsAfterForwardAndInverse) {
  vxFrequencyBuffer in = randomBuffer(8, 8, 1);
  Access::setMask(in, 1, 0, 8);
  const vxFrequencyBuffer before(in);

  vxFrequencyBuffer out;
  vfInverseFFT(in, out, false);
  EXPECT_TRUE(sameBits(in, before));
  EXPECT_EQ(in, before);  // flags included
  EXPECT_EQ(Access::masked(out), 0);
  EXPECT_FALSE(out.inverseComputed());

  // In place: the input keeps the result and its mask fields, and is marked; a second
  // call copies instead of transforming again.
  vxFrequencyBuffer first, second;
  vfInverseFFT(in, first, true);
  EXPECT_TRUE(in.inverseComputed());
  EXPECT_EQ(Access::masked(in), 1);
  EXPECT_THROW(in.get(0, 0, false), Defs::InvalidBuffer);
  EXPECT_FALSE(first.inverseComputed());
  EXPECT_TRUE(sameBits(first, out));
  vfInverseFFT(in, second, true);
  EXPECT_TRUE(sameBits(second, first));
  vxFrequencyBuffer third;
  const vxFrequencyBuffer& constIn = in;
  vfInverseFFT(constIn, third);
  EXPECT_TRUE(sameBits(third, first));

  // A forward transform treats spatial data as values and clears the flag.
  vxFrequencyBuffer spectrum;
  vfForwardFFT(in, spectrum);
  EXPECT_FALSE(spectrum.inverseComputed());
  EXPECT_EQ(Access::masked(spectrum), 0);

  // In place into itself.
  vxFrequencyBuffer self = randomBuffer(4, 8, 2);
  vxFrequencyBuffer reference;
  vfForwardFFT(self, reference);
  Access::setMask(self, 1, 0, 8);
  vfForwardFFT(self, self);
  EXPECT_TRUE(sameBits(self, reference));
  EXPECT_EQ(Access::masked(self), 0);

  vxFrequencyBuffer empty;
  EXPECT_THROW(vfForwardFFT(empty, out), Defs::Uninitialized);
  EXPECT_THROW(vfInverseFFT(empty, out, true), Defs::Uninitialized);
}

TEST(BufferTransform, InterruptedTransformLeavesBuffersUsable) {
  vxFrequencyBuffer in = randomBuffer(64, 64, 3);
  vx_detail::AttentionProbe counter;
  vx_detail::setAttentionProbe(&counter);
  vxFrequencyBuffer out;
  vfForwardFFT(in, out);
  vx_detail::setAttentionProbe(nullptr);
  // Rows 0, 16, 32, 48 of each pass and one check per blocked transpose.
  EXPECT_EQ(counter.checks, 10);
  for (std::int64_t k = 1; k <= counter.checks; ++k) {
    vx_detail::AttentionProbe probe;
    probe.failAt = k;
    vx_detail::setAttentionProbe(&probe);
    vxFrequencyBuffer target;
    EXPECT_THROW(vfInverseFFT(in, target, false), vxAttentionInterrupted);
    vx_detail::setAttentionProbe(nullptr);
    vfForwardFFT(in, target);  // usable again
    EXPECT_EQ(target, out);
  }
}
