// The archive forms of the filters and the frequency buffer: byte layout, loads over
// what a filter held, version bytes, objects reached twice, re-creation through the
// factory, and fields no build can make.
#include "filt/extended.h"
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace filter_test;

namespace {

// Little-endian bytes of archived values, built independently of the archive.
struct Bytes {
  std::string s;
  Bytes& u8(unsigned v) { return s += static_cast<char>(v), *this; }
  Bytes& u32(std::uint32_t v) {
    return u8(v & 0xFF).u8((v >> 8) & 0xFF).u8((v >> 16) & 0xFF).u8(v >> 24);
  }
  Bytes& f32(float v) { return u32(bits(v)); }
  Bytes& f64(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, 8);
    return u32(static_cast<std::uint32_t>(b)).u32(static_cast<std::uint32_t>(b >> 32));
  }
  // Class-level version byte, then the base level: its version byte, the persistent
  // part (one version byte in this core library) and the initialized flag.
  Bytes& levels(bool initialized) { return u8(0).u8(0).u8(0).u8(initialized); }
  Bytes& pair(std::int32_t x, std::int32_t y) { return u8(0).u32(x).u32(y); }
  Bytes& pair(double x, double y) { return u8(0).f64(x).f64(y); }
  Bytes& floats(const float* v, std::uint32_t n) {
    u8(0).u32(n);
    for (std::uint32_t i = 0; i < n; ++i) f32(v[i]);
    return *this;
  }
};

struct PassProbe : vxFrequencyFilterBandPass {
  using vxFrequencyFilterBandPass::data;
  using vxFrequencyFilterBandPass::vxFrequencyFilterBandPass;
};

std::string save(vxPersistent& object) {
  std::ostringstream out;
  vxArchive ar(out);
  vxPersistent::dispatch(object, ar);
  return out.str();
}

void load(const std::string& bytes, vxPersistent& object) {
  std::istringstream in(bytes);
  vxArchive ar(in);
  vxPersistent::dispatch(object, ar);
}

template <class F>
void expectUnbuilt(F& f) {
  EXPECT_FALSE(f.isInitialized());
  expectError<Defs::Uninitialized>([&] { f.supportWidth(); }, kFilterUninit);
}

const vxPair<double> kSigma(0.02, 0.03), kPlateau(0.01, 0.0);
const vxPair<long> k8(8, 8);

// An 8 x 8 band-pass filter's archive (support 3) carrying `count` ones, laid out
// byte by byte: what loads from it pins the layout, and round trips pin saving.
std::string bandArchive(std::int32_t support, std::int32_t perBin, std::int32_t w,
                        std::uint32_t count, double frequency = 0.25, double sigma = 0.05) {
  Bytes b;
  b.levels(true).u32(support).u32(perBin).f64(frequency).f64(sigma).f64(0.0).pair(w, 8).u32(0).u8(
      1);
  const std::vector<float> ones(count, 1.0f);
  return b.floats(ones.data(), count).s;
}

}  // namespace

// A version byte the code does not know is refused where it is read: the class and
// base levels name their source, the pairs and lists inside do not. A refusal at
// the class level changes nothing; after it, the filter is left unbuilt.
TEST(FilterArchive, UnknownVersions) {
  auto expectRefused = [](std::string bytes, std::size_t at, vxPersistent& target, bool named) {
    bytes[at] = 1;
    try {
      load(bytes, target);
      ADD_FAILURE() << "version 1 at " << at << " loaded";
    } catch (const vxArchive::UnknownVersion& e) {
      EXPECT_EQ(e.name(), named ? "filt/freqfilt" : "") << at;
      EXPECT_EQ(e.line() > 0, named) << at;
    }
  };
  PassProbe f(0.05, 0.0, 0.25, k8, 0), target(f);
  expectRefused(save(f), 0, target, true);
  EXPECT_TRUE(target == f);
  for (std::size_t at : {1, 36, 50})
    expectRefused(save(f), at, target, at == 1);  // base, size pair, list
  expectUnbuilt(target);
  vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(32, 32), 0), gt;
  for (std::size_t at : {0, 1, 28, 45, 62})
    expectRefused(save(g), at, gt, at < 2);  // sigma, plateau, size
  vxFrequencyFilterImage image(vxFrequencyBuffer(4, 4)), it;
  for (std::size_t at : {0, 1}) expectRefused(save(image), at, it, true);
}

