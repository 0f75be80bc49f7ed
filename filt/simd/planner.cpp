// The planner of the engines' vector paths: one choice per engine, transform size and
// mode, measured on the first call that needs it and kept for the process.
#include "filt/simd/planner.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/fft.h"
#include "platform/attention.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace vx_detail {

namespace {

// The sizes measured (elements W x H), and the sides' largest power of two.
constexpr long kFewestElements = 256L * 256L;
constexpr long kMostElements = 512L * 512L;
constexpr int kSideBits = 15;  // sides 1 .. 16384
// The time the measuring of one engine and size may take, copies of the input included,
// and the most runs per path.
constexpr double kBudgetSeconds = 0.01;
constexpr int kMostRuns = 4;
// Another path replaces the fixed rule only when it is faster by more than this.
constexpr double kMargin = 0.97;

// A slot's state: a path's index, or one of these.
constexpr int kUndecided = -1;
constexpr int kMeasuring = -2;

// The engines of vxEngine, ComplexForward .. RealForward.
constexpr int kEngines = static_cast<int>(vxEngine::RealInverse) + 1;

// The slots' modes: the compatible mode, the extended mode at powers of two (the
// split-radix engines), and the extended mode's other sizes (the engines of any size,
// decided at the next powers of two).
constexpr int kModes = 3;
std::atomic<int> gSlots[kEngines][kModes][kSideBits][kSideBits];
std::atomic<int> gPlanning{-1};  // -1: not yet read from the environment
std::atomic<long> gMeasured{0};  // choices measured in this process

struct SlotsInit {
  SlotsInit() {
    for (auto& engine : gSlots)
      for (auto& mode : engine)
        for (auto& row : mode)
          for (auto& slot : row) slot.store(kUndecided, std::memory_order_relaxed);
  }
} gSlotsInit;

int log2Of(long n) {
  int bits = 0;
  while ((1L << bits) < n) ++bits;
  return bits;
}

// The slot's mode of a call in the calling thread's mode.
int modeOf(bool anySize) { return anySize ? 2 : (extendedMode() ? 1 : 0); }

std::atomic<int>& slotOf(vxEngine engine, long width, long height, int mode) {
  return gSlots[static_cast<int>(engine)][mode][log2Of(width)][log2Of(height)];
}

bool planning() { return environmentSwitch(gPlanning, "VXFREQ_PLANNER", "fixed", false); }

// Whether the caller asks for attention, read without making an attention check (which
// would count as one of the call's).
bool attentionAsked() {
  const std::atomic<bool>* flag = attentionFlag();
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

double secondsOf(const PathTrial& trial, const LaneKernels& kernels) {
  const auto start = std::chrono::steady_clock::now();
  trial(kernels);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest path for the trial, or the fixed rule (also when the caller's attention
// is asked for, or a trial fails).
// The paths a measurement compares: the fixed rule and the wider paths this processor
// runs. A narrower path has never been the faster one on a processor that runs a wider
// one (docs/performance.md), so timing it would only spend the budget.
std::vector<const PathInfo*> candidatePaths() {
  const EnginePath fixed = fixedRulePath();
  std::vector<const PathInfo*> candidates;
  if (pathInfo(fixed).engine == nullptr) return candidates;
  const std::int32_t lanes = pathInfo(fixed).lanes;
  // The fixed rule first: its first run also warms the trial's memory.
  candidates.push_back(&pathInfo(fixed));
  for (const PathInfo& p : allPaths())
    if (p.engine != nullptr && p.path != fixed && p.lanes >= lanes && p.supported())
      candidates.push_back(&p);
  return candidates;
}

EnginePath measure(const PathTrial& trial) {
  const EnginePath fixed = fixedRulePath();
  if (attentionAsked()) return fixed;
  const std::vector<const PathInfo*> candidates = candidatePaths();
  if (candidates.size() < 2) return fixed;
  try {
    const QuietAttention quiet;
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    // Rounds of one run per path while another round fits into the budget; one round
    // whatever it costs.
    std::vector<double> best(candidates.size(), 1e300);
    for (int run = 0; run < kMostRuns; ++run) {
      const double before = elapsed();
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (quiet.callerAttention()) return fixed;
        best[i] = std::min(best[i], secondsOf(trial, *candidates[i]->engine));
      }
      const double round = elapsed() - before;
      if (elapsed() + round > kBudgetSeconds) break;
    }
    std::size_t fastest = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i)
      if (best[i] < best[fastest]) fastest = i;
    return best[fastest] < kMargin * best[0] ? candidates[fastest]->path : fixed;
  } catch (...) {
    return fixed;
  }
}

EnginePath plannedPath(vxEngine engine, long width, long height, int mode, const PathTrial* trial) {
  const EnginePath fixed = fixedRulePath();
  std::int32_t w = static_cast<std::int32_t>(width), h = static_cast<std::int32_t>(height);
  planningSize(w, h, mode == 2);
  if (!planning() || static_cast<long>(w) * h < kFewestElements) return fixed;
  std::atomic<int>& slot = slotOf(engine, w, h, mode);
  int state = slot.load(std::memory_order_acquire);
  if (state >= 0) return static_cast<EnginePath>(state);
  if (trial == nullptr || state == kMeasuring ||
      !slot.compare_exchange_strong(state, kMeasuring, std::memory_order_acq_rel))
    return fixed;
  const EnginePath chosen = measure(*trial);
  // An interrupted measuring decides nothing: the next call measures again.
  const bool decided = !attentionAsked();
  slot.store(decided ? static_cast<int>(chosen) : kUndecided, std::memory_order_release);
  if (decided) gMeasured.fetch_add(1, std::memory_order_relaxed);
  return chosen;
}

void checkSize(long width, long height) {
  if (!isTransformSide(width) || !isTransformSide(height) || width > kMaxExtendedSide ||
      height > kMaxExtendedSide)
    throw vxFrequencyDefs::InvalidSize(msg::kPowerOfTwo);
}

}  // namespace

std::vector<EnginePath> measuredPaths() {
  std::vector<EnginePath> paths;
  for (const PathInfo* p : candidatePaths()) paths.push_back(p->path);
  return paths;
}

void planningSize(std::int32_t& width, std::int32_t& height, bool anySize) {
  if (anySize) {
    width = static_cast<std::int32_t>(nextPowerOfTwo(width));
    height = static_cast<std::int32_t>(nextPowerOfTwo(height));
  }
  while (static_cast<long>(width) * height > kMostElements) {
    if (width >= height)
      width /= 2;
    else
      height /= 2;
  }
}

void copyForTrial(float* to, const float* from, std::size_t floats) {
  constexpr std::size_t kPart = std::size_t{1} << 18;
  for (std::size_t done = 0; done < floats; done += kPart) {
    vfThrowExceptionOnFailure(vsys_attention_check());
    std::copy(from + done, from + std::min(floats, done + kPart), to + done);
  }
}

const LaneKernels* plannedLaneKernels(vxEngine engine, std::int32_t width, std::int32_t height,
                                      const PathTrial& trial, bool anySize) {
  if (enginePathForced()) return activeLaneKernels();
  return pathInfo(plannedPath(engine, width, height, modeOf(anySize), &trial)).engine;
}

void setPlannedPath(vxEngine engine, std::int32_t width, std::int32_t height, EnginePath path,
                    bool anySize) {
  if (!enginePathSupported(path)) throw std::invalid_argument("engine path not supported here");
  slotOf(engine, width, height, modeOf(anySize)).store(static_cast<int>(path));
}

bool pathPlanned(vxEngine engine, std::int32_t width, std::int32_t height, bool anySize) {
  return slotOf(engine, width, height, modeOf(anySize)).load() >= 0;
}

}  // namespace vx_detail

