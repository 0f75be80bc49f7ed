// The mode of threads without a scope: the process default, from the program or the
// environment.
#include "filt/extended.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Whether a thread started now, without a scope, takes a picture wider than 2048.
bool workerTakesCameraPictures() {
  bool taken = false;
  std::thread([&] {
    vxFrequencyBuffer spectrum;
    try {
      vfForwardFFT<unsigned char>(vxPelBuffer<unsigned char>(4000, 3, 32), spectrum);
      taken = spectrum.width() == 4000;  // at its own size
    } catch (const vxFrequencyDefs::InvalidSize&) {}
  }).join();
  return taken;
}

}  // namespace

// Run once as it is and once with VXFREQ_MODE=extended (tests/CMakeLists.txt).
TEST(ProcessMode, TheEnvironmentChoosesTheDefault) {
  const char* mode = std::getenv("VXFREQ_MODE");
  const bool extended = mode != nullptr && std::strcmp(mode, "extended") == 0;
  EXPECT_EQ(vfExtendedByDefault(), extended);
  EXPECT_EQ(vfExtendedMode(), extended);
  EXPECT_EQ(workerTakesCameraPictures(), extended);
}

TEST(ProcessMode, TheProgramsDefaultReachesThreadsWithoutAScope) {
  const bool before = vfExtendedByDefault();
  vfSetExtendedByDefault(true);
  EXPECT_TRUE(vfExtendedMode());  // the calling thread follows at once
  EXPECT_TRUE(workerTakesCameraPictures());
  {
    const vxExtendedScope compatible(false);  // a scope still decides for its thread
    EXPECT_EQ(vfMaxTransformSide(), 2048);
  }
  EXPECT_EQ(vfMaxTransformSide(), 16384);
  vfSetExtendedByDefault(false);
  EXPECT_FALSE(workerTakesCameraPictures());
  vfSetExtendedByDefault(before);
}