// Every class is re-created through a base-class pointer, equal to what was saved.
TEST(FilterArchive, PointersRecreateEveryClass) {
  vxFrequencyBuffer image = patterned(8, 4, 1);
  Access::setMask(image, 1, 1, 2);
  vxFrequencyFilterBandPass pass(0.05, 0.0, 0.25, k8, 1);
  vxFrequencyFilterBandReject reject(0.05, 0.0, 0.25, k8, 1);
  vxFrequencyFilterGabor gabor(kSigma, kPlateau, vxRadian(1), 0.2, k8, 0);
  vxFrequencyFilterGaborReject gaborReject(kSigma, kPlateau, vxRadian(1), 0.2, k8, 0);
  vxFrequencyFilterImage imageFilter(image);
  vxFrequencyFilter* filters[] = {&pass, &reject, &gabor, &gaborReject, &imageFilter};
  std::ostringstream out;
  {
    vxArchive ar(out);
    for (vxFrequencyFilter* f : filters) ar || f;
  }
  std::istringstream in(out.str());
  vxArchive ar(in);
  std::unique_ptr<vxFrequencyFilter> loaded[5];
  for (auto& l : loaded) {
    vxFrequencyFilter* p = nullptr;
    ar || p;
    l.reset(p);
  }
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterBandPass&>(*loaded[0]) == pass);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterBandReject&>(*loaded[1]) == reject);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterGabor&>(*loaded[2]) == gabor);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterGaborReject&>(*loaded[3]) == gaborReject);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterImage&>(*loaded[4]) == imageFilter);
}

TEST(FilterArchive, TableSizesNoBuildMakesAreRefused) {
  const std::string refused[] = {
      bandArchive(4, 32, 8, 128),             // even support
      bandArchive(0, 32, 8, 0),               // no support
      bandArchive(-3, 32, 8, 0),              // negative support
      bandArchive(3, 1, 8, 3),                // samples per bin
      bandArchive(3, 32, 12, 96),             // width not a power of two
      bandArchive(0x7FFFFFF, 32, 8, 0),       // a table beyond 32-bit counts
      bandArchive((1 << 17) + 1, 32, 8, 31),  // 2^22 + 1 entries left to zeros
      bandArchive(3, 32, 8, 96, -0.01),       // a ring radius below zero
  };
  for (const std::string& bytes : refused) {
    PassProbe f(0.05, 0.0, 0.25, k8, 0);
    EXPECT_THROW(load(bytes, f), vxArchive::BadData);
    expectUnbuilt(f);
  }
  PassProbe edge, shortList;  // exactly 2^22 entries of zeros is still taken
  load(bandArchive((1 << 17) + 1, 32, 8, 32), edge);
  EXPECT_EQ(edge.supportWidth(), (1 << 17) + 1);
  load(bandArchive(3, 32, 8, 10), shortList);  // zero-filled, used as loaded: nothing is recomputed
  for (int i = 0; i < 96; ++i)
    ASSERT_EQ(bits(shortList.data()[i]), bits(i < 10 ? 1.0f : 0.0f)) << i;
  load(bandArchive(3, 32, 8, 96, 5.0, -1.0), shortList);  // safe to apply, though no build makes it
  vxFrequencyBuffer b = patterned(8, 8, 1);
  shortList.apply(b);  // a ring beyond the buffer: every element outside it
  EXPECT_EQ(b, vxFrequencyBuffer(8, 8));
  auto gabor = [](std::int32_t w, std::int32_t h) {
    Bytes b;
    b.levels(true).u32(w).u32(h).f64(0).f64(0.25).pair(0.02, 0.02).pair(0.0, 0.0).pair(64, 64);
    return b.u32(0).u8(1).floats(nullptr, 0).s;
  };
  for (const std::string& bytes : {gabor(13, 12), gabor(65537, 32769), gabor(-1, 13)}) {
    vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(64, 64), 0);
    EXPECT_THROW(load(bytes, g), vxArchive::BadData);
    expectUnbuilt(g);
    EXPECT_EQ(g.data(), nullptr);
  }
  vxFrequencyFilterGabor g;
  load(gabor(13, 13), g);
  EXPECT_EQ(g.supportWidth(), 13);
  EXPECT_EQ(g.data()[168], 0.0f);
}

