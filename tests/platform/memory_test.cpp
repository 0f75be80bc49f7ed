// The allocator of large blocks: freed blocks come back for a later request of a fitting
// size, promised zeros are zeros, no value of one result reaches another, the cache
// keeps to its bound, and a long run over many sizes keeps the resident memory bounded.
#include "platform/memory.h"
#include "engine/test_support.h"
#include "filt/extended.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>

namespace {

// The process's resident memory in bytes (Linux), 0 where it cannot be read.
std::size_t residentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  long pages = 0, resident = 0;
  const int read = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return read == 2
             ? static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE))
             : 0;
}

// Restores the default bound and an empty cache after a test.
struct CacheReset {
  ~CacheReset() {
    vfSetMemoryCacheBound(vxMemoryCacheAuto);
    vfReleaseMemoryCache();
  }
};

TEST(MemoryCache, FreedBlocksComeBackZeroedWhereZerosArePromised) {
  const CacheReset reset;
  vfReleaseMemoryCache();
  const float* first = nullptr;
  {
    vxFrequencyBuffer dirty(512, 512);  // 2 MiB: a large block
    for (long x = 0; x < 512; ++x) dirty.put(x, 7, vxPair<double>(123.0, -4.0), false);
    first = dirty.elements();
  }
  EXPECT_GE(vfMemoryCacheBytes(), std::size_t{2} << 20);
  vxFrequencyBuffer again(300, 400);  // the same transform size: the same block
  EXPECT_EQ(again.elements(), first);
  EXPECT_EQ(vfMemoryCacheBytes(), 0u);
  for (std::size_t i = 0; i < 2u * 512 * 512; ++i) ASSERT_EQ(again.elements()[i], 0.0f) << i;
  // A pixel buffer taken from the cache is zero as well.
  {
    vxPelBuffer<double> dirtyPixels(512, 512, 32);
    vfPelSet(dirtyPixels, 7.0);
  }
  const vxPelBuffer<double> pixels(512, 512, 32);
  for (long y = 0; y < 512; y += 37)
    for (long x = 0; x < 512; ++x) ASSERT_EQ(pixels.at(x, y), 0.0);
}

// A forward transform into a new buffer interrupted at its first attention check leaves
// no value of the result whose block it got from the cache.
TEST(MemoryCache, AnInterruptedTransformShowsNoValueOfAnotherResult) {
  const CacheReset reset;
  vfReleaseMemoryCache();
  {
    vxFrequencyBuffer earlier(512, 512);
    for (long y = 0; y < 512; ++y)
      for (long x = 0; x < 512; ++x) earlier.put(x, y, vxPair<double>(4242.0, 4242.0), false);
  }
  const vxPelBuffer<unsigned char> picture(512, 512, 32);
  vxFrequencyBuffer result;
  {
    const engine_test::ProbeGuard probe(1);
    EXPECT_THROW(vfForwardFFT<unsigned char>(picture, result), vxAttentionInterrupted);
  }
  ASSERT_TRUE(result.isInitialized());
  for (std::size_t i = 0; i < 2u * 512 * 512; ++i) ASSERT_NE(result.elements()[i], 4242.0f) << i;
}

// By default the cache keeps what was in use at once: a call that needs three buffers
// finds all three again the next time.
TEST(MemoryCache, KeepsWhatOneCallHadInUse) {
  const CacheReset reset;
  vfReleaseMemoryCache();
  const float* first[3] = {};
  {
    vxFrequencyBuffer a(512, 512), b(512, 512), c(512, 512);
    first[0] = a.elements();
    first[1] = b.elements();
    first[2] = c.elements();
  }
  EXPECT_EQ(vfMemoryCacheBytes(), std::size_t{6} << 20);
  vxFrequencyBuffer a(512, 512), b(512, 512), c(512, 512);
  EXPECT_EQ(vfMemoryCacheBytes(), 0u);
  for (const float* again : {a.elements(), b.elements(), c.elements()})
    EXPECT_TRUE(again == first[0] || again == first[1] || again == first[2]);
}

