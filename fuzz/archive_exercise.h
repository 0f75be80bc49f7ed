// Loads arbitrary bytes through the archive code and then uses whatever loaded.
//
// This is the body of the archive fuzzer (archive_fuzzer.cpp); the regression test
// tests/fuzz_regressions_test.cpp replays kept inputs through it, and make_seeds.cpp
// writes valid inputs for it.
//
// An input is one selector byte and then archive bytes. The selector picks what is
// loaded (selector % kModeCount, see Mode) and how (selector / kModeCount: bit 0 reads
// through a stream that cannot seek, so the archive cannot tell how much data is left;
// bit 1 loads over an object that already holds data instead of a new one).
//
// Loading may throw what the archive documents (vxArchive::Errors), and InvalidSize for
// a frequency buffer (an image filter's included) of a size the mode does not transform
// (the extended mode's sizes in the compatible mode); using what loaded
// may throw the library's errors (vxFrequencyDefs::Errors), a rebuild through a setter
// included. Those are caught here. A broken promise found while using a loaded object (a clone that
// does not equal its original, a reload that differs, a failed check that changed something) throws
// Finding; every other exception leaves exercise() untouched. The fuzzer turns both into a crash
// report, the regression test into a failure.
#ifndef VXFREQ_FUZZ_ARCHIVE_EXERCISE_H
#define VXFREQ_FUZZ_ARCHIVE_EXERCISE_H

#include "filt/fft.h"
#include "filt/freqfilt.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace vxfreq_fuzz {

// What loads, chosen by the selector byte.
enum Mode : unsigned {
  kBuffer,    // a vxFrequencyBuffer by value
  kBandPass,  // the five filter classes by value (vxPersistent::dispatch)
  kBandReject,
  kGabor,
  kGaborReject,
  kImage,
  kBandPassPointer,  // the five filter classes through `ar || p` with p of that class
  kBandRejectPointer,
  kGaborPointer,
  kGaborRejectPointer,
  kImagePointer,
  kFilterGraph,      // up to kGraphLength objects through vxFrequencyFilter* pointers
  kObjectGraph,      // the same through vxPersistent* pointers
  kMixedGraph,       // vxFrequencyFilter*, vxPersistent* and Errors* pointers in turn
  kErrorPointer,     // one object through a vxFrequencyDefs::Errors* pointer
  kInvalidArgument,  // the six error classes by value
  kUninitialized,
  kInvalidSize,
  kUnboundWindow,
  kInvalidBuffer,
  kBadCoord,
  kModeCount
};

enum Variant : unsigned { kForwardOnly = 1, kOverBuilt = 2 };

inline std::uint8_t selector(Mode mode, unsigned variant = 0) {
  return static_cast<std::uint8_t>(mode + kModeCount * variant);
}

// Objects a graph input loads at most.
constexpr int kGraphLength = 12;
// Buffers with more elements than this are not transformed, filtered, copied into
// images or archived again, to keep each input fast; smaller ones get everything.
constexpr long kMaxWorkElements = 256L * 256L;
// Filters whose table (or filter image) has more floats than this are not archived
// again nor compared through their archives.
constexpr long kMaxTableFloats = 1L << 18;

// A broken promise of the library. Not derived from any class the library throws or
// the exercise catches.
struct Finding {
  std::string what;
};

[[noreturn]] inline void fail(const std::string& what) { throw Finding{what}; }
inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

using Defs = vxFrequencyDefs;

// ---------------------------------------------------------------------------------
// Streams

// An input stream over bytes that cannot seek: tellg() fails, so vxArchive::remaining()
// cannot tell the size.
class ForwardOnlyBuf : public std::streambuf {
public:
  ForwardOnlyBuf(const char* bytes, std::size_t size) {
    char* begin = const_cast<char*>(bytes);
    setg(begin, begin, begin + size);
  }
};

class Input {
public:
  Input(const std::uint8_t* bytes, std::size_t size, bool forwardOnly)
      : text_(reinterpret_cast<const char*>(bytes), size), forward_(text_.data(), text_.size()),
        seekable_(text_),
        stream_(forwardOnly ? static_cast<std::istream*>(&forwardStream_) : &seekable_),
        forwardStream_(&forward_) {}
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  std::istream& stream() { return *stream_; }

private:
  std::string text_;
  ForwardOnlyBuf forward_;
  std::istringstream seekable_;
  std::istream* stream_;
  std::istream forwardStream_;
};

// ---------------------------------------------------------------------------------
// Archive forms, for round trips and for comparing objects bit by bit

inline std::string archiveOf(vxFrequencyBuffer& b) {
  std::ostringstream out;
  vxArchive ar(out);
  ar || b;
  return out.str();
}

inline std::string archiveOf(vxPersistent& object) {
  std::ostringstream out;
  vxArchive ar(out);
  vxPersistent::dispatch(object, ar);
  return out.str();
}

inline void loadFrom(const std::string& bytes, vxFrequencyBuffer& b) {
  std::istringstream in(bytes);
  vxArchive ar(in);
  ar || b;
}

inline void loadFrom(const std::string& bytes, vxPersistent& object) {
  std::istringstream in(bytes);
  vxArchive ar(in);
  vxPersistent::dispatch(object, ar);
}

