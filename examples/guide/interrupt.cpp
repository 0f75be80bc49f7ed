// Interrupting a long transform: a worker thread transforms pictures until another
// thread sets its attention flag; the transform under way stops with
// vxAttentionInterrupted, leaving its output sized but incomplete.
#include "filt/fft.h"
#include "guide_picture.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

int main() {
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(256, true, true);
  vxFrequencyBuffer spectrum;
  std::atomic<bool> stop{false};
  long finished = 0;
  bool interrupted = false;

  std::thread worker([&] {
    vxAttentionScope scope(stop);  // this thread's checks now read `stop`
    try {
      for (; finished < 1000000; ++finished) vfForwardFFT(picture, spectrum);
    } catch (const vxAttentionInterrupted&) {
      interrupted = true;  // `spectrum` is sized, its values incomplete
    }
  });  // the scope ends with the thread: later checks on it are unaffected

  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  stop = true;  // from any thread
  worker.join();
  std::printf("%s after %ld complete transforms\n", interrupted ? "interrupted" : "not interrupted",
              finished);
  if (!interrupted) return 1;

  const vxPelBuffer<unsigned char> partial =
      vfFrequencyMapImage(spectrum.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0);
  // Outside any scope nothing interrupts: transform again for a complete result.
  vfForwardFFT(picture, spectrum);
  const vxPelBuffer<unsigned char> complete =
      vfFrequencyMapImage(spectrum.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0);
  guide::writePgm("interrupt.pgm", guide::sideBySide(partial, complete));
  return 0;
}
