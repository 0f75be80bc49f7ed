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
#include <cstdio>
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

// A measurement times the fixed rule first, then each wider path this processor runs once;
// narrower paths never, nor the scalar one.
TEST(Planner, MeasuresTheFixedRuleAgainstTheWiderPathsOnly) {
  const std::vector<EnginePath> paths = vx_detail::measuredPaths();
  const EnginePath fixed = vx_detail::fixedRulePath();
  if (vx_detail::pathInfo(fixed).engine == nullptr) {
    EXPECT_TRUE(paths.empty());
    return;
  }
  std::vector<EnginePath> expected{fixed};
  for (const vx_detail::PathInfo& p : vx_detail::allPaths())
    if (p.supported() && p.engine != nullptr && p.path != fixed &&
        p.lanes >= vx_detail::pathInfo(fixed).lanes)
      expected.push_back(p.path);
  EXPECT_EQ(paths, expected);
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

// Sizes beyond 512 x 512 elements take the choice of their sides halved down to that.
TEST(Planner, LargerSizesTakeTheChoiceOfTheirHalvedSides) {
  const PlannerReset reset;
  const vxExtendedScope extended;
  const std::vector<std::string> paths = vectorPathNames();
  if (paths.empty()) GTEST_SKIP() << "no vector path here";
  const vx_detail::PathInfo* first = nullptr;
  for (const vx_detail::PathInfo& p : vx_detail::allPaths())
    if (p.engine != nullptr && p.supported() && first == nullptr) first = &p;
  vx_detail::setPlannedPath(vxEngine::RealForward, 512, 512, first->path);
  vx_detail::setPlannedPath(vxEngine::RealForward, 2048, 128, first->path);
  EXPECT_EQ(vfEnginePath(vxEngine::RealForward, 2048, 2048), std::string(first->name));
  EXPECT_EQ(vfEnginePath(vxEngine::RealForward, 4096, 1024), std::string(first->name));
  EXPECT_EQ(vfEnginePath(vxEngine::RealForward, 16384, 8192), std::string(first->name));
  EXPECT_EQ(vfEnginePath(vxEngine::RealForward, 4096, 512), std::string(first->name));
  EXPECT_EQ(vfEnginePath(vxEngine::RealForward, 8192, 128), std::string(first->name));
  std::int32_t w = 16384, h = 64;
  vx_detail::planningSize(w, h);
  EXPECT_EQ(w * 100000 + h, 4096 * 100000 + 64);
  w = 2048, h = 128;
  vx_detail::planningSize(w, h);
  EXPECT_EQ(w * 100000 + h, 2048 * 100000 + 128);  // 2^18 elements: its own size
}

// The plans as text: what is exported comes back after the process forgets it; text of
// another build or processor, or damaged anywhere, is refused whole with a reason.
TEST(PlannerPlans, ExportedPlansComeBackAndDamagedOnesAreRefusedWhole) {
  const PlannerReset reset;
  vfForgetPathPlans();
  const std::vector<std::string> paths = vectorPathNames();
  if (paths.empty()) GTEST_SKIP() << "no vector path here";
  const vx_detail::PathInfo* last = nullptr;
  for (const vx_detail::PathInfo& p : vx_detail::allPaths())
    if (p.engine != nullptr && p.supported()) last = &p;
  vx_detail::setPlannedPath(vxEngine::ComplexInverse, 512, 256, last->path);
  {
    const vxExtendedScope extended;
    vx_detail::setPlannedPath(vxEngine::RealForward, 512, 512, last->path);
  }
  const std::string text = vfExportPathPlans();
  EXPECT_EQ(text.rfind("vxfreq path plans 1\nprocessor ", 0), 0u) << text;
  EXPECT_NE(text.find("complex-inverse compatible 512x256 " + std::string(last->name) + "\n"),
            std::string::npos)
      << text;
  vfForgetPathPlans();
  EXPECT_FALSE(vx_detail::pathPlanned(vxEngine::ComplexInverse, 512, 256));
  std::string note = "stale";
  ASSERT_TRUE(vfImportPathPlans(text, &note));
  EXPECT_EQ(note, "");
  EXPECT_EQ(vfExportPathPlans(), text);

  const std::size_t body = text.find('\n', text.find('\n') + 1) + 1;
  const std::string head = text.substr(0, body);
  const struct {
    std::string text, why;
  } refused[] = {
      {"", "not path plans of this library"},
      {"vxfreq path plans 2\n" + text.substr(text.find('\n') + 1), "not path plans"},
      {"vxfreq path plans 1\nprocessor elsewhere | paths sse2\n", "another processor"},
      {head + "real-forward extended 1000x1024 " + last->name + "\n", "line 3 is damaged"},
      {head + "real-forward extended 128x128 " + last->name + "\n", "line 3"},
      {head + "real-forward extended 1024x1024 " + last->name + "\n", "line 3"},
      {head + "real-forward sometimes 512x512 " + last->name + "\n", "line 3"},
      {head + "inverse extended 512x512 " + last->name + "\n", "line 3"},
      {head + "real-forward extended 512x512 scalar\n", "line 3"},
      {head + "real-forward extended 512x512 quantum\n", "line 3"},
      {head + "real-forward extended 512x512 " + last->name + " again\n", "line 3"},
      {head + "real-forward extended 512x-512 " + last->name + "\n", "line 3"},
      {head + "\nreal-forward extended 512x512 " + last->name + "\nbroken\n", "line 5"},
      {head + std::string(70000, '#'), "longer than"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.text.substr(0, 200));
    vfForgetPathPlans();
    note.clear();
    EXPECT_FALSE(vfImportPathPlans(r.text, &note));
    EXPECT_NE(note.find(r.why), std::string::npos) << note;
    EXPECT_EQ(vfExportPathPlans(), head);  // nothing taken
  }
}

// The file of the command line and the Python module: written when a choice was
// measured since it was read, read back in a later run; a damaged file is ignored with a
// note, a missing one silently, and VXFREQ_PLANS=off keeps none.
TEST(PlannerPlans, TheCacheFileIsWrittenReadAndIgnoredWhenDamaged) {
  const PlannerReset reset;
  const char* before = std::getenv("VXFREQ_PLANS");
  const std::string saved = before != nullptr ? before : "";
  const std::string file = ::testing::TempDir() + "vxfreq-plans-test/plans";
  std::remove(file.c_str());
  setenv("VXFREQ_PLANS", file.c_str(), 1);
  EXPECT_EQ(vfPathPlansFile(), file);
  std::string note = "stale";
  EXPECT_FALSE(vfLoadPathPlans(&note));  // missing: nothing to say
  EXPECT_EQ(note, "");

  vfForgetPathPlans();
  threeEngines(picture(512));
  const bool measured = vx_detail::pathPlanned(vxEngine::RealForward, 512, 512);
  EXPECT_EQ(vfSavePathPlans(&note), measured && !vectorPathNames().empty()) << note;
  EXPECT_FALSE(vfSavePathPlans(&note));  // nothing new since
  if (measured && !vectorPathNames().empty()) {
    const std::string text = vfExportPathPlans();
    vfForgetPathPlans();
    EXPECT_TRUE(vfLoadPathPlans(&note)) << note;
    EXPECT_EQ(vfExportPathPlans(), text);
  }

  {
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("vxfreq path plans 1\nprocessor a toaster | paths none\n", f);
    std::fclose(f);
  }
  vfForgetPathPlans();
  EXPECT_FALSE(vfLoadPathPlans(&note));
  EXPECT_NE(note.find("ignored the path plans in " + file + ": measured on another"),
            std::string::npos)
      << note;
  EXPECT_FALSE(vx_detail::pathPlanned(vxEngine::RealForward, 512, 512));

  setenv("VXFREQ_PLANS", "off", 1);
  EXPECT_EQ(vfPathPlansFile(), "");
  EXPECT_FALSE(vfLoadPathPlans(&note));
  unsetenv("VXFREQ_PLANS");
  setenv("XDG_CACHE_HOME", "/somewhere", 1);
  EXPECT_EQ(vfPathPlansFile(), "/somewhere/vxfreq/path-plans");
  unsetenv("XDG_CACHE_HOME");
  if (!saved.empty()) setenv("VXFREQ_PLANS", saved.c_str(), 1);
  std::remove(file.c_str());
}

// The extended mode's engines of any size (the real-output engine at every size) are
// planned apart from the powers of two, at the next powers of two of their sides, and
// give the fixed rule's bits whatever they keep.
TEST(Planner, EnginesOfAnySizeArePlannedAtTheNextPowersOfTwo) {
  const PlannerReset reset;
  const vxExtendedScope extended;
  if (vectorPathNames().empty()) GTEST_SKIP() << "no vector path here";
  vfForgetPathPlans();
  const vxPelBuffer<unsigned char> image =
      filter_test::imageOf(640, 480, [](long x, long y) { return (x * 3 + y * y) % 253; });
  auto run = [&] {
    vxFrequencyBuffer spectrum;
    vfForwardFFT<unsigned char>(image, spectrum);
    vxPelBuffer<double> real;
    vfInverseFFTReal<double>(spectrum, real);
    std::vector<float> all(spectrum.elements(), spectrum.elements() + 2 * 640 * 480);
    for (long y = 0; y < 480; ++y)
      for (long x = 0; x < 640; ++x) all.push_back(static_cast<float>(real.at(x, y)));
    return all;
  };
  const std::vector<float> planned = run();
  EXPECT_TRUE(vx_detail::pathPlanned(vxEngine::RealForward, 512, 512, true));
  EXPECT_TRUE(vx_detail::pathPlanned(vxEngine::RealInverse, 512, 512, true));
  EXPECT_FALSE(vx_detail::pathPlanned(vxEngine::RealForward, 512, 512));
  EXPECT_EQ(vfExportPathPlans().find("real-inverse extended-any 512x512 ") != std::string::npos,
            true);
  vfSetPathPlanning(false);
  EXPECT_TRUE(run() == planned);
  EXPECT_EQ(vfEnginePath(vxEngine::RealInverse, 1, 480), std::string("scalar"));
}
