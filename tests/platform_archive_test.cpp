#include "platform/archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>

namespace archive_test {

int gAlive = 0;  // test objects alive

class Leaf : public vxPersistent {
public:
  Leaf() { ++gAlive; }
  explicit Leaf(long v) : value(v) { ++gAlive; }
  Leaf(const Leaf&) = delete;
  ~Leaf() override { --gAlive; }
  long value = 0;

protected:
  void dispatchSerialize(vxArchive& ar) override {
    unsigned char version = 1;
    ar || version;
    if (version != 1) throw vxArchive::UnknownVersion("archive_test::Leaf", 0);
    vxPersistent::dispatchSerialize(ar);
    ar || value;
  }
};

// Owns `first` and `second`, which may be one object.
class Pair : public vxPersistent {
public:
  Pair() { ++gAlive; }
  Pair(const Pair&) = delete;
  ~Pair() override {
    drop();
    --gAlive;
  }
  void reInit() override { drop(); }
  std::wstring label;
  double weight = 0;
  vx2XformCache xform;
  Leaf* first = nullptr;
  Leaf* second = nullptr;

protected:
  void dispatchSerialize(vxArchive& ar) override {
    unsigned char version = 0;
    ar || version;
    if (version != 0) throw vxArchive::UnknownVersion("archive_test::Pair", 0);
    vxPersistent::dispatchSerialize(ar);
    ar || label || weight || xform || first || second;
  }

private:
  void drop() {
    if (second != first) delete second;
    delete first;
    first = second = nullptr;
  }
};

class Transient : public vxPersistent {};

// Archives its vxException part twice; the second time must be skipped.
class Twice : public vxException {
public:
  Twice() : vxException(L"m") {}

protected:
  void dispatchSerialize(vxArchive& ar) override {
    vxException::dispatchSerialize(ar);
    vxException::dispatchSerialize(ar);
  }
};

template <class T>
vxPersistent* make() {
  return new T();
}
const vx_Instantiator registerLeaf(typeid(Leaf), &make<Leaf>);
const vx_Instantiator registerPair(typeid(Pair), &make<Pair>);

}  // namespace archive_test

namespace {

using archive_test::gAlive;
using archive_test::Leaf;
using archive_test::Pair;

template <class F>
std::string store(F f) {
  std::ostringstream os;
  vxArchive ar(os);
  f(ar);
  return os.str();
}

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

std::size_t occurrences(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

// A stream that can neither seek nor tell its size.
class ForwardOnly : public std::streambuf {
public:
  explicit ForwardOnly(std::string data) : data_(std::move(data)) {
    setg(&data_[0], &data_[0], &data_[0] + data_.size());
  }

private:
  std::string data_;
};

// A loading archive on `data`, through a seekable or a forward-only stream.
struct Loader {
  Loader(const std::string& data, bool seekable)
      : buf(data), seek(data), forward(&buf), ar(seekable ? static_cast<std::istream&>(seek) : forward) {}
  ForwardOnly buf;
  std::istringstream seek;
  std::istream forward;
  vxArchive ar;
};

template <class T>
std::unique_ptr<T> loadOne(const std::string& data, bool seekable) {
  Loader l(data, seekable);
  T* p = nullptr;
  l.ar || p;
  return std::unique_ptr<T>(p);
}

template <class T>
T roundTrip(T v) {
  const std::string data = store([&](vxArchive& ar) { ar || v; });
  std::istringstream in(data);
  vxArchive ar(in);
  T loaded{};
  ar || loaded;
  EXPECT_EQ(ar.remaining(), 0u);
  return loaded;
}

template <class E, class T>
void expectLoadThrows(const std::string& data) {
  for (bool seekable : {true, false}) {
    Loader l(data, seekable);
    T v{};
    EXPECT_THROW(l.ar || v, E) << (seekable ? "seekable" : "forward-only");
  }
}

// A Pair sharing one Leaf, with a non-ASCII label and a transform.
std::string pairArchive() {
  Pair p;
  p.first = p.second = new Leaf(-42);
  p.label = L"\u00e9t\u00e9 \U0001F600";
  p.weight = 0.25;
  p.xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(1, 2, 3, 4), vxVector<2>(5, 6))));
  Pair* pp = &p;
  return store([&](vxArchive& ar) { ar || pp; });
}

}  // namespace

