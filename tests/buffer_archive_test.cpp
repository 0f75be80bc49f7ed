// The archive form of a frequency buffer, including archives that are damaged.
#include "filt/buffer_access.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

using Access = vx_detail::FrequencyBufferAccess;

namespace {

std::string save(vxFrequencyBuffer& b) {
  std::ostringstream out;
  {
    vxArchive ar(out);
    ar || b;
  }
  return out.str();
}

void load(const std::string& bytes, vxFrequencyBuffer& b) {
  std::istringstream in(bytes);
  vxArchive ar(in);
  ar || b;
}

vxFrequencyBuffer sample(long w, long h) {
  vxFrequencyBuffer b(w, h);
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) b.put(x, y, vxPair<double>(x + 0.5 * y, -0.25 * x * y), false);
  return b;
}

std::uint32_t u32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// Byte positions in a version-1 archive with a client transform absent: version,
// seven 32-bit fields, the flag, then the transform cache (one byte when empty).
constexpr std::size_t kFirstField = 1;
constexpr std::size_t kInverseFlag = 1 + 7 * 4;
constexpr std::size_t kXform = kInverseFlag + 1;

}  // namespace

TEST(BufferArchive, RoundTripKeepsEveryField) {
  vxFrequencyBuffer b = sample(4, 2);
  Access::setMask(b, 1, 1, 2);
  Access::setPlacement(b, vxPair<long>(-3, 9), [] {
    vx2XformCache xf;
    xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(2, 0, 0, 2), vxVector<2>(1, 2))));
    return xf;
  }());
  const std::string bytes = save(b);
  EXPECT_EQ(bytes[0], 1);                  // version
  EXPECT_EQ(u32(bytes, kFirstField), 4u);  // W

  vxFrequencyBuffer loaded(8, 8);
  load(bytes, loaded);
  EXPECT_EQ(loaded, b);
  EXPECT_EQ(loaded.width(), 4);
  EXPECT_EQ(loaded.height(), 2);
  EXPECT_EQ(loaded.clientXform(), b.clientXform());
  EXPECT_EQ(loaded.imageOffset(), vxPair<long>(-3, 9));
  EXPECT_EQ(Access::maskedMaxy(loaded), 2);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Access::data(loaded)) % 16, 0u);

  // The band is kept even when unmasked, and so is the inverse-computed state.
  Access::setMask(b, 0, 5, 6);
  Access::setInverseComputed(b, true);
  load(save(b), loaded);
  EXPECT_EQ(Access::maskedMiny(loaded), 5);
  EXPECT_TRUE(loaded.inverseComputed());
  EXPECT_EQ(loaded, b);

  // Uninitialized buffers load uninitialized.
  vxFrequencyBuffer empty;
  const std::string emptyBytes = save(empty);
  load(emptyBytes, loaded);
  EXPECT_FALSE(loaded.isInitialized());
}

TEST(BufferArchive, VersionZeroReadsAnAffineTransform) {
  vxFrequencyBuffer b = sample(2, 2);
  std::string bytes = save(b);
  // Replace the empty transform cache (one byte) by a version-0 affine transform.
  std::ostringstream xformBytes;
  {
    vxArchive ar(xformBytes);
    vxXform<2> xf(vxMatrix<2>(1, 2, 3, 4), vxVector<2>(5, 6));
    ar || xf;
  }
  ASSERT_EQ(bytes[kXform], 0);
  bytes = std::string(1, '\0') + bytes.substr(1, kXform - 1) + xformBytes.str() + bytes.substr(kXform + 1);
  vxFrequencyBuffer loaded;
  load(bytes, loaded);
  ASSERT_TRUE(loaded.clientXform().hasXform);
  EXPECT_EQ(loaded.clientXform().linearXform().xform(),
            vxXform<2>(vxMatrix<2>(1, 2, 3, 4), vxVector<2>(5, 6)));
  EXPECT_EQ(loaded.getReal(1, 1, false), b.getReal(1, 1, false));
}

