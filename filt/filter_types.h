// vxfreq: the list of the library's parametric filter types.
//
// Every band and Gabor filter class is listed here once, with its family, its form
// (pass or reject) and the names it goes by. The Python module's filter classes, its
// stubs, the command line's filter commands and the archive tests are produced from
// this list or checked against it, so that a new filter type is one line here besides
// its own class.
#ifndef VXFREQ_FILT_FILTER_TYPES_H
#define VXFREQ_FILT_FILTER_TYPES_H

#include "filt/freqfilt.h"

#include <cstring>
#include <string>

// The families: a family's classes take the same parameters.
//   Band:  sigma, plateau, frequency, size, DC radius (a ring around zero).
//   Gabor: sigma and plateau pairs (along, across), angle, frequency, size, DC radius
//          (one lobe around a point of the spectrum).
enum class vxFilterFamily { Band, Gabor };

// One filter type: the class F, its family and form, and its names.
template <class F, vxFilterFamily FamilyV, bool RejectsV>
struct vxFilterType {
  // The filter class.
  using Filter = F;
  // The family: the parameters the class takes.
  static constexpr vxFilterFamily family = FamilyV;
  // The reject form: one minus the pass form's gain, a DC protection radius.
  static constexpr bool rejects = RejectsV;

  // The class's name, as archives store it: "vxFrequencyFilterBandPass".
  const char* className;
  // The name in texts: "band-pass". The command-line command is this in lower case
  // without its hyphens ("bandpass").
  const char* label;
  // What the filter does, in a few words: "keep a ring of frequencies".
  const char* summary;

  // The Python class's name: the class name without "vxFrequencyFilter" ("BandPass").
  const char* pythonName() const { return className + std::strlen("vxFrequencyFilter"); }
  std::string command() const {
    std::string text;
    for (const char* c = label; *c != '\0'; ++c)
      if (*c != '-') text += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
    return text;
  }
};

// Calls visit(type) for every parametric filter type, in this order.
template <class Visit>
void vxForEachFilterType(Visit&& visit) {
  using Family = vxFilterFamily;
  // clang-format off
  visit(vxFilterType<vxFrequencyFilterBandPass, Family::Band, false>{"vxFrequencyFilterBandPass", "band-pass", "keep a ring of frequencies"});
  visit(vxFilterType<vxFrequencyFilterBandReject, Family::Band, true>{"vxFrequencyFilterBandReject", "band-reject", "remove a ring of frequencies"});
  visit(vxFilterType<vxFrequencyFilterGabor, Family::Gabor, false>{"vxFrequencyFilterGabor", "Gabor", "strength of one frequency in one direction"});
  visit(vxFilterType<vxFrequencyFilterGaborReject, Family::Gabor, true>{"vxFrequencyFilterGaborReject", "Gabor-reject", "remove one frequency in one direction"});
  // clang-format on
}

#endif