// The same values, flags and fields, bit for bit (NaN and -0 included).
inline bool sameBits(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) {
  // Storing only reads the buffer.
  return archiveOf(const_cast<vxFrequencyBuffer&>(a)) ==
         archiveOf(const_cast<vxFrequencyBuffer&>(b));
}

// `copy == original` is expected unless the original is not even equal to itself (a
// NaN among its values or parameters compares unequal).
template <class T>
bool equalOrNaN(const T& copy, const T& original) {
  return copy == original || !(original == original);
}

// ---------------------------------------------------------------------------------
// Small helpers

// Runs fn; the library's errors of use are expected. Returns whether fn completed.
template <class Fn>
bool attempt(Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const Defs::Errors&) {
    return false;
  }
}

// Whether fn throws the library error E (any other library error is a finding).
template <class E, class Fn>
bool throwsError(Fn&& fn) {
  try {
    fn();
  } catch (const E&) {
    return true;
  } catch (const Defs::Errors& e) {
    fail(std::string("expected another library error, got: ") + e.what());
  }
  return false;
}

inline bool isTransformSize(long n) { return n >= 1 && n <= 2048 && (n & (n - 1)) == 0; }

inline bool workable(long w, long h) {
  return isTransformSize(w) && isTransformSize(h) && w * h <= kMaxWorkElements;
}

// A w x h buffer with small integer values in every element.
inline vxFrequencyBuffer patterned(long w, long h) {
  vxFrequencyBuffer b(w, h);
  for (long y = 0; y < b.height(); ++y) {
    for (long x = 0; x < b.width(); ++x) {
      b.put(x, y, vxPair<double>(((x * 7 + y * 13) % 17) - 8.0, ((x * 5 + y * 3) % 11) - 5.0),
            false);
    }
  }
  return b;
}

