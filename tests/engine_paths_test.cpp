// Every vector path of the engines against the scalar reference, bit for bit.
//
// The scalar kernels define the engines' output; a vector path that differs from
// them in a single bit of a single value, for any size, direction or band, is
// wrong. Each test runs the same input through the scalar path and through every
// vector path this processor supports (paths it does not support are reported and
// skipped) and compares all output floats as bit patterns. The attention checks
// must also fall at the same points, in the same number.
#include "filt/buffer_access.h"
#include "filt/engine_dispatch.h"
#include "filt/engines.h"
#include "filt/fft.h"
#include "platform/exception.h"
#include "engine_test_support.h"
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

namespace {

using namespace engine_test;
using vx_detail::EnginePath;
using vx_detail::EnginePathOverride;

std::vector<TestPath> vectorPaths() { return testPaths(false); }

std::vector<int> powersOfTwo(int upTo) {
  std::vector<int> v;
  for (int n = 1; n <= upTo; n *= 2) v.push_back(n);
  return v;
}

// Index of the first float whose bits differ, or -1. A NaN result only has to be a
// NaN: which of two NaN operands an instruction passes on (and so the sign and
// payload of the result) depends on the order in which the compiler happens to
// place the operands of an addition or multiplication, which is not fixed even
// between two builds of the scalar code.
long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::isnan(a[i]) && std::isnan(b[i])) continue;
    if (bitsOf(a[i]) != bitsOf(b[i])) return static_cast<long>(i);
  }
  return -1;
}

