// The archive forms of the filters: byte layout, round trips, version bytes, objects
// reached twice, re-creation through the factory, and damaged archives.
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

using namespace filter_test;

namespace {

// Little-endian bytes of archived values, built independently of the archive.
struct Bytes {
  std::string s;
  Bytes& u8(unsigned v) {
    s += static_cast<char>(v);
    return *this;
  }
  Bytes& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Bytes& f32(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    return u32(b);
  }
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
  // Archives the base level alone, as a derived class that does not override it.
  void baseOnly(vxArchive& ar) { vxFrequencyFilter::dispatchSerialize(ar); }
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

// An 8 x 8 band-pass filter's archive (support 3) carrying `count` ones.
std::string bandArchive(std::int32_t support, std::int32_t perBin, std::int32_t w,
                        std::uint32_t count) {
  Bytes b;
  b.levels(true).u32(support).u32(perBin).f64(0.25).f64(0.05).f64(0.0).pair(w, 8).u32(0).u8(1);
  const std::vector<float> ones(count, 1.0f);
  return b.floats(ones.data(), count).s;
}

}  // namespace

TEST(FilterArchive, Layouts) {
  PassProbe f(0.05, 0.01, 0.25, vxPair<long>(16, 8), 2);  // support 4.16 -> 5
  Bytes want;
  want.levels(true).u32(5).u32(32).f64(0.25).f64(0.05).f64(0.01).pair(16, 8).u32(2).u8(1);
  EXPECT_EQ(save(f), want.floats(f.data(), 5 * 32).s);

  // The band-reject filter keeps its radius elsewhere but archives it at the same place.
  vxFrequencyFilterBandReject r(0.05, 0.01, 0.25, vxPair<long>(16, 8), 3);
  const std::string rb = save(r);
  EXPECT_EQ(rb.substr(0, 45), want.s.substr(0, 45));
  EXPECT_EQ(rb.substr(45, 5), Bytes().u32(3).u8(1).s);

  vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.75), 0.2, vxPair<long>(32, 16), 1);
  const std::uint32_t w = g.supportWidth(), h = g.supportHeight();
  Bytes gw;
  gw.levels(true).u32(w).u32(h).f64(0.75).f64(0.2).pair(0.02, 0.03).pair(0.01, 0.0).pair(32, 16);
  EXPECT_EQ(save(g), gw.u32(1).u8(1).floats(g.data(), w * h).s);

  // Unbuilt: zero parameters, no table, an empty list.
  vxFrequencyFilterBandPass unbuilt;
  Bytes empty;
  empty.levels(false).u32(0).u32(0).f64(0).f64(0).f64(0).pair(0, 0).u32(0).u8(0).floats(nullptr, 0);
  EXPECT_EQ(save(unbuilt), empty.s);
}

TEST(FilterArchive, EachLevelIsArchivedOncePerPass) {
  PassProbe f(0.05, 0.0, 0.25, k8, 0);
  std::ostringstream out;
  {
    vxArchive ar(out);
    f.baseOnly(ar);
    vxPersistent::dispatch(f, ar);  // the base level is skipped now
    vxPersistent::dispatch(f, ar);  // and everything here
  }
  Bytes want;
  want.u8(0).u8(0).u8(1).u8(0).u32(3).u32(32).f64(0.25).f64(0.05).f64(0.0).pair(8, 8).u32(0).u8(1);
  EXPECT_EQ(out.str(), want.floats(f.data(), 96).s);
  PassProbe g;
  std::istringstream in(out.str());
  vxArchive ar(in);
  g.baseOnly(ar);
  vxPersistent::dispatch(g, ar);
  vxPersistent::dispatch(g, ar);
  EXPECT_TRUE(g == f);
  EXPECT_EQ(ar.remaining(), 0u);
}

