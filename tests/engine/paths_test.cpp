// Every vector path of the engines and of the image loops against the scalar path,
// bit for bit: for any size, direction, band, alignment and value the scalar
// kernels define the output, and a path that differs in one bit is wrong.
#include "engine/test_support.h"
#include "filt/buffer/access.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filters/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

using namespace engine_test;
using Access = vx_detail::FrequencyBufferAccess;

enum class Op { ComplexForward, ComplexInverse, RealForward };

struct EngineCall {
  Op op;
  int w, h;
  long miny, maxy;
};

void runOn(const EngineCall& c, float* data) {
  const vxPair<long> size(c.w, c.h);
  if (c.op == Op::RealForward)
    vf_RealFFT2D(data, size, +1, c.miny, c.maxy);
  else
    vf_ComplexFFT2D(data, size, c.op == Op::ComplexForward ? +1 : -1, c.miny, c.maxy);
}

void expectAllPathsMatch(const EngineCall& call, const std::vector<float>& input) {
  expectEveryPathAgrees(
      [&] {
        std::vector<float> data = input;
        runOn(call, data.data());
        return data;
      },
      sameBits);
}

// Signed zeros, subnormals, huge and tiny values, infinities and NaN among ordinary ones.
std::vector<float> awkwardInput(int w, int h, std::uint64_t seed) {
  std::vector<float> a = complexInput(w, h, seed);
  Lcg g(seed ^ 0x9e3779b97f4a7c15ull);
  const float inf = std::numeric_limits<float>::infinity();
  const float specials[] = {
      0.0f,   -0.0f,  1e-40f, -1e-40f, 3e38f,
      -3e38f, 1e-30f, inf,    -inf,    std::numeric_limits<float>::quiet_NaN()};
  for (float& v : a) {
    const float u = g.next();
    if (u < -0.6f)
      v = 0.0f;
    else if (u < -0.4f)
      v = -0.0f;
    else if (u > 0.995f)
      v = specials[static_cast<int>((u - 0.995f) * 2000.0f) % 10];
  }
  return a;
}

// All power-of-two sizes up to 256 x 256 and larger ones, both engines, both
// directions, with the full band, a middle band and a narrow band at the DC row, on
// ordinary values and, up to 128, on awkward ones.
TEST(EnginePaths, EverySizeMatchesScalar) {
  std::vector<std::pair<int, int>> sizes = {{512, 512}, {2048, 2048}, {1024, 256}, {256, 1024},
                                            {2048, 8},  {8, 2048},    {2048, 1},   {1, 2048}};
  for (int w = 1; w <= 256; w *= 2)
    for (int h = 1; h <= 256; h *= 2) sizes.emplace_back(w, h);
  for (const auto& s : sizes) {
    const int w = s.first, h = s.second;
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const std::vector<float> complex = complexInput(w, h, 1000003ull * w + h);
    expectAllPathsMatch({Op::ComplexForward, w, h, 0, h}, complex);
    expectAllPathsMatch({Op::RealForward, w, h, 0, h}, realInput(w, h, 5u * w + h, 7.5f));
    if (w * h < 2048 * 2048) expectAllPathsMatch({Op::ComplexInverse, w, h, 0, h}, complex);
    if (w <= 128 && h <= 128) {  // signed zeros, subnormals, huge values, infinities, NaN
      const std::vector<float> awkward = awkwardInput(w, h, 991u * w + h);
      expectAllPathsMatch({Op::ComplexForward, w, h, 0, h}, awkward);
      expectAllPathsMatch({Op::ComplexInverse, w, h, 0, h}, awkward);
      std::vector<float> real = awkward;
      for (int y = 0; w == 1 && y < h; ++y) real[2 * y + 1] = 0.0f;
      expectAllPathsMatch({Op::RealForward, w, h, 0, h}, real);
    }
    for (long miny : {static_cast<long>(h / 4), static_cast<long>(h / 2)}) {
      const long maxy = miny == h / 2 ? h / 2 + 1 : 3 * h / 4;
      std::vector<float> banded = complex;
      zeroOutsideBand(banded, w, h, miny, maxy);
      expectAllPathsMatch({Op::ComplexInverse, w, h, miny, maxy}, banded);
    }
  }
}

