// The archive's object graph: ids by first appearance, objects reached twice stored
// once and loaded as one, refused and truncated data without leaks.
#include "platform/archive.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace archive_test {

int gAlive = 0;  // test objects alive

// A class level of the test classes: its version byte, which must be `version`.
void level(vxArchive& ar, unsigned char version, const char* name) {
  unsigned char stored = version;
  ar || stored;
  if (stored != version) throw vxArchive::UnknownVersion(name, 0);
}

class Leaf : public vxPersistent {
public:
  Leaf() { ++gAlive; }
  explicit Leaf(long v) : value(v) { ++gAlive; }
  Leaf(const Leaf&) = delete;
  ~Leaf() override { --gAlive; }
  long value = 0;

protected:
  void dispatchSerialize(vxArchive& ar) override {
    level(ar, 1, "archive_test::Leaf");
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
    reInit();
    --gAlive;
  }
  void reInit() override {
    if (second != first) delete second;
    delete first;
    first = second = nullptr;
  }
  std::wstring label;
  double weight = 0;
  vx2XformCache xform;
  Leaf* first = nullptr;
  Leaf* second = nullptr;

protected:
  void dispatchSerialize(vxArchive& ar) override {
    level(ar, 0, "archive_test::Pair");
    vxPersistent::dispatchSerialize(ar);
    ar || label || weight || xform || first || second;
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

template <class T>
std::unique_ptr<T> loadOne(const std::string& data) {
  std::istringstream in(data);
  vxArchive ar(in);
  T* p = nullptr;
  ar || p;
  return std::unique_ptr<T>(p);
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

TEST(Archive, ObjectsAreStoredOnceAndLoadAsOne) {
  Leaf a(1), b(0x0102);
  Leaf *pa = &a, *pb = &b;
  vxPersistent* none = nullptr;
  const std::string head = bytes({1, 18, 0, 0, 0}) + "archive_test::Leaf" + bytes({1, 0});
  EXPECT_EQ(
      store([&](vxArchive& ar) { ar || pa || pb || pa || pb || none; }),
      head + bytes({1, 0, 0, 0}) + head + bytes({2, 1, 0, 0, 2, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0}));
  const std::string data = pairArchive();
  EXPECT_EQ(data.substr(data.size() - 5),
            bytes({2, 1, 0, 0, 0}));  // the second pointer: a back-reference
  {
    std::unique_ptr<Pair> p = loadOne<Pair>(data);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(gAlive == 4 && p->first == p->second && p->first->value == -42 &&
                p->weight == 0.25);
    EXPECT_EQ(p->label, L"\u00e9t\u00e9 \U0001F600");
    EXPECT_EQ(p->xform.linearXform().xform(),
              vxXform<2>(vxMatrix<2>(1, 2, 3, 4), vxVector<2>(5, 6)));
    p.reset();
    for (std::size_t n = 0; n < data.size(); ++n) {  // every truncation fails without leaks
      EXPECT_THROW(loadOne<Pair>(data.substr(0, n)), vxArchive::EndOfData) << n;
      ASSERT_EQ(gAlive, 2) << n;
    }
  }
}

TEST(Archive, MalformedObjectsFailWithoutLeaks) {
  auto expectBad = [](const std::string& data) {
    EXPECT_THROW(loadOne<vxPersistent>(data), vxArchive::BadData);
    EXPECT_EQ(gAlive, 0);
  };
  expectBad(bytes({3}));
  expectBad(bytes({2, 0, 0, 0, 0}));        // a back-reference to nothing
  expectBad(bytes({1, 0x01, 0x10, 0, 0}));  // the name length limit comes before the stream's size
  EXPECT_THROW(loadOne<vxPersistent>(bytes({1, 0x00, 0x10, 0, 0, 'a'})), vxArchive::EndOfData);
  try {
    loadOne<vxPersistent>(bytes({1, 4, 0, 0, 0}) + "Nope");
    ADD_FAILURE() << "no exception";
  } catch (const vxArchive::UnknownClass& e) {
    EXPECT_EQ(e.className(), "Nope");
  }
  {
    Leaf leaf(3);  // a Leaf where a Pair is expected is deleted
    Leaf* pl = &leaf;
    EXPECT_THROW(loadOne<Pair>(store([&](vxArchive& ar) { ar || pl; })), vxArchive::BadData);
    EXPECT_EQ(gAlive, 1);
    // A back-reference of the wrong class is refused, not deleted.
    Pair p;
    p.first = p.second = new Leaf(9);
    Pair* pp = &p;
    Leaf* again = p.first;
    std::istringstream in(store([&](vxArchive& ar) { ar || pp || again; }));
    vxArchive ar(in);
    Pair *loaded = nullptr, *wrong = nullptr;
    ar || loaded;
    std::unique_ptr<Pair> owner(loaded);
    EXPECT_THROW(ar || wrong, vxArchive::BadData);
    EXPECT_EQ(wrong, nullptr);
    EXPECT_EQ(gAlive, 5);
    EXPECT_EQ(loaded->first->value, 9);
  }
  EXPECT_EQ(gAlive, 0);
}
