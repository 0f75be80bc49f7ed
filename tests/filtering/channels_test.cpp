// The channels of an interleaved picture filtered one by one: each channel's result is
// vfFilterPicture's of that channel alone, rounded and saturated for 8 and 16 bits; at
// any row strides, in place, on odd sizes, in both modes, under a thread pool; halves
// round to even; bad arguments are refused with their messages before anything is
// written.
#include "filt/filtering.h"

#include "filt/extended.h"
#include "filt/parallel.h"
#include "filt/threads/rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

// A picture of `channels` interleaved channels, rows `stride` values apart, the values
// between rows set to `gap`: a gradient, a little noise and, in channel 0 and 2, a
// periodic pattern (at 0.125 and 0.2 cycles per pixel) for the continued padding to
// find; channel 1 has none. Values span most of T's range (0 to 255 for double).
template <class T>
std::vector<T> picture(long w, long h, long channels, long stride, T gap) {
  std::vector<T> values(static_cast<std::size_t>(stride * h), gap);
  const double top = sizeof(T) == 2 ? 65535.0 : 255.0;
  unsigned seed = 12345;
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      for (long c = 0; c < channels; ++c) {
        seed = seed * 1103515245u + 12345u;
        const double noise = static_cast<double>((seed >> 16) % 100) / 100.0 - 0.5;
        double v = 0.4 + 0.3 * x / w - 0.1 * y / h + 0.04 * noise + 0.03 * c;
        if (c % 3 == 0) v += 0.12 * std::cos(2 * kPi * 0.125 * x);
        if (c % 3 == 2) v += 0.1 * std::cos(2 * kPi * 0.2 * (0.6 * x + 0.8 * y));
        values[static_cast<std::size_t>(y * stride + x * channels + c)] =
            static_cast<T>(std::floor(v * top));
      }
  return values;
}