TEST(FilterArchive, RoundTripsKeepEveryFieldAndTableBit) {
  PassProbe pass(0.03, 0.02, 0.3, vxPair<long>(64, 16), 2);
  PassProbe pass2(0.1, 0.0, 0.1, k8, 0);  // loaded over a built filter of another size
  load(save(pass), pass2);
  EXPECT_TRUE(pass2 == pass);
  for (long i = 0; i < pass.supportWidth() * 32; ++i)
    ASSERT_EQ(bits(pass2.data()[i]), bits(pass.data()[i]));

  vxFrequencyFilterBandReject reject(0.03, 0.02, 0.3, vxPair<long>(64, 16), 1), reject2;
  load(save(reject), reject2);
  EXPECT_TRUE(reject2 == reject);
  vxFrequencyFilterGabor gabor(kSigma, kPlateau, vxRadian(-1.0), 0.4, vxPair<long>(64, 32), 3),
      gabor2;
  load(save(gabor), gabor2);
  EXPECT_TRUE(gabor2 == gabor);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(gabor2.data()) % 16, 0u);
  for (long i = 0; i < gabor.supportWidth() * gabor.supportHeight(); ++i)
    ASSERT_EQ(bits(gabor2.data()[i]), bits(gabor.data()[i]));
  vxFrequencyFilterGaborReject gr(kSigma, kPlateau, vxRadian(2.0), 0.1, vxPair<long>(16, 16), 1),
      gr2;
  load(save(gr), gr2);
  EXPECT_TRUE(gr2 == gr);
  vxFrequencyBuffer image = patterned(8, 4, 1);
  Access::setMask(image, 1, 1, 2);
  vxFrequencyFilterImage imageFilter(image), imageFilter2;
  load(save(imageFilter), imageFilter2);
  EXPECT_TRUE(imageFilter2 == imageFilter);
  EXPECT_EQ(imageFilter2.supportWidth() * 10 + imageFilter2.supportHeight(), 84);

  // Unbuilt filters load unbuilt over built ones; a set flag over a dropped table
  // is restored as it was.
  vxFrequencyFilterBandPass unbuiltPass, builtPass(0.05, 0.0, 0.25, k8, 0), dropped(builtPass);
  vxFrequencyFilterGaborReject unbuiltGabor, builtGabor(kSigma, kPlateau, vxRadian(0), 0.25, k8, 0);
  vxFrequencyFilterImage unbuiltImage, builtImage(vxFrequencyBuffer(4, 4));
  load(save(unbuiltPass), builtPass);
  load(save(unbuiltGabor), builtGabor);
  load(save(unbuiltImage), builtImage);
  expectUnbuilt(builtPass);
  expectUnbuilt(builtGabor);
  EXPECT_TRUE(builtImage == vxFrequencyFilterImage());
  dropped = vxFrequencyFilterBandPass();
  load(save(dropped), builtPass);
  EXPECT_TRUE(builtPass.isInitialized());
  EXPECT_TRUE(builtPass == dropped);
}

TEST(FilterArchive, ShortFloatListLoadsZeroFilledAndIsUsedAsLoaded) {
  PassProbe f;
  load(bandArchive(3, 32, 8, 10), f);
  ASSERT_EQ(f.supportWidth(), 3);
  for (int i = 0; i < 96; ++i) ASSERT_EQ(bits(f.data()[i]), bits(i < 10 ? 1.0f : 0.0f)) << i;
  // Nothing is recomputed: entry 2 x 32 (the zero frequency, two bins off the ring)
  // is 0 now, entry 0 (on the ring) 1.
  vxFrequencyBuffer b = patterned(8, 8, 2);
  const vxFrequencyBuffer in = b;
  f.apply(b);
  EXPECT_EQ(b.get(2, 0, false), in.get(2, 0, false));
  EXPECT_EQ(b.get(0, 0, false), vxPair<double>(0, 0));
}

TEST(FilterArchive, UnknownVersions) {
  auto expectRefused = [](const std::string& bytes, std::size_t at, vxPersistent& target,
                          bool named) {
    std::string damaged = bytes;
    damaged[at] = 1;
    try {
      load(damaged, target);
      ADD_FAILURE() << "version 1 at " << at << " loaded";
    } catch (const vxArchive::UnknownVersion& e) {
      EXPECT_EQ(e.hasName(), named) << at;
      EXPECT_EQ(e.name(), named ? "filt/freqfilt.cpp" : "") << at;
      EXPECT_EQ(e.line() > 0, named) << at;
    }
  };
  PassProbe f(0.05, 0.0, 0.25, k8, 0), target(f);
  const std::string pb = save(f);
  expectRefused(pb, 0, target, true);  // class level: nothing read, nothing changed
  EXPECT_TRUE(target == f);
  expectRefused(pb, 1, target, true);  // base level
  expectUnbuilt(target);
  expectRefused(pb, 36, target, false);  // size pair
  expectRefused(pb, 50, target, false);  // float list

  vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(32, 32), 0), gt;
  const std::string gb = save(g);
  for (std::size_t at : {0, 1}) expectRefused(gb, at, gt, true);
  for (std::size_t at : {28, 45, 62}) expectRefused(gb, at, gt, false);  // sigma, plateau, size
  expectUnbuilt(gt);
  vxFrequencyFilterImage image(vxFrequencyBuffer(4, 4)), it;
  for (std::size_t at : {0, 1}) expectRefused(save(image), at, it, true);
}

