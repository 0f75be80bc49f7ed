// Colour pictures filtered in one call: the three channels of an interleaved 8-bit RGB
// picture of 2448 x 2048 (a 5-megapixel camera's) through vfFilterChannels, against one
// channel of it through vfFilterPicture, the same band-reject and padding, in the
// extended mode at the default sizing rule:
//
//   filter_colour/rgb/2448x2048       vfFilterChannels, the RGB picture into a kept
//                                     interleaved result
//   filter_colour/one/2448x2048       vfFilterPicture of the green channel, a picture of
//                                     its own (gathered once, outside the timing)
//   filter_colour_edge/...            the same with edge padding instead of the filters'
//                                     default (continued patterns)
//
// "_2t" after rgb or one runs the call under a parallel scope of a 2-thread pool (wall
// time). The ratio of rgb to one is what colour costs over grey: about 3 where the
// channels are filtered one after the other, at most 3.1 is the aim.
#include "bench_common.h"

#include "filt/extended.h"
#include "filt/filtering.h"
#include "filt/parallel.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using vxbench::Size;

constexpr Size kCamera = {2448, 2048};

// Three channels of randomImage, each from a seed of its own, interleaved.
std::vector<unsigned char> rgbPicture(Size s) {
  std::vector<unsigned char> rgb(static_cast<std::size_t>(3) * s.w * s.h);
  for (int c = 0; c < 3; ++c) {
    const std::vector<unsigned char> channel = vxbench::randomImage(s.w, s.h, 777 + 1000 * c);
    for (std::size_t i = 0; i < channel.size(); ++i) rgb[3 * i + c] = channel[i];
  }
  return rgb;
}

// The extended mode at the default sizing rule, and a pool of `threads` when above 1.
struct Setting {
  explicit Setting(long threads) {
    if (threads > 1) {
      pool = std::make_unique<vxThreadPool>(threads);
      scope = std::make_unique<vxParallelScope>(*pool);
    }
  }
  vxExtendedScope extended;
  std::unique_ptr<vxThreadPool> pool;
  std::unique_ptr<vxParallelScope> scope;
};

void filterColour(benchmark::State& state, Size s, vxPadding padding, bool rgb, long threads) {
  const Setting setting(threads);
  const vxPaddingOptions options{padding, vxWindow::none(), -1};
  const vxFrequencyFilterBandReject reject(0.02, 0.01, 0.2, vfPaddedTransformSize(s.w, s.h, -1), 1);
  const std::vector<const vxFrequencyFilter*> filters = {&reject};
  const std::vector<unsigned char> pixels = rgbPicture(s);
  std::vector<unsigned char> result(pixels.size());
  vxPelBuffer<unsigned char> green(s.w, s.h, 32);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      green.at(x, y) = pixels[3 * (static_cast<std::size_t>(y) * s.w + x) + 1];
  const vxPelBuffer_const<unsigned char> channel(green);
  for (auto _ : state) {
    if (rgb) {
      vfFilterChannels(pixels.data(), s.w, s.h, 3, 3L * s.w, result.data(), 3L * s.w, filters,
                       options);
    } else {
      const vxPelBuffer<double> filtered = vfFilterPicture(channel, filters, options);
      benchmark::DoNotOptimize(filtered.pointToOffset());
    }
    benchmark::ClobberMemory();
  }
  vxbench::setPixelCounters(state, s);
}

int registerColour() {
  const std::string size = "/" + std::to_string(kCamera.w) + "x" + std::to_string(kCamera.h);
  for (const vxPadding padding : {vxPadding::Continue, vxPadding::Edge})
    for (const long threads : {1L, 2L})
      for (const bool rgb : {true, false}) {
        const std::string name =
            std::string(padding == vxPadding::Edge ? "filter_colour_edge/" : "filter_colour/") +
            (rgb ? "rgb" : "one") + (threads > 1 ? "_2t" : "") + size;
        benchmark::RegisterBenchmark(name.c_str(), filterColour, kCamera, padding, rgb, threads)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
      }
  return 0;
}

const int registered = registerColour();

}  // namespace