TEST(Archive, PrimitiveBytesAreLittleEndian) {
  unsigned char uc = 0xAB;
  bool t = true, f = false;
  long l = -2;
  unsigned long ul = 0x01020304;
  int i = 0x7FFFFFFF;
  unsigned u = 0x80000000u;
  float fl = 1.0f;
  double d = -2.0;
  EXPECT_EQ(store([&](vxArchive& ar) { ar || uc || t || f || l || ul || i || u || fl || d; }),
            bytes({0xAB, 1, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0,
                   0x80, 0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0}));
  std::wstring w = L"A\u00e9\U0001F600";
  bool present = true, absent = false;
  std::wstring empty;
  EXPECT_EQ(store([&](vxArchive& ar) {
              ar.ioWide(w, present);
              ar.ioWide(w, absent);
              ar.ioWide(empty, present);
            }),
            bytes({3, 0, 0, 0, 0x41, 0, 0, 0, 0xE9, 0, 0, 0, 0x00, 0xF6, 0x01, 0, 0xFF, 0xFF, 0xFF,
                   0xFF, 0, 0, 0, 0}));
}

TEST(Archive, PrimitivesRoundTrip) {
  using I32 = std::numeric_limits<std::int32_t>;
  EXPECT_EQ(roundTrip<unsigned char>(0xFF), 0xFF);
  EXPECT_TRUE(roundTrip(true));
  EXPECT_EQ(roundTrip(static_cast<long>(I32::min())), I32::min());
  EXPECT_EQ(roundTrip(static_cast<long>(I32::max())), I32::max());
  EXPECT_EQ(roundTrip(0xFFFFFFFFul), 0xFFFFFFFFul);
  EXPECT_EQ(roundTrip(I32::min()), I32::min());
  EXPECT_EQ(roundTrip(0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(roundTrip(-std::numeric_limits<float>::infinity()), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(roundTrip(std::numeric_limits<float>::denorm_min()), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(roundTrip(std::numeric_limits<double>::denorm_min()), std::numeric_limits<double>::denorm_min());
  EXPECT_TRUE(std::signbit(roundTrip(-0.0)));
  const std::uint64_t nanBits = 0x7FF8000000000123ull;  // the payload survives
  double nan, nan2;
  std::memcpy(&nan, &nanBits, 8);
  nan2 = roundTrip(nan);
  EXPECT_EQ(std::memcmp(&nan2, &nanBits, 8), 0);

  const vxXform<2> x(vxMatrix<2>(0.5, -1, 1e300, 3), vxVector<2>(-7, 1e-300));
  EXPECT_EQ(roundTrip(x), x);
  vx2XformCache held;
  held.xform(vx2XformLinear(x));
  EXPECT_EQ(store([&](vxArchive& ar) { ar || held; }).size(), 49u);
  EXPECT_EQ(roundTrip(held), held);
  EXPECT_TRUE(roundTrip(held).hasXform);
  // Loading "none" drops a transform held before.
  std::istringstream in(bytes({0}));
  vxArchive ar(in);
  ar || held;
  EXPECT_FALSE(held.hasXform);
  EXPECT_THROW(ar || held, vxArchive::EndOfData);
}

TEST(Archive, StoringRejectsValuesBeyond32Bits) {
  if (sizeof(long) == 4) GTEST_SKIP() << "long has 32 bits here";
  for (long v : {2147483648L, -2147483649L, std::numeric_limits<long>::max()}) {
    std::ostringstream os;
    vxArchive ar(os);
    EXPECT_THROW(ar || v, vxArchive::BadData) << v;
    EXPECT_TRUE(os.str().empty());
  }
  std::ostringstream os;
  vxArchive ar(os);
  unsigned long big = 0x100000000ul;
  EXPECT_THROW(ar || big, vxArchive::BadData);
  EXPECT_TRUE(os.str().empty());
}

TEST(Archive, NullableWideStrings) {
  std::wstring nul(L"x\0y\U0010FFFF", 4), text = L"\u4e2d\u6587", none = L"ignored", empty;
  bool yes = true, no = false;
  const std::string data = store([&](vxArchive& ar) {
    ar.ioWide(nul, yes);
    ar.ioWide(none, no);
    ar.ioWide(empty, yes);
    ar || text;
  });
  std::istringstream in(data);
  vxArchive ar(in);
  std::wstring s = L"old";
  bool present = false;
  ar.ioWide(s, present);
  EXPECT_TRUE(present);
  EXPECT_EQ(s, nul);
  ar.ioWide(s, present);
  EXPECT_FALSE(present);
  ar.ioWide(s, present);
  EXPECT_TRUE(present);
  EXPECT_TRUE(s.empty());
  ar || s;
  EXPECT_EQ(s, text);
}

TEST(Archive, MalformedPrimitives) {
  expectLoadThrows<vxArchive::BadData, bool>(bytes({2}));
  expectLoadThrows<vxArchive::EndOfData, unsigned char>("");
  expectLoadThrows<vxArchive::EndOfData, long>(bytes({1, 2, 3}));
  expectLoadThrows<vxArchive::EndOfData, double>(bytes({1, 2, 3, 4, 5, 6, 7}));
  // String counts beyond the data, up to the largest non-null count.
  expectLoadThrows<vxArchive::EndOfData, std::wstring>(bytes({2, 0, 0, 0, 'a', 0, 0, 0}));
  expectLoadThrows<vxArchive::EndOfData, std::wstring>(bytes({0xFE, 0xFF, 0xFF, 0xFF, 'a', 0, 0, 0}));
  expectLoadThrows<vxArchive::BadData, std::wstring>(bytes({0xFF, 0xFF, 0xFF, 0xFF}));  // null

  std::ostringstream broken;
  broken.setstate(std::ios_base::badbit);
  vxArchive ar(broken);
  unsigned char c = 1;
  EXPECT_THROW(ar || c, vxArchive::Errors);
}

TEST(Archive, RemainingCountsBytesLeft) {
  std::istringstream in(std::string(10, 'z'));
  in.seekg(3);
  vxArchive ar(in);
  EXPECT_EQ(ar.remaining(), 7u);
  unsigned char c;
  ar || c;
  EXPECT_EQ(ar.remaining(), 6u);
  ForwardOnly buf("abc");
  std::istream forward(&buf);
  vxArchive far(forward);
  EXPECT_EQ(far.remaining(), std::numeric_limits<std::size_t>::max());
  far || c;
  EXPECT_EQ(c, 'a');
}

TEST(Archive, ObjectsGetIdsByFirstAppearance) {
  Leaf a(1), b(0x0102);
  Leaf *pa = &a, *pb = &b;
  vxPersistent* none = nullptr;
  const std::string data = store([&](vxArchive& ar) { ar || pa || pb || pa || pb || none; });
  const std::string head = bytes({1, 18, 0, 0, 0}) + "archive_test::Leaf" + bytes({1, 0});
  EXPECT_EQ(data, head + bytes({1, 0, 0, 0}) + head + bytes({2, 1, 0, 0, 2, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0}));
}

TEST(Archive, SharedObjectIsStoredOnceAndLoadsAsOne) {
  const std::string data = pairArchive();
  EXPECT_EQ(occurrences(data, "archive_test::Leaf"), 1u);
  EXPECT_EQ(data.substr(0, 25), bytes({1, 18, 0, 0, 0}) + "archive_test::Pair" + bytes({0, 0}));
  EXPECT_EQ(data.substr(data.size() - 5), bytes({2, 1, 0, 0, 0}));
  {
    std::unique_ptr<Pair> p = loadOne<Pair>(data, true);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(gAlive, 2);
    EXPECT_EQ(p->first, p->second);
    EXPECT_EQ(p->first->value, -42);
    EXPECT_EQ(p->label, L"\u00e9t\u00e9 \U0001F600");
    EXPECT_EQ(p->weight, 0.25);
    EXPECT_EQ(p->xform.linearXform().xform(),
              vxXform<2>(vxMatrix<2>(1, 2, 3, 4), vxVector<2>(5, 6)));
  }
  EXPECT_EQ(gAlive, 0);
}

TEST(Archive, MalformedObjects) {
  auto loadThrows = [](const std::string& data, auto check) {
    check([&] { loadOne<vxPersistent>(data, true); });
    EXPECT_EQ(gAlive, 0);
  };
  loadThrows(bytes({3}), [](auto f) { EXPECT_THROW(f(), vxArchive::BadData); });
  loadThrows(bytes({2, 0, 0, 0, 0}), [](auto f) { EXPECT_THROW(f(), vxArchive::BadData); });
  // The length limit is checked before the stream's size.
  loadThrows(bytes({1, 0x01, 0x10, 0, 0}), [](auto f) { EXPECT_THROW(f(), vxArchive::BadData); });
  loadThrows(bytes({1, 0x00, 0x10, 0, 0, 'a'}), [](auto f) { EXPECT_THROW(f(), vxArchive::EndOfData); });
  loadThrows(bytes({1, 4, 0, 0, 0}) + "Nope", [](auto f) {
    try {
      f();
      ADD_FAILURE() << "no exception";
    } catch (const vxArchive::UnknownClass& e) {
      EXPECT_EQ(e.className(), "Nope");
    }
  });
  // A Leaf where a Pair is expected: the Leaf is deleted.
  Leaf leaf(3);
  Leaf* pl = &leaf;
  const std::string leafData = store([&](vxArchive& ar) { ar || pl; });
  EXPECT_THROW(loadOne<Pair>(leafData, true), vxArchive::BadData);
  EXPECT_EQ(gAlive, 1);
}

TEST(Archive, MismatchedBackReferenceIsNotDeleted) {
  {
    Pair p;
    p.first = p.second = new Leaf(9);
    Pair* pp = &p;
    Leaf* again = p.first;
    const std::string data = store([&](vxArchive& ar) { ar || pp || again; });
    std::istringstream in(data);
    vxArchive ar(in);
    Pair *loaded = nullptr, *wrong = nullptr;
    ar || loaded;
    std::unique_ptr<Pair> owner(loaded);
    EXPECT_THROW(ar || wrong, vxArchive::BadData);
    EXPECT_EQ(wrong, nullptr);
    EXPECT_EQ(gAlive, 4);  // the originals and the loaded pair with its leaf
    EXPECT_EQ(loaded->first->value, 9);
  }
  EXPECT_EQ(gAlive, 0);
}

TEST(Archive, UnregisteredClassIsUnknownOnLoad) {
  std::string data;
  {
    vx_Instantiator reg(typeid(archive_test::Transient), &archive_test::make<archive_test::Transient>);
    archive_test::Transient t;
    vxPersistent* p = &t;
    data = store([&](vxArchive& ar) { ar || p; });
    EXPECT_NE(loadOne<archive_test::Transient>(data, true), nullptr);
  }
  try {
    loadOne<vxPersistent>(data, true);
    FAIL() << "no exception";
  } catch (const vxArchive::UnknownClass& e) {
    EXPECT_EQ(e.className(), "archive_test::Transient");
  }
}

TEST(Archive, EveryTruncationFailsWithoutLeaks) {
  const std::string data = pairArchive();
  for (bool seekable : {true, false}) {
    for (std::size_t n = 0; n < data.size(); ++n) {
      EXPECT_THROW(loadOne<Pair>(data.substr(0, n), seekable), vxArchive::EndOfData) << n;
      ASSERT_EQ(gAlive, 0) << n;
    }
    EXPECT_NE(loadOne<Pair>(data, seekable), nullptr);
  }
}

TEST(Archive, SingleByteCorruptionsFailOrLoad) {
  const std::string data = pairArchive();
  std::mt19937 rng(12345);
  int failures = 0, loads = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(data[i]);
    for (unsigned v : {b ^ 0x01u, b ^ 0x80u, 0x00u, 0xFFu, static_cast<unsigned>(rng() & 0xFF)}) {
      if (v == b) continue;
      std::string bad = data;
      bad[i] = static_cast<char>(v);
      for (bool seekable : {true, false}) {
        try {
          std::unique_ptr<Pair> p = loadOne<Pair>(bad, seekable);
          ++loads;
          if (p && p->first) {
            EXPECT_TRUE(p->second == nullptr || p->second == p->first || p->second->value == -42);
          }
        } catch (const vxArchive::Errors&) {
          ++failures;
        }
        ASSERT_EQ(gAlive, 0) << "byte " << i << " value " << v;
      }
    }
  }
  EXPECT_GT(failures, 0);
  EXPECT_GT(loads, 0);
}

TEST(Instantiator, PortableNamesAndRegistrations) {
  EXPECT_EQ(vx_Instantiator::portableName(typeid(vxArchive::BadData)), "vxArchive::BadData");
  EXPECT_EQ(vx_Instantiator::portableName(typeid(Leaf)), "archive_test::Leaf");
  ASSERT_NE(vx_Instantiator::find("vxException"), nullptr);
  std::unique_ptr<vxPersistent> made(vx_Instantiator::find("vxException")());
  EXPECT_NE(dynamic_cast<vxException*>(made.get()), nullptr);
  EXPECT_EQ(vx_Instantiator::find("archive_test::Transient"), nullptr);

  auto other = []() -> vxPersistent* { return new archive_test::Transient(); };
  auto first = std::make_unique<vx_Instantiator>(typeid(archive_test::Transient),
                                                 &archive_test::make<archive_test::Transient>);
  {
    vx_Instantiator second(typeid(archive_test::Transient), other);
    EXPECT_EQ(vx_Instantiator::find("archive_test::Transient"), +other);
  }
  EXPECT_EQ(vx_Instantiator::find("archive_test::Transient"), &archive_test::make<archive_test::Transient>);
  first.reset();
  EXPECT_EQ(vx_Instantiator::find("archive_test::Transient"), nullptr);
}

TEST(Persistent, VisitedMarksBelongToTheInnermostArchive) {
  int a = 0, b = 0;
  vxPersistent::setVisited(&a, 4);
  EXPECT_FALSE(vxPersistent::haveVisited(&a, 4));  // no archive: nothing is marked
  std::ostringstream os;
  {
    vxArchive outer(os);
    vxPersistent::setVisited(&a, 4);
    EXPECT_TRUE(vxPersistent::haveVisited(&a, 4));
    EXPECT_FALSE(vxPersistent::haveVisited(&a, 8));
    EXPECT_FALSE(vxPersistent::haveVisited(&b, 4));
    {
      std::istringstream in;
      vxArchive inner(in);
      EXPECT_FALSE(vxPersistent::haveVisited(&a, 4));
      vxPersistent::setVisited(&b, 4);
      EXPECT_TRUE(vxPersistent::haveVisited(&b, 4));
    }
    EXPECT_TRUE(vxPersistent::haveVisited(&a, 4));
    EXPECT_FALSE(vxPersistent::haveVisited(&b, 4));
    bool elsewhere = true;
    std::thread t([&] { elsewhere = vxPersistent::haveVisited(&a, 4); });
    t.join();
    EXPECT_FALSE(elsewhere);
  }
  EXPECT_FALSE(vxPersistent::haveVisited(&a, 4));
}

TEST(Exception, MessagesNullEmptyAndUtf8) {
  const vxException none;
  EXPECT_EQ(none.message(), nullptr);
  EXPECT_STREQ(none.what(), "");
  const vxException empty(L"");
  ASSERT_NE(empty.message(), nullptr);
  EXPECT_STREQ(empty.message(), L"");
  const vxExceptionWithString text(L"caf\u00e9 \U0001F600 \u4e2d");
  EXPECT_STREQ(text.what(), "caf\xc3\xa9 \xf0\x9f\x98\x80 \xe4\xb8\xad");
  std::wostringstream ws;
  text.print(ws);
  none.print(ws);
  EXPECT_EQ(ws.str(), L"caf\u00e9 \U0001F600 \u4e2d");

  // Copies are deep; assignment carries null messages too.
  auto original = std::make_unique<vxException>(L"kept");
  vxException copy(*original);
  original.reset();
  EXPECT_STREQ(copy.message(), L"kept");
  EXPECT_STREQ(copy.what(), "kept");
  copy.trackMutations(true);
  copy = none;
  EXPECT_EQ(copy.message(), nullptr);
  EXPECT_STREQ(copy.what(), "");
  EXPECT_EQ(copy.mutationCount(), 1u);
  EXPECT_NE(std::string(vxStatusFailure(-5).what()).find("-5"), std::string::npos);
}

TEST(Exception, ArchiveRoundTripKeepsNullEmptyAndClass) {
  vxException none, empty(L""), text(L"\u00fcber");
  vxAttentionInterrupted attention;
  vxPersistent *a = &none, *b = &empty, *c = &text, *d = &attention;
  const std::string data = store([&](vxArchive& ar) { ar || a || b || c || d; });
  EXPECT_EQ(data.substr(0, 20), bytes({1, 11, 0, 0, 0}) + "vxException" + bytes({0, 0, 0xFF, 0xFF}));

  std::istringstream in(data);
  vxArchive ar(in);
  vxException *la = nullptr, *lb = nullptr, *lc = nullptr, *ld = nullptr;
  ar || la || lb || lc || ld;
  std::unique_ptr<vxException> oa(la), ob(lb), oc(lc), od(ld);
  EXPECT_EQ(la->message(), nullptr);
  ASSERT_NE(lb->message(), nullptr);
  EXPECT_STREQ(lb->message(), L"");
  EXPECT_STREQ(lc->message(), L"\u00fcber");
  EXPECT_STREQ(lc->what(), "\xc3\xbc" "ber");
  ASSERT_NE(dynamic_cast<vxAttentionInterrupted*>(ld), nullptr);
  EXPECT_STREQ(ld->message(), attention.message());
}

TEST(Exception, UnknownVersionNamesThePart) {
  vxException e;
  vxPersistent* p = &e;
  const std::string data = store([&](vxArchive& ar) { ar || p; });
  ASSERT_EQ(data.size(), 22u);
  const struct {
    std::size_t at;
    const char* name;
  } cases[] = {{16, "vxException"}, {17, "vxPersistent"}};
  for (const auto& c : cases) {
    std::string bad = data;
    bad[c.at] = 1;
    try {
      loadOne<vxPersistent>(bad, true);
      ADD_FAILURE() << "no exception";
    } catch (const vxArchive::UnknownVersion& v) {
      EXPECT_TRUE(v.hasName());
      EXPECT_EQ(v.name(), c.name);
      EXPECT_EQ(v.line(), 0);
    }
  }
}

TEST(Exception, PartArchivedOncePerPass) {
  archive_test::Twice t;
  const std::string data = store([&](vxArchive& ar) { vxPersistent::dispatch(t, ar); });
  EXPECT_EQ(data, bytes({0, 0, 1, 0, 0, 0, 'm', 0, 0, 0}));
  archive_test::Twice loaded;
  std::istringstream in(data + bytes({7}));
  vxArchive ar(in);
  vxPersistent::dispatch(loaded, ar);
  EXPECT_EQ(ar.remaining(), 1u);
}
