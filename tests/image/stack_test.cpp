// Stacks of pictures transformed in one call give, picture by picture, the bits of the
// single calls (forward transforms of samples, transforms between buffers, real
// inverses), whatever the strides, the output's width and the threads; bad stacks are
// refused before anything is written.
#include "filt/stack.h"
#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/parallel.h"
#include "filt/threads/rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

namespace {

using Cf = std::complex<float>;
using Cd = std::complex<double>;

template <class T>
std::vector<T> valuesOf(std::size_t n, unsigned seed) {
  std::vector<T> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double s = std::sin(0.37 * static_cast<double>(i) + seed) * 100.0;
    if constexpr (std::is_integral<T>::value)
      v[i] = static_cast<T>(std::lround(std::fabs(s) * 2.5) % 251);
    else
      v[i] = static_cast<T>(s + 0.001 * static_cast<double>(i));
  }
  return v;
}

std::vector<Cd> complexValuesOf(std::size_t n, unsigned seed) {
  const auto re = valuesOf<double>(n, seed);
  const auto im = valuesOf<double>(n, seed + 11);
  std::vector<Cd> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = Cd(re[i], im[i] * 1.0000001);
  return v;
}

// Expects picture p of `out` to hold `columns` columns of `expected` (a W x H buffer's
// values) times scale.
::testing::AssertionResult holds(const Cf* out, const vxStackLayout& o, long p,
                                 const vxFrequencyBuffer& expected, float scale) {
  const float* e = expected.elements();
  for (long y = 0; y < o.height; ++y)
    for (long x = 0; x < o.width; ++x) {
      const float* v = e + 2 * (y * expected.width() + x);
      const Cf got = out[p * o.pictureStride + y * o.rowStride + x * o.pixelStride];
      const Cf want(v[0] * scale, v[1] * scale);
      if (std::memcmp(&got, &want, sizeof(Cf)) != 0)  // bits: -0 and NaN payloads count
        return ::testing::AssertionFailure()
               << "picture " << p << " (" << x << ", " << y << "): " << got << " for " << want;
    }
  return ::testing::AssertionSuccess();
}

// {count, w, h, pictureStride, rowStride, pixelStride} of the input and the memory
// it needs; pictures one after the other, interleaved channels, pictures backwards.
struct Case {
  long count, w, h, ps, rs, xs;
  long first() const { return ps < 0 ? -ps * (count - 1) : 0; }
  std::size_t reach() const {
    return static_cast<std::size_t>(first() + std::abs(ps) * (count - 1) + rs * (h - 1) +
                                    xs * (w - 1) + 1);
  }
  vxStackLayout layout() const { return vxStackLayout(count, w, h, ps, rs, xs); }
};

const Case kExtendedCases[] = {{5, 16, 8, 128, 16, 1},    // tiles
                               {3, 30, 20, 1, 90, 3},     // an interleaved colour picture
                               {4, 17, 31, -600, 17, 1},  // pictures backwards, prime sides
                               {2, 1, 7, 7, 1, 1},        // columns of one sample
                               {1, 9, 1, 0, 0, 1}};       // one row
const Case kCompatibleCases[] = {{5, 16, 8, 128, 16, 1}, {3, 32, 4, 1, 96, 3}, {2, 1, 1, 1, 1, 1}};

