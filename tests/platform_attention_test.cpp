#include "platform/attention.h"
#include "platform/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Checks on the calling thread and reports what vfThrowExceptionOnFailure made of it.
enum class Outcome { ok, interrupted, other };
Outcome checkAndThrow() {
  try {
    vfThrowExceptionOnFailure(vsys_attention_check());
    return Outcome::ok;
  } catch (const vxAttentionInterrupted&) {
    return Outcome::interrupted;
  } catch (...) {
    return Outcome::other;
  }
}

}  // namespace

TEST(Attention, NoScopeIsAlwaysOk) {
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);
  EXPECT_NO_THROW(vfThrowExceptionOnFailure(vsys_attention_check()));
}

TEST(Attention, FlagSetByAnotherThreadInterrupts) {
  std::atomic<bool> stop{false};
  vxAttentionScope scope(stop);
  EXPECT_EQ(checkAndThrow(), Outcome::ok);
  std::thread setter([&stop] { stop = true; });
  setter.join();
  EXPECT_EQ(checkAndThrow(), Outcome::interrupted);
  try {
    vfThrowExceptionOnFailure(vsys_attention_check());
    FAIL() << "no exception";
  } catch (const vxException& e) {  // also a vxException
    ASSERT_NE(e.message(), nullptr);
    EXPECT_EQ(std::wstring(e.message()), L"Operation interrupted by an attention request");
    EXPECT_STREQ(e.what(), "Operation interrupted by an attention request");
  }
  // The flag belongs to this thread only.
  Outcome elsewhere = Outcome::other;
  std::thread other([&elsewhere] { elsewhere = checkAndThrow(); });
  other.join();
  EXPECT_EQ(elsewhere, Outcome::ok);
}

TEST(Attention, NestedScopesRestoreThePreviousFlag) {
  std::atomic<bool> outer{false}, inner{true};
  {
    vxAttentionScope a(outer);
    {
      vxAttentionScope b(inner);
      EXPECT_EQ(vsys_attention_check(), vxStatusAttention);
    }
    EXPECT_EQ(vsys_attention_check(), vxStatusOK);
    outer = true;
    EXPECT_EQ(vsys_attention_check(), vxStatusAttention);
  }
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);
}

TEST(Attention, OtherStatusThrowsStatusFailure) {
  try {
    vfThrowExceptionOnFailure(7);
    FAIL() << "no exception";
  } catch (const vxAttentionInterrupted&) {
    FAIL() << "status 7 is not an attention request";
  } catch (const vxStatusFailure& e) {
    EXPECT_EQ(e.status(), 7);
    EXPECT_NE(std::string(e.what()).find('7'), std::string::npos);
  }
}

TEST(AttentionProbe, CountsChecksAndFailsTheChosenOne) {
  vx_detail::AttentionProbe probe;
  probe.failAt = 3;
  ASSERT_EQ(vx_detail::setAttentionProbe(&probe), nullptr);
  EXPECT_EQ(vx_detail::attentionProbe(), &probe);
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);
  EXPECT_EQ(vsys_attention_check(), vxStatusAttention);
  EXPECT_EQ(vsys_attention_check(), vxStatusOK);
  EXPECT_EQ(probe.checks, 4);

  // Reset: the count restarts, failAt 0 never fails.
  probe.checks = 0;
  probe.failAt = 0;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(vsys_attention_check(), vxStatusOK);
  EXPECT_EQ(probe.checks, 5);
  EXPECT_EQ(vx_detail::setAttentionProbe(nullptr), &probe);
  EXPECT_EQ(vx_detail::attentionProbe(), nullptr);
  vsys_attention_check();
  EXPECT_EQ(probe.checks, 5);
}
