// The picture the demo works on when it is given none.
#ifndef VXFREQ_DEMO_TEST_IMAGE_H
#define VXFREQ_DEMO_TEST_IMAGE_H

#include "image_io.h"

namespace demo {

// What the test picture holds, for choosing the filters that act on it.
struct TestImageFeatures {
  // The scratch: a bright line at this angle, degrees from the x axis towards y (down).
  double scratchDegrees;
  // The interference pattern: a sine wave of this frequency (cycles per pixel) whose
  // crests advance in this direction (degrees from the x axis towards y).
  double patternFrequency;
  double patternDegrees;
};

// An 8-bit size x size picture of a textured surface (smooth random relief with fine
// grain under an uneven illumination), crossed by a thin bright scratch and overlaid
// with a periodic interference pattern. Apart from the scratch and the sensor noise it
// repeats seamlessly across its edges. Always the same pixels for the same size.
GreyImage makeTestImage(long size);

// The features of makeTestImage(size).
TestImageFeatures testImageFeatures(long size);

}  // namespace demo

#endif