template <class T>
void forwardMatchesSingleCalls(const Case& c, bool half, float scale) {
  SCOPED_TRACE(::testing::Message()
               << c.count << " x " << c.w << "x" << c.h << " half " << half << " scale " << scale);
  const auto memory = valuesOf<T>(c.reach(), 3);
  const T* origin = memory.data() + c.first();
  const long ow = half ? c.w / 2 + 1 : c.w;
  // The output with gaps between rows and pictures, which the call must leave alone.
  const vxStackLayout out(c.count, ow, c.h, (ow + 1) * c.h + 2, ow + 1, 1);
  std::vector<Cf> spectra(static_cast<std::size_t>(out.pictureStride * c.count), Cf(-7, -7));
  vfForwardFFTStack(origin, c.layout(), spectra.data(), out, scale);
  for (long p = 0; p < c.count; ++p) {
    vxFrequencyBuffer single;
    vfForwardFFT(origin + p * c.ps, c.w, c.h, c.rs, c.xs, vxPair<long>(0, 0), single);
    EXPECT_TRUE(holds(spectra.data(), out, p, single, scale));
    EXPECT_EQ(spectra[static_cast<std::size_t>(p * out.pictureStride + ow)], Cf(-7, -7));
  }
  // Whole, contiguous spectra: the engine runs in the output itself, same bits.
  if (!half) {
    const vxStackLayout packed(c.count, c.w, c.h);
    std::vector<Cf> direct(static_cast<std::size_t>(c.count * c.w * c.h));
    vfForwardFFTStack(origin, c.layout(), direct.data(), packed, scale);
    for (long p = 0; p < c.count; ++p)
      for (long i = 0; i < c.w * c.h; ++i)
        ASSERT_EQ(direct[static_cast<std::size_t>(p * c.w * c.h + i)],
                  spectra[static_cast<std::size_t>(p * out.pictureStride + (i / c.w) * (ow + 1) +
                                                   i % c.w)]);
  }
}

TEST(Stack, ForwardTransformsOfRealPicturesAreThoseOfSingleCalls) {
  for (const bool extended : {true, false}) {
    const vxExtendedScope mode(extended);
    for (const Case& c :
         extended ? std::vector<Case>(std::begin(kExtendedCases), std::end(kExtendedCases))
                  : std::vector<Case>(std::begin(kCompatibleCases), std::end(kCompatibleCases))) {
      forwardMatchesSingleCalls<unsigned char>(c, false, 1.0f);
      forwardMatchesSingleCalls<unsigned short>(c, true, 1.0f);
      forwardMatchesSingleCalls<float>(c, false, 0.25f);
      forwardMatchesSingleCalls<double>(c, true, 1.0f / 3.0f);
    }
  }
}

template <class C>
void complexMatchesSingleCalls(const Case& c, bool inverse) {
  SCOPED_TRACE(::testing::Message()
               << c.count << " x " << c.w << "x" << c.h << " inverse " << inverse);
  const auto wide = complexValuesOf(c.reach(), 5);
  std::vector<C> memory(wide.begin(), wide.end());
  const C* origin = memory.data() + c.first();
  const vxStackLayout out(c.count, c.w, c.h, c.w * c.h * 2, c.w, 1);
  std::vector<Cf> result(static_cast<std::size_t>(out.pictureStride * c.count));
  vfComplexFFTStack(origin, c.layout(), result.data(), out, inverse, 0.5f);
  for (long p = 0; p < c.count; ++p) {
    vxFrequencyBuffer values(c.w, c.h);
    for (long y = 0; y < c.h; ++y)
      for (long x = 0; x < c.w; ++x) {
        const C v = origin[p * c.ps + y * c.rs + x * c.xs];
        values.elements()[2 * (y * c.w + x)] = static_cast<float>(v.real());
        values.elements()[2 * (y * c.w + x) + 1] = static_cast<float>(v.imag());
      }
    vxFrequencyBuffer single;
    if (inverse)
      vfInverseFFT(values, single);
    else
      vfForwardFFT(values, single);
    EXPECT_TRUE(holds(result.data(), out, p, single, 0.5f));
  }
}