::testing::AssertionResult sameBits(const std::vector<float>& expected, const std::vector<float>& got) {
  const long i = firstDifference(expected, got);
  if (i < 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "float " << i << " differs: scalar " << expected[i] << " (0x"
                                       << std::hex << bitsOf(expected[i]) << "), vector " << std::dec
                                       << got[i] << " (0x" << std::hex << bitsOf(got[i]) << ")";
}

enum class Op { ComplexForward, ComplexInverse, RealForward };

struct EngineCall {
  Op op;
  int w, h;
  long miny, maxy;
};

void runOpOn(const EngineCall& call, float* data) {
  const vxPair<long> size(call.w, call.h);
  switch (call.op) {
    case Op::ComplexForward: vf_ComplexFFT2D(data, size, +1, call.miny, call.maxy); break;
    case Op::ComplexInverse: vf_ComplexFFT2D(data, size, -1, call.miny, call.maxy); break;
    case Op::RealForward: vf_RealFFT2D(data, size, +1, call.miny, call.maxy); break;
  }
}

void runOp(const EngineCall& call, std::vector<float>& data) { runOpOn(call, data.data()); }

std::vector<float> transformedOn(const TestPath& path, const EngineCall& call, const std::vector<float>& input) {
  EnginePathOverride force = forcePath(path);
  std::vector<float> data = input;
  runOp(call, data);
  return data;
}

// Zeroes the rows whose centred index lies outside [miny, maxy], as a band-limited
// spectrum has them.
void zeroOutsideBand(std::vector<float>& a, int w, int h, long miny, long maxy, float zero = 0.0f) {
  for (int r = 0; r < h; ++r) {
    const long centred = (r + h / 2) % h;
    if (centred < miny || centred > maxy)
      for (int x = 0; x < 2 * w; ++x) a[2 * static_cast<std::size_t>(w) * r + x] = zero;
  }
}

// Compares every vector path with the scalar path on `input`.
void expectAllPathsMatch(const EngineCall& call, const std::vector<float>& input) {
  const std::vector<float> expected = transformedOn(EnginePath::Scalar, call, input);
  for (const TestPath& path : vectorPaths()) {
    SCOPED_TRACE(path.name);
    EXPECT_TRUE(sameBits(expected, transformedOn(path, call, input)));
  }
}

// Inputs with what real data brings besides ordinary numbers: signed zeros
// (zero-padded images, rows a filter cleared), subnormals, huge and tiny values,
// infinities and NaN.
std::vector<float> awkwardInput(int w, int h, std::uint64_t seed) {
  std::vector<float> a = complexInput(w, h, seed);
  Lcg g(seed ^ 0x9e3779b97f4a7c15ull);
  const float specials[] = {0.0f, -0.0f, 1e-40f, -1e-40f, 3e38f, -3e38f, 1e-30f,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  for (float& v : a) {
    const float u = g.next();
    if (u < -0.6f) v = 0.0f;
    else if (u < -0.4f) v = -0.0f;
    else if (u > 0.995f) v = specials[static_cast<int>((u - 0.995f) * 2000.0f) % 10];
  }
  return a;
}

TEST(EnginePaths, ReportsWhichPathsRun) {
  std::string names = "scalar";
  for (const TestPath& p : vectorPaths()) names += std::string(", ") + p.name;
  std::cout << "[ INFO     ] engine paths compared: " << names << "; active by default: "
            << vx_detail::enginePathName(vx_detail::activeEnginePath()) << "\n";
  if (!vx_detail::enginePathSupported(EnginePath::Avx512))
    std::cout << "[ INFO     ] avx512 is not supported here; its 16-lane engine code runs as avx2x16\n";
#if VXFREQ_LANES_X86
  EXPECT_TRUE(vx_detail::enginePathSupported(EnginePath::Sse2));
#elif VXFREQ_LANES_NEON
  EXPECT_TRUE(vx_detail::enginePathSupported(EnginePath::Neon));
#endif
}

TEST(EnginePaths, OverrideIsScopedAndPerThread) {
  const EnginePath before = vx_detail::activeEnginePath();
  {
    EnginePathOverride force(EnginePath::Scalar);
    EXPECT_EQ(vx_detail::activeEnginePath(), EnginePath::Scalar);
    EXPECT_EQ(vx_detail::activeLaneKernels(), nullptr);
    for (const TestPath& path : vectorPaths()) {
      EnginePathOverride inner = forcePath(path);
      EXPECT_EQ(vx_detail::activeEnginePath(), path.path);
      ASSERT_NE(vx_detail::activeLaneKernels(), nullptr);
      EXPECT_EQ(vx_detail::activeLaneKernels()->path, path.path);
    }
    EXPECT_EQ(vx_detail::activeEnginePath(), EnginePath::Scalar);
  }
  EXPECT_EQ(vx_detail::activeEnginePath(), before);
#if VXFREQ_LANES_X86 || VXFREQ_LANES_NEON
  // A vector path by default, and AVX2 rather than AVX-512 where both exist.
  EXPECT_NE(before, EnginePath::Scalar);
  EXPECT_NE(before, EnginePath::Avx512);
#else
  EXPECT_EQ(before, EnginePath::Scalar);
#endif
}

// All power-of-two size pairs up to 256 x 256, both engines, both directions, with
// and without a band.
TEST(EnginePaths, EverySizeUpTo256MatchesScalar) {
  for (int w : powersOfTwo(256))
    for (int h : powersOfTwo(256)) {
      SCOPED_TRACE(::testing::Message() << w << "x" << h);
      const std::uint64_t seed = 1000003ull * w + h;
      const std::vector<float> complex = complexInput(w, h, seed);
      expectAllPathsMatch({Op::ComplexForward, w, h, 0, h}, complex);
      expectAllPathsMatch({Op::ComplexInverse, w, h, 0, h}, complex);
      expectAllPathsMatch({Op::RealForward, w, h, 0, h}, realInput(w, h, seed, 7.5f));

      const long miny = h / 4, maxy = 3 * h / 4;
      std::vector<float> banded = complex;
      zeroOutsideBand(banded, w, h, miny, maxy);
      expectAllPathsMatch({Op::ComplexInverse, w, h, miny, maxy}, banded);
      // A narrow band around the DC row, as a Gabor filter leaves it.
      std::vector<float> narrow = complex;
      zeroOutsideBand(narrow, w, h, h / 2, h / 2 + 1);
      expectAllPathsMatch({Op::ComplexInverse, w, h, h / 2, h / 2 + 1}, narrow);
    }
}

TEST(EnginePaths, LargerSizesMatchScalar) {
  const int sizes[][2] = {{512, 512}, {1024, 1024}, {2048, 2048}, {1024, 256}, {256, 1024},
                          {2048, 8},  {8, 2048},    {2048, 1},    {1, 2048},   {512, 2048}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const std::vector<float> complex = complexInput(w, h, 77u * w + h);
    expectAllPathsMatch({Op::ComplexForward, w, h, 0, h}, complex);
    expectAllPathsMatch({Op::RealForward, w, h, 0, h}, realInput(w, h, 5u * w + h, -1.0f));
    std::vector<float> banded = complex;
    zeroOutsideBand(banded, w, h, h / 2 - h / 8, h / 2 + h / 8);
    expectAllPathsMatch({Op::ComplexInverse, w, h, h / 2 - h / 8, h / 2 + h / 8}, banded);
    if (w * h <= 1024 * 1024) expectAllPathsMatch({Op::ComplexInverse, w, h, 0, h}, complex);
  }
}

// The rows outside the band are skipped by the first pass and, for square arrays,
// by the transpose, which then leaves their zeros where they are: signed zeros
// there, or values that are not zero at all, must come out as the scalar path
// leaves them.
TEST(EnginePaths, BandsAndTheRowsTheySkipMatchScalar) {
  for (int n : {4, 8, 16, 64, 256}) {
    for (int w : {n, 2 * n, n / 2}) {
      if (w < 1) continue;
      const int h = n;
      SCOPED_TRACE(::testing::Message() << w << "x" << h);
      const std::vector<float> input = complexInput(w, h, 31u * n + w);
      const long bands[][2] = {{0, h},          {h / 4, 3 * h / 4}, {h / 2, h / 2},
                               {-1, h + 1},     {h / 2 + 1, h / 2}, {1, h - 1},
                               {0, h / 2 - 1},  {h / 2 + 2, h}};
      for (const auto& band : bands) {
        SCOPED_TRACE(::testing::Message() << "band " << band[0] << ".." << band[1]);
        for (float zero : {0.0f, -0.0f}) {
          std::vector<float> a = input;
          zeroOutsideBand(a, w, h, band[0], band[1], zero);
          expectAllPathsMatch({Op::ComplexInverse, w, h, band[0], band[1]}, a);
          expectAllPathsMatch({Op::ComplexForward, w, h, band[0], band[1]}, a);
        }
        // One -0 in an otherwise +0 row outside the band.
        std::vector<float> b = input;
        zeroOutsideBand(b, w, h, band[0], band[1]);
        for (int r = 0; r < h; ++r) {
          const long centred = (r + h / 2) % h;
          if (centred < band[0] || centred > band[1]) {
            b[2 * static_cast<std::size_t>(w) * r + (r % (2 * w))] = -0.0f;
            break;
          }
        }
        expectAllPathsMatch({Op::ComplexInverse, w, h, band[0], band[1]}, b);
        // Rows outside the band that are not zero at all.
        expectAllPathsMatch({Op::ComplexInverse, w, h, band[0], band[1]}, input);
      }
    }
  }
}

TEST(EnginePaths, AwkwardValuesMatchScalar) {
  for (int w : powersOfTwo(128))
    for (int h : {1, 2, 8, 32, 128}) {
      SCOPED_TRACE(::testing::Message() << w << "x" << h);
      const std::vector<float> input = awkwardInput(w, h, 991u * w + h);
      expectAllPathsMatch({Op::ComplexForward, w, h, 0, h}, input);
      expectAllPathsMatch({Op::ComplexInverse, w, h, 0, h}, input);
      std::vector<float> real = input;
      if (w == 1)
        for (int y = 0; y < h; ++y) real[2 * y + 1] = 0.0f;
      expectAllPathsMatch({Op::RealForward, w, h, 0, h}, real);
    }
  // Zero-padded images: mostly +0 with a block of samples at the top-left.
  for (int n : {16, 64, 256}) {
    std::vector<float> padded(2 * static_cast<std::size_t>(n) * n, 0.0f);
    Lcg g(n);
    for (int y = 0; y < n / 2 + 1; ++y)
      for (int x = 0; x < n / 2 + 3; ++x) padded[2 * static_cast<std::size_t>(n) * y + x] = std::floor(g.next() * 128.0f);
    expectAllPathsMatch({Op::RealForward, n, n, 0, n}, padded);
    expectAllPathsMatch({Op::ComplexForward, n, n, 0, n}, padded);
    expectAllPathsMatch({Op::ComplexInverse, n, n, 0, n}, padded);
  }
}

// The engines take any float pointer; the vector paths pick their column panels by
// the array's alignment, so every alignment must give the same bits. The arrays are
// allocated to their exact size so that a sanitizer sees any access beyond them.
TEST(EnginePaths, EveryAlignmentMatchesScalar) {
  const int sizes[][2] = {{64, 32}, {32, 64}, {128, 128}, {16, 16}, {256, 8}, {8, 256}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    const std::size_t count = 2 * static_cast<std::size_t>(w) * h;
    for (int offset = 0; offset < 16; ++offset) {
      SCOPED_TRACE(::testing::Message() << w << "x" << h << " offset " << offset);
      for (Op op : {Op::ComplexForward, Op::ComplexInverse, Op::RealForward}) {
        const EngineCall call{op, w, h, 0, op == Op::ComplexInverse ? h / 2 : h};
        std::vector<float> input =
            op == Op::RealForward ? realInput(w, h, 3u * offset + 1) : complexInput(w, h, 3u * offset + 1);
        if (op == Op::ComplexInverse) zeroOutsideBand(input, w, h, call.miny, call.maxy);
        const std::vector<float> expected = transformedOn(EnginePath::Scalar, call, input);
        for (const TestPath& path : vectorPaths()) {
          SCOPED_TRACE(path.name);
          EnginePathOverride force = forcePath(path);
          std::unique_ptr<float[]> storage(new float[count + offset]);
          float* data = storage.get() + offset;
          std::memcpy(data, input.data(), count * sizeof(float));
          runOpOn(call, data);
          EXPECT_TRUE(sameBits(expected, std::vector<float>(data, data + count)));
        }
      }
    }
  }
}

// The published hash vectors hold on every path (engine_vectors_test.cpp checks
// the default path; here each vector path is forced and compared with scalar on
// the same inputs, seeds and bands).
TEST(EnginePaths, HashVectorInputsMatchScalar) {
  for (int w : {1, 4, 32, 256, 2048})
    for (int h : {1, 4, 32, 256, 2048}) {
      if (static_cast<long>(w) * h > 256 * 2048) continue;  // the 2048 x 2048 case runs above
      SCOPED_TRACE(::testing::Message() << w << "x" << h);
      const std::vector<float> complex = complexInput(w, h);
      expectAllPathsMatch({Op::ComplexForward, w, h, 0, h}, complex);
      expectAllPathsMatch({Op::ComplexInverse, w, h, 0, h}, complex);
      std::vector<float> banded = complex;
      zeroOutsideBand(banded, w, h, h / 4, 3 * h / 4);
      expectAllPathsMatch({Op::ComplexInverse, w, h, h / 4, 3 * h / 4}, banded);
      expectAllPathsMatch({Op::RealForward, w, h, 0, h}, realInput(w, h));
    }
}

std::int64_t checksOn(const TestPath& path, const EngineCall& call, std::int64_t failAt = 0) {
  EnginePathOverride force = forcePath(path);
  std::vector<float> data =
      call.op == Op::RealForward ? realInput(call.w, call.h) : complexInput(call.w, call.h);
  ProbeGuard guard(failAt);
  if (failAt == 0) {
    runOp(call, data);
  } else {
    EXPECT_THROW(runOp(call, data), vxAttentionInterrupted);
  }
  return guard.checks();
}

TEST(EnginePaths, AttentionChecksFallAtTheSamePointsOnEveryPath) {
  std::vector<EngineCall> runs;
  for (int w : {1, 2, 4, 8, 16, 32, 64, 256})
    for (int h : {1, 2, 4, 8, 16, 32, 64, 256}) {
      runs.push_back({Op::ComplexForward, w, h, 0, h});
      runs.push_back({Op::ComplexInverse, w, h, h / 2 - h / 8, h / 2 + h / 8});
      runs.push_back({Op::RealForward, w, h, 0, h});
    }
  runs.push_back({Op::ComplexForward, 2048, 2048, 0, 2048});
  runs.push_back({Op::RealForward, 2048, 2048, 0, 2048});
  runs.push_back({Op::ComplexInverse, 1024, 256, 100, 140});
  for (const EngineCall& call : runs) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(call.op) << " " << call.w << "x" << call.h);
    const std::int64_t expected = checksOn(EnginePath::Scalar, call);
    for (const TestPath& path : vectorPaths()) {
      SCOPED_TRACE(path.name);
      EXPECT_EQ(checksOn(path, call), expected);
    }
  }
}

