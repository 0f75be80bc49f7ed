// The filters: Filter and its apply, the band and Gabor filters (pass and reject) with
// their parameters as properties, and ImageFilter; all compare, print and pickle.
#include "bindings.h"
#include "filt/common/messages.h"
#include "filt/filter_types.h"
#include "python_support.h"

#include <pybind11/stl.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace vxpy {

namespace {

using PairD = std::pair<double, double>;

template <class F>
struct FilterOf : Filter {
  F& get() const { return static_cast<F&>(*filter); }
};

template <class F, class... Args>
std::unique_ptr<FilterOf<F>> buildFilter(Args... args) {
  auto f = std::make_unique<FilterOf<F>>();
  runLibrary([&] { f->filter = std::make_unique<F>(args...); });
  return f;
}

// Filters buf in place or into out; a size error shows the two sizes.
void applyFilter(const py::object& self, Buffer& buf, const py::object& out) {
  Filter& f = self.cast<Filter&>();
  Use filterUse(f.use, Use::Read, "Filter");
  // The library refuses spatial samples in the extended mode; Python refuses them in
  // both modes.
  if (buf.buf.isInitialized() && buf.buf.inverseComputed())
    throw vxFrequencyDefs::InvalidBuffer(vx_detail::msg::kInverseComputed);
  const auto sizes = [&] {
    return sizeText(buf.buf) + " buffer, " + filterSizeText(self) + " filter";
  };
  if (out.is_none() || &outBuffer(out) == &buf) {
    Use write(buf.use, Use::Write, "FrequencyBuffer");
    withSizes([&] { runLibrary([&] { f.filter->apply(buf.buf); }, elementsOf(buf.buf)); }, sizes);
    return;
  }
  Buffer& target = outBuffer(out);
  requireStorageKept(target, buf.buf.width(), buf.buf.height());
  withSizes(
      [&] {
        readInto(buf, target,
                 [&](vxFrequencyBuffer& in, vxFrequencyBuffer& o) { f.filter->apply(in, o); });
      },
      sizes);
  target.norm = buf.norm;
}

template <class F>
py::bytes filterState(const FilterOf<F>& f) {
  Use use(f.use, Use::Read, "Filter");
  return archived([&](vxArchive& ar) {
    vxFrequencyFilter* p = f.filter.get();
    ar || p;
  });
}

template <class F>
std::unique_ptr<FilterOf<F>> filterFromState(const py::bytes& state) {
  auto f = std::make_unique<FilterOf<F>>();
  loadArchived(state, [&](vxArchive& ar) {
    vxFrequencyFilter* p = nullptr;
    ar || p;
    f->filter.reset(p);
  });
  if (dynamic_cast<F*>(f->filter.get()) == nullptr)
    throw py::type_error("the pickled state is not one of this filter class");
  return f;
}

// What a size and an (along, across) pair take, as the messages say it.
const char* const kTakesSize = "a (width, height) pair of integers";
const char* const kTakesPair = "an (along, across) pair of numbers";

// for_size: a copy built for another transform size, as C++ vfFilterForSize; an image
// filter's refusal of another size shows both sizes.
template <class F>
std::unique_ptr<FilterOf<F>> forSize(const py::object& self, const py::object& sizeArg) {
  const FilterOf<F>& f = self.cast<const FilterOf<F>&>();
  const Size size = integerPairArg(sizeArg, "size", kTakesSize);
  Use use(f.use, Use::Read, "Filter");
  auto copy = std::make_unique<FilterOf<F>>();
  const auto build = [&] {
    copy->filter.reset(vfFilterForSize(*f.filter, vxPair<long>(size.first, size.second)));
  };
  withSizes<vxFrequencyDefs::InvalidArgument>([&] { runLibrary(build, size.first * size.second); },
                                              [&] {
                                                return "this filter is " + filterSizeText(self) +
                                                       ", the size asked " +
                                                       sizeText(size.first, size.second);
                                              });
  return copy;
}

template <class F>
void defineForSize(py::class_<FilterOf<F>, Filter>& cls, const char* doc) {
  cls.def(
      "for_size",
      [](const py::object& self, const py::object& size) {
        return publicCall([&] { return memberLabel(self, "for_size()"); },
                          [&] { return forSize<F>(self, size); });
      },
      py::arg("size"), doc);
}

// Python's pairs as the library's: a size (width, height), an (along, across) pair.
vxPair<long> sizeOf(Size s) { return vxPair<long>(s.first, s.second); }
vxPair<double> vxPairOf(PairD p) { return vxPair<double>(p.first, p.second); }

// The DC radius of each filter: protection for the reject filters (which have
// dcProtectionRadius), removal for the pass filters.
template <class F, class = void>
struct Protects : std::false_type {};
template <class F>
struct Protects<F, std::void_t<decltype(std::declval<const F&>().dcProtectionRadius())>>
    : std::true_type {};
template <class F>
long dcRadius(const F& f) {
  if constexpr (Protects<F>::value)
    return f.dcProtectionRadius();
  else
    return f.dcRemovalRadius();
}
template <class F>
void dcRadius(F& f, long r) {
  if constexpr (Protects<F>::value)
    f.dcProtectionRadius(r);
  else
    f.dcRemovalRadius(r);
}

const char* const kSizeDoc =
    "size: the transform size (width, height) the filter is built for, as in the C++ API "
    "and FrequencyBuffer.image_size; it is FrequencyBuffer.shape reversed.";

// A parameter's value as Python has it, and back: numbers as they are, pairs and sizes
// as tuples, angles as radians.
double toPython(double v) { return v; }
long toPython(long v) { return v; }
double toPython(vxRadian v) { return v.value(); }
PairD toPython(const vxPair<double>& v) { return PairD(v.x, v.y); }
Size toPython(const vxPair<long>& v) { return Size(v.x, v.y); }
template <class V>
V fromPython(double v) {
  return V(v);
}
template <class V>
V fromPython(long v) {
  return v;
}
template <class V>
V fromPython(const PairD& v) {
  return V(v.first, v.second);
}
template <class V>
V fromPython(const Size& v) {
  return V(v.first, v.second);
}

// A parameter's new value as Python passes it, converted to the type of its value
// (TypeError naming the parameter otherwise).
void argumentOf(const py::handle& value, const char* name, double& out) {
  out = numberArg(value, name);
}
void argumentOf(const py::handle& value, const char* name, long& out) {
  out = integerArg(value, name);
}
void argumentOf(const py::handle& value, const char* name, PairD& out) {
  out = numberPairArg(value, name, kTakesPair);
}
void argumentOf(const py::handle& value, const char* name, Size& out) {
  out = integerPairArg(value, name, kTakesSize);
}

// A parameter as a property: `get(filter)` read under a read use of the filter;
// `set(filter, value)` (a rebuild) under a write use, without the GIL.
template <class F, class Get, class Set>
void parameter(py::class_<FilterOf<F>, Filter>& cls, const char* name, Get get, Set set,
               const char* doc) {
  using V = decltype(get(std::declval<const F&>()));
  using Py = decltype(toPython(std::declval<V>()));
  cls.def_property(
      name,
      [get](const FilterOf<F>& f) {
        Use use(f.use, Use::Read, "Filter");
        return toPython(get(f.get()));
      },
      [set, name](const py::object& self, const py::object& value) {
        publicCall([&] { return memberLabel(self, name); },
                   [&] {
                     FilterOf<F>& f = self.cast<FilterOf<F>&>();
                     Py given;
                     argumentOf(value, "value", given);
                     Use use(f.use, Use::Write, "Filter");
                     const V v = fromPython<V>(given);
                     runLibrary([&] { set(f.get(), v); });
                   });
      },
      doc);
}

// A read-only one.
template <class F, class Get>
void readOnly(py::class_<FilterOf<F>, Filter>& cls, const char* name, Get get, const char* doc) {
  cls.def_property_readonly(
      name,
      [get](const FilterOf<F>& f) {
        Use use(f.use, Use::Read, "Filter");
        return toPython(get(f.get()));
      },
      doc);
}

// What the four parametric filters share: equality, pickling, size and DC radius.
template <class F>
py::class_<FilterOf<F>, Filter> parametricFilter(py::module_& m, const char* name, const char* doc,
                                                 const char* radiusName, const char* frequencyDoc) {
  using W = FilterOf<F>;
  py::class_<W, Filter> cls(m, name, doc);
  parameter<F>(
      cls, "frequency", [](const F& g) { return g.frequency(); },
      [](F& g, double v) { g.frequency(v); }, frequencyDoc);
  cls.def(
      "__eq__", [](const W& a, const W& b) { return a.get() == b.get(); }, py::is_operator());
  cls.def(py::pickle([](const W& f) { return filterState(f); },
                     [](const py::bytes& s) { return filterFromState<F>(s); }));
  parameter<F>(
      cls, "size", [](const F& g) { return g.size(); },
      [](F& g, const vxPair<long>& v) { g.size(v); },
      "Transform size (width, height) the filter applies to; setting it rebuilds the filter.");
  const auto getRadius = [](const F& g) { return dcRadius(g); };
  const auto setRadius = [](F& g, long r) { dcRadius(g, r); };
  parameter<F>(cls, "dc_removal_radius", getRadius, setRadius,
               "Radius R of the (2R - 1) x (2R - 1) square around frequency 0 that the pass "
               "filters zero and the reject filters leave unchanged (0: none).");
  if (std::string(radiusName) != "dc_removal_radius")
    parameter<F>(cls, radiusName, getRadius, setRadius, "The same as dc_removal_radius.");
  defineForSize(cls,
                "A copy of the filter built for transform size (width, height), its other "
                "parameters unchanged; the filter itself does not change.");
  readOnly<F>(
      cls, "support_width", [](const F& g) { return g.supportWidth(); },
      "Width of the filter's gain table.");
  return cls;
}

template <class F>
py::class_<FilterOf<F>, Filter> bandFilter(py::module_& m, const char* name, const char* doc,
                                           const char* radiusName) {
  using W = FilterOf<F>;
  auto cls =
      parametricFilter<F>(m, name, doc, radiusName, "Radius of the ring, in cycles per pixel.");
  const std::string label = std::string(name) + "()";
  cls.def(py::init([label](const py::object& sigma, const py::object& plateau,
                           const py::object& frequency, const py::object& size,
                           const py::object& radius) {
            return publicCall(label, [&] {
              const double s = numberArg(sigma, "sigma");
              const double p = numberArg(plateau, "plateau");
              const double f = numberArg(frequency, "frequency");
              const Size z = integerPairArg(size, "size", kTakesSize);
              const long r = integerArg(radius, "dc_removal_radius");
              return buildFilter<F>(s, p, f, sizeOf(z), r);
            });
          }),
          py::arg("sigma"), py::arg("plateau"), py::arg("frequency"), py::arg("size"),
          py::arg("dc_removal_radius") = 0,
          "Builds the filter. sigma, plateau and frequency in cycles per pixel (0 to 0.5); "
          "size (width, height): a buffer's size (shape reversed), any sides from 1 in the "
          "extended mode, powers of two in vxfreq.compatible().");
  parameter<F>(
      cls, "sigma", [](const F& g) { return g.sigma(); }, [](F& g, double v) { g.sigma(v); },
      "Width of the Gaussian flanks, in cycles per pixel.");
  parameter<F>(
      cls, "plateau", [](const F& g) { return g.plateau(); }, [](F& g, double v) { g.plateau(v); },
      "Half width of the flat top, in cycles per pixel.");
  cls.def("__repr__", [name](const W& f) {
    Use use(f.use, Use::Read, "Filter");
    const F& g = f.get();
    return py::str(
               "{}(sigma={!r}, plateau={!r}, frequency={!r}, size={!r}, dc_removal_radius={!r})")
        .format(name, g.sigma(), g.plateau(), g.frequency(), pairOf(g.size()), dcRadius(g));
  });
  return cls;
}

template <class F>
py::class_<FilterOf<F>, Filter> gaborFilter(py::module_& m, const char* name, const char* doc,
                                            const char* radiusName) {
  using W = FilterOf<F>;
  auto cls = parametricFilter<F>(m, name, doc, radiusName,
                                 "Distance of the centre frequency from 0, in cycles per pixel.");
  const std::string label = std::string(name) + "()";
  cls.def(py::init([label](const py::object& sigma, const py::object& plateau,
                           const py::object& angle, const py::object& frequency,
                           const py::object& size, const py::object& radius) {
            return publicCall(label, [&] {
              const PairD s = numberPairArg(sigma, "sigma", kTakesPair);
              const PairD p = numberPairArg(plateau, "plateau", kTakesPair);
              const double a = numberArg(angle, "angle");
              const double f = numberArg(frequency, "frequency");
              const Size z = integerPairArg(size, "size", kTakesSize);
              const long r = integerArg(radius, "dc_removal_radius");
              return buildFilter<F>(vxPairOf(s), vxPairOf(p), vxRadian(a), f, sizeOf(z), r);
            });
          }),
          py::arg("sigma"), py::arg("plateau"), py::arg("angle"), py::arg("frequency"),
          py::arg("size"), py::arg("dc_removal_radius") = 0,
          "Builds the filter. sigma and plateau are (along, across) pairs and frequency in "
          "cycles per pixel; angle in radians from +x towards +y (down); size (width, "
          "height): a buffer's size (shape reversed), any sides from 1 in the extended mode, "
          "powers of two in vxfreq.compatible().");
  parameter<F>(
      cls, "sigma", [](const F& g) { return g.sigma(); },
      [](F& g, const vxPair<double>& v) { g.sigma(v); },
      "Gaussian widths (along, across) the direction, in cycles per pixel.");
  parameter<F>(
      cls, "plateau", [](const F& g) { return g.plateau(); },
      [](F& g, const vxPair<double>& v) { g.plateau(v); },
      "Flat-top half widths (along, across) the direction, in cycles per pixel.");
  parameter<F>(
      cls, "angle", [](const F& g) { return g.angle(); }, [](F& g, vxRadian v) { g.angle(v); },
      "Direction of the centre frequency, radians from +x towards +y.");
  readOnly<F>(
      cls, "support_height", [](const F& g) { return g.supportHeight(); },
      "Height of the filter's gain table.");
  cls.def("__repr__", [name](const W& f) {
    Use use(f.use, Use::Read, "Filter");
    const F& g = f.get();
    return py::str(
               "{}(sigma={!r}, plateau={!r}, angle={!r}, frequency={!r}, size={!r}, "
               "dc_removal_radius={!r})")
        .format(name, pairOf(g.sigma()), pairOf(g.plateau()), g.angle().value(), g.frequency(),
                pairOf(g.size()), dcRadius(g));
  });
  return cls;
}

}  // namespace

