// The archive forms of the filters: byte layout, round trips, version bytes, objects
// reached twice, re-creation through the factory, and damaged archives.
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>

using namespace filter_test;

namespace {

// Little-endian bytes of the values an archive holds, built independently of it.
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
  Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  Bytes& f32(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    return u32(b);
  }
  Bytes& f64(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, 8);
    for (int i = 0; i < 8; ++i) s += static_cast<char>((b >> (8 * i)) & 0xFF);
    return *this;
  }
  // Version byte, persistent part (one version byte in this core library) and the
  // initialized flag.
  Bytes& baseLevel(bool initialized) { return u8(0).u8(0).u8(initialized ? 1 : 0); }
  Bytes& pairLong(std::int32_t x, std::int32_t y) { return u8(0).i32(x).i32(y); }
  Bytes& pairDouble(double x, double y) { return u8(0).f64(x).f64(y); }
  Bytes& floats(const float* v, std::uint32_t n) {
    u8(0).u32(n);
    for (std::uint32_t i = 0; i < n; ++i) f32(v[i]);
    return *this;
  }
};

struct PassProbe : vxFrequencyFilterBandPass {
  using vxFrequencyFilterBandPass::vxFrequencyFilterBandPass;
  using vxFrequencyFilterBandPass::data;
  // Archives the base level alone, as a class that does not override it would.
  void baseOnly(vxArchive& ar) { vxFrequencyFilter::dispatchSerialize(ar); }
};
struct RejectProbe : vxFrequencyFilterBandReject {
  using vxFrequencyFilterBandReject::vxFrequencyFilterBandReject;
  using vxFrequencyFilterBandReject::data;
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

const vxPair<double> kSigma(0.02, 0.03);
const vxPair<double> kPlateau(0.01, 0.0);

}  // namespace

// ---------------------------------------------------------------------------------
// Layout

TEST(FilterArchive, BandFilterLayout) {
  PassProbe f(0.05, 0.01, 0.25, vxPair<long>(16, 8), 2);
  const std::string bytes = save(f);
  Bytes want;
  want.u8(0).baseLevel(true).i32(5).i32(32).f64(0.25).f64(0.05).f64(0.01).pairLong(16, 8).i32(2).u8(1);
  want.floats(f.data(), 5 * 32);
  EXPECT_EQ(bytes, want.s);

  // The band-reject filter keeps its radius elsewhere but archives it at the same place.
  vxFrequencyFilterBandReject r(0.05, 0.01, 0.25, vxPair<long>(16, 8), 3);
  const std::string rb = save(r);
  ASSERT_EQ(rb.size(), bytes.size());
  EXPECT_EQ(rb.substr(0, 45), bytes.substr(0, 45));
  EXPECT_EQ(rb.substr(45, 4), Bytes().i32(3).s);
  EXPECT_EQ(rb[49], 1);

  // An unbuilt filter: zero parameters, no table, an empty list.
  vxFrequencyFilterBandPass unbuilt;
  Bytes empty;
  empty.u8(0).baseLevel(false).i32(0).i32(0).f64(0).f64(0).f64(0).pairLong(0, 0).i32(0).u8(0).u8(0).u32(0);
  EXPECT_EQ(save(unbuilt), empty.s);
}

TEST(FilterArchive, GaborFilterLayout) {
  vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.75), 0.2, vxPair<long>(32, 16), 1);
  const std::string bytes = save(g);
  const long w = g.supportWidth(), h = g.supportHeight();
  Bytes want;
  want.u8(0).baseLevel(true).i32(w).i32(h).f64(0.75).f64(0.2).pairDouble(0.02, 0.03);
  want.pairDouble(0.01, 0.0).pairLong(32, 16).i32(1).u8(1).floats(g.data(), w * h);
  EXPECT_EQ(bytes, want.s);
}