bool vfPathPlanning() { return vx_detail::planning(); }

void vfSetPathPlanning(bool measure) {
  vx_detail::planning();  // the environment is read first, so that it cannot override this
  vx_detail::gPlanning.store(measure ? 1 : 0, std::memory_order_release);
}

const char* vfEnginePath(vxEngine engine, long width, long height) {
  if (static_cast<int>(engine) < 0 || static_cast<int>(engine) >= vx_detail::kEngines)
    throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kUnknownEngine);
  vx_detail::checkSize(width, height);
  // A single row or column takes the scalar path in the extended mode's engines of any
  // size; the real-output engine is the extended mode's only.
  const bool anySize = vx_detail::extendedMode() &&
                       (engine == vxEngine::RealInverse || !vx_detail::isPowerOfTwo(width) ||
                        !vx_detail::isPowerOfTwo(height));
  if (anySize && (width < 2 || height < 2))
    return vx_detail::enginePathName(vx_detail::EnginePath::Scalar);
  if (vx_detail::enginePathForced())
    return vx_detail::enginePathName(vx_detail::activeEnginePath());
  return vx_detail::enginePathName(
      vx_detail::plannedPath(engine, width, height, vx_detail::modeOf(anySize), nullptr));
}

void vfForgetPathPlans() {
  for (auto& engine : vx_detail::gSlots)
    for (auto& mode : engine)
      for (auto& row : mode)
        for (auto& slot : row) {
          int state = slot.load();
          // A slot being measured is left to its measuring thread.
          if (state >= 0) slot.compare_exchange_strong(state, vx_detail::kUndecided);
        }
}

