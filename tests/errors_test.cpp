// The library's error classes: numbers, messages, catching, rethrowing, archiving.
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using Defs = vxFrequencyDefs;

namespace {

std::wstring messageOf(const vxException& e) {
  std::wostringstream os;
  e.print(os);
  return os.str();
}

template <class E>
void expectNumber(long number) {
  E e;
  EXPECT_EQ(e.errorNumber(), number);
  const Defs::Errors& base = e;
  EXPECT_EQ(base.errorNumber(), number);
}

std::string store(vxPersistent* object) {
  std::ostringstream out;
  {
    vxArchive ar(out);
    ar || object;
  }
  return out.str();
}

std::unique_ptr<vxPersistent> load(const std::string& bytes) {
  std::istringstream in(bytes);
  vxArchive ar(in);
  vxPersistent* p = nullptr;
  ar || p;
  return std::unique_ptr<vxPersistent>(p);
}

}  // namespace

TEST(FrequencyErrors, NumbersFormOneBlock) {
  expectNumber<Defs::InvalidArgument>(0x10006300);
  expectNumber<Defs::Uninitialized>(268460801);
  expectNumber<Defs::InvalidSize>(0x10006302);
  expectNumber<Defs::UnboundWindow>(0x10006303);
  expectNumber<Defs::InvalidBuffer>(0x10006304);
  expectNumber<Defs::BadCoord>(268460805);
}

TEST(FrequencyErrors, MessagesAreKeptAndCopied) {
  Defs::InvalidSize e(L"Size must be a power of 2.");
  EXPECT_STREQ(e.message(), L"Size must be a power of 2.");
  EXPECT_STREQ(e.what(), "Size must be a power of 2.");
  EXPECT_EQ(messageOf(e), L"Size must be a power of 2.");

  Defs::InvalidSize copy(e);
  EXPECT_STREQ(copy.message(), L"Size must be a power of 2.");
  Defs::InvalidSize assigned;
  assigned = e;
  EXPECT_STREQ(assigned.message(), L"Size must be a power of 2.");

  Defs::UnboundWindow none;
  EXPECT_EQ(none.message(), nullptr);
  Defs::UnboundWindow noneCopy(none);
  EXPECT_EQ(noneCopy.message(), nullptr);
  EXPECT_STREQ(noneCopy.what(), "");
  EXPECT_EQ(messageOf(none), L"");
}

TEST(FrequencyErrors, CaughtThroughEveryBase) {
  auto throwIt = [] { throw Defs::BadCoord(L"Coordinates are out of bounds"); };
  EXPECT_THROW(throwIt(), Defs::BadCoord);
  EXPECT_THROW(throwIt(), Defs::Errors);
  EXPECT_THROW(throwIt(), vxExceptionWithString);
  EXPECT_THROW(throwIt(), vxException);
  EXPECT_THROW(throwIt(), vxPersistent);
  try {
    throwIt();
  } catch (const Defs::Errors& e) {
    EXPECT_EQ(e.errorNumber(), 0x10006305);
    EXPECT_STREQ(e.message(), L"Coordinates are out of bounds");
  }
}

TEST(FrequencyErrors, SuicideAndRethrowThrowsItsOwnClassAndFreesTheObject) {
  Defs::Errors* heap = new Defs::InvalidSize(L"Size must be a power of 2.");
  try {
    heap->suicideAndRethrow();
    FAIL() << "suicideAndRethrow returned";
  } catch (const Defs::InvalidSize& e) {
    EXPECT_EQ(e.errorNumber(), 0x10006302);
    EXPECT_STREQ(e.message(), L"Size must be a power of 2.");
  }
  // The heap object is gone: the leak checker of the sanitizer build would report it.
}

TEST(FrequencyErrors, ArchiveRoundTripThroughTheFactory) {
  std::vector<std::unique_ptr<Defs::Errors>> errors;
  errors.emplace_back(new Defs::InvalidArgument(L"Sigma must be positive."));
  errors.emplace_back(new Defs::Uninitialized(L"FrequencyBuffer has not been initialized"));
  errors.emplace_back(new Defs::InvalidSize(L"Size must be a power of 2."));
  errors.emplace_back(new Defs::UnboundWindow());
  errors.emplace_back(new Defs::InvalidBuffer(L"x\u00e9\u4e2d"));
  errors.emplace_back(new Defs::BadCoord(L""));
  for (auto& e : errors) {
    std::unique_ptr<vxPersistent> back = load(store(e.get()));
    auto* loaded = dynamic_cast<Defs::Errors*>(back.get());
    ASSERT_NE(loaded, nullptr);
    const Defs::Errors& original = *e;
    const Defs::Errors& reloaded = *loaded;
    EXPECT_EQ(typeid(reloaded), typeid(original));
    EXPECT_EQ(loaded->errorNumber(), e->errorNumber());
    if (e->message() == nullptr) {
      EXPECT_EQ(loaded->message(), nullptr);
    } else {
      ASSERT_NE(loaded->message(), nullptr);
      EXPECT_EQ(std::wstring(loaded->message()), std::wstring(e->message()));
    }
  }
}

TEST(FrequencyErrors, ArchivedFormStartsWithTwoVersionBytesAndBadOnesAreRefused) {
  Defs::InvalidSize e(L"m");
  std::ostringstream body;
  {
    vxArchive ar(body);
    vxPersistent::dispatch(e, ar);
  }
  const std::string bytes = body.str();
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], '\0');
  EXPECT_EQ(bytes[1], '\0');

  struct Case {
    std::size_t at;
    const char* name;
  } cases[] = {{0, "vxFrequencyDefs::InvalidSize"}, {1, "vxFrequencyDefs::Errors"}};
  for (const Case& c : cases) {
    std::string bad = bytes;
    bad[c.at] = 1;
    std::istringstream in(bad);
    vxArchive ar(in);
    Defs::InvalidSize target;
    try {
      vxPersistent::dispatch(target, ar);
      FAIL() << "a version byte of 1 was accepted";
    } catch (const vxArchive::UnknownVersion& uv) {
      EXPECT_EQ(uv.name(), c.name);
      EXPECT_EQ(uv.line(), 0);
    }
  }
}

TEST(FrequencyErrors, AnObjectReachedTwiceInOnePassIsArchivedOnce) {
  Defs::BadCoord e(L"Coordinates are out of bounds");
  std::ostringstream once;
  {
    vxArchive ar(once);
    vxPersistent::dispatch(e, ar);
  }
  std::ostringstream twice;
  {
    vxArchive ar(twice);
    vxPersistent::dispatch(e, ar);
    vxPersistent::dispatch(e, ar);
  }
  EXPECT_EQ(once.str(), twice.str());
}

TEST(FrequencyErrors, TruncatedArchivesFailCleanly) {
  Defs::InvalidArgument e(L"Frequency must be between 0.0 and 0.5.");
  const std::string bytes = store(&e);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_THROW(load(bytes.substr(0, n)), vxArchive::Errors) << "cut at " << n;
  }
}