TEST(Stack, ComplexTransformsAreThoseBetweenBuffersInPlaceToo) {
  for (const bool extended : {true, false}) {
    const vxExtendedScope mode(extended);
    const Case c = extended ? Case{3, 30, 20, 1, 90, 3} : Case{3, 32, 4, 1, 96, 3};
    complexMatchesSingleCalls<Cf>(c, false);
    complexMatchesSingleCalls<Cd>(c, true);
  }
  // Over its own input: the values of an output elsewhere.
  const vxExtendedScope mode(true);
  const vxStackLayout l(4, 12, 10);
  const auto wide = complexValuesOf(4 * 12 * 10, 9);
  std::vector<Cf> values(wide.begin(), wide.end());
  std::vector<Cf> elsewhere(values.size());
  vfComplexFFTStack(values.data(), l, elsewhere.data(), l, true);
  vfComplexFFTStack(values.data(), l, values.data(), l, true);
  EXPECT_EQ(0, std::memcmp(values.data(), elsewhere.data(), values.size() * sizeof(Cf)));
}

template <class C, class T>
void realInverseMatchesSingleCalls(long count, long w, long h, bool half) {
  SCOPED_TRACE(::testing::Message() << count << " x " << w << "x" << h << " half " << half);
  // Spectra of real pictures, then disturbed so that they are not symmetric: the
  // conjugate-symmetric part is what counts.
  const auto samples = valuesOf<double>(static_cast<std::size_t>(count * w * h), 2);
  std::vector<Cf> spectra(samples.size());
  vfForwardFFTStack(samples.data(), vxStackLayout(count, w, h), spectra.data(),
                    vxStackLayout(count, w, h));
  for (std::size_t i = 0; i < spectra.size(); i += 3) spectra[i] += Cf(0.5f, -1.25f);
  const long iw = half ? w / 2 + 1 : w;
  std::vector<C> input(static_cast<std::size_t>(count * iw * h));
  for (long p = 0; p < count; ++p)
    for (long y = 0; y < h; ++y)
      for (long x = 0; x < iw; ++x)
        input[static_cast<std::size_t>((p * h + y) * iw + x)] =
            C(spectra[static_cast<std::size_t>((p * h + y) * w + x)]);
  const float scale = static_cast<float>(1.0 / (static_cast<double>(w) * h));
  // The output transposed: a column of the stack's memory per row of a picture.
  const vxStackLayout out(count, w, h, 1, count, count * h);
  std::vector<T> result(static_cast<std::size_t>(count * w * h));
  vfInverseFFTRealStack(input.data(), vxStackLayout(count, iw, h), result.data(), out, scale);
  for (long p = 0; p < count; ++p) {
    // The whole spectrum the input stands for, in a buffer.
    vxFrequencyBuffer whole(w, h);
    for (long y = 0; y < h; ++y)
      for (long x = 0; x < w; ++x) {
        const bool mirrored = half && x > w / 2;
        const C v =
            mirrored
                ? std::conj(input[static_cast<std::size_t>((p * h + (h - y) % h) * iw + (w - x))])
                : input[static_cast<std::size_t>((p * h + y) * iw + x)];
        whole.elements()[2 * (y * w + x)] = static_cast<float>(v.real());
        whole.elements()[2 * (y * w + x) + 1] = static_cast<float>(v.imag());
      }
    vxPelBuffer<double> image;
    vfInverseFFTReal(static_cast<const vxFrequencyBuffer&>(whole), image);
    for (long y = 0; y < h; ++y)
      for (long x = 0; x < w; ++x) {
        const T got = result[static_cast<std::size_t>(p + y * count + x * count * h)];
        const T expected = static_cast<T>(image.at(x, y));
        ASSERT_EQ(0, std::memcmp(&got, &expected, sizeof(T))) << p << " (" << x << ", " << y << ")";
      }
  }
}

TEST(Stack, RealInversesOfWholeAndHalfSpectraAreThoseOfBuffers) {
  {
    const vxExtendedScope mode(true);
    realInverseMatchesSingleCalls<Cf, double>(3, 30, 20, true);
    realInverseMatchesSingleCalls<Cd, float>(2, 17, 9, true);
    realInverseMatchesSingleCalls<Cd, double>(2, 1, 5, true);
  }
  const vxExtendedScope mode(false);
  realInverseMatchesSingleCalls<Cf, double>(2, 16, 8, false);
}