// ---------------------------------------------------------------------------
// The decisions as text, and the file that keeps them between processes.

namespace vx_detail {
namespace {

constexpr const char* kPlansHeader = "vxfreq path plans 1";
constexpr std::size_t kMostPlanBytes = 64 * 1024;
const char* const kEngineNames[kEngines] = {"complex-forward", "complex-inverse", "real-forward",
                                            "real-inverse"};
const char* const kModeNames[kModes] = {"compatible", "extended", "extended-any"};
std::atomic<long> gMeasuredAtLoad{0};

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") + 1 - first);
}

// What a plan was measured on: the processor's name (its model, or on ARM its
// implementer and part) and the paths this build and processor run. Plans made
// elsewhere are refused.
std::string processorLine() {
  std::string model;
  std::ifstream cpu("/proc/cpuinfo");
  for (std::string line; std::getline(cpu, line) && model.size() < 200;) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = trimmed(line.substr(0, colon));
    if (key == "model name" || key == "CPU implementer" || key == "CPU part") {
      if (model.find(key) != std::string::npos) break;  // the next processor's lines
      model += (model.empty() ? "" : ", ") + key + " " + trimmed(line.substr(colon + 1));
      if (key == "model name") break;
    }
  }
  std::string paths;
  for (const PathInfo& p : allPaths())
    if (p.engine != nullptr && p.supported())
      paths += std::string(paths.empty() ? "" : ",") + p.name;
  return "processor " + (model.empty() ? std::string("unknown") : model) + " | paths " + paths;
}

bool powerOfTwoSide(long n) { return n >= 1 && n <= (1L << (kSideBits - 1)) && (n & (n - 1)) == 0; }

// A plan line "<engine> <mode> <W>x<H> <path>", or false.
bool parsePlan(const std::string& line, int& engine, int& mode, long& w, long& h,
               EnginePath& path) {
  std::istringstream in(line);
  std::string e, m, size, p, extra;
  if (!(in >> e >> m >> size >> p) || (in >> extra)) return false;
  engine = -1;
  for (int i = 0; i < kEngines; ++i)
    if (e == kEngineNames[i]) engine = i;
  mode = -1;
  for (int i = 0; i < kModes; ++i)
    if (m == kModeNames[i]) mode = i;
  const std::size_t x = size.find('x');
  if (engine < 0 || mode < 0 || x == std::string::npos || x == 0 || x + 1 >= size.size() ||
      size.size() > 11 || size.find_first_not_of("0123456789x") != std::string::npos)
    return false;
  w = std::atol(size.substr(0, x).c_str());
  h = std::atol(size.substr(x + 1).c_str());
  if (!powerOfTwoSide(w) || !powerOfTwoSide(h) || w * h < kFewestElements || w * h > kMostElements)
    return false;
  for (const PathInfo& info : allPaths())
    if (p == info.name && info.engine != nullptr && info.supported()) {
      path = info.path;
      return true;
    }
  return false;
}

}  // namespace
}  // namespace vx_detail

