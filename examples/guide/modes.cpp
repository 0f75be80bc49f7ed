// A 5-megapixel camera picture (2448 x 2048) with a screen pattern: refused by the
// compatible mode, taken by the extended mode, which removes the pattern right up to
// the border and brings 16-bit pictures back exactly.
#include "filt/extended.h"
#include "filt/filtering.h"
#include "guide_picture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const long kWidth = 2448, kHeight = 2048;
const double kPatternFrequency = 0.1, kPatternDegrees = 20.0;

// The camera's picture of a smooth surface (16-bit), with or without the screen.
vxPelBuffer<unsigned short> cameraPicture(bool pattern) {
  vxPelBuffer<unsigned short> picture(kWidth, kHeight, 32);
  const double a = kPatternDegrees * guide::kPi / 180.0;
  for (long y = 0; y < kHeight; ++y)
    for (long x = 0; x < kWidth; ++x) {
      double v = 30000.0 + 9000.0 * std::sin(x / 310.0) * std::cos(y / 270.0) +
                 0.5 * ((x * 7 + y * 13) % 101);
      if (pattern)
        v += 3000.0 *
             std::cos(2 * guide::kPi * kPatternFrequency * (x * std::cos(a) + y * std::sin(a)));
      picture.at(x, y) = static_cast<unsigned short>(std::lround(v));
    }
  return picture;
}

// Pixels of a 16-bit picture that a forward and inverse transform do not bring back.
long changedPixels(const vxPelBuffer<unsigned short>& picture) {
  vxFrequencyBuffer spectrum;
  vfForwardFFT(picture, spectrum);
  vxPelBuffer<unsigned short> back;
  vfInverseFFT(spectrum, back, false);
  long changed = 0;
  for (long y = 0; y < picture.height(); ++y)
    for (long x = 0; x < picture.width(); ++x) changed += back.at(x, y) != picture.at(x, y);
  return changed;
}

}  // namespace

int main() {
  const vxPelBuffer<unsigned short> clean = cameraPicture(false);
  const vxPelBuffer<unsigned short> screened = cameraPicture(true);

  // The compatible mode, C++'s default, takes sides up to 2048.
  vxFrequencyBuffer spectrum;
  try {
    vfForwardFFT(screened, spectrum);
  } catch (const vxFrequencyDefs::InvalidSize& e) {
    std::printf("compatible mode: %s\n", e.what());
  }

  const vxExtendedScope extended;  // this thread's calls, until the end of main
  std::printf("extended mode: sides up to %ld\n", vfMaxTransformSide());

  // The screen removed by a band-reject of its ring, the padding continuing it. The
  // ring is narrow (0.002 cycles per pixel), so its filter reaches some hundreds of
  // pixels: the margin keeps the seam where the continuations meet that far from the
  // picture. The transform takes the next fast size of each padded side.
  const long margin = 512;
  const vxPair<long> size = vfPaddedTransformSize(kWidth, kHeight, margin);
  const vxFrequencyFilterBandReject reject(0.002, 0.002, kPatternFrequency, size, 0);
  const vxPaddingOptions continued{vxPadding::Continue, vxWindow::none(), margin};
  const vxPelBuffer<double> filtered =
      vfFilterPicture<unsigned short>(screened, {&reject}, continued);
  double border = 0.0, inside = 0.0;
  for (long y = 0; y < kHeight; ++y)
    for (long x = 0; x < kWidth; ++x) {
      const double error = std::fabs(filtered.at(x, y) - clean.at(x, y));
      const bool strip = x < 16 || y < 16 || x >= kWidth - 16 || y >= kHeight - 16;
      (strip ? border : inside) = std::max(strip ? border : inside, error);
    }
  std::printf("%ld x %ld in a %ld x %ld transform; screen of amplitude 3000 removed:\n", kWidth,
              kHeight, size.x, size.y);
  std::printf("  largest error %.0f in the 16-pixel border, %.0f inside\n", border, inside);

  // 16-bit pictures come back exactly from forward and inverse.
  std::printf("16-bit round trip: %ld pixels changed\n", changedPixels(screened));

  // Every 8th pixel of the picture and of the result, side by side, as 8-bit PGM.
  vxPelBuffer<unsigned char> before(kWidth / 8, kHeight / 8, 32),
      after(kWidth / 8, kHeight / 8, 32);
  for (long y = 0; y < kHeight / 8; ++y)
    for (long x = 0; x < kWidth / 8; ++x) {
      before.at(x, y) = static_cast<unsigned char>(screened.at(8 * x, 8 * y) >> 8);
      const double v = std::min(std::max(filtered.at(8 * x, 8 * y), 0.0), 65535.0);
      after.at(x, y) = static_cast<unsigned char>(std::lround(v) >> 8);
    }
  guide::writePgm("modes.pgm", guide::sideBySide(before, after));
  return 0;
}