TEST(FilterArchive, BaseLevelIsArchivedOncePerPass) {
  PassProbe f(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  std::ostringstream out;
  {
    vxArchive ar(out);
    f.baseOnly(ar);
    vxPersistent::dispatch(f, ar);
    vxPersistent::dispatch(f, ar);  // already archived: nothing
  }
  Bytes want;
  want.baseLevel(true);
  want.u8(0).i32(3).i32(32).f64(0.25).f64(0.05).f64(0.0).pairLong(8, 8).i32(0).u8(1);
  want.floats(f.data(), 96);
  EXPECT_EQ(out.str(), want.s);

  // Read back the same way.
  PassProbe g;
  std::istringstream in(out.str());
  vxArchive ar(in);
  g.baseOnly(ar);
  vxPersistent::dispatch(g, ar);
  vxPersistent::dispatch(g, ar);
  EXPECT_TRUE(g == f);
  EXPECT_EQ(ar.remaining(), 0u);
}

// ---------------------------------------------------------------------------------
// Round trips

TEST(FilterArchive, RoundTripsKeepEveryFieldAndTableBit) {
  PassProbe pass(0.03, 0.02, 0.3, vxPair<long>(64, 16), 2);
  RejectProbe reject(0.03, 0.02, 0.3, vxPair<long>(64, 16), 1);
  vxFrequencyFilterGabor gabor(kSigma, kPlateau, vxRadian(-1.0), 0.4, vxPair<long>(64, 32), 3);
  vxFrequencyFilterGaborReject gaborReject(kSigma, kPlateau, vxRadian(2.0), 0.1, vxPair<long>(16, 16), 1);
  vxFrequencyBuffer image(8, 4);
  fillPattern(image, 1);
  Access::setMask(image, 1, 1, 2);
  vxFrequencyFilterImage imageFilter(image);

  PassProbe pass2(0.1, 0.0, 0.1, vxPair<long>(8, 8), 0);  // loaded over a built filter
  load(save(pass), pass2);
  EXPECT_TRUE(pass2 == pass);
  for (long i = 0; i < pass.supportWidth() * 32; ++i) ASSERT_EQ(bits(pass2.data()[i]), bits(pass.data()[i]));

  RejectProbe reject2;
  load(save(reject), reject2);
  EXPECT_TRUE(reject2 == reject);
  EXPECT_EQ(reject2.dcProtectionRadius(), 1);
  for (long i = 0; i < reject.supportWidth() * 32; ++i)
    ASSERT_EQ(bits(reject2.data()[i]), bits(reject.data()[i]));

  vxFrequencyFilterGabor gabor2;
  load(save(gabor), gabor2);
  EXPECT_TRUE(gabor2 == gabor);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(gabor2.data()) % 16, 0u);
  for (long i = 0; i < gabor.supportWidth() * gabor.supportHeight(); ++i)
    ASSERT_EQ(bits(gabor2.data()[i]), bits(gabor.data()[i]));

  vxFrequencyFilterGaborReject gaborReject2;
  load(save(gaborReject), gaborReject2);
  EXPECT_TRUE(gaborReject2 == gaborReject);

  vxFrequencyFilterImage imageFilter2;
  load(save(imageFilter), imageFilter2);
  EXPECT_TRUE(imageFilter2 == imageFilter);
  EXPECT_EQ(imageFilter2.supportWidth(), 8);
  EXPECT_EQ(imageFilter2.supportHeight(), 4);

  // Loaded filters filter alike.
  vxFrequencyBuffer in(64, 32);
  fillPattern(in, 2);
  vxFrequencyBuffer a, b;
  gabor.apply(in, a);
  gabor2.apply(in, b);
  EXPECT_EQ(Snapshot(a), Snapshot(b));
}