// Failing check k stops the transform at once, whichever path runs it.
TEST(EnginePaths, EveryCheckCanInterruptEveryPath) {
  const EngineCall runs[] = {{Op::ComplexForward, 64, 64, 0, 64}, {Op::ComplexInverse, 64, 64, 28, 35},
                      {Op::ComplexForward, 32, 8, 0, 8},    {Op::ComplexInverse, 8, 32, 0, 32},
                      {Op::RealForward, 64, 64, 0, 64},     {Op::RealForward, 32, 8, 0, 8},
                      {Op::RealForward, 8, 32, 0, 32},      {Op::RealForward, 128, 4, 0, 4}};
  for (const EngineCall& call : runs)
    for (const TestPath& path : vectorPaths()) {
      SCOPED_TRACE(::testing::Message() << path.name << " "
                                        << static_cast<int>(call.op) << " " << call.w << "x" << call.h);
      const std::int64_t total = checksOn(path, call);
      for (std::int64_t k = 1; k <= total; ++k) EXPECT_EQ(checksOn(path, call, k), k);
    }
}

// ---------------------------------------------------------------------------
// The loops between images and buffers (image_forward.cpp, image_inverse.cpp)
// follow the same path switch; their pixels and floats must not depend on it.

using Access = vx_detail::FrequencyBufferAccess;
using image_test::samePixels;

