// The planner of the engines' paths: it keeps a path this processor runs, every path it
// may keep gives the same bits, the fixed rule is the dispatch's choice, measuring adds
// no attention checks, and threads measuring one size at once agree.
#include "filt/planner.h"

#include "engine/test_support.h"
#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/simd/planner.h"
#include "filters/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using vx_detail::EnginePath;

// Restores planning and forgets the choices made in a test.
struct PlannerReset {
  ~PlannerReset() {
    vfSetPathPlanning(true);
    vfForgetPathPlans();
  }
};

vxPelBuffer<unsigned char> picture(long n) {
  return filter_test::imageOf(n, n, [](long x, long y) { return (x * 7 + y * 13 + x * y) % 251; });
}

// A forward transform of the picture, a complex transform of the spectrum, and the
// inverse: the three engines at n x n.
std::vector<float> threeEngines(const vxPelBuffer<unsigned char>& image) {
  vxFrequencyBuffer spectrum, twice;
  vfForwardFFT<unsigned char>(image, spectrum);
  vfForwardFFT(spectrum, twice);
  vxPelBuffer<double> real, imag;
  vfInverseFFT(spectrum, real, imag, false);
  const long n = spectrum.width() * spectrum.height() * 2;
  std::vector<float> all(twice.elements(), twice.elements() + n);
  for (long y = 0; y < real.height(); ++y)
    for (long x = 0; x < real.width(); ++x) all.push_back(static_cast<float>(real.at(x, y)));
  return all;
}

std::vector<std::string> vectorPathNames() {
  std::vector<std::string> names;
  for (const vx_detail::PathInfo& p : vx_detail::allPaths())
    if (p.engine != nullptr && p.supported()) names.push_back(p.name);
  return names;
}

TEST(Planner, KeepsAPathThisProcessorRuns) {
  const PlannerReset reset;
  vfForgetPathPlans();
  const std::vector<std::string> paths = vectorPathNames();
  if (paths.empty()) GTEST_SKIP() << "no vector path here";
  const vxPelBuffer<unsigned char> image = picture(512);
  threeEngines(image);
  for (vxEngine engine :
       {vxEngine::RealForward, vxEngine::ComplexForward, vxEngine::ComplexInverse}) {
    // Chosen at the first call: measured where there are two paths or more.
    EXPECT_TRUE(vx_detail::pathPlanned(engine, 512, 512));
    const std::string chosen = vfEnginePath(engine, 512, 512);
    EXPECT_NE(std::find(paths.begin(), paths.end(), chosen), paths.end()) << chosen;
    threeEngines(image);
    EXPECT_EQ(vfEnginePath(engine, 512, 512), chosen);  // kept for the process
  }
  EXPECT_THROW(vfEnginePath(vxEngine::RealForward, 300, 512), vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfEnginePath(static_cast<vxEngine>(7), 512, 512), vxFrequencyDefs::InvalidArgument);
}

// Whatever path is kept, the results are the fixed rule's bit for bit, in both modes.
TEST(Planner, EveryPathItMayKeepGivesTheSameBits) {
  const PlannerReset reset;
  for (const bool extended : {false, true}) {
    const vxExtendedScope mode(extended);
    const vxPelBuffer<unsigned char> image = picture(256);
    vfSetPathPlanning(false);
    const std::vector<float> fixed = threeEngines(image);
    vfSetPathPlanning(true);
    for (const vx_detail::PathInfo& p : vx_detail::allPaths()) {
      if (p.engine == nullptr || !p.supported()) continue;
      for (vxEngine engine :
           {vxEngine::RealForward, vxEngine::ComplexForward, vxEngine::ComplexInverse})
        vx_detail::setPlannedPath(engine, 256, 256, p.path);
      EXPECT_EQ(vfEnginePath(vxEngine::ComplexForward, 256, 256), std::string(p.name));
      const std::vector<float> planned = threeEngines(image);
      ASSERT_EQ(planned.size(), fixed.size());
      EXPECT_EQ(std::memcmp(planned.data(), fixed.data(), fixed.size() * sizeof(float)), 0)
          << p.name << (extended ? " extended" : " compatible");
    }
  }
}

// The fixed rule: the dispatch's choice, the last path of the table that this processor
// runs and may be chosen; below 256 x 256, and with planning off, always.
TEST(Planner, TheFixedRuleIsTheDispatchsChoice) {
  const PlannerReset reset;
  std::string expected = "scalar";
  for (const vx_detail::PathInfo& p : vx_detail::allPaths())
    if (p.chosen && p.supported()) expected = p.name;
  EXPECT_EQ(vx_detail::enginePathName(vx_detail::fixedRulePath()), expected);
  EXPECT_EQ(vfEnginePath(vxEngine::ComplexForward, 128, 128), expected);
  threeEngines(picture(128));
  EXPECT_EQ(vfEnginePath(vxEngine::ComplexForward, 128, 128), expected);
  EXPECT_FALSE(vx_detail::pathPlanned(vxEngine::ComplexForward, 128, 128));
  vfSetPathPlanning(false);
  EXPECT_FALSE(vfPathPlanning());
  threeEngines(picture(1024));
  EXPECT_EQ(vfEnginePath(vxEngine::RealForward, 1024, 1024), expected);
  EXPECT_FALSE(vx_detail::pathPlanned(vxEngine::RealForward, 1024, 1024));
}

// VXFREQ_PLANNER=fixed, read at the first call of a fresh process.
TEST(PlannerDeathTest, TheEnvironmentCanKeepTheFixedRule) {
#ifdef VXFREQ_TESTS_EMULATED
  GTEST_SKIP() << "under an emulator the test program cannot be started again";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("VXFREQ_PLANNER", "fixed", 1);
        std::exit(vfPathPlanning() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// The call that measures makes exactly the attention checks of a call that does not.
TEST(Planner, MeasuringAddsNoAttentionChecks) {
  const PlannerReset reset;
  vfForgetPathPlans();
  const vxPelBuffer<unsigned char> image = picture(512);
  auto checks = [&] {
    const engine_test::ProbeGuard probe;
    threeEngines(image);
    return probe.checks();
  };
  const std::int64_t measuring = checks();
  EXPECT_EQ(checks(), measuring);
}

// Threads making the first call at one size together: one measures, the others take the
// fixed rule meanwhile; every result has the same bits.
TEST(Planner, ConcurrentFirstCallsAgree) {
  const PlannerReset reset;
  vfForgetPathPlans();
  const vxPelBuffer<unsigned char> image = picture(512);
  std::vector<std::vector<float>> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t)
    threads.emplace_back([&, t] { results[t] = threeEngines(image); });
  for (std::thread& t : threads) t.join();
  for (const std::vector<float>& r : results) EXPECT_TRUE(r == results[0]);
  const std::vector<std::string> paths = vectorPathNames();
  if (!paths.empty()) {
    const std::string kept = vfEnginePath(vxEngine::RealForward, 512, 512);
    EXPECT_NE(std::find(paths.begin(), paths.end(), kept), paths.end()) << kept;
  }
}

}  // namespace
