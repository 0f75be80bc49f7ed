// Frequency-domain arithmetic: element results against values worked out in double
// (one float operation is one double operation rounded to float), aliasing of result
// and operands, what the result takes from the first operand, and the check order.
#include "filter_test_support.h"

#include <cmath>
#include <functional>

using namespace filter_test;

namespace {

using Buf = vxFrequencyBuffer;

float f32(double v) { return static_cast<float>(v); }

// Checks r = x op y element by element ('+', '-' or '*').
void expectOp(char op, const Buf& x, const Buf& y, const Buf& r) {
  ASSERT_TRUE(r.isInitialized());
  ASSERT_EQ(r.width(), x.width());
  ASSERT_EQ(r.height(), x.height());
  for (std::size_t k = 0; k < static_cast<std::size_t>(x.width()) * x.height(); ++k) {
    const float* a = Access::data(x) + 2 * k;
    const float* b = Access::data(y) + 2 * k;
    float re = f32(double(a[0]) + b[0]), im = f32(double(a[1]) + b[1]);
    if (op == '-') re = f32(double(a[0]) - b[0]), im = f32(double(a[1]) - b[1]);
    if (op == '*') {
      re = f32(double(f32(double(a[0]) * b[0])) - f32(double(a[1]) * b[1]));
      im = f32(double(f32(double(a[0]) * b[1])) + f32(double(a[1]) * b[0]));
    }
    ASSERT_EQ(bits(Access::data(r)[2 * k]), bits(re)) << op << " element " << k;
    ASSERT_EQ(bits(Access::data(r)[2 * k + 1]), bits(im)) << op << " element " << k;
  }
}

}  // namespace

TEST(FrequencyArithmetic, ResultsForEveryAliasing) {
  const Buf a0 = patterned(16, 8, 1), b0 = patterned(16, 8, 2);
  struct Case {
    const char* name;
    std::function<void(Buf& a, Buf& b, Buf& r)> run;
    char op;
    bool swapped;  // expected: b0 op a0 rather than a0 op b0
    int written;   // 0: a, 1: b, 2: r
  };
  const Case cases[] = {
      {"add", [](Buf& a, Buf& b, Buf& r) { vfFrequencyAdd(a, b, r); }, '+', false, 2},
      {"subtract", [](Buf& a, Buf& b, Buf& r) { vfFrequencySubtract(a, b, r); }, '-', false, 2},
      {"multiply", [](Buf& a, Buf& b, Buf& r) { vfFrequencyMultiply(a, b, r); }, '*', false, 2},
      {"multiply b x a", [](Buf& a, Buf& b, Buf& r) { vfFrequencyMultiply(b, a, r); }, '*', false,
       2},
      {"add in place", [](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b); }, '+', false, 1},
      {"subtract in place: b - a", [](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b); }, '-',
       true, 1},
      {"multiply in place", [](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b); }, '*', false, 1},
      {"add into a", [](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b, a); }, '+', false, 0},
      {"add into b", [](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b, b); }, '+', false, 1},
      {"subtract into a", [](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b, a); }, '-', false,
       0},
      {"subtract into b: still a - b", [](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b, b); },
       '-', false, 1},
      {"multiply into a", [](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b, a); }, '*', false,
       0},
      {"multiply into b", [](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b, b); }, '*', false,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buf a = a0, b = b0, r;
    c.run(a, b, r);
    const Buf* written[] = {&a, &b, &r};
    expectOp(c.op, c.swapped ? b0 : a0, c.swapped ? a0 : b0, *written[c.written]);
    EXPECT_TRUE(c.written == 0 || a == a0) << "a changed";
    EXPECT_TRUE(c.written == 1 || b == b0) << "b changed";
  }

  // One buffer in every place: doubled, squared, zeroed.
  Buf a = a0;
  vfFrequencyAdd(a, a, a);
  expectOp('+', a0, a0, a);
  a = a0;
  vfFrequencyMultiply(a, a, a);
  expectOp('*', a0, a0, a);
  a = a0;
  vfFrequencyMultiply(a, a);
  expectOp('*', a0, a0, a);
  a = a0;
  vfFrequencySubtract(a, a, a);
  expectOp('-', a0, a0, a);
}

TEST(FrequencyArithmetic, ConjugationFlipsTheSignBitOfImaginaryParts) {
  Buf a = patterned(8, 4, 3);
  a.put(1, 1, vxPair<double>(2.0, 0.0), false);  // +0 imaginary part
  const Buf a0 = a;
  Buf r;
  vfFrequencyConjugate(a, r);
  EXPECT_TRUE(std::signbit(element(r, 1, 1)[1]));
  for (std::size_t k = 0; k < 64; ++k)
    ASSERT_EQ(bits(Access::data(r)[k]), bits(Access::data(a0)[k]) ^ (k % 2 ? 0x80000000u : 0u));
  EXPECT_EQ(Snapshot(a), Snapshot(a0));
  vfFrequencyConjugate(a);
  vfFrequencyConjugate(a, a);  // twice: every bit restored
  EXPECT_EQ(Snapshot(a), Snapshot(a0));
}

