// Where the engines check for attention, and that each check can stop them.
//
// Complex engine, W x H with band [miny, maxy]:
//   checks = (rows r < H kept by the band with r % 16 == 0)       first pass
//          + ceil(W / 16)                                         second pass
//          + 2 when a transpose is blocked: W = H >= 4, or W != H with both >= 4
//            (none when W or H is 1).
// Real engine, W x H:
//   checks = (W >= 2 ? ceil(H / 16) : 0)                          row pass
//          + floor(W / 32) + 1                                    W/2 + 1 columns
//          + 2 when a transpose is blocked: W = H >= 8 (half transposes), or W != H
//            with both >= 4 (none when W or H is 1)
//          + 1                                                    completion
#include "filt/engines.h"
#include "platform/exception.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace engine_test;

struct EngineRun {
  bool real;
  int w, h;
  long miny, maxy;
};

void runEngine(const EngineRun& run, std::vector<float>& data) {
  const vxPair<long> size(run.w, run.h);
  if (run.real)
    vf_RealFFT2D(data.data(), size, +1, run.miny, run.maxy);
  else
    vf_ComplexFFT2D(data.data(), size, -1, run.miny, run.maxy);
}

std::vector<float> inputFor(const EngineRun& run) {
  return run.real ? realInput(run.w, run.h) : complexInput(run.w, run.h);
}

std::int64_t countChecks(const EngineRun& run) {
  std::vector<float> data = inputFor(run);
  ProbeGuard guard;
  runEngine(run, data);
  return guard.checks();
}

TEST(EngineAttention, ComplexEngineChecksAtTheDocumentedPoints) {
  EXPECT_EQ(countChecks({false, 64, 64, 0, 64}), 10);  // rows 0, 16, 32, 48 twice + 2 transposes
  EXPECT_EQ(countChecks({false, 64, 64, 28, 35}), 7);  // rows 16, 32, 48 of the first pass skipped
  EXPECT_EQ(countChecks({false, 64, 64, 40, 50}), 7);  // kept rows 8..18: only row 16 checks
  EXPECT_EQ(countChecks({false, 1, 1, 0, 1}), 2);
  EXPECT_EQ(countChecks({false, 2, 2, 0, 2}), 2);       // 2 x 2 transposes value by value
  EXPECT_EQ(countChecks({false, 4, 4, 0, 4}), 4);
  EXPECT_EQ(countChecks({false, 16, 4, 0, 4}), 4);
  EXPECT_EQ(countChecks({false, 2, 8, 0, 8}), 2);       // non-square with a side below 4
  EXPECT_EQ(countChecks({false, 2048, 1, 0, 1}), 129);  // one row, then 2048 rows of length 1
  EXPECT_EQ(countChecks({false, 1, 2048, 0, 2048}), 129);
  EXPECT_EQ(countChecks({false, 1, 2048, 1000, 1100}), 6 + 1);  // kept rows 0..76, 2024..2047
  EXPECT_EQ(countChecks({false, 2048, 2048, 0, 2048}), 258);
}

TEST(EngineAttention, RealEngineChecksAtTheDocumentedPoints) {
  EXPECT_EQ(countChecks({true, 64, 64, 0, 64}), 10);  // 4 rows + 3 columns + 2 half transposes + 1
  EXPECT_EQ(countChecks({true, 1, 1, 0, 1}), 2);
  EXPECT_EQ(countChecks({true, 1, 2048, 0, 2048}), 2);  // no row pass, one column
  EXPECT_EQ(countChecks({true, 4, 4, 0, 4}), 3);        // 4 x 4 half transposes are not blocked
  EXPECT_EQ(countChecks({true, 8, 8, 0, 8}), 5);
  EXPECT_EQ(countChecks({true, 16, 4, 0, 4}), 5);
  EXPECT_EQ(countChecks({true, 2, 8, 0, 8}), 3);
  EXPECT_EQ(countChecks({true, 2048, 1, 0, 1}), 67);    // 1 row, 1025 columns, completion
  EXPECT_EQ(countChecks({true, 2048, 2048, 0, 2048}), 196);
}

// Failing the k-th check, for every k, throws vxAttentionInterrupted at once (no
// check after it); the next call runs to the end and gives the usual result.
TEST(EngineAttention, EveryCheckCanInterruptTheTransform) {
  const EngineRun runs[] = {{false, 64, 64, 0, 64}, {false, 64, 64, 28, 35}, {false, 32, 8, 0, 8},
                      {false, 8, 32, 0, 32},  {false, 1, 64, 0, 64},   {true, 64, 64, 0, 64},
                      {true, 32, 8, 0, 8},    {true, 8, 32, 0, 32},    {true, 1, 64, 0, 64},
                      {true, 64, 2, 0, 2}};
  for (const EngineRun& run : runs) {
    SCOPED_TRACE(::testing::Message() << (run.real ? "real " : "complex ") << run.w << "x" << run.h);
    const std::int64_t total = countChecks(run);
    for (std::int64_t k = 1; k <= total; ++k) {
      std::vector<float> data = inputFor(run);
      ProbeGuard guard(k);
      EXPECT_THROW(runEngine(run, data), vxAttentionInterrupted) << "check " << k;
      EXPECT_EQ(guard.checks(), k);
    }
    std::vector<float> expected = inputFor(run), again = inputFor(run);
    runEngine(run, expected);
    {
      ProbeGuard guard(1);
      EXPECT_THROW(runEngine(run, again), vxAttentionInterrupted);
    }
    again = inputFor(run);
    runEngine(run, again);
    EXPECT_EQ(fnv1a64(again), fnv1a64(expected));
  }
}

}  // namespace