template <class T>
vxPelBuffer<T> randomPixels(long w, long h, unsigned seed, vxPair<long> at = {0, 0}) {
  vxPelBuffer<T> image(w, h, 32);
  std::mt19937 rng(seed);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      if (std::is_same<T, double>::value)
        image.at(x, y) = static_cast<T>(std::uniform_real_distribution<double>(-1e3, 1e3)(rng));
      else
        image.at(x, y) = static_cast<T>(rng());
    }
  image.offset(at);
  return image;
}

::testing::AssertionResult sameValues(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) {
  if (a.width() != b.width() || a.height() != b.height())
    return ::testing::AssertionFailure() << "sizes differ";
  const std::size_t n = 2 * static_cast<std::size_t>(a.width()) * a.height();
  return sameBits(std::vector<float>(Access::data(a), Access::data(a) + n),
                  std::vector<float>(Access::data(b), Access::data(b) + n));
}

// Runs `make` on the scalar path and on every vector path and compares what
// `same` says about the results.
template <class R, class Make, class Same>
void expectPathsAgree(Make make, Same same) {
  R expected;
  {
    EnginePathOverride force(EnginePath::Scalar);
    expected = make();
  }
  for (const TestPath& path : vectorPaths()) {
    SCOPED_TRACE(path.name);
    EnginePathOverride force = forcePath(path);
    const R got = make();
    EXPECT_TRUE(same(expected, got));
  }
}

