// Saving and loading filters: a set of filters built once (here the pair of
// Gabor-reject filters that removes the scratch) is saved to a file, loaded back as
// filters of their own classes and applied; the result is the same, bit for bit.
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "guide_picture.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

int main() {
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(256, true, true);
  vxFrequencyBuffer spectrum;
  vfForwardFFT(picture, spectrum);
  const vxPair<long> size(spectrum.width(), spectrum.height());

  // A Gabor-reject filter treats one lobe: a real picture needs the angle and the
  // angle + 180 degrees. DC protection radius 1 keeps the picture's mean.
  const double across = (guide::kScratchDegrees + 90.0) * guide::kPi / 180.0;
  vxFrequencyFilterGaborReject one(vxPair<double>(0.02, 0.008), vxPair<double>(0.12, 0.0),
                                   vxRadian(across), 0.2, size, 1);
  vxFrequencyFilterGaborReject other(vxPair<double>(0.02, 0.008), vxPair<double>(0.12, 0.0),
                                     vxRadian(across + guide::kPi), 0.2, size, 1);

  {  // Save: a count, then each filter through a base-class pointer.
    std::ofstream file("scratch-filters.vxa", std::ios::binary);
    vxArchive ar(file);
    long count = 2;
    ar || count;
    for (vxFrequencyFilter* filter :
         {static_cast<vxFrequencyFilter*>(&one), static_cast<vxFrequencyFilter*>(&other)})
      ar || filter;
  }

  // Load: each object is re-created as its own class, owned by the caller. Loading
  // treats the file as untrusted: bad data throws vxArchive errors, never crashes.
  std::vector<std::unique_ptr<vxFrequencyFilter>> loaded;
  {
    std::ifstream file("scratch-filters.vxa", std::ios::binary);
    vxArchive ar(file);
    long count = 0;
    ar || count;
    for (long i = 0; i < count; ++i) {
      vxFrequencyFilter* filter = nullptr;
      ar || filter;
      loaded.emplace_back(filter);
    }
  }
  const auto* first = dynamic_cast<const vxFrequencyFilterGaborReject*>(loaded.at(0).get());
  std::printf("loaded %zu filters; the first is a Gabor-reject filter at %.1f degrees\n",
              loaded.size(), first != nullptr ? first->angle() * 180.0 / guide::kPi : -1.0);

  // The loaded filters give the same bits as the ones that were saved.
  vxFrequencyBuffer original = spectrum, reloaded = spectrum;
  one.apply(original);
  other.apply(original);
  for (const auto& filter : loaded) filter->apply(reloaded);
  std::printf("results %s\n", original == reloaded ? "identical" : "DIFFERENT");
  if (first == nullptr || !(original == reloaded)) return 1;

  vxPelBuffer<unsigned char> cleaned;
  vfInverseFFTReal(reloaded, cleaned);
  guide::writePgm("archive.pgm", guide::sideBySide(picture, cleaned));
  return 0;
}
