// A C++ program that loads a filter chain saved by the filter workbench (vxfreq.workbench)
// with vxArchive, filters a picture with it as the page does, and compares the result
// with the page's, bit for bit:
//
//   vxfreq_workbench_chain_check CHAIN.vxa PICTURE.pgm|ppm EXPECTED.pgm|ppm
//
// The chain's archive: the string "vxfreq filter chain", the version (1), the mode
// ("extended" or "compatible") and the padding's name, the margin (-1: the default), the
// number of filters, then each filter through a vxFrequencyFilter pointer. Each channel
// of the picture is filtered by vfFilterPicture with the filters in order, the result
// rounded to the nearest integer (halves to even) and saturated, as the page converts.
// Prints "identical ..." and exits 0 when every value matches; 1 otherwise, 2 for a file
// it cannot read.
#include "filt/extended.h"
#include "filt/filtering.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Picture {
  long width = 0, height = 0, channels = 0, maxval = 0;
  std::vector<unsigned> values;  // width * height * channels, interleaved
};

bool readPnm(const char* path, Picture& p) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  if (!(in >> magic) || (magic != "P5" && magic != "P6")) return false;
  if (!(in >> p.width >> p.height >> p.maxval) || p.width < 1 || p.height < 1 || p.maxval < 1 ||
      p.maxval > 65535)
    return false;
  in.get();
  p.channels = magic == "P6" ? 3 : 1;
  const std::size_t count = static_cast<std::size_t>(p.width * p.height * p.channels);
  const int bytes = p.maxval > 255 ? 2 : 1;
  std::vector<unsigned char> raw(count * bytes);
  if (!in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size())))
    return false;
  p.values.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    p.values[i] = bytes == 2 ? (raw[2 * i] << 8u) | raw[2 * i + 1] : raw[i];
  return true;
}

vxPadding paddingOf(const std::wstring& name) {
  if (name == L"continue") return vxPadding::Continue;
  if (name == L"reflect") return vxPadding::Reflect;
  if (name == L"edge") return vxPadding::Edge;
  if (name == L"mean") return vxPadding::Mean;
  if (name == L"zero") return vxPadding::Zero;
  throw std::runtime_error("unknown padding in the chain");
}

// One channel of the picture filtered, in the picture's own type, as the page converts.
template <class T>
std::vector<unsigned> filterChannel(const Picture& p, long c,
                                    const std::vector<const vxFrequencyFilter*>& filters,
                                    const vxPaddingOptions& options, double top) {
  vxPelBuffer<T> image(p.width, p.height, 32);
  for (long y = 0; y < p.height; ++y)
    for (long x = 0; x < p.width; ++x)
      image.at(x, y) = static_cast<T>(p.values[(y * p.width + x) * p.channels + c]);
  const vxPelBuffer<double> real = vfFilterPicture<T>(image, filters, options);
  std::vector<unsigned> out(static_cast<std::size_t>(p.width * p.height));
  for (long y = 0; y < p.height; ++y)
    for (long x = 0; x < p.width; ++x) {
      double v = std::nearbyint(real.at(x, y));  // halves to even
      v = std::isnan(v) ? 0.0 : std::fmin(std::fmax(v, 0.0), top);
      out[static_cast<std::size_t>(y * p.width + x)] = static_cast<unsigned>(v);
    }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CHAIN.vxa PICTURE.pnm EXPECTED.pnm\n", argv[0]);
    return 2;
  }
  Picture picture, expected;
  if (!readPnm(argv[2], picture) || !readPnm(argv[3], expected)) {
    std::fprintf(stderr, "cannot read the pictures\n");
    return 2;
  }
  if (picture.width != expected.width || picture.height != expected.height ||
      picture.channels != expected.channels) {
    std::printf("different sizes\n");
    return 1;
  }
  std::wstring tag, mode, padding;
  long version = 0, margin = -1, count = 0;
  std::vector<std::unique_ptr<vxFrequencyFilter>> filters;
  // The filters load, and are applied, in the mode the chain names: the extended mode's
  // filters have sizes that the compatible mode does not build.
  std::unique_ptr<vxExtendedScope> scope;
  try {
    std::ifstream file(argv[1], std::ios::binary);
    vxArchive ar(file);
    ar || tag || version;
    if (tag != L"vxfreq filter chain" || version != 1) {
      std::fprintf(stderr, "not a filter chain of version 1\n");
      return 2;
    }
    ar || mode || padding || margin || count;
    if (count < 0 || count > 1024) {
      std::fprintf(stderr, "not a filter chain: %ld filters\n", count);
      return 2;
    }
    scope = std::make_unique<vxExtendedScope>(mode == L"extended");
    for (long i = 0; i < count; ++i) {
      vxFrequencyFilter* f = nullptr;
      ar || f;
      filters.emplace_back(f);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot load the chain: %s\n", e.what());
    return 2;
  }
  std::vector<const vxFrequencyFilter*> list;
  for (const auto& f : filters) list.push_back(f.get());

  vxPaddingOptions options;
  options.padding = paddingOf(padding);
  options.margin = margin;
  const bool wide = picture.maxval > 255;
  long differing = 0;
  for (long c = 0; c < picture.channels; ++c) {
    const std::vector<unsigned> result =
        list.empty() ? std::vector<unsigned>()
        : wide       ? filterChannel<unsigned short>(picture, c, list, options, 65535.0)
                     : filterChannel<unsigned char>(picture, c, list, options, 255.0);
    for (long i = 0; i < picture.width * picture.height; ++i) {
      const unsigned want = expected.values[static_cast<std::size_t>(i * picture.channels + c)];
      const unsigned got = list.empty()
                               ? picture.values[static_cast<std::size_t>(i * picture.channels + c)]
                               : result[static_cast<std::size_t>(i)];
      if (got != want && differing++ < 5)
        std::printf("differs at x %ld y %ld channel %ld: %u, the page %u\n", i % picture.width,
                    i / picture.width, c, got, want);
    }
  }
  if (differing != 0) {
    std::printf("%ld values differ\n", differing);
    return 1;
  }
  std::printf("identical: %ld x %ld, %ld channel(s), %ld filter(s), %ls padding, %ls mode\n",
              picture.width, picture.height, picture.channels, count, padding.c_str(),
              mode.c_str());
  return 0;
}
