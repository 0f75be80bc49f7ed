// What the benchmarks share: the sizes, deterministic inputs and the naming scheme
// "<operation>/<implementation>/<W>x<H>" that bench/ratios.py reads back.
#ifndef VXFREQ_BENCH_COMMON_H
#define VXFREQ_BENCH_COMMON_H

#include "filt/fft.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vxbench {

struct Size {
  int w, h;
};

// Square sizes from 256 to 2048 and one wide array.
inline const std::vector<Size>& sizes() {
  static const std::vector<Size> list = {
      {256, 256}, {512, 512}, {1024, 1024}, {2048, 2048}, {1024, 256}};
  return list;
}

inline std::string name(const std::string& operation, const std::string& implementation, Size s) {
  return operation + "/" + implementation + "/" + std::to_string(s.w) + "x" + std::to_string(s.h);
}

// Floats in [-1, 1), the same sequence on every run.
inline std::vector<float> randomFloats(std::size_t count, std::uint64_t seed = 12345) {
  std::vector<float> v(count);
  for (float& f : v) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    f = static_cast<float>(static_cast<std::int32_t>(seed >> 40) - 8388608) / 8388608.0f;
  }
  return v;
}

// 8-bit samples of a smooth pattern plus noise, as a camera image might hold.
inline std::vector<unsigned char> randomImage(int w, int h, std::uint64_t seed = 777) {
  std::vector<unsigned char> img(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      const int noise = static_cast<int>((seed >> 59) & 15);
      img[static_cast<std::size_t>(y) * w + x] =
          static_cast<unsigned char>(((x ^ y) & 0x7f) + 64 + noise);
    }
  return img;
}

// randomImage as an 8-bit picture.
inline vxPelBuffer<unsigned char> picture(Size s) {
  const std::vector<unsigned char> samples = randomImage(s.w, s.h);
  vxPelBuffer<unsigned char> image(s.w, s.h, 32);
  for (int y = 0; y < s.h; ++y)
    std::memcpy(&image.at(0, y), samples.data() + static_cast<std::size_t>(y) * s.w, s.w);
  return image;
}

inline void setPixelCounters(benchmark::State& state, Size s) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.w) * s.h);
  state.counters["W"] = s.w;
  state.counters["H"] = s.h;
}

}  // namespace vxbench

#endif
