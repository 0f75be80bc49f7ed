// What the filter workbench (vxfreq.workbench) needs of the library beyond the public
// calls: the patterns the continued padding finds (vfFindPatterns), the filter chain's
// archive as a C++ program reads it, and the row filters of PNG pictures undone.
#include "bindings.h"
#include "python_support.h"

#include "filt/patterns.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace py = pybind11;

namespace vxpy {

namespace {

// The first value of a filter chain's archive: what the file is.
const wchar_t* const kChainTag = L"vxfreq filter chain";
constexpr long kChainVersion = 1;

// The filters whose archive bytes (a filter's __getstate__) are `states`, loaded.
std::vector<std::unique_ptr<vxFrequencyFilter>> loadFilters(const std::vector<py::bytes>& states) {
  std::vector<std::unique_ptr<vxFrequencyFilter>> filters;
  for (const py::bytes& state : states)
    loadArchived(state, [&](vxArchive& ar) {
      vxFrequencyFilter* p = nullptr;
      ar || p;
      filters.emplace_back(p);
    });
  return filters;
}

std::vector<const vxFrequencyFilter*> pointers(
    const std::vector<std::unique_ptr<vxFrequencyFilter>>& filters) {
  std::vector<const vxFrequencyFilter*> list;
  for (const auto& f : filters) list.push_back(f.get());
  return list;
}

template <class T>
std::vector<vxPatternPeak> patternsOf(const py::array_t<T, py::array::c_style>& picture,
                                      const std::vector<const vxFrequencyFilter*>& filters,
                                      const vxPaddingOptions& options) {
  if (picture.ndim() != 2) throw py::value_error("the picture must be a 2-D array");
  const long h = static_cast<long>(picture.shape(0)), w = static_cast<long>(picture.shape(1));
  vxPelBuffer<T> image(w, h, 32);
  const T* pixels = picture.data();
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = pixels[y * w + x];
  std::vector<vxPatternPeak> found;
  runLibrary([&] { found = vfFindPatterns<T>(image, filters, options); });
  return found;
}

py::list findPatterns(const py::array& picture, const std::vector<py::bytes>& states, long margin) {
  const auto filters = loadFilters(states);
  vxPaddingOptions options;
  options.padding = vxPadding::Continue;
  options.margin = margin;
  std::vector<vxPatternPeak> found;
  const auto list = pointers(filters);
  if (py::isinstance<py::array_t<std::uint8_t>>(picture))
    found = patternsOf<unsigned char>(picture.cast<py::array_t<std::uint8_t, py::array::c_style>>(),
                                      list, options);
  else if (py::isinstance<py::array_t<std::uint16_t>>(picture))
    found = patternsOf<unsigned short>(
        picture.cast<py::array_t<std::uint16_t, py::array::c_style>>(), list, options);
  else if (py::isinstance<py::array_t<double>>(picture))
    found =
        patternsOf<double>(picture.cast<py::array_t<double, py::array::c_style>>(), list, options);
  else
    throw py::type_error("the picture must hold uint8, uint16 or float64 values");
  py::list out;
  for (const vxPatternPeak& p : found) out.append(py::make_tuple(p.fx, p.fy, p.amplitude));
  return out;
}

// The chain's archive: the tag, the version, the mode ("extended" or "compatible"), the
// padding's name, the margin (-1: the default), the number of filters, then each filter
// through a vxFrequencyFilter pointer.
py::bytes chainArchive(const std::string& mode, const std::string& padding, long margin,
                       const std::vector<py::bytes>& states) {
  const auto filters = loadFilters(states);
  return archived([&](vxArchive& ar) {
    std::wstring tag = kChainTag, m(mode.begin(), mode.end()), p(padding.begin(), padding.end());
    long version = kChainVersion, mg = margin, count = static_cast<long>(filters.size());
    ar || tag;
    ar || version;
    ar || m;
    ar || p;
    ar || mg;
    ar || count;
    for (const auto& f : filters) {
      vxFrequencyFilter* q = f.get();
      ar || q;
    }
  });
}

std::string narrow(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) {
    if (c < 0x20 || c > 0x7e) throw py::value_error("not a filter chain: a name is not ASCII");
    out.push_back(static_cast<char>(c));
  }
  return out;
}

// (mode, padding, margin, [filter states]) of a chain's archive.
py::tuple chainFromArchive(const py::bytes& data) {
  std::string mode, padding;
  long margin = -1;
  std::vector<std::unique_ptr<vxFrequencyFilter>> filters;
  loadArchived(data, [&](vxArchive& ar) {
    std::wstring tag, m, p;
    long version = 0, count = 0;
    ar || tag;
    if (tag != kChainTag) throw py::value_error("not a filter chain of vxfreq");
    ar || version;
    if (version != kChainVersion)
      throw py::value_error("a filter chain of version " + std::to_string(version) +
                            ", this vxfreq reads version 1");
    ar || m || p || margin || count;
    mode = narrow(m);
    padding = narrow(p);
    if (count < 0 || count > 1024)
      throw py::value_error("not a filter chain: " + std::to_string(count) + " filters");
    for (long i = 0; i < count; ++i) {
      vxFrequencyFilter* q = nullptr;
      ar || q;
      filters.emplace_back(q);
    }
  });
  py::list states;
  for (const auto& f : filters)
    states.append(archived([&](vxArchive& ar) {
      vxFrequencyFilter* q = f.get();
      ar || q;
    }));
  return py::make_tuple(mode, padding, margin, states);
}

// PNG's row filters undone: `data` holds `height` rows of 1 + `rowBytes` bytes (the
// filter type, then the filtered row), `pixelBytes` bytes per pixel (at least 1).
py::bytes pngUnfilter(const py::bytes& data, long height, long rowBytes, long pixelBytes) {
  const std::string in = data;
  if (height < 0 || rowBytes < 0 || pixelBytes < 1 ||
      static_cast<double>(in.size()) < static_cast<double>(height) * (rowBytes + 1))
    throw py::value_error("truncated PNG (its pixel data ends before all its rows)");
  std::string out(static_cast<std::size_t>(height) * static_cast<std::size_t>(rowBytes), '\0');
  int badType = -1;
  {
    py::gil_scoped_release release;
    auto* o = reinterpret_cast<unsigned char*>(&out[0]);
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    for (long y = 0; y < height && badType < 0; ++y) {
      const unsigned char type = s[y * (rowBytes + 1)];
      const unsigned char* src = s + y * (rowBytes + 1) + 1;
      unsigned char* row = o + y * rowBytes;
      const unsigned char* prior = y > 0 ? row - rowBytes : nullptr;
      for (long i = 0; i < rowBytes; ++i) {
        const int a = i >= pixelBytes ? row[i - pixelBytes] : 0;
        const int b = prior != nullptr ? prior[i] : 0;
        const int c = prior != nullptr && i >= pixelBytes ? prior[i - pixelBytes] : 0;
        int predicted = 0;
        switch (type) {
          case 0:
            break;
          case 1:
            predicted = a;
            break;
          case 2:
            predicted = b;
            break;
          case 3:
            predicted = (a + b) / 2;
            break;
          case 4: {
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                      pc = std::abs(p - c);
            predicted = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
            break;
          }
          default:
            badType = type;
            break;
        }
        row[i] = static_cast<unsigned char>(src[i] + predicted);
      }
    }
  }
  if (badType >= 0)
    throw py::value_error("corrupt PNG: row filter type " + std::to_string(badType));
  return py::bytes(out);
}

}  // namespace