TEST(Stack, ThreadsGiveTheBitsOfOneThread) {
  const vxExtendedScope mode(true);
  const vxStackLayout l(40, 24, 18);
  const auto samples = valuesOf<float>(40 * 24 * 18, 1);
  std::vector<Cf> alone(samples.size()), split(samples.size());
  std::vector<double> backAlone(samples.size()), backSplit(samples.size());
  vfForwardFFTStack(samples.data(), l, alone.data(), l);
  vfInverseFFTRealStack(alone.data(), l, backAlone.data(), l, 1.0f);
  vxThreadPool pool(3);
  const vxParallelScope scope(pool);
  const vx_detail::SplitAlways always;
  vfForwardFFTStack(samples.data(), l, split.data(), l);
  vfInverseFFTRealStack(split.data(), l, backSplit.data(), l, 1.0f);
  EXPECT_EQ(0, std::memcmp(alone.data(), split.data(), alone.size() * sizeof(Cf)));
  EXPECT_EQ(0, std::memcmp(backAlone.data(), backSplit.data(), backAlone.size() * sizeof(double)));
  // The round trip gives the samples back.
  for (std::size_t i = 0; i < samples.size(); ++i)
    ASSERT_NEAR(backSplit[i] / (24 * 18), samples[i], 1e-3) << i;
}

TEST(Stack, RefusesBadStacksBeforeWritingAnything) {
  using Defs = vxFrequencyDefs;
  const vxExtendedScope mode(true);
  std::vector<float> samples(64, 1.0f);
  std::vector<Cf> out(64, Cf(3, 3));
  float* s = samples.data();
  Cf* o = out.data();
  const vxStackLayout eight(1, 8, 8);
  // In order: the count, the sides, the pointers, the output's fit.
  EXPECT_THROW(vfForwardFFTStack(s, vxStackLayout(-1, 0, 8), o, eight), Defs::InvalidArgument);
  EXPECT_THROW(vfForwardFFTStack(s, vxStackLayout(1, 0, 8), o, eight), Defs::InvalidSize);
  EXPECT_THROW(vfForwardFFTStack(s, vxStackLayout(1, 8, 16385), o, eight), Defs::InvalidSize);
  EXPECT_THROW(vfForwardFFTStack<float>(nullptr, eight, o, eight), Defs::InvalidArgument);
  EXPECT_THROW(vfForwardFFTStack(s, eight, nullptr, eight), Defs::InvalidArgument);
  try {
    vfForwardFFTStack(s, eight, o, vxStackLayout(2, 8, 8));
    ADD_FAILURE() << "a count that differs was taken";
  } catch (const Defs::InvalidArgument& e) {
    EXPECT_STREQ(e.what(),
                 "The output stack must hold as many pictures as the input, of as many "
                 "rows.");
  }
  EXPECT_THROW(vfForwardFFTStack(s, eight, o, vxStackLayout(1, 6, 8)), Defs::InvalidArgument);
  EXPECT_THROW(vfComplexFFTStack(o, eight, o, vxStackLayout(1, 5, 8), false),
               Defs::InvalidArgument);
  EXPECT_THROW(vfInverseFFTRealStack(o, vxStackLayout(1, 4, 8), s, eight, 1.0f),
               Defs::InvalidArgument);
  {
    const vxExtendedScope compatible(false);
    EXPECT_THROW(vfForwardFFTStack(s, vxStackLayout(1, 6, 8), o, vxStackLayout(1, 6, 8)),
                 Defs::InvalidSize);
  }
  EXPECT_EQ(out, std::vector<Cf>(64, Cf(3, 3)));
  EXPECT_EQ(samples, std::vector<float>(64, 1.0f));
  // An empty stack is no error and writes nothing.
  vfForwardFFTStack<float>(nullptr, vxStackLayout(0, 8, 8), nullptr, vxStackLayout(0, 8, 8));
}

}  // namespace