TEST(FilterArchive, UnbuiltFiltersLoadUnbuilt) {
  vxFrequencyFilterBandPass unbuiltPass;
  vxFrequencyFilterGaborReject unbuiltGabor;
  vxFrequencyFilterImage unbuiltImage;
  vxFrequencyFilterBandPass pass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  vxFrequencyFilterGaborReject gabor(kSigma, kPlateau, vxRadian(0), 0.25, vxPair<long>(8, 8), 0);
  vxFrequencyFilterImage image(vxFrequencyBuffer(4, 4));
  load(save(unbuiltPass), pass);
  load(save(unbuiltGabor), gabor);
  load(save(unbuiltImage), image);
  expectUnbuilt(pass);
  expectUnbuilt(gabor);
  EXPECT_FALSE(image.isInitialized());
  expectError<Defs::Uninitialized>([&] { image.supportWidth(); }, kBufferUninit);
  EXPECT_TRUE(pass == vxFrequencyFilterBandPass());
  EXPECT_TRUE(gabor == vxFrequencyFilterGaborReject());
  EXPECT_TRUE(image == vxFrequencyFilterImage());

  // Loading restores what was saved, also a set flag over a missing table.
  vxFrequencyFilterBandPass dropped(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  dropped = vxFrequencyFilterBandPass();
  vxFrequencyFilterBandPass restored;
  load(save(dropped), restored);
  EXPECT_TRUE(restored.isInitialized());
  EXPECT_TRUE(restored == dropped);
}

TEST(FilterArchive, ShortFloatListLoadsZeroFilled) {
  // 8 x 8 band-pass: support 3, so 96 entries; the archive carries 10.
  float head[10];
  for (int i = 0; i < 10; ++i) head[i] = 0.5f + i;
  Bytes b;
  b.u8(0).baseLevel(true).i32(3).i32(32).f64(0.25).f64(0.05).f64(0.0).pairLong(8, 8).i32(0).u8(1);
  b.floats(head, 10);
  PassProbe f;
  load(b.s, f);
  ASSERT_EQ(f.supportWidth(), 3);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(f.data()[i], head[i]);
  for (int i = 10; i < 96; ++i) ASSERT_EQ(bits(f.data()[i]), 0u) << i;
  // Nothing is recomputed: the loaded table is what apply uses.
  vxFrequencyBuffer buffer(8, 8);
  buffer.put(2, 0, vxPair<double>(4.0, -2.0), false);  // on the ring: entry 0
  f.apply(buffer);
  EXPECT_EQ(buffer.get(2, 0, false), vxPair<double>(2.0, -1.0));
}

// ---------------------------------------------------------------------------------
// Versions

TEST(FilterArchive, UnknownVersions) {
  PassProbe f(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(32, 32), 0);
  const std::string pb = save(f), gb = save(g);

  auto expectVersionError = [](const std::string& bytes, std::size_t at, vxPersistent& target,
                               bool named) {
    std::string damaged = bytes;
    damaged[at] = 1;
    try {
      load(damaged, target);
      ADD_FAILURE() << "loaded a version byte of 1 at " << at;
    } catch (const vxArchive::UnknownVersion& e) {
      EXPECT_EQ(e.hasName(), named) << at;
      if (named) {
        EXPECT_EQ(e.name(), "filt/freqfilt.cpp");
        EXPECT_GT(e.line(), 0);
      } else {
        EXPECT_EQ(e.line(), 0);
      }
    }
  };

  // Class level: nothing further is read and the filter stays as it was.
  PassProbe target(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  expectVersionError(pb, 0, target, true);
  EXPECT_TRUE(target == f);
  // Base level, then the size pair and the float list.
  expectVersionError(pb, 1, target, true);
  expectUnbuilt(target);
  const std::size_t sizePair = 1 + 3 + 4 + 4 + 3 * 8;
  expectVersionError(pb, sizePair, target, false);
  expectVersionError(pb, sizePair + 9 + 4 + 1, target, false);

  vxFrequencyFilterGabor gt;
  expectVersionError(gb, 0, gt, true);
  expectVersionError(gb, 1, gt, true);
  const std::size_t sigmaPair = 1 + 3 + 4 + 4 + 8 + 8;
  expectVersionError(gb, sigmaPair, gt, false);
  expectVersionError(gb, sigmaPair + 17, gt, false);  // plateau
  expectVersionError(gb, sigmaPair + 34, gt, false);  // size
  expectUnbuilt(gt);

  vxFrequencyFilterImage image(vxFrequencyBuffer(4, 4));
  const std::string ib = save(image);
  vxFrequencyFilterImage it;
  expectVersionError(ib, 0, it, true);
  expectVersionError(ib, 1, it, true);
}

// ---------------------------------------------------------------------------------
// Objects

TEST(FilterArchive, PointersRecreateEveryClassAndShareRepeatedObjects) {
  std::vector<std::unique_ptr<vxFrequencyFilter>> filters;
  filters.emplace_back(new vxFrequencyFilterBandPass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1));
  filters.emplace_back(new vxFrequencyFilterBandReject(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1));
  filters.emplace_back(new vxFrequencyFilterGabor(kSigma, kPlateau, vxRadian(1), 0.2, vxPair<long>(16, 16), 0));
  filters.emplace_back(new vxFrequencyFilterGaborReject(kSigma, kPlateau, vxRadian(1), 0.2, vxPair<long>(16, 16), 0));
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
    ar || again;  // a back-reference, not a second copy
  }
  EXPECT_EQ(out.str().size(), once + 5);

  std::istringstream in(out.str());
  vxArchive ar(in);
  std::vector<std::unique_ptr<vxFrequencyFilter>> loaded;
  for (std::size_t i = 0; i < filters.size(); ++i) {
    vxFrequencyFilter* p = nullptr;
    ar || p;
    ASSERT_NE(p, nullptr);
    loaded.emplace_back(p);
    const vxFrequencyFilter& original = *filters[i];
    EXPECT_EQ(typeid(*p), typeid(original));
  }
  vxFrequencyFilter* again = nullptr;
  ar || again;
  EXPECT_EQ(again, loaded[2].get());
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterBandPass&>(*loaded[0]) ==
              dynamic_cast<vxFrequencyFilterBandPass&>(*filters[0]));
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterBandReject&>(*loaded[1]) ==
              dynamic_cast<vxFrequencyFilterBandReject&>(*filters[1]));
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterGabor&>(*loaded[2]) ==
              dynamic_cast<vxFrequencyFilterGabor&>(*filters[2]));
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterGaborReject&>(*loaded[3]) ==
              dynamic_cast<vxFrequencyFilterGaborReject&>(*filters[3]));
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterImage&>(*loaded[4]) ==
              dynamic_cast<vxFrequencyFilterImage&>(*filters[4]));
  EXPECT_FALSE(loaded[5]->isInitialized());
}