void bindWorkbench(py::module_& m) {
  m.def("_find_patterns", &findPatterns, py::arg("picture"), py::arg("filter_states"),
        py::arg("margin") = -1,
        "The patterns the continued padding finds for the filters whose archive bytes are "
        "filter_states (C++ vfFindPatterns): a list of (fx, fy, amplitude), fx >= 0, "
        "strongest first. picture: a C-contiguous 2-D uint8, uint16 or float64 array; "
        "margin as filter_picture's (-1: an eighth of each side).");
  m.def("_chain_archive", &chainArchive, py::arg("mode"), py::arg("padding"), py::arg("margin"),
        py::arg("filter_states"),
        "The archive of a filter chain as a C++ program loads it with vxArchive: the tag "
        "'vxfreq filter chain', the version (1), the mode and padding names, the margin, the "
        "number of filters and each filter through a vxFrequencyFilter pointer.");
  m.def("_chain_from_archive", &chainFromArchive, py::arg("data"),
        "(mode, padding, margin, filter states) of a filter chain's archive; ValueError for "
        "bytes that are no chain, the archive errors for damaged ones.");
  m.def("_png_unfilter", &pngUnfilter, py::arg("data"), py::arg("height"), py::arg("row_bytes"),
        py::arg("pixel_bytes"),
        "The rows of a PNG picture's inflated pixel data with their row filters undone.");
}

}  // namespace vxpy