// Whether s is well-formed UTF-8 of Unicode scalar values.
inline bool isUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int more = 0;
    std::uint32_t v = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      more = 1;
      v = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2;
      v = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      more = 3;
      v = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      v = (v << 6) | (d & 0x3F);
    }
    const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (v < least[more] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Buffers

// Inverse transforms of `b` into images of every pixel type, in the const form and in
// place on copies, with unbound and bound outputs.
inline void inverseToImages(const vxFrequencyBuffer& b) {
  const long W = b.width();
  const long H = b.height();
  auto fits = [&](const vx_PelBuffer& image) {
    check(image.width() >= 0 && image.width() <= W && image.height() >= 0 && image.height() <= H,
          "an inverse transform made an image larger than the buffer");
  };
  attempt([&] {
    vxPelBuffer<unsigned char> image;
    vfInverseFFT<unsigned char>(b, image, false);
    fits(image);
  });
  attempt([&] {
    vxPelBuffer<unsigned short> image;
    vfInverseFFT<unsigned short>(b, image, true);
    fits(image);
  });
  attempt([&] {
    vxPelBuffer<double> image;
    vxPelBuffer<double> angle;
    vfInverseFFTAngle<double>(b, image, angle, false);
    fits(image);
    fits(angle);
  });
  attempt([&] {
    vxPelBuffer<unsigned char> image;
    vxPelBuffer<unsigned char> quadrant;
    vfInverseFFTQuadrant<unsigned char>(b, image, quadrant, true);
    fits(image);
  });
  attempt([&] {
    vxPelBuffer<double> image;
    vxPelBuffer<unsigned char> quadrant;
    vfInverseFFTQuadrant<double>(b, image, quadrant, true);
    fits(quadrant);
  });
  attempt([&] {
    vxPelBuffer<double> real;
    vxPelBuffer<double> imag;
    vfInverseFFT(b, real, imag);
    fits(real);
    fits(imag);
    // And forward again from the two images.
    vxFrequencyBuffer again;
    attempt([&] { vfForwardFFT<double>(real, imag, again); });
  });
  // Bound outputs keep their own window.
  attempt([&] {
    vxPelBuffer<unsigned char> bound(8, 8, 0);
    bound.offset(-3, 2);
    vfInverseFFT<unsigned char>(b, bound, true);
    check(bound.width() == 8 && bound.height() == 8, "a bound output image changed its size");
  });
  attempt([&] {
    vxPelBuffer<double> real(4, 4, 0);
    vxPelBuffer<double> imag(4, 4, 0);
    vfInverseFFT(b, real, imag);
  });
  // In place, on copies: the copy is marked, and a second inverse gives the same image.
  attempt([&] {
    vxFrequencyBuffer c(b);
    vxPelBuffer<unsigned short> first;
    vxPelBuffer<double> angle;
    vfInverseFFTAngle<unsigned short>(c, first, angle, false, true);
    check(c.inverseComputed(), "an in-place inverse transform did not mark its buffer");
    vxPelBuffer<unsigned short> second;
    vfInverseFFT<unsigned short>(c, second, false, true);
    check(first.width() == second.width() && first.height() == second.height(),
          "a repeated in-place inverse transform changed the image size");
    for (long y = 0; y < first.height(); ++y)
      for (long x = 0; x < first.width(); ++x)
        check(first.at(x, y) == second.at(x, y),
              "a repeated in-place inverse transform gave another image");
  });
  attempt([&] {
    vxFrequencyBuffer c(b);
    vxPelBuffer<double> real;
    vxPelBuffer<double> imag;
    vfInverseFFT(c, real, imag, true);
    vxPelBuffer<unsigned char> quadrant;
    vf_ComputeQuadrantImage(c, quadrant);
    vxPelBuffer<double> angle;
    vf_ComputeAngleImage(c, angle);
  });
}

// Transforms between buffers.
inline void transforms(const vxFrequencyBuffer& b) {
  const vxFrequencyBuffer before(b);
  vxFrequencyBuffer spectrum;
  if (attempt([&] { vfForwardFFT(b, spectrum); })) {
    check(spectrum.width() == b.width() && spectrum.height() == b.height() &&
              !spectrum.inverseComputed(),
          "the forward transform gave a buffer of another size or state");
  }
  vxFrequencyBuffer viaConst;
  const bool constDone = attempt([&] { vfInverseFFT(b, viaConst); });
  check(sameBits(b, before), "the const inverse transform changed its input");

  vxFrequencyBuffer c(b);
  vxFrequencyBuffer inPlace;
  const bool inPlaceDone = attempt([&] { vfInverseFFT(c, inPlace, true); });
  if (inPlaceDone) {
    check(c.inverseComputed(), "an in-place inverse transform did not mark its buffer");
    if (constDone)
      check(sameBits(inPlace, viaConst), "in-place and const inverse transforms differ");
    // The marked buffer is copied, not transformed again.
    vxFrequencyBuffer again;
    vfInverseFFT(c, again, false);
    check(sameBits(again, inPlace), "a second inverse of a marked buffer differs");
  }
  // A buffer transformed into itself.
  vxFrequencyBuffer self(b);
  attempt([&] { vfInverseFFT(self, self, false); });
  attempt([&] { vfForwardFFT(self, self); });
}

inline void images(const vxFrequencyBuffer& b) {
  const long W = b.width();
  const long H = b.height();
  for (bool centered : {false, true}) {
    using Getter = vxPelBuffer<double> (vxFrequencyBuffer::*)(bool) const;
    const Getter getters[] = {
        &vxFrequencyBuffer::getRealImage, &vxFrequencyBuffer::getImaginaryImage,
        &vxFrequencyBuffer::getMagnitudeImage, &vxFrequencyBuffer::getPhaseImage};
    for (Getter get : getters) {
      attempt([&] {
        vxPelBuffer<double> image = (b.*get)(centered);
        check(image.width() == W && image.height() == H,
              "an image getter gave an image of another size than the buffer");
        const Defs::FrequencyMapping rules[] = {Defs::Clamp, Defs::Linear, Defs::LinearRange,
                                                Defs::Logarithmic, Defs::Angle};
        for (Defs::FrequencyMapping rule : rules) {
          vxPelBuffer<unsigned char> shown = vfFrequencyMapImage(image, rule, -1.0, 2.0);
          check(shown.width() == W && shown.height() == H,
                "a mapped image has another size than its source");
        }
      });
    }
  }
}

inline void arithmetic(const vxFrequencyBuffer& b) {
  vxFrequencyBuffer r;
  attempt([&] { vfFrequencyAdd(b, b, r); });
  attempt([&] { vfFrequencySubtract(b, b, r); });
  attempt([&] { vfFrequencyMultiply(b, b, r); });
  attempt([&] { vfFrequencyConjugate(b, r); });
  vxFrequencyBuffer c(b);
  attempt([&] { vfFrequencyMultiply(b, c); });
  attempt([&] { vfFrequencyConjugate(c); });
  vxFrequencyBuffer other = patterned(b.width() == 1 ? 2 : 1, 1);
  const vxFrequencyBuffer otherBefore(other);
  check(!attempt([&] { vfFrequencyAdd(b, other); }) && sameBits(other, otherBefore),
        "adding buffers of different sizes did not fail cleanly");
}

// Filters built here, applied to the loaded buffer.
inline void filtersOn(const vxFrequencyBuffer& b) {
  const vxPair<long> size(b.width(), b.height());
  vxFrequencyBuffer out;
  attempt([&] {
    vxFrequencyFilterImage filter(b);
    vxFrequencyBuffer c(b);
    filter.apply(c);
    filter.apply(b, out);
  });
  attempt([&] {
    vxFrequencyFilterBandPass pass(0.05, 0.01, 0.25, size, 1);
    vxFrequencyBuffer c(b);
    pass.apply(c);
    pass.apply(b, out);
  });
  attempt([&] {
    vxFrequencyFilterBandReject reject(0.05, 0.01, 0.25, size, 1);
    vxFrequencyBuffer c(b);
    reject.apply(c);
  });
  attempt([&] {
    const vxPair<double> sigma(0.02, 0.03);
    const vxPair<double> plateau(0.01, 0.0);
    vxFrequencyFilterGabor gabor(sigma, plateau, vxRadian(0.5), 0.25, size, 1);
    vxFrequencyBuffer c(b);
    gabor.apply(c);
    vxFrequencyBuffer spatial;
    attempt([&] { vfInverseFFT(c, spatial, false); });
    vxFrequencyFilterGaborReject gaborReject(sigma, plateau, vxRadian(-1.0), 0.1, size, 0);
    gaborReject.apply(b, out);
  });
}

// A loaded buffer saved and loaded again is the same, bit for bit.
inline void reloadBuffer(vxFrequencyBuffer& b) {
  const std::string bytes = archiveOf(b);
  vxFrequencyBuffer again;
  loadFrom(bytes, again);
  check(archiveOf(again) == bytes, "a buffer saved and loaded again saves differently");
  check(equalOrNaN(again, b), "a buffer saved and loaded again is not equal to the original");
}

inline void useBuffer(vxFrequencyBuffer& b) {
  (void)b.imageWidth();
  (void)b.imageHeight();
  (void)b.imageOffset();
  (void)b.clientXform().linearXform();
  const vxFrequencyBuffer copy(b);
  check(equalOrNaN(copy, b), "a copy of a buffer is not equal to it");
  if (!b.isInitialized()) {
    check(throwsError<Defs::Uninitialized>([&] { (void)b.width(); }),
          "an uninitialized buffer has a width");
    check(throwsError<Defs::Uninitialized>([&] {
            vxFrequencyBuffer out;
            vfForwardFFT(b, out);
          }),
          "an uninitialized buffer was transformed");
    reloadBuffer(b);
    return;
  }
  const long W = b.width();
  const long H = b.height();
  check(isTransformSize(W) && isTransformSize(H), "a loaded buffer has no transform size");

  // Element access, centred and not, inside and outside.
  const bool spatial = b.inverseComputed();
  const bool readable = attempt([&] {
    (void)b.get(0, 0, false);
    (void)b.getReal(W - 1, H - 1, false);
    (void)b.getImaginary(-(W >> 1), -(H >> 1), true);
  });
  check(readable != spatial, "element access of a buffer disagrees with its inverse flag");
  if (!spatial) {
    check(throwsError<Defs::BadCoord>([&] { (void)b.get(W, 0, false); }) &&
              throwsError<Defs::BadCoord>([&] { (void)b.get(0, (H + 1) >> 1, true); }),
          "element access outside the buffer did not throw BadCoord");
  }
  if (!workable(W, H)) return;

  vxFrequencyBuffer c(b);
  attempt([&] {
    c.put(W - 1, 0, vxPair<double>(1.5, -2.5), false);
    c.putReal(0, 0, 3.0, true);
    c.putImaginary(-(W >> 1), 0, 4.0, true);
  });
  if (W >= 2 && H >= 2) {
    attempt([&] {
      vxFrequencyBuffer low(b, std::max(2L, W / 2), std::max(2L, H / 2));
      check(low.width() == std::max(2L, W / 2) && low.height() == std::max(2L, H / 2),
            "a sized copy has another size than asked");
    });
  }
  images(b);
  transforms(b);
  inverseToImages(b);
  arithmetic(b);
  filtersOn(b);
  reloadBuffer(b);
}

// ---------------------------------------------------------------------------------
// Filters

struct FilterSize {
  long w = 0;
  long h = 0;
};

inline FilterSize sizeOf(const vxFrequencyFilterBandPass& f) {
  const vxPair<long> s = f.size();
  return {s.x, s.y};
}
inline FilterSize sizeOf(const vxFrequencyFilterBandReject& f) {
  const vxPair<long> s = f.size();
  return {s.x, s.y};
}
inline FilterSize sizeOf(const vxFrequencyFilterGabor& f) {
  const vxPair<long> s = f.size();
  return {s.x, s.y};
}
inline FilterSize sizeOf(const vxFrequencyFilterGaborReject& f) {
  const vxPair<long> s = f.size();
  return {s.x, s.y};
}
inline FilterSize sizeOf(const vxFrequencyFilterImage& f) {
  return {f.supportWidth(), f.supportHeight()};
}

// Floats in the filter's table (0 when it has none).
inline long tableFloats(const vxFrequencyFilterBandPass& f) { return f.supportWidth() * 32; }
inline long tableFloats(const vxFrequencyFilterBandReject& f) { return f.supportWidth() * 32; }
inline long tableFloats(const vxFrequencyFilterGabor& f) {
  return f.supportWidth() * f.supportHeight();
}
inline long tableFloats(const vxFrequencyFilterGaborReject& f) {
  return f.supportWidth() * f.supportHeight();
}
inline long tableFloats(const vxFrequencyFilterImage& f) {
  return 2 * f.supportWidth() * f.supportHeight();
}

// A built filter of each class, for loading over.
inline void build(vxFrequencyFilterBandPass& f) { f.set(0.05, 0.01, 0.25, {16, 8}, 2); }
inline void build(vxFrequencyFilterBandReject& f) { f.set(0.05, 0.01, 0.25, {16, 8}, 2); }
inline void build(vxFrequencyFilterGabor& f) {
  f.set({0.02, 0.03}, {0.01, 0.0}, vxRadian(0.75), 0.2, {32, 16}, 1);
}
inline void build(vxFrequencyFilterGaborReject& f) {
  f.set({0.02, 0.03}, {0.01, 0.0}, vxRadian(0.75), 0.2, {32, 16}, 1);
}
inline void build(vxFrequencyFilterImage& f) { f.setImage(patterned(8, 4)); }

// A setter given the value it already holds changes nothing, even where that value
// makes a build fail (a NaN parameter compares unequal to itself and rebuilds).
template <class F, class Set>
void setSame(F& f, Set set, bool compare) {
  const std::string before = compare ? archiveOf(f) : std::string();
  try {
    set();
  } catch (const Defs::Errors&) {}
  if (compare) check(archiveOf(f) == before, "a setter given the stored value changed the filter");
}

template <class F>
void bandParameters(F& f, long (F::*radius)() const, void (F::*setRadius)(long), bool compare) {
  double frequency = 0.0;
  double sigma = 0.0;
  double plateau = 0.0;
  vxPair<long> size;
  long r = 0;
  if (!attempt([&] {
        frequency = f.frequency();
        sigma = f.sigma();
        plateau = f.plateau();
        size = f.size();
        r = (f.*radius)();
        (void)f.supportWidth();
      }))
    return;
  setSame(
      f, [&] { f.frequency(frequency); }, compare);
  setSame(
      f, [&] { f.sigma(sigma); }, compare);
  setSame(
      f, [&] { f.plateau(plateau); }, compare);
  setSame(
      f, [&] { f.size(size); }, compare);
  setSame(
      f, [&] { (f.*setRadius)(r); }, compare);
}

template <class F>
void gaborParameters(F& f, long (F::*radius)() const, void (F::*setRadius)(long), bool compare) {
  vxRadian angle;
  double frequency = 0.0;
  vxPair<double> sigma;
  vxPair<double> plateau;
  vxPair<long> size;
  long r = 0;
  if (!attempt([&] {
        angle = f.angle();
        frequency = f.frequency();
        sigma = f.sigma();
        plateau = f.plateau();
        size = f.size();
        r = (f.*radius)();
        (void)f.supportWidth();
        (void)f.supportHeight();
      }))
    return;
  setSame(
      f, [&] { f.angle(angle); }, compare);
  setSame(
      f, [&] { f.frequency(frequency); }, compare);
  setSame(
      f, [&] { f.sigma(sigma); }, compare);
  setSame(
      f, [&] { f.plateau(plateau); }, compare);
  setSame(
      f, [&] { f.size(size); }, compare);
  setSame(
      f, [&] { (f.*setRadius)(r); }, compare);
}

inline void parameters(vxFrequencyFilterBandPass& f, bool compare) {
  using F = vxFrequencyFilterBandPass;
  bandParameters<F>(f, &F::dcRemovalRadius, &F::dcRemovalRadius, compare);
}
inline void parameters(vxFrequencyFilterBandReject& f, bool compare) {
  using F = vxFrequencyFilterBandReject;
  bandParameters<F>(f, &F::dcProtectionRadius, &F::dcProtectionRadius, compare);
}
inline void parameters(vxFrequencyFilterGabor& f, bool compare) {
  using F = vxFrequencyFilterGabor;
  gaborParameters<F>(f, &F::dcRemovalRadius, &F::dcRemovalRadius, compare);
  attempt([&] {
    (void)f.supportWidth();
    check(f.data() != nullptr, "a Gabor filter with a support width has no table");
  });
}
inline void parameters(vxFrequencyFilterGaborReject& f, bool compare) {
  using F = vxFrequencyFilterGaborReject;
  gaborParameters<F>(f, &F::dcProtectionRadius, &F::dcProtectionRadius, compare);
}
inline void parameters(vxFrequencyFilterImage& f, bool) {
  attempt([&] {
    (void)f.supportWidth();
    (void)f.supportHeight();
  });
}

// Whether the filter holds no table (or filter image): its sizes throw Uninitialized.
template <class F>
bool unbuilt(const F& f) {
  return throwsError<Defs::Uninitialized>([&] { (void)tableFloats(f); });
}

// Applies `f` and `twin` (a copy of it) in both forms to buffers of the filter's size:
// each must give the same bits. Applying to a buffer of another size, or to one without
// data, throws and changes nothing.
template <class F>
void applyFilter(const F& f, const F& twin) {
  FilterSize size;
  const bool sized = attempt([&] { size = sizeOf(f); });
  if (sized && workable(size.w, size.h)) {
    const vxFrequencyBuffer in = patterned(size.w, size.h);
    vxFrequencyBuffer a(in);
    vxFrequencyBuffer b(in);
    const bool doneA = attempt([&] { f.apply(a); });
    const bool doneB = attempt([&] { twin.apply(b); });
    check(doneA == doneB && sameBits(a, b), "a filter and its copy filter differently in place");
    vxFrequencyBuffer outA;
    vxFrequencyBuffer outB;
    const bool outDoneA = attempt([&] { f.apply(in, outA); });
    const bool outDoneB = attempt([&] { twin.apply(in, outB); });
    check(outDoneA == outDoneB && sameBits(outA, outB),
          "a filter and its copy filter differently out of place");
    // The out-of-place form into its own input.
    vxFrequencyBuffer same(in);
    attempt([&] { f.apply(same, same); });
    // What a filter leaves (a Gabor filter's mask band among it) is transformed back.
    if (doneA) {
      vxFrequencyBuffer spatial;
      attempt([&] { vfInverseFFT(a, spatial, false); });
      attempt([&] {
        vxPelBuffer<unsigned char> image;
        vfInverseFFT<unsigned char>(a, image, true, true);
      });
    }
    if (outDoneA) {
      attempt([&] {
        vxPelBuffer<double> real;
        vxPelBuffer<double> imag;
        vfInverseFFT(outA, real, imag);
      });
    }
  }
  // Wrong sizes and empty buffers.
  const long w = sized && isTransformSize(size.w) && size.w == 4 ? 8 : 4;
  vxFrequencyBuffer wrong = patterned(w, 2);
  const vxFrequencyBuffer wrongBefore(wrong);
  vxFrequencyBuffer out = patterned(2, 2);
  const vxFrequencyBuffer outBefore(out);
  check(!attempt([&] { f.apply(wrong); }), "a filter applied to a buffer of another size");
  check(!attempt([&] { f.apply(wrong, out); }), "a filter applied to a buffer of another size");
  check(sameBits(wrong, wrongBefore) && sameBits(out, outBefore),
        "a filter that refused a buffer changed it");
  vxFrequencyBuffer empty;
  check(throwsError<Defs::Uninitialized>([&] { f.apply(empty); }) &&
            throwsError<Defs::Uninitialized>([&] { f.apply(empty, out); }),
        "a filter applied to a buffer without data did not throw Uninitialized");
  check(sameBits(out, outBefore), "a filter that refused a buffer changed its output");
}

// A loaded filter saved and loaded again is the same, by value and through a pointer.
template <class F>
void reloadFilter(F& f) {
  const std::string bytes = archiveOf(f);
  F again;
  loadFrom(bytes, again);
  check(archiveOf(again) == bytes, "a filter saved and loaded again saves differently");
  check(equalOrNaN(again, f), "a filter saved and loaded again is not equal to the original");

  std::ostringstream out;
  {
    vxArchive ar(out);
    vxFrequencyFilter* p = &f;
    ar || p;
  }
  std::istringstream in(out.str());
  vxArchive ar(in);
  vxFrequencyFilter* p = nullptr;
  ar || p;
  std::unique_ptr<vxFrequencyFilter> owned(p);
  F* loaded = dynamic_cast<F*>(p);
  check(loaded != nullptr, "a filter loaded through a base pointer has another class");
  check(equalOrNaN(*loaded, f), "a filter loaded through a base pointer is not equal");
}

template <class F>
void useFilter(F& f) {
  (void)f.isInitialized();
  long floats = 0;
  attempt([&] { floats = tableFloats(f); });
  const bool light = floats <= kMaxTableFloats;
  parameters(f, light);

  std::unique_ptr<vxFrequencyFilter> cloned(f.clone());
  F* clone = dynamic_cast<F*>(cloned.get());
  check(clone != nullptr, "clone() made an object of another class");
  // An unbuilt filter's copy is unbuilt as well; a built one's equals it.
  if (unbuilt(f)) {
    check(unbuilt(*clone), "the clone of an unbuilt filter is built");
  } else {
    check(equalOrNaN(*clone, f), "a clone is not equal to its original");
  }
  if (light && !unbuilt(f)) {
    const F copied(f);
    F assigned;
    build(assigned);
    assigned = f;
    check(equalOrNaN(copied, f), "a copy is not equal to its original");
    check(equalOrNaN(assigned, f), "an assigned filter is not equal to its source");
  }

  applyFilter(f, *clone);
  // Through the base class as well.
  const vxFrequencyFilter& base = f;
  vxFrequencyBuffer empty;
  check(!attempt([&] { base.apply(empty); }), "a filter applied to an empty buffer");

  if (light) reloadFilter(f);
}

// Calls fn with the object as its concrete filter class; false when it is none.
template <class Fn>
bool withFilter(vxPersistent* object, Fn&& fn) {
  if (auto* p = dynamic_cast<vxFrequencyFilterBandPass*>(object)) {
    fn(*p);
  } else if (auto* p = dynamic_cast<vxFrequencyFilterBandReject*>(object)) {
    fn(*p);
  } else if (auto* p = dynamic_cast<vxFrequencyFilterGabor*>(object)) {
    fn(*p);
  } else if (auto* p = dynamic_cast<vxFrequencyFilterGaborReject*>(object)) {
    fn(*p);
  } else if (auto* p = dynamic_cast<vxFrequencyFilterImage*>(object)) {
    fn(*p);
  } else {
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Error objects

struct ErrorState {
  const std::type_info* type;
  long number;
  bool hasMessage;
  std::wstring message;  // the whole text, as print() writes it
};

inline std::wstring printed(const vxException& e) {
  std::wostringstream os;
  e.print(os);
  return os.str();
}

inline ErrorState stateOf(const vxException& e) {
  const auto* errors = dynamic_cast<const Defs::Errors*>(&e);
  return ErrorState{&typeid(e), errors != nullptr ? errors->errorNumber() : 0,
                    e.message() != nullptr, printed(e)};
}

inline bool sameState(const ErrorState& a, const ErrorState& b) {
  return *a.type == *b.type && a.number == b.number && a.hasMessage == b.hasMessage &&
         a.message == b.message;
}

inline void useException(vxException& e) {
  const ErrorState state = stateOf(e);
  const char* narrow = e.what();
  check(narrow != nullptr && isUtf8(narrow), "what() is not well-formed UTF-8");
  if (e.message() == nullptr) {
    check(state.message.empty(), "an error without a message prints one");
    check(vx_Instantiator::portableName(typeid(e)) == narrow,
          "what() of an error without a message is not its class's name");
  } else {
    // message() ends at the first null character; print() writes the whole text, but a
    // wide stream cannot take the code unit that equals WEOF.
    const std::wstring text = e.message();
    const bool printable =
        std::find(text.begin(), text.end(), static_cast<wchar_t>(WEOF)) == text.end();
    check(!printable || state.message.compare(0, text.size(), text) == 0,
          "print() and message() disagree");
  }
  if (auto* errors = dynamic_cast<Defs::Errors*>(&e)) {
    check(errors->errorNumber() >= 0x10006300 && errors->errorNumber() <= 0x10006305,
          "a library error has a number outside its block");
  }
  // Saved and loaded again through a pointer: the same class and message.
  std::ostringstream out;
  {
    vxArchive ar(out);
    vxPersistent* p = &e;
    ar || p;
  }
  std::istringstream in(out.str());
  vxArchive ar(in);
  vxPersistent* p = nullptr;
  ar || p;
  std::unique_ptr<vxPersistent> owned(p);
  const auto* again = dynamic_cast<const vxException*>(p);
  check(again != nullptr && sameState(stateOf(*again), state),
        "an error saved and loaded again differs");
}

// Uses a heap error and then disposes of it through suicideAndRethrow, which must
// throw a copy of the same class and content.
inline void useAndRethrow(Defs::Errors* e) {
  useException(*e);
  const ErrorState state = stateOf(*e);
  try {
    e->suicideAndRethrow();
  } catch (const Defs::Errors& thrown) {
    check(sameState(stateOf(thrown), state), "suicideAndRethrow threw another error");
    return;
  }
}

// ---------------------------------------------------------------------------------
// Loading

// Loads one object by value into `object` (a new one, or one `prepare` gave data).
// After a failed load the object must be left as a refused version byte leaves it
// (unchanged) or without data.
template <class F>
void loadFilterByValue(std::istream& in, bool overBuilt) {
  F f;
  if (overBuilt) build(f);
  const F before(f);
  try {
    vxArchive ar(in);
    vxPersistent::dispatch(f, ar);
  } catch (const vxArchive::Errors&) {
    check((unbuilt(f) && !f.isInitialized()) || f == before,
          "a filter whose loading failed is still built");
  } catch (const Defs::InvalidSize&) {
    check((unbuilt(f) && !f.isInitialized()) || f == before,
          "a filter whose loading failed is still built");
  }
  useFilter(f);
}

template <class F>
void loadFilterPointer(std::istream& in) {
  F* p = nullptr;
  try {
    vxArchive ar(in);
    ar || p;
  } catch (const vxArchive::Errors&) {
    check(p == nullptr, "a failed load handed out an object");
  } catch (const Defs::InvalidSize&) {
    check(p == nullptr, "a failed load handed out an object");
  }
  std::unique_ptr<F> owned(p);
  if (p != nullptr) useFilter(*p);
}

inline void loadBuffer(std::istream& in, bool overBuilt) {
  vxFrequencyBuffer b;
  if (overBuilt) {
    b = patterned(8, 4);
    attempt([&] {
      vxFrequencyBuffer spatial;
      vfInverseFFT(b, spatial, true);
    });
  }
  const vxFrequencyBuffer before(b);
  try {
    vxArchive ar(in);
    ar || b;
  } catch (const vxArchive::Errors&) {
    check(!b.isInitialized() || sameBits(b, before), "a buffer whose loading failed holds data");
  } catch (const Defs::InvalidSize&) {
    check(!b.isInitialized(), "a buffer of a refused size holds data");
  }
  useBuffer(b);
}

template <class E>
void loadErrorByValue(std::istream& in) {
  E* e = new E();
  try {
    vxArchive ar(in);
    vxPersistent::dispatch(*e, ar);
  } catch (const vxArchive::Errors&) {}
  useAndRethrow(e);
}

inline void loadErrorPointer(std::istream& in) {
  Defs::Errors* e = nullptr;
  try {
    vxArchive ar(in);
    ar || e;
  } catch (const vxArchive::Errors&) {
    check(e == nullptr, "a failed load handed out an object");
  }
  if (e != nullptr) useAndRethrow(e);
}

// Up to kGraphLength objects through pointers of the mode's classes. The objects
// handed out are kept in order (repeats for back-references, nulls included); each
// distinct one is owned once.
inline void loadGraph(std::istream& in, Mode mode) {
  std::vector<vxPersistent*> sequence;
  std::vector<std::unique_ptr<vxPersistent>> owned;
  auto keep = [&](vxPersistent* p) {
    sequence.push_back(p);
    if (p == nullptr) return;
    for (const auto& o : owned)
      if (o.get() == p) return;
    owned.emplace_back(p);
  };
  {
    vxArchive ar(in);
    for (int i = 0; i < kGraphLength; ++i) {
      const int kind = mode == kFilterGraph ? 0 : mode == kObjectGraph ? 1 : i % 3;
      try {
        if (kind == 0) {
          vxFrequencyFilter* p = nullptr;
          ar || p;
          keep(p);
        } else if (kind == 1) {
          vxPersistent* p = nullptr;
          ar || p;
          keep(p);
        } else {
          Defs::Errors* p = nullptr;
          ar || p;
          keep(p);
        }
      } catch (const vxArchive::EndOfData&) {
        break;
      } catch (const vxArchive::Errors&) {
        // A refused object: the stream goes on after it.
      } catch (const Defs::InvalidSize&) {
        // An image filter whose buffer has a size of the other mode: refused likewise.
      }
    }
  }

  // Everything is used; the graph is saved again and must load with the same shape.
  bool light = true;
  for (const auto& o : owned) {
    withFilter(o.get(), [&](auto& f) {
      long floats = 0;
      attempt([&] { floats = tableFloats(f); });
      if (floats > kMaxTableFloats) light = false;
      useFilter(f);
    });
    if (auto* e = dynamic_cast<vxException*>(o.get())) useException(*e);
  }
  if (!light) return;
  std::ostringstream out;
  {
    vxArchive ar(out);
    for (vxPersistent* p : sequence) ar || p;
  }
  std::istringstream again(out.str());
  std::vector<std::unique_ptr<vxPersistent>> reloadedOwned;
  std::vector<vxPersistent*> reloaded;
  {
    vxArchive ar(again);
    for (std::size_t i = 0; i < sequence.size(); ++i) {
      vxPersistent* p = nullptr;
      ar || p;
      reloaded.push_back(p);
      bool seen = false;
      for (const auto& o : reloadedOwned) seen = seen || o.get() == p;
      if (p != nullptr && !seen) reloadedOwned.emplace_back(p);
    }
  }
  for (std::size_t i = 0; i < sequence.size(); ++i) {
    check((sequence[i] == nullptr) == (reloaded[i] == nullptr),
          "a graph saved and loaded again has nulls elsewhere");
    for (std::size_t j = 0; j < i; ++j)
      check((sequence[i] == sequence[j]) == (reloaded[i] == reloaded[j]),
            "a graph saved and loaded again shares other objects");
    if (sequence[i] == nullptr) continue;
    const vxPersistent& original = *sequence[i];
    const vxPersistent& copy = *reloaded[i];
    check(typeid(original) == typeid(copy), "a graph saved and loaded again has other classes");
    withFilter(sequence[i], [&](auto& f) {
      using F = std::remove_reference_t<decltype(f)>;
      check(equalOrNaN(dynamic_cast<const F&>(copy), f),
            "a filter of a graph saved and loaded again is not equal");
    });
    if (auto* e = dynamic_cast<const vxException*>(&original)) {
      check(sameState(stateOf(*e), stateOf(dynamic_cast<const vxException&>(copy))),
            "an error of a graph saved and loaded again differs");
    }
  }
}

// ---------------------------------------------------------------------------------

inline void exercise(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const Mode mode = static_cast<Mode>(data[0] % kModeCount);
  const unsigned variant = data[0] / kModeCount;
  Input input(data + 1, size - 1, (variant & kForwardOnly) != 0);
  std::istream& in = input.stream();
  const bool overBuilt = (variant & kOverBuilt) != 0;
  switch (mode) {
    case kBuffer:
      return loadBuffer(in, overBuilt);
    case kBandPass:
      return loadFilterByValue<vxFrequencyFilterBandPass>(in, overBuilt);
    case kBandReject:
      return loadFilterByValue<vxFrequencyFilterBandReject>(in, overBuilt);
    case kGabor:
      return loadFilterByValue<vxFrequencyFilterGabor>(in, overBuilt);
    case kGaborReject:
      return loadFilterByValue<vxFrequencyFilterGaborReject>(in, overBuilt);
    case kImage:
      return loadFilterByValue<vxFrequencyFilterImage>(in, overBuilt);
    case kBandPassPointer:
      return loadFilterPointer<vxFrequencyFilterBandPass>(in);
    case kBandRejectPointer:
      return loadFilterPointer<vxFrequencyFilterBandReject>(in);
    case kGaborPointer:
      return loadFilterPointer<vxFrequencyFilterGabor>(in);
    case kGaborRejectPointer:
      return loadFilterPointer<vxFrequencyFilterGaborReject>(in);
    case kImagePointer:
      return loadFilterPointer<vxFrequencyFilterImage>(in);
    case kFilterGraph:
    case kObjectGraph:
    case kMixedGraph:
      return loadGraph(in, mode);
    case kErrorPointer:
      return loadErrorPointer(in);
    case kInvalidArgument:
      return loadErrorByValue<Defs::InvalidArgument>(in);
    case kUninitialized:
      return loadErrorByValue<Defs::Uninitialized>(in);
    case kInvalidSize:
      return loadErrorByValue<Defs::InvalidSize>(in);
    case kUnboundWindow:
      return loadErrorByValue<Defs::UnboundWindow>(in);
    case kInvalidBuffer:
      return loadErrorByValue<Defs::InvalidBuffer>(in);
    case kBadCoord:
      return loadErrorByValue<Defs::BadCoord>(in);
    case kModeCount:
      break;
  }
}

}  // namespace vxfreq_fuzz

#endif
