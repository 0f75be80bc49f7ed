// The library's error classes: numbers, messages, rethrowing and the archive form
// (truncated archives are refused as the platform archive tests show).
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

using Defs = vxFrequencyDefs;

TEST(FrequencyErrors, NumbersMessagesRethrowAndArchiveForm) {
  std::unique_ptr<Defs::Errors> errors[] = {
      std::make_unique<Defs::InvalidArgument>(L"Sigma must be positive."),
      std::make_unique<Defs::Uninitialized>(L"x\u00e9\u4e2d"),
      std::make_unique<Defs::InvalidSize>(L""),
      std::make_unique<Defs::UnboundWindow>(),
      std::make_unique<Defs::InvalidBuffer>(L"m"),
      std::make_unique<Defs::BadCoord>(L"Coordinates are out of bounds")};
  for (long k = 0; k < 6; ++k) {
    const Defs::Errors& e = *errors[k];
    EXPECT_EQ(e.errorNumber(), 0x10006300 + k) << k;
    // Archived through its base, it loads as the same class with the same message.
    std::ostringstream out;
    vxPersistent* p = errors[k].get();
    {
      vxArchive ar(out);
      ar || p;
    }
    std::istringstream in(out.str());
    vxArchive ar(in);
    p = nullptr;
    ar || p;
    std::unique_ptr<vxPersistent> owner(p);
    auto* loaded = dynamic_cast<Defs::Errors*>(p);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(typeid(*loaded), typeid(e));
    EXPECT_EQ(loaded->message() == nullptr, e.message() == nullptr);
    if (e.message() != nullptr) {
      EXPECT_STREQ(loaded->message(), e.message());
    }
  }
  Defs::InvalidSize assigned;
  assigned = Defs::InvalidSize(L"Size must be a power of 2.");
  EXPECT_STREQ(Defs::InvalidSize(assigned).what(), "Size must be a power of 2.");
  EXPECT_STREQ(Defs::BadCoord(L"caf\u00e9 \U0001F600 \u4e2d").what(),  // UTF-8
               "caf\xc3\xa9 \xf0\x9f\x98\x80 \xe4\xb8\xad");
  // suicideAndRethrow throws its own class and frees the object (the sanitizer build's
  // leak checker would report it).
  Defs::Errors* heap = new Defs::InvalidSize(L"m");
  EXPECT_THROW(heap->suicideAndRethrow(), Defs::InvalidSize);
  std::istringstream in(std::string("\1\0", 2));  // the class's version byte, refused by name
  vxArchive ar(in);
  try {
    vxPersistent::dispatch(assigned, ar);
    ADD_FAILURE() << "a version byte of 1 was accepted";
  } catch (const vxArchive::UnknownVersion& uv) {
    EXPECT_EQ(uv.name(), "vxFrequencyDefs::InvalidSize");
  }
}

// Every error is a std::exception: a generic handler catches it, with the message in
// UTF-8, or the class's name where there is none, as an uncaught one shows it.
TEST(FrequencyErrors, GenericHandlersCatchThemWithTheirMessage) {
  const auto caught = [](auto&& call) -> std::string {
    try {
      call();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "nothing thrown";
  };
  EXPECT_EQ(caught([] { vfTransformSize(4096, 1); }),
            "Width and Height must be no larger than 2048.");
  EXPECT_EQ(caught([] { throw Defs::UnboundWindow(); }), "vxFrequencyDefs::UnboundWindow");
  EXPECT_EQ(caught([] { throw Defs::InvalidSize(L""); }), "vxFrequencyDefs::InvalidSize");
  EXPECT_EQ(caught([] { vxFrequencyBuffer().width(); }),
            "FrequencyBuffer has not been initialized");
  EXPECT_EQ(caught([] { vfThrowExceptionOnFailure(vxStatusAttention); }),
            "Operation interrupted by an attention request");
  std::istringstream empty;
  EXPECT_EQ(caught([&] {
              vxArchive ar(empty);
              unsigned char version = 0;
              ar || version;
            }),
            "Archive data ended unexpectedly");
  // The names are kept once per class, however often and for how many classes asked.
  for (int i = 0; i < 200; ++i)
    ASSERT_STREQ(i % 2 ? Defs::BadCoord(L"").what() : Defs::UnboundWindow().what(),
                 i % 2 ? "vxFrequencyDefs::BadCoord" : "vxFrequencyDefs::UnboundWindow");
}