// Channel c of an interleaved picture as a picture of its own.
template <class T>
vxPelBuffer<T> channelOf(const std::vector<T>& values, long w, long h, long channels, long stride,
                         long c) {
  vxPelBuffer<T> out(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      out.at(x, y) = values[static_cast<std::size_t>(y * stride + x * channels + c)];
  return out;
}

// A filtered value as a pixel: nearest integer, halves to even, within T's range.
template <class T>
T pixelOf(double v) {
  if (std::is_floating_point<T>::value) return static_cast<T>(v);
  if (std::isnan(v)) return 0;
  const double top = std::numeric_limits<T>::max();
  return static_cast<T>(std::nearbyint(std::min(std::max(v, 0.0), top)));
}

// The filters of the checks, built for the padded transform of a w x h picture: a
// band-reject of the pattern of channel 0, a Gabor filter (whose result is complex:
// the channels keep its real part), and the transform of a small kernel.
struct Filters {
  Filters(long w, long h, long margin) {
    const vxPair<long> size = vfPaddedTransformSize(w, h, margin);
    reject = std::make_unique<vxFrequencyFilterBandReject>(0.01, 0.003, 0.125, size, 1);
    gabor = std::make_unique<vxFrequencyFilterGabor>(
        vxPair<double>(0.05, 0.03), vxPair<double>(0.0, 0.0), vxRadian(0.6), 0.15, size, 0);
    vxPelBuffer<double> k(size.x, size.y, 32);
    k.at(0, 0) = 0.5;
    k.at(1, 0) = k.at(size.x - 1, 0) = k.at(0, 1) = k.at(0, size.y - 1) = 0.125;
    vxFrequencyBuffer spectrum;
    vfForwardFFT<double>(k, spectrum);
    kernel = std::make_unique<vxFrequencyFilterImage>(spectrum);
  }
  std::unique_ptr<vxFrequencyFilterBandReject> reject;
  std::unique_ptr<vxFrequencyFilterGabor> gabor;
  std::unique_ptr<vxFrequencyFilterImage> kernel;
};

// Filters a picture of `channels` channels with each list of filters and padding: out of
// place at another row stride (the values between its rows untouched) and in place,
// both the channels' vfFilterPicture values, bit for bit once converted.
template <class T>
void expectChannelsAlone(long w, long h, long channels) {
  const long stride = w * channels + 3, outStride = w * channels + 5;
  const std::vector<T> in = picture<T>(w, h, channels, stride, T(7));
  for (vxPadding padding : {vxPadding::Continue, vxPadding::Reflect, vxPadding::Zero}) {
    const vxPaddingOptions options{padding, vxWindow::none(), padding == vxPadding::Zero ? 0 : -1};
    const Filters f(w, h, options.margin);
    for (const std::vector<const vxFrequencyFilter*>& filters :
         std::vector<std::vector<const vxFrequencyFilter*>>{
             {f.reject.get()}, {f.gabor.get()}, {f.kernel.get(), f.reject.get()}}) {
      std::vector<T> out(static_cast<std::size_t>(outStride * h), T(9));
      vfFilterChannels(in.data(), w, h, channels, stride, out.data(), outStride, filters, options);
      std::vector<T> inPlace = in;
      vfFilterChannels(inPlace.data(), w, h, channels, stride, inPlace.data(), stride, filters,
                       options);
      for (long c = 0; c < channels; ++c) {
        const vxPelBuffer<double> alone = vfFilterPicture(
            vxPelBuffer_const<T>(channelOf(in, w, h, channels, stride, c)), filters, options);
        for (long y = 0; y < h; ++y)
          for (long x = 0; x < w; ++x) {
            const T expected = pixelOf<T>(alone.at(x, y));
            const T got = out[static_cast<std::size_t>(y * outStride + x * channels + c)];
            const T there = inPlace[static_cast<std::size_t>(y * stride + x * channels + c)];
            ASSERT_EQ(0, std::memcmp(&expected, &got, sizeof(T)))
                << "channel " << c << " at " << x << ", " << y << ": " << +got << " for "
                << +expected << ", padding " << static_cast<int>(padding);
            ASSERT_EQ(0, std::memcmp(&expected, &there, sizeof(T))) << "in place";
          }
      }
      for (long y = 0; y < h; ++y)
        for (long i = w * channels; i < outStride; ++i)
          ASSERT_EQ(out[static_cast<std::size_t>(y * outStride + i)], T(9)) << "row gap written";
    }
  }
}

// The error of `call` is `E` with `message`.
template <class E, class F>
void expectRefused(const F& call, const char* message) {
  try {
    call();
    ADD_FAILURE() << "accepted; expected: " << message;
  } catch (const E& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

TEST(Channels, EachChannelIsThePictureFilteredAlone) {
  expectChannelsAlone<unsigned char>(37, 23, 3);
  expectChannelsAlone<unsigned short>(29, 31, 3);
  expectChannelsAlone<double>(21, 17, 4);
  const vxExtendedScope extended(true);
  expectChannelsAlone<unsigned char>(45, 27, 3);
  expectChannelsAlone<unsigned short>(33, 19, 4);
}

// A 2 x 2 picture at its own size: the transforms of small integers are exact, so a
// gain of 0.5 makes exact halves, which round to even, and gains of 3 and -1 leave the
// pixel range, which saturates.
TEST(Channels, HalvesRoundToEvenAndValuesSaturate) {
  const vxExtendedScope extended(true);
  const vxPaddingOptions plain{vxPadding::Zero, vxWindow::none(), 0};
  const auto gain = [](double g) {
    vxPelBuffer<double> re(2, 2, 32), im(2, 2, 32);
    vfPelSet(re, g);
    return vxFrequencyFilterImage(vxFrequencyBuffer(re, im));
  };
  const vxFrequencyFilterImage half = gain(0.5), triple = gain(3.0), negated = gain(-1.0);
  // Two channels: 1 3 5 7 and 200 9 11 254.
  const std::vector<unsigned char> in8 = {1, 200, 3, 9, 5, 11, 7, 254};
  std::vector<unsigned char> out8(8);
  vfFilterChannels(in8.data(), 2, 2, 2, 4, out8.data(), 4, {&half}, plain);
  EXPECT_EQ(out8, (std::vector<unsigned char>{0, 100, 2, 4, 2, 6, 4, 127}));
  vfFilterChannels(in8.data(), 2, 2, 2, 4, out8.data(), 4, {&triple}, plain);
  EXPECT_EQ(out8, (std::vector<unsigned char>{3, 255, 9, 27, 15, 33, 21, 255}));
  vfFilterChannels(in8.data(), 2, 2, 2, 4, out8.data(), 4, {&negated}, plain);
  EXPECT_EQ(out8, std::vector<unsigned char>(8, 0));
  const std::vector<unsigned short> in16 = {1, 60000, 3, 21845, 65535, 2, 7, 65534};
  std::vector<unsigned short> out16(8);
  vfFilterChannels(in16.data(), 2, 2, 2, 4, out16.data(), 4, {&triple}, plain);
  EXPECT_EQ(out16, (std::vector<unsigned short>{3, 65535, 9, 65535, 65535, 6, 21, 65535}));
  vfFilterChannels(in16.data(), 2, 2, 2, 4, out16.data(), 4, {&half}, plain);
  EXPECT_EQ(out16, (std::vector<unsigned short>{0, 30000, 2, 10922, 32768, 1, 4, 32767}));
}

// The pool's threads, none of which holds the caller's scopes, give the caller's bits
// under its sizing rule, and refuse what it refuses.
TEST(Channels, ThreadsGiveTheBitsOfOneThread) {
  const vxExtendedScope extended(true);
  const long w = 39, h = 26;
  const std::vector<unsigned char> rgb = picture<unsigned char>(w, h, 3, 3 * w, 0);
  const std::vector<double> five = picture<double>(w, h, 5, 5 * w, 0.0);
  // A sizing rule other than the default, which the pool's threads must follow too: the
  // filters are built for the transform size it gives.
  for (int explicitSize = 0; explicitSize < 2; ++explicitSize) {
    const std::unique_ptr<vxSizingScope> sizing =
        explicitSize ? std::make_unique<vxSizingScope>(64, 48)
                     : std::make_unique<vxSizingScope>(vxSizeRule::NextPowerOfTwo);
    const vxPaddingOptions options{vxPadding::Continue, vxWindow::none(), -1};
    const Filters f(w, h, options.margin);
    const std::vector<const vxFrequencyFilter*> filters = {f.reject.get()};
    std::vector<unsigned char> alone(rgb.size() + 1, 0xEE), split(alone);  // a guard at the end
    std::vector<double> aloneD(five.size() + 1, 1234.5), splitD(aloneD);
    vfFilterChannels(rgb.data(), w, h, 3, 3 * w, alone.data(), 3 * w, filters, options);
    vfFilterChannels(five.data(), w, h, 5, 5 * w, aloneD.data(), 5 * w, filters, options);
    for (int threads = 2; threads < 4; ++threads) {
      vxThreadPool pool(threads);
      const vxParallelScope scope(pool);
      const vx_detail::SplitAlways always;
      vfFilterChannels(rgb.data(), w, h, 3, 3 * w, split.data(), 3 * w, filters, options);
      vfFilterChannels(five.data(), w, h, 5, 5 * w, splitD.data(), 5 * w, filters, options);
      EXPECT_EQ(alone, split) << threads << " threads";
      EXPECT_EQ(0, std::memcmp(aloneD.data(), splitD.data(), aloneD.size() * sizeof(double)));
      EXPECT_EQ(split.back(), 0xEE);
      EXPECT_EQ(splitD.back(), 1234.5);
      // A filter of another size fails on the pool's threads as on the caller's, before
      // any channel is written.
      const vxFrequencyFilterBandReject other(0.01, 0.0, 0.1, vxPair<long>(32, 32), 0);
      std::vector<unsigned char> untouched(rgb.size(), 5);
      expectRefused<vxFrequencyDefs::InvalidSize>(
          [&] {
            vfFilterChannels(rgb.data(), w, h, 3, 3 * w, untouched.data(), 3 * w, {&other},
                             options);
          },
          "Size of frequency buffer does not match size of filter.");
      EXPECT_EQ(untouched, std::vector<unsigned char>(rgb.size(), 5));
    }
  }
}

TEST(Channels, RefusesBadArgumentsBeforeWritingAnything) {
  using Defs = vxFrequencyDefs;
  const long w = 12, h = 10;
  std::vector<unsigned char> in = picture<unsigned char>(w, h, 3, 3 * w, 0);
  std::vector<unsigned char> out(in.size() + 64, 77);
  const vxPaddingOptions options{vxPadding::Reflect, vxWindow::none(), -1};
  const vxPaddingOptions continued{vxPadding::Continue, vxWindow::none(), -1};
  const Filters f(w, h, -1);
  const std::vector<const vxFrequencyFilter*> reject = {f.reject.get()};
  const auto run = [&](const unsigned char* p, long width, long height, long channels, long stride,
                       unsigned char* r, long rstride,
                       const std::vector<const vxFrequencyFilter*>& filters,
                       const vxPaddingOptions& o) {
    return [=] { vfFilterChannels(p, width, height, channels, stride, r, rstride, filters, o); };
  };
  unsigned char* o = out.data();
  const unsigned char* p = in.data();
  // In order: the channels, the sides, the pointers, the row strides, the overlap.
  expectRefused<Defs::InvalidArgument>(run(p, w, h, 0, 3 * w, o, 3 * w, reject, options),
                                       "A picture must have 1 or more channels.");
  expectRefused<Defs::InvalidSize>(run(p, 0, h, 3, 3 * w, o, 3 * w, reject, options),
                                   "Width and Height must be between 1 and 2048.");
  {
    const vxExtendedScope extended(true);
    expectRefused<Defs::InvalidSize>(run(p, 16385, h, 3, 3 * w, o, 3 * w, reject, options),
                                     "Width and Height must be between 1 and 16384.");
  }
  expectRefused<Defs::InvalidArgument>(run(nullptr, w, h, 3, 3 * w, o, 3 * w, reject, options),
                                       "The pixels and the result must not be null.");
  expectRefused<Defs::InvalidArgument>(run(p, w, h, 3, 3 * w, nullptr, 3 * w, reject, options),
                                       "The pixels and the result must not be null.");
  const char* rows =
      "Rows must lie at least width x channels values apart, within the address "
      "space.";
  expectRefused<Defs::InvalidArgument>(run(p, w, h, 3, 3 * w - 1, o, 3 * w, reject, options), rows);
  expectRefused<Defs::InvalidArgument>(run(p, w, h, 3, 3 * w, o, -3 * w, reject, options), rows);
  expectRefused<Defs::InvalidArgument>(run(p, w, h, LONG_MAX / 2, 3 * w, o, 3 * w, reject, options),
                                       rows);
  const char* overlap =
      "The result must be the pixels themselves, with the same row stride, or lie apart from "
      "them.";
  expectRefused<Defs::InvalidArgument>(run(o, w, h, 3, 3 * w, o + 1, 3 * w, reject, options),
                                       overlap);
  expectRefused<Defs::InvalidArgument>(run(o + 40, w, h, 3, 3 * w, o, 3 * w, reject, options),
                                       overlap);
  expectRefused<Defs::InvalidArgument>(run(o, w, h, 3, 3 * w, o, 3 * w + 1, reject, options),
                                       overlap);
  // Then the options and the filters, as vfFilterPicture refuses them (its own tests
  // go through each): one of each kind here.
  expectRefused<Defs::InvalidArgument>(run(p, w, h, 3, 3 * w, o, 3 * w, {}, continued),
                                       "A filter is needed to continue the picture's patterns.");
  // A filter of another size, or unbuilt: every channel meets it before it is written.
  const vxFrequencyFilterBandReject other(0.01, 0.0, 0.1, vxPair<long>(32, 32), 0);
  const vxFrequencyFilterBandReject unbuilt;
  for (const vxPaddingOptions& padding : {options, continued}) {
    expectRefused<Defs::InvalidSize>(run(p, w, h, 3, 3 * w, o, 3 * w, {&other}, padding),
                                     "Size of frequency buffer does not match size of filter.");
    expectRefused<Defs::Uninitialized>(run(p, w, h, 3, 3 * w, o, 3 * w, {&unbuilt}, padding),
                                       "FrequencyFilter has not been initialized");
  }
  EXPECT_EQ(out, std::vector<unsigned char>(out.size(), 77));
}

}  // namespace
