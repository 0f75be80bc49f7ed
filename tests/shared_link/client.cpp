// A client of the shared library: everything it uses must be exported.
#include "filt/fft.h"

#include <cstdio>

int main() {
  vxFrequencyBuffer buffer(6, 3);
  buffer.putReal(1, 0, 1.0, false);
  vxFrequencyBuffer spectrum;
  vfForwardFFT(buffer, spectrum);
  vxFrequencyBuffer back;
  vfInverseFFT(spectrum, back);
  // 8 x 4 transform: forward then inverse gives 32 times the input.
  if (back.getReal(1, 0, false) < 31.99 || back.getReal(1, 0, false) > 32.01) return 1;
  try {
    buffer.get(100, 0, false);
    return 2;
  } catch (const vxFrequencyDefs::BadCoord& e) {
    if (e.errorNumber() != 0x10006305) return 3;
  }
  std::puts("shared library client: ok");
  return 0;
}
