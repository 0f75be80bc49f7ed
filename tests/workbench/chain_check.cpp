// A C++ program that loads a filter chain saved by the filter workbench (vxfreq.workbench)
// with vxArchive, filters a picture with it as the page does, and compares the result
// with the page's, bit for bit:
//
//   vxfreq_workbench_chain_check CHAIN.vxa PICTURE.pgm|ppm EXPECTED.pgm|ppm
//
// The chain's archive: the string "vxfreq filter chain", the version (1), the mode
// ("extended" or "compatible") and the padding's name, the margin (-1: the default), the
// number of filters, then each filter through a vxFrequencyFilter pointer. Each channel
// of the picture is filtered by vfFilterChannels (vfFilterPicture for each channel)
// with the filters in order, rounded (halves to even) and saturated, as the page converts.
// Prints "identical ..." and exits 0 when every value matches; 1 otherwise, 2 for a file
// it cannot read.
#include "filt/extended.h"
#include "filt/filtering.h"

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

// The picture's channels filtered as the page filters them: each alone, rounded (halves
// to even) and saturated in the picture's own type (vfFilterChannels' conversion).
template <class T>
std::vector<unsigned> filtered(const Picture& p,
                               const std::vector<const vxFrequencyFilter*>& filters,
                               const vxPaddingOptions& options) {
  std::vector<T> values(p.values.size());
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<T>(p.values[i]);
  const long row = p.width * p.channels;
  if (!filters.empty())
    vfFilterChannels<T>(values.data(), p.width, p.height, p.channels, row, values.data(), row,
                        filters, options);
  return std::vector<unsigned>(values.begin(), values.end());
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
  const std::vector<unsigned> result = picture.maxval > 255
                                           ? filtered<unsigned short>(picture, list, options)
                                           : filtered<unsigned char>(picture, list, options);
  long differing = 0;
  for (std::size_t i = 0; i < result.size(); ++i) {
    const long pixel = static_cast<long>(i) / picture.channels;
    if (result[i] != expected.values[i] && differing++ < 5)
      std::printf("differs at x %ld y %ld channel %ld: %u, the page %u\n", pixel % picture.width,
                  pixel / picture.width, static_cast<long>(i) % picture.channels, result[i],
                  expected.values[i]);
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
