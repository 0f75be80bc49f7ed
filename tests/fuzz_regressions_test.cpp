// Replays the archive fuzzer's seed corpus and the inputs of the faults it found
// through its load-and-use exercise (fuzz/archive_exercise.h): each must end in
// nothing but documented errors (and, under the sanitizers, no memory fault).
#include "fuzz/archive_exercise.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <typeinfo>

#if !defined(VXFREQ_FUZZ_CORPUS_DIR) || !defined(VXFREQ_FUZZ_REGRESSIONS_DIR)
#error "the build must define VXFREQ_FUZZ_CORPUS_DIR and VXFREQ_FUZZ_REGRESSIONS_DIR"
#endif

namespace {

namespace fs = std::filesystem;

// "" when the input ran cleanly, else what went wrong.
std::string outcome(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && in.fail()) return "cannot read the input";
  try {
    vxfreq_fuzz::exercise(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  } catch (const vxfreq_fuzz::Finding& finding) {
    return "broken promise: " + finding.what;
  } catch (const vxException& e) {
    return std::string("undocumented exception ") + typeid(e).name() + ": " + e.what();
  } catch (const std::exception& e) {
    return std::string("undocumented exception ") + typeid(e).name() + ": " + e.what();
  }
  return "";
}

}  // namespace

TEST(FuzzRegressions, FoundFaultsStayFixedAndTheSeedCorpusRunsCleanly) {
  for (const char* folder : {VXFREQ_FUZZ_REGRESSIONS_DIR, VXFREQ_FUZZ_CORPUS_DIR}) {
    int inputs = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file() && ++inputs) {
        EXPECT_EQ(outcome(entry.path()), "") << entry.path().filename();
      }
    EXPECT_GT(inputs, 0) << folder;
  }
}
