// Replays inputs of the archive fuzzer kept in the source tree through the same
// load-and-use exercise (fuzz/archive_exercise.h): its seed corpus, and the inputs of
// the faults it found. Each must end in nothing but the errors the library documents;
// under the sanitizer build a memory fault shows as well.
#include "fuzz/archive_exercise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <typeinfo>
#include <vector>

#if !defined(VXFREQ_FUZZ_CORPUS_DIR) || !defined(VXFREQ_FUZZ_REGRESSIONS_DIR)
#error "the build must define VXFREQ_FUZZ_CORPUS_DIR and VXFREQ_FUZZ_REGRESSIONS_DIR"
#endif

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsIn(const char* folder) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

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

TEST(FuzzRegressions, FaultsFoundByTheArchiveFuzzerStayFixed) {
  const std::vector<fs::path> files = inputsIn(VXFREQ_FUZZ_REGRESSIONS_DIR);
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) EXPECT_EQ(outcome(file), "") << file.filename();
}

TEST(FuzzRegressions, SeedCorpusRunsCleanly) {
  const std::vector<fs::path> files = inputsIn(VXFREQ_FUZZ_CORPUS_DIR);
  ASSERT_GE(files.size(), 20u);
  for (const fs::path& file : files) EXPECT_EQ(outcome(file), "") << file.filename();
}