TEST(BufferArchive, UnknownVersionsAreRefusedBeforeReadingOn) {
  vxFrequencyBuffer b = sample(2, 2);
  const std::string bytes = save(b);
  vxFrequencyBuffer target = sample(4, 4);
  const vxFrequencyBuffer before(target);
  std::string bad = bytes;
  bad[0] = 2;
  try {
    load(bad, target);
    ADD_FAILURE();
  } catch (const vxArchive::UnknownVersion& e) {
    EXPECT_EQ(e.name(), "filt/fft.cpp");
    EXPECT_GT(e.line(), 0);
  }
  EXPECT_EQ(target, before);  // nothing read after the version byte

  // The pair's and the float list's version bytes.
  const std::size_t pairVersion = kXform + 1;
  bad = bytes;
  bad[pairVersion] = 1;
  try {
    load(bad, target);
    ADD_FAILURE();
  } catch (const vxArchive::UnknownVersion& e) {
    EXPECT_FALSE(e.hasName());
    EXPECT_EQ(e.line(), 0);
  }
  EXPECT_FALSE(target.isInitialized());
  const std::size_t floatsVersion = pairVersion + 1 + 8 + 1;
  bad = bytes;
  bad[floatsVersion] = 1;
  EXPECT_THROW(load(bad, target), vxArchive::UnknownVersion);
}

TEST(BufferArchive, InconsistentArchivesAreRejected) {
  vxFrequencyBuffer b = sample(4, 4);
  const std::string bytes = save(b);
  auto withField = [&](std::size_t index, std::uint32_t value) {
    std::string s = bytes;
    for (int i = 0; i < 4; ++i) s[kFirstField + 4 * index + i] = static_cast<char>(value >> (8 * i));
    return s;
  };
  vxFrequencyBuffer target;
  EXPECT_THROW(load(withField(0, 3), target), vxArchive::BadData);     // W not a power of two
  EXPECT_THROW(load(withField(1, 4096), target), vxArchive::BadData);  // H too large
  EXPECT_THROW(load(withField(2, 5), target), vxArchive::BadData);     // image wider than W
  EXPECT_THROW(load(withField(0, 2), target), vxArchive::BadData);     // 32 floats for 2 x 4
  EXPECT_FALSE(target.isInitialized());

  // Fewer floats than the size holds load zero-filled.
  vxFrequencyBuffer big = sample(8, 4);
  std::string bigger = save(big);
  std::string patched = bigger;
  for (int i = 0; i < 4; ++i) patched[kFirstField + 4 + i] = static_cast<char>(8 >> (8 * i));
  load(patched, target);
  EXPECT_EQ(target.height(), 8);
  EXPECT_EQ(target.get(7, 3, false), big.get(7, 3, false));
  EXPECT_EQ(target.get(0, 4, false), vxPair<double>(0, 0));
}

TEST(BufferArchive, DamagedArchivesNeverCrash) {
  vxFrequencyBuffer b = sample(4, 2);
  Access::setMask(b, 1, 0, 1);
  const std::string bytes = save(b);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    vxFrequencyBuffer target = sample(2, 2);
    EXPECT_THROW(load(bytes.substr(0, n), target), vxArchive::Errors) << n;
    EXPECT_FALSE(target.isInitialized() && n > 0) << n;
  }
  std::mt19937 rng(42);
  int loadedOk = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::string bad = bytes;
    bad[rng() % bad.size()] = static_cast<char>(rng());
    vxFrequencyBuffer target;
    try {
      load(bad, target);
      ++loadedOk;
    } catch (const vxArchive::Errors&) {
      EXPECT_FALSE(target.isInitialized());
      continue;
    }
    if (!target.isInitialized()) continue;
    // Whatever loaded can be used.
    vxFrequencyBuffer spectrum;
    vfForwardFFT(target, spectrum);
    vxPelBuffer<unsigned char> image;
    vfInverseFFT<unsigned char>(target, image, true);
    EXPECT_LE(image.width(), target.width());
  }
  EXPECT_GT(loadedOk, 0);
}