const long kImageSizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {31, 33}, {64, 64}, {100, 37}, {250, 130}};

template <class T>
void forwardTransformsAgree() {
  for (const auto& s : kImageSizes)
    for (vxPair<long> at : {vxPair<long>(0, 0), vxPair<long>(5, -3)}) {
      SCOPED_TRACE(::testing::Message() << s[0] << "x" << s[1] << " at " << at.x << "," << at.y);
      const vxPelBuffer<T> re = randomPixels<T>(s[0], s[1], 11, at);
      const vxPelBuffer<T> im = randomPixels<T>(s[0], s[1], 12, at);
      auto same = [](const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) { return sameValues(a, b); };
      expectPathsAgree<vxFrequencyBuffer>(
          [&] {
            vxFrequencyBuffer b;
            vfForwardFFT<T>(re, b);
            return b;
          },
          same);
      expectPathsAgree<vxFrequencyBuffer>(
          [&] {
            vxFrequencyBuffer b;
            vfForwardFFT<T>(re, im, b);
            return b;
          },
          same);
    }
}

TEST(ImagePaths, ForwardTransformsMatchScalar) {
  forwardTransformsAgree<unsigned char>();
  forwardTransformsAgree<unsigned short>();
  forwardTransformsAgree<double>();
}

// Spectra of random images, with and without a band of rows, and buffers that
// already hold spatial values with magnitudes far beyond any pixel range: above
// 2^31 (where 32-bit truncation no longer gives the low bits), above 2^63 (where
// the pixel is 0), infinities, NaN and signed zeros.
std::vector<vxFrequencyBuffer> inverseInputs(long w, long h) {
  std::vector<vxFrequencyBuffer> inputs;
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(randomPixels<unsigned char>(w, h, 21), spectrum);
  inputs.push_back(spectrum);

  vxFrequencyBuffer banded = spectrum;
  const long H = banded.height();
  if (H >= 4) {
    const long miny = H / 2 - H / 4, maxy = H / 2 + H / 4;
    for (long r = 0; r < H; ++r) {
      const long centred = (r + H / 2) % H;
      if (centred < miny || centred > maxy)
        std::fill_n(Access::data(banded) + 2 * banded.width() * r, 2 * banded.width(), 0.0f);
    }
    Access::setMask(banded, 1, miny, maxy);
    inputs.push_back(banded);
  }

  vxFrequencyBuffer spatial = spectrum;
  const float W = static_cast<float>(spatial.width()), Hf = static_cast<float>(spatial.height());
  const float scaleBack = W * Hf;  // undoes s = 1 / (W H)
  const float specials[] = {3.0e9f,  -5.0e9f, 1.0e19f, 2.0e19f,  1.0e20f, -0.0f, 0.0f,
                            70000.0f, 255.5f, 65535.5f, 1.0e-30f,
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  float* d = Access::data(spatial);
  const std::size_t n = 2 * static_cast<std::size_t>(spatial.width()) * spatial.height();
  std::mt19937 rng(5);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned pick = rng() % 40;
    d[i] = pick < 13 ? specials[pick] * scaleBack : d[i];
  }
  Access::setInverseComputed(spatial, true);
  inputs.push_back(spatial);
  return inputs;
}