// A call that uses a block of working memory early and a smaller one late (a transform's
// work memory, then a display image) needs more blocks than it has in use at once; a
// repeated call still finds every one of them in the cache, none given back on a round.
TEST(MemoryCache, KeepsBlocksARepeatedCallUsesAtDifferentMoments) {
  const CacheReset reset;
  vfReleaseMemoryCache();
  constexpr std::size_t kMiB = std::size_t{1} << 20, kKiB = std::size_t{1} << 10;
  for (int round = 0; round < 3; ++round) {
    vx_detail::FloatBlock spectrum, magnitude, display;
    spectrum.reset(2 * kMiB / sizeof(float), vx_detail::BlockFill::Any);
    {
      vx_detail::FloatBlock work;
      work.reset(576 * kKiB / sizeof(float), vx_detail::BlockFill::Any);
    }
    magnitude.reset(2 * kMiB / sizeof(float), vx_detail::BlockFill::Any);
    display.reset(256 * kKiB / sizeof(float), vx_detail::BlockFill::Any);
  }
  EXPECT_EQ(vfMemoryCacheBytes(), 4 * kMiB + 576 * kKiB + 256 * kKiB);
}

TEST(MemoryCache, KeepsToItsBoundAndReleasesOnRequest) {
  const CacheReset reset;
  vfSetMemoryCacheBound(std::size_t{5} << 20);
  EXPECT_EQ(vfMemoryCacheBound(), std::size_t{5} << 20);
  { vxFrequencyBuffer a(512, 512), b(512, 512), c(512, 512); }  // three blocks of 2 MiB
  EXPECT_EQ(vfMemoryCacheBytes(), std::size_t{4} << 20);
  vfSetMemoryCacheBound(std::size_t{2} << 20);
  EXPECT_EQ(vfMemoryCacheBytes(), std::size_t{2} << 20);
  vfReleaseMemoryCache();
  EXPECT_EQ(vfMemoryCacheBytes(), 0u);
  vfSetMemoryCacheBound(0);  // no cache at all
  { vxFrequencyBuffer a(512, 512); }
  EXPECT_EQ(vfMemoryCacheBytes(), 0u);
}

// Transforms of pictures of many sizes, large and small, in a loop: the resident memory
// stays within what one round needs and the cache's bound (what was in use at once),
// however long the loop runs.
TEST(MemoryCache, ManySizesInALoopKeepTheResidentMemoryBounded) {
  const CacheReset reset;
  const vxExtendedScope extended;
  const long sides[] = {3000, 700, 1900, 64, 2500, 1024, 333, 2048};
  std::size_t after[3] = {};
  for (int round = 0; round < 3; ++round) {
    for (long side : sides) {
      const vxPelBuffer<unsigned short> picture(side, side / 2 + 1, 32);
      vxFrequencyBuffer spectrum;
      vfForwardFFT<unsigned short>(picture, spectrum);
      vxPelBuffer<unsigned short> back;
      vfInverseFFT<unsigned short>(spectrum, back, false);
      const vxPelBuffer<double> magnitude = spectrum.getMagnitudeImage(true);
    }
    after[round] = residentBytes();
  }
  if (after[0] == 0) GTEST_SKIP() << "no /proc/self/statm";
  // The largest step has a 4096 x 2048 spectrum and magnitude image (64 MiB each) and
  // the inverse's working memory in use at once, which the cache may keep, and room for
  // one more block of 64 MiB.
  EXPECT_LT(after[2], after[0] + (std::size_t{64} << 20));
  EXPECT_LE(vfMemoryCacheBytes(), 4 * (std::size_t{64} << 20));
}

#if defined(__SANITIZE_ADDRESS__)
// A block in the cache is poisoned: a use of it after its owner freed it is found.
TEST(MemoryCacheDeathTest, AUseOfAFreedCachedBlockIsFound) {
  const float* values = nullptr;
  {
    vxFrequencyBuffer buffer(512, 512);
    values = buffer.elements();
  }
  EXPECT_DEATH(
      {
        volatile float v = values[100];
        (void)v;
      },
      "use-after-poison");
}
#endif

}  // namespace