// Rows outside the band are skipped by the first pass and, for square arrays, by the
// transpose: signed zeros there, or values that are not zero at all, must come out
// as the scalar path leaves them.
TEST(EnginePaths, BandsAndTheRowsTheySkipMatchScalar) {
  for (int n : {4, 8, 16, 64, 256})
    for (int w : {n, 2 * n, n / 2}) {
      const int h = n;
      SCOPED_TRACE(::testing::Message() << w << "x" << h);
      const std::vector<float> input = complexInput(w, h, 31u * n + w);
      const long bands[][2] = {{h / 4, 3 * h / 4}, {h / 2, h / 2}, {-1, h + 1},
                               {h / 2 + 1, h / 2}, {1, h - 1},     {0, h / 2 - 1},
                               {h / 2 + 2, h}};
      for (const auto& band : bands) {
        SCOPED_TRACE(::testing::Message() << "band " << band[0] << ".." << band[1]);
        for (float zero : {0.0f, -0.0f}) {
          std::vector<float> a = input;
          zeroOutsideBand(a, w, h, band[0], band[1], zero);
          expectAllPathsMatch({Op::ComplexInverse, w, h, band[0], band[1]}, a);
          expectAllPathsMatch({Op::ComplexForward, w, h, band[0], band[1]}, a);
        }
        expectAllPathsMatch({Op::ComplexInverse, w, h, band[0], band[1]}, input);
      }
    }
}

// The vector paths pick their column panels by the array's alignment, so every
// alignment must give the same bits. Arrays have their exact size, so that a
// sanitizer sees any access beyond them.
TEST(EnginePaths, EveryAlignmentMatchesScalar) {
  const int sizes[][2] = {{64, 32}, {32, 64}, {128, 128}, {16, 16}, {256, 8}, {8, 256}};
  for (const auto& s : sizes)
    for (int offset = 0; offset < 16; ++offset)
      for (Op op : {Op::ComplexForward, Op::ComplexInverse, Op::RealForward}) {
        const int w = s[0], h = s[1];
        SCOPED_TRACE(::testing::Message()
                     << w << "x" << h << " offset " << offset << " op " << int(op));
        const EngineCall call{op, w, h, 0, op == Op::ComplexInverse ? h / 2 : h};
        std::vector<float> input = op == Op::RealForward ? realInput(w, h, 3u * offset + 1)
                                                         : complexInput(w, h, 3u * offset + 1);
        if (op == Op::ComplexInverse) zeroOutsideBand(input, w, h, call.miny, call.maxy);
        expectEveryPathAgrees(
            [&] {
              std::unique_ptr<float[]> storage(new float[input.size() + offset]);
              float* data = storage.get() + offset;
              std::copy(input.begin(), input.end(), data);
              runOn(call, data);
              return std::vector<float>(data, data + input.size());
            },
            sameBits);
      }
}

// The loops between images and buffers follow the same path switch.

using filter_test::samePixels;

template <class T>
vxPelBuffer<T> randomPixels(long w, long h, unsigned seed, vxPair<long> at = {0, 0}) {
  vxPelBuffer<T> image(w, h, 32);
  std::mt19937 rng(seed);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      image.at(x, y) = std::is_same<T, double>::value
                           ? static_cast<T>(std::uniform_real_distribution<double>(-1e3, 1e3)(rng))
                           : static_cast<T>(rng());
  image.offset(at);
  return image;
}

std::vector<float> valuesOf(const vxFrequencyBuffer& b) {
  return std::vector<float>(Access::data(b), Access::data(b) + 2 * b.width() * b.height());
}

const long kImageSizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {31, 33}, {64, 64}, {100, 37}, {250, 130}};

template <class T>
void forwardTransformsAgree() {
  for (const auto& s : kImageSizes) {
    SCOPED_TRACE(::testing::Message() << s[0] << "x" << s[1]);
    const vxPelBuffer<T> re = randomPixels<T>(s[0], s[1], 11, {5, -3});
    const vxPelBuffer<T> im = randomPixels<T>(s[0], s[1], 12, {5, -3});
    auto same = [](const std::vector<float>& a, const std::vector<float>& b) {
      return sameBits(a, b);
    };
    expectEveryPathAgrees(
        [&] {
          vxFrequencyBuffer b;
          vfForwardFFT<T>(re, b);
          return valuesOf(b);
        },
        same);
    expectEveryPathAgrees(
        [&] {
          vxFrequencyBuffer b;
          vfForwardFFT<T>(re, im, b);
          return valuesOf(b);
        },
        same);
  }
}