template <class P>
void inverseTransformsAgree() {
  for (const auto& s : kImageSizes) {
    const long w = s[0], h = s[1];
    std::vector<vxFrequencyBuffer> inputs = inverseInputs(w, h);
    for (std::size_t which = 0; which < inputs.size(); ++which)
      for (bool normalize : {false, true})
        for (bool inPlace : {false, true}) {
          SCOPED_TRACE(::testing::Message() << w << "x" << h << " input " << which << " normalize "
                                            << normalize << " in place " << inPlace);
          const vxFrequencyBuffer& input = inputs[which];
          expectPathsAgree<vxPelBuffer<P>>(
              [&] {
                vxFrequencyBuffer b = input;
                vxPelBuffer<P> out;
                vfInverseFFT<P>(b, out, normalize, inPlace);
                return out;
              },
              [](const vxPelBuffer<P>& a, const vxPelBuffer<P>& b) { return samePixels(a, b); });
          struct WithQuadrant {
            vxPelBuffer<P> image;
            vxPelBuffer<unsigned char> quadrant;
          };
          expectPathsAgree<WithQuadrant>(
              [&] {
                vxFrequencyBuffer b = input;
                WithQuadrant r;
                vfInverseFFTQuadrant<P>(b, r.image, r.quadrant, normalize, inPlace);
                return r;
              },
              [](const WithQuadrant& a, const WithQuadrant& b) {
                return samePixels(a.image, b.image) && samePixels(a.quadrant, b.quadrant);
              });
          struct WithAngle {
            vxPelBuffer<P> image;
            vxPelBuffer<double> angle;
          };
          expectPathsAgree<WithAngle>(
              [&] {
                vxFrequencyBuffer b = input;
                WithAngle r;
                vfInverseFFTAngle<P>(b, r.image, r.angle, normalize, inPlace);
                return r;
              },
              [](const WithAngle& a, const WithAngle& b) {
                return samePixels(a.image, b.image) && samePixels(a.angle, b.angle);
              });
          // A bound output receives the values where it overlaps them.
          expectPathsAgree<vxPelBuffer<P>>(
              [&] {
                const vxFrequencyBuffer b = input;
                vxPelBuffer<P> out(w + 3, h + 1, 32);
                for (long y = 0; y < h + 1; ++y)
                  for (long x = 0; x < w + 3; ++x) out.at(x, y) = P(7);
                vfInverseFFT<P>(b, out, normalize);
                return out;
              },
              [](const vxPelBuffer<P>& a, const vxPelBuffer<P>& b) { return samePixels(a, b); });
        }
  }
}