TEST(FrequencyArithmetic, ResultTakesTheFirstOperandsStateInPlaceFormsKeepTheirOwn) {
  Buf a(100, 60);
  a = patterned(128, 64, 4);
  Access::setAndAllocate(a, 100, 60);  // same transform size: values kept
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(2.0, 0.0, 0.0, 3.0), vxVector<2>(1.0, 2.0))));
  Access::setPlacement(a, vxPair<long>(10, 20), xform);
  Access::setMask(a, 1, 5, 40);
  Buf b = patterned(128, 64, 5);
  Access::setPlacement(b, vxPair<long>(-3, 4), vx2XformCache());
  for (int op = 0; op < 4; ++op) {
    SCOPED_TRACE(op);
    Buf r;
    if (op == 0) vfFrequencyAdd(a, b, r);
    if (op == 1) vfFrequencySubtract(a, b, r);
    if (op == 2) vfFrequencyMultiply(a, b, r);
    if (op == 3) vfFrequencyConjugate(a, r);
    Snapshot s(r), want(a);
    s.values.clear();
    want.values.clear();
    EXPECT_EQ(s, want);
    EXPECT_TRUE(r.clientXform() == xform);
  }
  Buf c = b;
  vfFrequencyAdd(a, c);
  vfFrequencySubtract(a, c);
  vfFrequencyMultiply(a, c);
  EXPECT_EQ(c.imageWidth(), 128);
  EXPECT_EQ(c.imageOffset(), vxPair<long>(-3, 4));
  EXPECT_FALSE(c.clientXform().hasXform);
  EXPECT_EQ(Access::masked(c), 0);
}

// Which error each function reports when several checks fail; a failure leaves every
// argument as it was, and the result buffer is never checked.
TEST(FrequencyArithmetic, CheckOrderPerFunction) {
  struct Form {
    const char* name;
    std::function<void(Buf&, Buf&, Buf&)> run;
    const wchar_t* sizes;
    bool sizeBeforeInverse;
  };
  const wchar_t* const add = L"Can only add equal-sized frequency buffers.";
  const wchar_t* const sub = L"Can only subtract equal-sized frequency buffers.";
  const wchar_t* const mul = L"Can only multiply equal-sized frequency buffers.";
  const Form forms[] = {
      {"add", [](Buf& a, Buf& b, Buf& r) { vfFrequencyAdd(a, b, r); }, add, false},
      {"add in place", [](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b); }, add, false},
      {"subtract", [](Buf& a, Buf& b, Buf& r) { vfFrequencySubtract(a, b, r); }, sub, true},
      {"subtract in place", [](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b); }, sub, false},
      {"multiply", [](Buf& a, Buf& b, Buf& r) { vfFrequencyMultiply(a, b, r); }, mul, false},
      {"multiply in place", [](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b); }, mul, true},
  };
  auto inverse = [](long w, long h) {
    Buf b = patterned(w, h, 6);
    Access::setInverseComputed(b, true);
    return b;
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    auto expectFailure = [&](Buf a, Buf b, auto check) {
      Buf r = patterned(2, 2, 7);
      const Snapshot sa(a), sb(b), sr(r);
      check([&] { form.run(a, b, r); });
      EXPECT_EQ(Snapshot(a), sa);
      EXPECT_EQ(Snapshot(b), sb);
      EXPECT_EQ(Snapshot(r), sr);
    };
    auto U = [](auto run) { expectError<Defs::Uninitialized>(run, kBufferUninit); };
    auto I = [](auto run) { expectError<Defs::InvalidBuffer>(run, kInverse); };
    auto S = [&](auto run) { expectError<Defs::InvalidSize>(run, form.sizes); };
    expectFailure(Buf(), inverse(8, 8), U);
    expectFailure(inverse(8, 8), Buf(), U);
    expectFailure(inverse(64, 32), patterned(32, 64, 8),
                  [&](auto run) { form.sizeBeforeInverse ? S(run) : I(run); });
    expectFailure(patterned(64, 32, 9), inverse(32, 64),
                  [&](auto run) { form.sizeBeforeInverse ? S(run) : I(run); });
    expectFailure(patterned(64, 32, 9), patterned(32, 64, 10), S);
    expectFailure(patterned(64, 32, 9), patterned(64, 16, 10), S);
    expectFailure(patterned(8, 8, 11), inverse(8, 8), I);

    // A result of another size, or with its inverse computed, is simply replaced.
    Buf a = patterned(8, 8, 12), b = patterned(8, 8, 13), r = inverse(4, 2);
    form.run(a, b, r);
  }
  Buf empty, r = patterned(2, 2, 14), spatial = inverse(4, 4);
  const Snapshot before(spatial), rBefore(r);
  expectError<Defs::Uninitialized>([&] { vfFrequencyConjugate(empty, r); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { vfFrequencyConjugate(empty); }, kBufferUninit);
  expectError<Defs::InvalidBuffer>([&] { vfFrequencyConjugate(spatial, r); }, kInverse);
  expectError<Defs::InvalidBuffer>([&] { vfFrequencyConjugate(spatial); }, kInverse);
  EXPECT_EQ(Snapshot(spatial), before);
  EXPECT_EQ(Snapshot(r), rBefore);
}