TEST(ImagePaths, ForwardTransformsMatchScalar) {
  forwardTransformsAgree<unsigned char>();
  forwardTransformsAgree<unsigned short>();
  forwardTransformsAgree<double>();
}

// Spectra of random images, with and without a band of rows, and buffers already
// holding spatial values far beyond any pixel range: above 2^31 (where 32-bit
// truncation no longer gives the low bits), above 2^63, infinities, NaN, signed zeros.
std::vector<vxFrequencyBuffer> inverseInputs(long w, long h) {
  std::vector<vxFrequencyBuffer> inputs(1);
  vfForwardFFT<unsigned char>(randomPixels<unsigned char>(w, h, 21), inputs[0]);
  vxFrequencyBuffer banded = inputs[0];
  const long W = banded.width(), H = banded.height();
  if (H >= 4) {
    std::vector<float> v = valuesOf(banded);
    zeroOutsideBand(v, W, H, H / 4, 3 * H / 4);
    std::copy(v.begin(), v.end(), Access::data(banded));
    Access::setMask(banded, 1, H / 4, 3 * H / 4);
    inputs.push_back(banded);
  }
  vxFrequencyBuffer spatial = inputs[0];
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float specials[] = {3.0e9f,   -5.0e9f, 1.0e19f,  2.0e19f,  1.0e20f, -0.0f, 0.0f,
                            70000.0f, 255.5f,  65535.5f, 1.0e-30f, inf,     nan};
  std::mt19937 rng(5);
  for (long i = 0; i < 2 * W * H; ++i) {
    const unsigned pick = rng() % 40;
    if (pick < 13) Access::data(spatial)[i] = specials[pick] * static_cast<float>(W * H);
  }
  Access::setInverseComputed(spatial, true);
  inputs.push_back(spatial);
  return inputs;
}

// Every inverse form, with and without normalization, copying or in place; and a
// bound output, which receives the overlap.
template <class P>
void inverseTransformsAgree() {
  struct Out {
    vxPelBuffer<P> image, image2, image3, bound, real;
    vxPelBuffer<unsigned char> quadrant;
    vxPelBuffer<double> angle, re, im;
  };
  for (const auto& s : kImageSizes)
    for (const vxFrequencyBuffer& input : inverseInputs(s[0], s[1]))
      for (int form = 0; form < 4; ++form) {
        const bool normalize = form & 1, inPlace = form & 2;
        SCOPED_TRACE(::testing::Message() << s[0] << "x" << s[1] << " form " << form << " spatial "
                                          << input.inverseComputed());
        auto run = [&] {
          Out o;
          vxFrequencyBuffer b = input;
          vfInverseFFT<P>(b, o.image, normalize, inPlace);
          b = input;
          vfInverseFFTQuadrant<P>(b, o.image2, o.quadrant, normalize, inPlace);
          b = input;
          vfInverseFFTAngle<P>(b, o.image3, o.angle, normalize, inPlace);
          b = input;
          vfInverseFFT(b, o.re, o.im, inPlace);
          b = input;
          vfInverseFFTReal<P>(b, o.real, inPlace);
          o.bound = vxPelBuffer<P>(s[0] + 3, s[1] + 1, 32);
          vfPelSet(o.bound, P(7));
          vfInverseFFT<P>(input, o.bound, normalize);
          return o;
        };
        expectEveryPathAgrees(run, [](const Out& a, const Out& b) {
          return samePixels(a.image, b.image) && samePixels(a.image2, b.image2) &&
                 samePixels(a.image3, b.image3) && samePixels(a.bound, b.bound) &&
                 samePixels(a.real, b.real) && samePixels(a.quadrant, b.quadrant) &&
                 samePixels(a.angle, b.angle) && samePixels(a.re, b.re) && samePixels(a.im, b.im);
        });
      }
}

TEST(ImagePaths, InverseTransformsMatchScalar) {
  inverseTransformsAgree<unsigned char>();
  inverseTransformsAgree<unsigned short>();
  inverseTransformsAgree<double>();
}