// The frequency buffer's archive form: a version byte, seven 32-bit fields (W, H,
// image size, mask flag and band, offset), the inverse flag, the transform cache
// (one byte when empty), then a pair and the float list.

namespace {

constexpr std::size_t kFirstField = 1, kXform = 1 + 7 * 4 + 1;  // the transform cache

std::string save(vxFrequencyBuffer b) {
  std::ostringstream out;
  vxArchive ar(out);
  ar || b;
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
    for (long x = 0; x < b.width(); ++x)
      b.put(x, y, vxPair<double>(x + 0.5 * y, -0.25 * x * y), false);
  return b;
}

std::string withField(std::string s, std::size_t index, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) s[kFirstField + 4 * index + i] = static_cast<char>(value >> (8 * i));
  return s;
}

}  // namespace

// A float list longer than the loader's first step (2^16 floats) grows as it loads.
TEST(BufferArchive, LargeBuffersComeBackWhole) {
  vxFrequencyBuffer loaded;
  load(save(sample(256, 256)), loaded);
  EXPECT_EQ(loaded, sample(256, 256));
}

TEST(BufferArchive, UnknownVersionsAndInconsistentFieldsAreRefused) {
  const std::string bytes = save(sample(2, 2));
  vxFrequencyBuffer target = sample(4, 4);
  const vxFrequencyBuffer before(target);
  std::string bad = bytes;
  bad[0] = 2;
  try {
    load(bad, target);
    ADD_FAILURE();
  } catch (const vxArchive::UnknownVersion& e) {
    EXPECT_EQ(e.name(), "filt/fft");
    EXPECT_GT(e.line(), 0);
  }
  EXPECT_EQ(target, before);  // nothing read after the version byte
  for (std::size_t at :
       {kXform + 1, kXform + 11}) {  // the pair's and the float list's version bytes
    bad = bytes;
    bad[at] = 1;
    EXPECT_THROW(load(bad, target), vxArchive::UnknownVersion);
    EXPECT_FALSE(target.isInitialized());
  }
  const std::string four = save(sample(4, 4));
  // Sizes the compatible mode does not transform; the extended mode's sizes hold every
  // value (a 16384 x 16384 buffer of 32 floats is refused without 2 GiB being touched).
  for (const std::string& s : {withField(four, 0, 3), withField(four, 1, 4096)}) {
    EXPECT_THROW(load(s, target), vxFrequencyDefs::InvalidSize);
    EXPECT_FALSE(target.isInitialized());
  }
  {
    const vxExtendedScope extended;
    for (const std::string& s :
         {withField(four, 0, 5), withField(withField(four, 0, 16384), 1, 16384)}) {
      EXPECT_THROW(load(s, target), vxArchive::BadData);
      EXPECT_FALSE(target.isInitialized());
    }
    // Any size round-trips.
    const vxFrequencyBuffer odd = sample(3, 5);
    load(save(odd), target);
    EXPECT_EQ(target, odd);
  }
  for (const std::string& s :
       {withField(four, 2, 5), withField(four, 0, 2)}) {  // 32 floats for 2 x 4
    EXPECT_THROW(load(s, target), vxArchive::BadData);
    EXPECT_FALSE(target.isInitialized());
  }
  for (std::size_t n = 0; n < four.size(); n += 7)
    EXPECT_THROW(load(four.substr(0, n), target), vxArchive::Errors);
  // Fewer floats than the size holds load zero-filled.
  const vxFrequencyBuffer big = sample(8, 4);
  load(withField(save(big), 1, 8), target);
  EXPECT_EQ(target.height(), 8);
  EXPECT_EQ(target.get(7, 3, false), big.get(7, 3, false));
  EXPECT_EQ(target.get(0, 4, false), vxPair<double>(0, 0));
}