TEST(ImagePaths, InverseTransformsMatchScalar) {
  inverseTransformsAgree<unsigned char>();
  inverseTransformsAgree<unsigned short>();
  inverseTransformsAgree<double>();
}

TEST(ImagePaths, RealAndImaginaryPartsMatchScalar) {
  for (const auto& s : kImageSizes)
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(::testing::Message() << s[0] << "x" << s[1] << " in place " << inPlace);
      for (const vxFrequencyBuffer& input : inverseInputs(s[0], s[1])) {
        struct Parts {
          vxPelBuffer<double> re, im;
        };
        expectPathsAgree<Parts>(
            [&] {
              vxFrequencyBuffer b = input;
              Parts p;
              vfInverseFFT(b, p.re, p.im, inPlace);
              return p;
            },
            [](const Parts& a, const Parts& b) { return samePixels(a.re, b.re) && samePixels(a.im, b.im); });
      }
    }
}

// The display images and every mapping, with NaN, infinities, signed zeros and, for
// the logarithm, values whose pixel sits within rounding of a boundary (exp(k / g) - 1
// and its neighbours), where the fast logarithm must leave the pixel to std::log.
TEST(ImagePaths, DisplayImagesAndMappingsMatchScalar) {
  auto sameImages = [](const std::vector<vxPelBuffer<unsigned char>>& a,
                       const std::vector<vxPelBuffer<unsigned char>>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
      if (!samePixels(a[i], b[i])) return false;
    return a.size() == b.size();
  };
  std::vector<vxPelBuffer<double>> inputs;
  for (const auto& s : kImageSizes) {
    const vxFrequencyBuffer spectrum = inverseInputs(s[0], s[1])[0];
    for (bool centered : {false, true}) {
      inputs.push_back(spectrum.getMagnitudeImage(centered));
      inputs.push_back(spectrum.getRealImage(centered));
      expectPathsAgree<std::vector<vxPelBuffer<double>>>(
          [&] {
            return std::vector<vxPelBuffer<double>>{
                spectrum.getRealImage(centered), spectrum.getImaginaryImage(centered),
                spectrum.getMagnitudeImage(centered), spectrum.getPhaseImage(centered)};
          },
          [](const std::vector<vxPelBuffer<double>>& a, const std::vector<vxPelBuffer<double>>& b) {
            for (std::size_t i = 0; i < a.size(); ++i)
              if (!samePixels(a[i], b[i])) return false;
            return true;
          });
    }
  }
  const double g = 255.0 / std::log(1000.0);
  vxPelBuffer<double> edges(255 * 3 + 1, 1, 32), shifted(255 * 3 + 2, 1, 32);
  for (long k = 0; k < 255; ++k) {
    const double v = std::expm1(k / g);
    edges.at(3 * k, 0) = v;
    edges.at(3 * k + 1, 0) = std::nextafter(v, 0.0);
    edges.at(3 * k + 2, 0) = std::nextafter(v, 2000.0);
  }
  edges.at(255 * 3, 0) = 1000.0;  // with the 0 at the start: the range of g
  for (long x = 0; x < edges.width(); ++x) shifted.at(x, 0) = edges.at(x, 0);
  shifted.at(255 * 3 + 1, 0) = -0.5;
  inputs.push_back(edges);
  inputs.push_back(shifted);
  const double specials[] = {std::numeric_limits<double>::quiet_NaN(), -0.0, 0.0, -1.0e300, 3.0e9,
                             std::numeric_limits<double>::infinity(), 254.999999999, 255.0, 1.0e-310};
  vxPelBuffer<double> awkward = inputs[4];
  for (long y = 0; y < awkward.height(); ++y)
    for (long x = 0; x < awkward.width(); ++x)
      if ((x * 7 + y * 3) % 5 == 0) awkward.at(x, y) = specials[(x + y) % 9];
  inputs.push_back(awkward);
  for (const vxPelBuffer<double>& input : inputs)
    expectPathsAgree<std::vector<vxPelBuffer<unsigned char>>>(
        [&] {
          std::vector<vxPelBuffer<unsigned char>> maps;
          for (int m = vxFrequencyDefs::Clamp; m <= vxFrequencyDefs::Angle; ++m)
            maps.push_back(vfFrequencyMapImage(input, static_cast<vxFrequencyDefs::FrequencyMapping>(m), -2.0, 300.0));
          return maps;
        },
        sameImages);
}