// The display images and every mapping, with NaN, infinities, signed zeros and, for
// the logarithm, values whose pixel sits within rounding of a boundary (exp(k / g) - 1
// and its neighbours), where the fast logarithm must leave the pixel to std::log.
TEST(ImagePaths, DisplayImagesAndMappingsMatchScalar) {
  auto sameImages = [](const auto& a, const auto& b) {
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
      expectEveryPathAgrees(
          [&] {
            return std::vector<vxPelBuffer<double>>{
                spectrum.getRealImage(centered), spectrum.getImaginaryImage(centered),
                spectrum.getMagnitudeImage(centered), spectrum.getPhaseImage(centered)};
          },
          sameImages);
    }
  }
  const double g = 255.0 / std::log(1000.0);
  // The second row: zeros (the bottom of the range, as in a sparse spectrum) and values
  // whose logarithm is within the fast logarithm's error of 0.
  vxPelBuffer<double> edges(255 * 3 + 1, 2, 32), shifted(255 * 3 + 2, 2, 32);
  for (long x = 0; x < 64; ++x) edges.at(x * 5, 1) = std::ldexp(1.0, static_cast<int>(-x * 16));
  for (long k = 0; k < 255; ++k) {
    const double v = std::expm1(k / g);
    edges.at(3 * k, 0) = v;
    edges.at(3 * k + 1, 0) = std::nextafter(v, 0.0);
    edges.at(3 * k + 2, 0) = std::nextafter(v, 2000.0);
  }
  edges.at(255 * 3, 0) = 1000.0;  // with the 0 at the start: the range of g
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < edges.width(); ++x) shifted.at(x, y) = edges.at(x, y);
  shifted.at(255 * 3 + 1, 0) = -0.5;
  inputs.push_back(edges);
  inputs.push_back(shifted);
  const double specials[] = {
      std::numeric_limits<double>::quiet_NaN(), -0.0,          0.0,   -1.0e300, 3.0e9,
      std::numeric_limits<double>::infinity(),  254.999999999, 255.0, 1.0e-310};
  vxPelBuffer<double> awkward = inputs[4];
  for (long y = 0; y < awkward.height(); ++y)
    for (long x = 0; x < awkward.width(); ++x)
      if ((x * 7 + y * 3) % 5 == 0) awkward.at(x, y) = specials[(x + y) % 9];
  inputs.push_back(awkward);
  for (const vxPelBuffer<double>& input : inputs)
    expectEveryPathAgrees(
        [&] {
          std::vector<vxPelBuffer<unsigned char>> maps;
          for (int m = vxFrequencyDefs::Clamp; m <= vxFrequencyDefs::Angle; ++m)
            maps.push_back(vfFrequencyMapImage(
                input, static_cast<vxFrequencyDefs::FrequencyMapping>(m), -2.0, 300.0));
          return maps;
        },
        sameImages);
}

// The dispatch: a vector path by default where the target has one, AVX2 rather than
// AVX-512 where both exist; an override holds on its own thread, for its own scope.
TEST(EnginePaths, DefaultPathAndScopedOverride) {
  const EnginePath chosen = vx_detail::activeEnginePath();
#if VXFREQ_LANES_X86 || VXFREQ_LANES_NEON
  EXPECT_NE(chosen, EnginePath::Scalar);
  EXPECT_TRUE(vx_detail::pathInfo(chosen).chosen);
#if VXFREQ_LANES_X86
  EXPECT_NE(chosen, EnginePath::Avx512);
#endif
#else
  EXPECT_EQ(chosen, EnginePath::Scalar);
#endif
  {
    vx_detail::EnginePathOverride outer(EnginePath::Scalar);
    EXPECT_EQ(vx_detail::activeLaneKernels(), nullptr);
    std::thread([chosen] { EXPECT_EQ(vx_detail::activeEnginePath(), chosen); }).join();
    onEveryPath([](const TestPath& p) { EXPECT_EQ(vx_detail::activeEnginePath(), p.path); });
    EXPECT_EQ(vx_detail::activeEnginePath(), EnginePath::Scalar);
  }
  EXPECT_EQ(vx_detail::activeEnginePath(), chosen);
}

}  // namespace