// ---------------------------------------------------------------------------------
// Damaged archives

namespace {

// Loads `bytes` into `target`; whatever happens, the filter must then be safe to
// use: apply either works or throws one of the library's errors.
template <class F>
void loadAndUse(const std::string& bytes, F& target) {
  try {
    load(bytes, target);
  } catch (const vxException&) {
  }
  for (long w : {8L, 16L, 32L}) {
    vxFrequencyBuffer b(w, w);
    fillPattern(b, 3);
    vxFrequencyBuffer out;
    try {
      target.apply(b);
      target.apply(b, out);
    } catch (const vxFrequencyDefs::Errors&) {
    }
  }
}

// Every truncation and many single-byte changes of the archive of `original`,
// loaded over a copy of it and over a copy of `other` (whose table is of another
// size, so that fields read before a failure disagree with the table held).
template <class F>
void damage(F& original, const F& other, std::uint32_t seed) {
  const std::string bytes = save(original);
  auto tryBoth = [&](const std::string& damaged) {
    F same = original;
    loadAndUse(damaged, same);
    F different = other;
    loadAndUse(damaged, different);
  };
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) tryBoth(bytes.substr(0, cut));
  std::mt19937 random(seed);
  for (int round = 0; round < 1000; ++round) {
    std::string damaged = bytes;
    const std::size_t at = random() % bytes.size();
    damaged[at] = static_cast<char>(random() & 0xFF);
    tryBoth(damaged);
  }
}

}  // namespace

