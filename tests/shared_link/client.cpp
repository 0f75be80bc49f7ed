// A client of the shared library: everything it uses must be exported.
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/padding.h"
#include "filt/parallel.h"

#include <cstdio>
#include <sstream>

int main() {
  vxPelBuffer<unsigned char> image8(5, 4, 32);
  vxPelBuffer<unsigned short> image16(5, 4, 32);
  vxPelBuffer<double> imageD(5, 4, 32);
  image8.at(2, 1) = image16.at(2, 1) = 200;
  imageD.at(2, 1) = 200.0;
  vxFrequencyBuffer s8, s16, sD, back;
  vfForwardFFT<unsigned char>(image8, s8);
  vfForwardFFT<unsigned short>(image16, s16);
  vfForwardFFT<double>(imageD, sD);
  if (!(s8 == s16) || !(s8 == sD)) return 1;
  vfInverseFFT(s8, back);  // an 8 x 4 transform: 32 times the padded image
  if (back.getReal(2, 1, false) < 6399.9 || back.getReal(2, 1, false) > 6400.1) return 2;
  try {
    back.get(100, 0, false);
    return 3;
  } catch (const vxFrequencyDefs::BadCoord& e) {
    if (e.errorNumber() != 0x10006305) return 4;
  }
  {
    vxThreadPool pool(2);  // the pool and the scope are exported too
    vxParallelScope scope(pool);
    vxFrequencyBuffer again;
    vfForwardFFT<unsigned char>(image8, again);
    if (!(again == s8)) return 9;
  }

  vxFrequencyFilterBandReject reject(0.1, 0.0, 0.25, vxPair<long>(8, 4), 1);
  vxFrequencyFilter& filter = reject;
  filter.apply(s8);
  vxPelBuffer<unsigned char> out;
  vfInverseFFT<unsigned char>(s8, out, false, true);
  if (out.width() != 5 || out.height() != 4) return 5;
  std::ostringstream stored;
  {
    vxArchive ar(stored);
    vxFrequencyFilter* p = &reject;
    ar || p;
  }
  std::istringstream loadedFrom(stored.str());
  vxArchive ar(loadedFrom);
  vxFrequencyFilter* loaded = nullptr;
  ar || loaded;
  auto* asReject = dynamic_cast<vxFrequencyFilterBandReject*>(loaded);
  const bool same = asReject != nullptr && *asReject == reject;
  delete loaded;
  if (!same) return 6;

  // Padded transforms of every pixel type: 5 x 4 with a margin of 2 makes 16 x 8.
  const vxPaddingOptions mirrored{vxPadding::Reflect, vxWindow::tukey(0.5), 2};
  vfForwardFFTPadded<unsigned char>(image8, mirrored, s8);
  vfForwardFFTPadded<unsigned short>(image16, mirrored, s16);
  vfForwardFFTPadded<double>(imageD, mirrored, sD);
  if (!(s8 == s16) || !(s8 == sD) || s8.width() != 16 || vfPaddingMargin(s8).y != 2) return 7;
  if (vfPaddedTransformSize(5, 4, 2) != vxPair<long>(16, 8)) return 8;

  std::puts("shared library client: ok");
  return 0;
}