// The out-of-place engine entry gives what the in-place engine gives on a copy,
// for every path, band and destination layout.
TEST(EnginePaths, OutOfPlaceEntryMatchesInPlace) {
  for (int w : {1, 2, 8, 64, 256})
    for (int h : {1, 4, 64, 128}) {
      SCOPED_TRACE(::testing::Message() << w << "x" << h);
      std::vector<float> input = complexInput(w, h, 17u * w + h);
      const long miny = h / 4, maxy = h / 2;
      zeroOutsideBand(input, w, h, miny, maxy);
      std::vector<float> expected = input;
      {
        EnginePathOverride force(EnginePath::Scalar);
        vf_ComplexFFT2D(expected.data(), vxPair<long>(w, h), -1, miny, maxy);
      }
      std::vector<TestPath> paths = vectorPaths();
      paths.insert(paths.begin(), EnginePath::Scalar);
      for (const TestPath& path : paths) {
        SCOPED_TRACE(path.name);
        EnginePathOverride force = forcePath(path);
        // Rows in separate allocations, in reverse order of address.
        std::vector<std::unique_ptr<float[]>> storage;
        std::vector<float*> rows(h);
        for (int r = h - 1; r >= 0; --r) {
          storage.emplace_back(new float[2 * w]);
          rows[r] = storage.back().get();
        }
        const std::vector<float> before = input;
        vf_ComplexFFT2DInto(input.data(), rows.data(), vxPair<long>(w, h), -1, miny, maxy);
        std::vector<float> got;
        for (int r = 0; r < h; ++r) got.insert(got.end(), rows[r], rows[r] + 2 * w);
        EXPECT_TRUE(sameBits(expected, got));
        EXPECT_TRUE(sameBits(before, input));  // the source is left alone
        std::vector<float> contiguous(input.size(), 9.0f);
        vf_ComplexFFT2DInto(input.data(), contiguous.data(), vxPair<long>(w, h), -1, miny, maxy);
        EXPECT_TRUE(sameBits(expected, contiguous));
      }
    }
}

}  // namespace