TEST(FilterArchive, DamagedArchivesThrowOrLoadUsableFilters) {
  vxFrequencyFilterBandPass pass(0.05, 0.01, 0.25, vxPair<long>(8, 8), 1);
  vxFrequencyFilterBandReject reject(0.05, 0.01, 0.25, vxPair<long>(16, 16), 1);
  vxFrequencyFilterGabor gabor(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(32, 32), 1);
  vxFrequencyFilterGaborReject gaborReject(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(16, 16), 1);
  vxFrequencyBuffer image(8, 8);
  fillPattern(image, 4);
  vxFrequencyFilterImage imageFilter(image);
  damage(pass, vxFrequencyFilterBandPass(0.01, 0.0, 0.25, vxPair<long>(8, 8), 0), 1);
  damage(reject, vxFrequencyFilterBandReject(0.01, 0.0, 0.25, vxPair<long>(16, 16), 0), 2);
  damage(gabor, vxFrequencyFilterGabor(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(8, 8), 0), 3);
  damage(gaborReject,
         vxFrequencyFilterGaborReject(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(8, 8), 0), 4);
  damage(imageFilter, vxFrequencyFilterImage(vxFrequencyBuffer(16, 16)), 5);
}

TEST(FilterArchive, TableSizesNoBuildCanMakeAreRefused) {
  const float one = 1.0f;
  auto band = [&](std::int32_t support, std::int32_t perBin, std::int32_t w, std::uint32_t count) {
    Bytes b;
    b.u8(0).baseLevel(true).i32(support).i32(perBin).f64(0.25).f64(0.05).f64(0.0).pairLong(w, 8).i32(0);
    b.u8(1).u8(0).u32(count);
    for (std::uint32_t i = 0; i < count; ++i) b.f32(one);
    return b.s;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"even support", band(4, 32, 8, 128)},
      {"no support", band(0, 32, 8, 0)},
      {"negative support", band(-3, 32, 8, 0)},
      {"samples per bin", band(3, 1, 8, 3)},
      {"width not a power of two", band(3, 32, 12, 96)},
      {"huge support, short list", band(0x7FFFFFF, 32, 8, 0)},
      {"support whose table leaves 2^22 + 1 zeros", band((1 << 17) + 1, 32, 8, 31)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PassProbe f(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
    EXPECT_THROW(load(c.bytes, f), vxArchive::BadData);
    expectUnbuilt(f);
  }

  // A Gabor table with an even height, and one of 2^31 entries.
  auto gabor = [&](std::int32_t w, std::int32_t h) {
    Bytes b;
    b.u8(0).baseLevel(true).i32(w).i32(h).f64(0).f64(0.25).pairDouble(0.02, 0.02).pairDouble(0, 0);
    b.pairLong(64, 64).i32(0).u8(1).u8(0).u32(0);
    return b.s;
  };
  for (const std::string& bytes : {gabor(13, 12), gabor(65537, 32769), gabor(-1, 13)}) {
    vxFrequencyFilterGabor g(kSigma, kPlateau, vxRadian(0.5), 0.25, vxPair<long>(64, 64), 0);
    EXPECT_THROW(load(bytes, g), vxArchive::BadData);
    expectUnbuilt(g);
    EXPECT_EQ(g.data(), nullptr);
  }
  // A valid short table is accepted and zero-filled.
  vxFrequencyFilterGabor g;
  load(gabor(13, 13), g);
  EXPECT_EQ(g.supportWidth(), 13);
  EXPECT_EQ(g.data()[168], 0.0f);
}