TEST(FilterArchive, PointersRecreateEveryClassAndShareRepeatedObjects) {
  std::vector<std::unique_ptr<vxFrequencyFilter>> filters;
  filters.emplace_back(new vxFrequencyFilterBandPass(0.05, 0.0, 0.25, k8, 1));
  filters.emplace_back(new vxFrequencyFilterBandReject(0.05, 0.0, 0.25, k8, 1));
  filters.emplace_back(new vxFrequencyFilterGabor(kSigma, kPlateau, vxRadian(1), 0.2, k8, 0));
  filters.emplace_back(new vxFrequencyFilterGaborReject(kSigma, kPlateau, vxRadian(1), 0.2, k8, 0));
  filters.emplace_back(new vxFrequencyFilterImage(vxFrequencyBuffer(4, 2)));
  filters.emplace_back(new vxFrequencyFilterGabor());
  std::ostringstream out;
  std::size_t once = 0;
  {
    vxArchive ar(out);
    for (auto& f : filters) {
      vxFrequencyFilter* p = f.get();
      ar || p;
    }
    once = out.str().size();
    vxFrequencyFilter* again = filters[2].get();
    ar || again;
  }
  EXPECT_EQ(out.str().size(), once + 5);  // a back-reference, not a second copy

  std::istringstream in(out.str());
  vxArchive ar(in);
  std::vector<std::unique_ptr<vxFrequencyFilter>> loaded;
  for (const auto& original : filters) {
    vxFrequencyFilter* p = nullptr;
    ar || p;
    ASSERT_NE(p, nullptr);
    loaded.emplace_back(p);
    const vxFrequencyFilter& o = *original;
    EXPECT_EQ(typeid(*p), typeid(o));
  }
  vxFrequencyFilter* again = nullptr;
  ar || again;
  EXPECT_EQ(again, loaded[2].get());
  auto same = [&](auto* type, std::size_t i) {
    using F = std::remove_pointer_t<decltype(type)>;
    EXPECT_TRUE(dynamic_cast<F&>(*loaded[i]) == dynamic_cast<F&>(*filters[i])) << i;
  };
  same(static_cast<vxFrequencyFilterBandPass*>(nullptr), 0);
  same(static_cast<vxFrequencyFilterBandReject*>(nullptr), 1);
  same(static_cast<vxFrequencyFilterGabor*>(nullptr), 2);
  same(static_cast<vxFrequencyFilterGaborReject*>(nullptr), 3);
  same(static_cast<vxFrequencyFilterImage*>(nullptr), 4);
  EXPECT_FALSE(loaded[5]->isInitialized());
}

namespace {

// Loads `bytes` into `target`; whatever happens, the filter must then be safe to use.
template <class F>
void loadAndUse(const std::string& bytes, F& target) {
  try {
    load(bytes, target);
  } catch (const vxException&) {
  }
  for (long w : {8L, 16L, 32L}) {
    vxFrequencyBuffer b = patterned(w, w, 3), out;
    try {
      target.apply(b);
      target.apply(b, out);
    } catch (const vxFrequencyDefs::Errors&) {
    }
  }
}

// Every truncation and many single-byte changes of `original`'s archive, loaded over
// a copy of it and over a copy of `other`, whose table has another size, so that
// fields read before a failure disagree with the table held.
template <class F>
void damage(F& original, const F& other, std::uint32_t seed) {
  const std::string bytes = save(original);
  auto tryBoth = [&](const std::string& damaged) {
    F same = original, different = other;
    loadAndUse(damaged, same);
    loadAndUse(damaged, different);
  };
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) tryBoth(bytes.substr(0, cut));
  std::mt19937 random(seed);
  for (int round = 0; round < 1000; ++round) {
    std::string damaged = bytes;
    damaged[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
    tryBoth(damaged);
  }
}

}  // namespace

TEST(FilterArchive, DamagedArchivesThrowOrLoadUsableFilters) {
  using Gabor = vxFrequencyFilterGabor;
  using GaborReject = vxFrequencyFilterGaborReject;
  vxFrequencyFilterBandPass pass(0.05, 0.01, 0.25, k8, 1);
  vxFrequencyFilterBandReject reject(0.05, 0.01, 0.25, vxPair<long>(16, 16), 1);
  Gabor gabor(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(32, 32), 1);
  GaborReject gaborReject(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(16, 16), 1);
  vxFrequencyFilterImage image(patterned(8, 8, 4));
  damage(pass, vxFrequencyFilterBandPass(0.01, 0.0, 0.25, k8, 0), 1);
  damage(reject, vxFrequencyFilterBandReject(0.01, 0.0, 0.25, vxPair<long>(16, 16), 0), 2);
  damage(gabor, Gabor(kSigma, kPlateau, vxRadian(0.5), 0.25, k8, 0), 3);
  damage(gaborReject, GaborReject(kSigma, kPlateau, vxRadian(0.5), 0.25, k8, 0), 4);
  damage(image, vxFrequencyFilterImage(vxFrequencyBuffer(16, 16)), 5);
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
  };
  for (const std::string& bytes : refused) {
    PassProbe f(0.05, 0.0, 0.25, k8, 0);
    EXPECT_THROW(load(bytes, f), vxArchive::BadData);
    expectUnbuilt(f);
  }
  PassProbe edge;  // exactly 2^22 entries of zeros is still taken
  load(bandArchive((1 << 17) + 1, 32, 8, 32), edge);
  EXPECT_EQ(edge.supportWidth(), (1 << 17) + 1);

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
