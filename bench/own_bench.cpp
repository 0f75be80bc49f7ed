// The library against itself: what a choice costs against the call it is an alternative
// to, measured in the same run. bench/ratios.py --own prints the ratios.
//
//   filter_picture/edge, /continue   vfFilterPicture of an 8-bit photograph-like picture
//                                    (smooth shapes, noise and a screen pattern of 0.13
//                                    cycles per pixel at 30 degrees, amplitude 25) with a
//                                    band-reject of the pattern's ring, sigma 0.004;
//                                    /continue_none: the same picture without the
//                                    pattern, where nothing stands out (Edge's padding)
#include "bench_common.h"
#include "filt/extended.h"
#include "filt/filtering.h"

#include <cmath>
#include <vector>

namespace {

using vxbench::Size;

const double kPi = 3.14159265358979323846;

vxPelBuffer<unsigned char> photographLike(Size s, bool pattern) {
  const std::vector<float> noise = vxbench::randomFloats(static_cast<std::size_t>(s.w) * s.h);
  vxPelBuffer<unsigned char> image(s.w, s.h, 32);
  const double a = 30.0 * kPi / 180.0;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      double v = 8.0 * noise[static_cast<std::size_t>(y) * s.w + x] +
                 60.0 * std::sin(0.011 * x) * std::cos(0.017 * y) + 110.0;
      if (pattern) v += 25.0 * std::cos(2 * kPi * 0.13 * (x * std::cos(a) + y * std::sin(a)));
      image.at(x, y) = static_cast<unsigned char>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
    }
  return image;
}

void filterPicture(benchmark::State& state, Size s, vxPadding padding, bool pattern) {
  const vxExtendedScope extended;
  const vxPelBuffer<unsigned char> image = photographLike(s, pattern);
  const vxPair<long> size = vfPaddedTransformSize(s.w, s.h, -1);
  const vxFrequencyFilterBandReject reject(0.004, 0.003, 0.13, size, 0);
  const vxPaddingOptions options{padding, vxWindow::none(), -1};
  for (auto _ : state) {
    vxPelBuffer<double> out =
        vfFilterPicture(vxPelBuffer_const<unsigned char>(image), {&reject}, options);
    benchmark::DoNotOptimize(out.at(0, 0));
  }
  vxbench::setPixelCounters(state, s);
}

const Size kFilterSizes[] = {{384, 303}, {512, 512}, {1024, 1024}, {2448, 2048}};

const bool kRegistered = [] {
  for (Size s : kFilterSizes) {
    benchmark::RegisterBenchmark(vxbench::name("filter_picture", "edge", s).c_str(), filterPicture,
                                 s, vxPadding::Edge, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(vxbench::name("filter_picture", "continue", s).c_str(),
                                 filterPicture, s, vxPadding::Continue, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(vxbench::name("filter_picture", "continue_none", s).c_str(),
                                 filterPicture, s, vxPadding::Continue, false)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