void bindFilters(py::module_& m) {
  py::class_<Filter> filter(m, "Filter",
                            "Base of the filters. A filter is built for one transform size and "
                            "applied to buffers of exactly that size.");
  filter.def(
      "apply",
      [](const py::object& self, const py::object& buf, const py::object& out) {
        publicCall([&] { return memberLabel(self, "apply()"); },
                   [&] { applyFilter(self, bufferArg(buf, "buf"), out); });
      },
      py::arg("buf"), py::arg("out") = py::none(),
      "Filters buf in place, or with out writes the filtered buf into out (sized to "
      "buf's transform size).");

  // The band and Gabor classes, from the library's list of filter types; the list goes
  // to Python too (_filter_types), for the stubs' test.
  const std::string familyDoc[] = {
      std::string("Rotationally symmetric band filter around the ring of radius frequency: gain "
                  "1 within plateau of the ring, Gaussian flanks of width sigma beyond. ") +
          kSizeDoc,
      std::string("Oriented filter around one centre frequency (one lobe): flat top and "
                  "Gaussian flanks along and across the direction angle. ") +
          kSizeDoc};
  py::list types;
  vxForEachFilterType([&](auto type) {
    using T = decltype(type);
    const bool band = T::family == vxFilterFamily::Band;
    // What the form does, after the family's text: "The band-pass keeps the ring ...".
    const std::string what =
        std::string(band ? " " : " filter ") +
        (T::rejects
             ? std::string(band ? "removes the ring" : "removes the lobe") +
                   " and keeps the rest; its DC radius protects the square around 0 "
                   "(also dc_protection_radius)."
             : std::string(band ? "keeps the ring" : "keeps that lobe") + " and zeroes the rest.");
    const std::string doc = familyDoc[band ? 0 : 1] + " The " + type.label + what;
    const char* radiusName = T::rejects ? "dc_protection_radius" : "dc_removal_radius";
    if constexpr (T::family == vxFilterFamily::Band)
      bandFilter<typename T::Filter>(m, type.pythonName(), doc.c_str(), radiusName);
    else
      gaborFilter<typename T::Filter>(m, type.pythonName(), doc.c_str(), radiusName);
    types.append(
        py::dict(py::arg("name") = type.pythonName(), py::arg("class_name") = type.className,
                 py::arg("label") = type.label, py::arg("command") = type.command(),
                 py::arg("family") = band ? "band" : "gabor", py::arg("rejects") = T::rejects));
  });
  m.attr("_filter_types") = types;

  using ImageFilter = FilterOf<vxFrequencyFilterImage>;
  py::class_<ImageFilter, Filter> image(
      m, "ImageFilter",
      "A filter whose transfer function is a FrequencyBuffer: apply multiplies element by "
      "element as complex numbers (for example by the transform of a kernel: convolution).");
  image.def(py::init([](const py::object& buf) {
              return publicCall("ImageFilter()", [&] {
                Buffer& b = bufferArg(buf, "buf");
                // Its gains are a spectrum: spatial samples would filter silently wrong.
                if (b.buf.isInitialized() && b.buf.inverseComputed())
                  throw vxFrequencyDefs::InvalidBuffer(vx_detail::msg::kInverseComputed);
                Use use(b.use, Use::Read, "FrequencyBuffer");
                return buildFilter<vxFrequencyFilterImage>(std::cref(b.buf));
              });
            }),
            py::arg("buf"),
            "Builds from a copy of buf, a spectrum (InvalidBuffer for the spatial samples of an "
            "in-place inverse).");
  image.def_property_readonly(
      "size",
      [](const ImageFilter& f) {
        Use use(f.use, Use::Read, "Filter");
        return py::make_tuple(f.get().supportWidth(), f.get().supportHeight());
      },
      "Transform size (width, height) of the filter image.");
  defineForSize(image,
                "A copy of the filter, for its own transform size (width, height) only: an "
                "image filter's gains are a buffer of one size (InvalidArgument otherwise).");
  image.def(
      "__eq__", [](const ImageFilter& a, const ImageFilter& b) { return a.get() == b.get(); },
      py::is_operator());
  image.def(
      py::pickle([](const ImageFilter& f) { return filterState(f); },
                 [](const py::bytes& s) { return filterFromState<vxFrequencyFilterImage>(s); }));
  image.def("__repr__", [](const ImageFilter& f) {
    return py::str("ImageFilter(size=({}, {}))")
        .format(f.get().supportWidth(), f.get().supportHeight());
  });
}

}  // namespace vxpy