std::string vfExportPathPlans() {
  using namespace vx_detail;
  std::string text = std::string(kPlansHeader) + "\n" + processorLine() + "\n";
  for (int e = 0; e < kEngines; ++e)
    for (int m = 0; m < kModes; ++m)
      for (int a = 0; a < kSideBits; ++a)
        for (int b = 0; b < kSideBits; ++b) {
          const int state = gSlots[e][m][a][b].load(std::memory_order_acquire);
          if (state < 0) continue;
          text += std::string(kEngineNames[e]) + " " + kModeNames[m] + " " +
                  std::to_string(1L << a) + "x" + std::to_string(1L << b) + " " +
                  enginePathName(static_cast<EnginePath>(state)) + "\n";
        }
  return text;
}

bool vfImportPathPlans(const std::string& text, std::string* note) {
  using namespace vx_detail;
  auto refuse = [note](const std::string& why) {
    if (note != nullptr) *note = why;
    return false;
  };
  if (text.size() > kMostPlanBytes) return refuse("longer than any plans this library writes");
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kPlansHeader)
    return refuse("not path plans of this library");
  if (!std::getline(in, line) || line != processorLine())
    return refuse("measured on another processor or build");
  struct Plan {
    int engine, mode;
    long w, h;
    EnginePath path;
  };
  std::vector<Plan> plans;
  for (int number = 3; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    Plan p{};
    if (!parsePlan(line, p.engine, p.mode, p.w, p.h, p.path))
      return refuse("line " + std::to_string(number) + " is damaged");
    plans.push_back(p);
  }
  // Nothing is taken before every line has been read and found sound.
  for (const Plan& p : plans)
    gSlots[p.engine][p.mode][log2Of(p.w)][log2Of(p.h)].store(static_cast<int>(p.path),
                                                             std::memory_order_release);
  if (note != nullptr) note->clear();
  return true;
}

std::string vfPathPlansFile() {
  const char* chosen = std::getenv("VXFREQ_PLANS");
  if (chosen != nullptr) return std::string(chosen) == "off" ? std::string() : std::string(chosen);
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/vxfreq/path-plans";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/vxfreq/path-plans";
  return std::string();
}

bool vfLoadPathPlans(std::string* note) {
  if (note != nullptr) note->clear();
  const std::string file = vfPathPlansFile();
  if (file.empty()) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;  // none yet: nothing to say
  std::string text(vx_detail::kMostPlanBytes + 1, '\0');
  in.read(&text[0], static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::string why;
  if (!vfImportPathPlans(text, &why)) {
    if (note != nullptr) *note = "ignored the path plans in " + file + ": " + why;
    return false;
  }
  vx_detail::gMeasuredAtLoad.store(vx_detail::gMeasured.load());
  return true;
}

bool vfSavePathPlans(std::string* note) {
  if (note != nullptr) note->clear();
  const std::string file = vfPathPlansFile();
  const long measured = vx_detail::gMeasured.load();
  if (file.empty() || measured == vx_detail::gMeasuredAtLoad.load()) return false;
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target(file);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
  // Written beside the file and renamed over it, so that a reader never sees half of it.
  const fs::path temporary =
      target.string() + ".new" +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << vfExportPathPlans();
    out.close();
    if (!out) error = std::make_error_code(std::errc::io_error);
  }
  if (!error) fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary, error);
    if (note != nullptr) *note = "could not keep the path plans in " + file;
    return false;
  }
  vx_detail::gMeasuredAtLoad.store(measured);
  return true;
}
