// Frequency-domain arithmetic: element results against values worked out in double
// (one float operation is one double operation rounded to float), aliasing of result
// and operands, what the result takes from the first operand, and the check order.
#include "filters/test_support.h"

using namespace filter_test;

namespace {

using Buf = vxFrequencyBuffer;
using Op = void (*)(Buf& a, Buf& b, Buf& r);

float f32(double v) { return static_cast<float>(v); }

// Checks r = x op y element by element ('+', '-', '*' or '~' for the conjugate of x).
void expectOp(char op, const Buf& x, const Buf& y, const Buf& r) {
  ASSERT_EQ(r.width() * 10000 + r.height(), x.width() * 10000 + x.height());
  for (long k = 0; k < x.width() * x.height(); ++k) {
    const float *a = Access::data(x) + 2 * k, *b = Access::data(y) + 2 * k;
    float re = f32(double(a[0]) + b[0]), im = f32(double(a[1]) + b[1]);
    if (op == '-') re = f32(double(a[0]) - b[0]), im = f32(double(a[1]) - b[1]);
    if (op == '~') re = a[0], im = -a[1];
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
  Buf a0 = patterned(16, 8, 1), b0 = patterned(16, 8, 2);
  a0.put(1, 1, vxPair<double>(2.0, 0.0), false);  // a +0 imaginary part to conjugate
  struct Case {
    Op run;
    char op;
    bool swapped;  // expected: b0 op a0
    int written;   // 0: a, 1: b, 2: r
  } const cases[] = {
      {[](Buf& a, Buf& b, Buf& r) { vfFrequencyAdd(a, b, r); }, '+', false, 2},
      {[](Buf& a, Buf& b, Buf& r) { vfFrequencySubtract(a, b, r); }, '-', false, 2},
      {[](Buf& a, Buf& b, Buf& r) { vfFrequencyMultiply(b, a, r); }, '*', false, 2},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b); }, '+', false, 1},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b); }, '-', true, 1},  // b - a
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b); }, '*', false, 1},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b, a); }, '+', false, 0},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b, b); }, '-', false, 1},  // still a - b
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b, a); }, '*', false, 0},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b, b); }, '*', false, 1},
      {[](Buf& a, Buf&, Buf& r) { vfFrequencyConjugate(a, r); }, '~', false, 2},
      {[](Buf& a, Buf&, Buf&) { vfFrequencyConjugate(a); }, '~', false, 0},
      {[](Buf& a, Buf&, Buf&) { vfFrequencyConjugate(a, a); }, '~', false, 0},
      {[](Buf& a, Buf&, Buf&) { vfFrequencyAdd(a, a, a); }, '+', false,
       0},  // one buffer everywhere
      {[](Buf& a, Buf&, Buf&) { vfFrequencyMultiply(a, a); }, '*', false, 0},
      {[](Buf& a, Buf&, Buf&) { vfFrequencySubtract(a, a, a); }, '-', false, 0},
  };
  for (std::size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    const Case& c = cases[k];
    SCOPED_TRACE(k);
    Buf a = a0, b = b0, r;
    c.run(a, b, r);
    const Buf* written[] = {&a, &b, &r};
    const bool alone = k >= 13;
    expectOp(c.op, c.swapped ? b0 : a0, alone ? a0 : c.swapped ? a0 : b0, *written[c.written]);
    EXPECT_TRUE(c.written == 0 || Snapshot(a) == Snapshot(a0)) << "a changed";
    EXPECT_TRUE(c.written == 1 || Snapshot(b) == Snapshot(b0)) << "b changed";
  }
}

TEST(FrequencyArithmetic, ResultTakesTheFirstOperandsStateInPlaceFormsKeepTheirOwn) {
  Buf a = patterned(128, 64, 4), b = patterned(128, 64, 5);
  Access::setAndAllocate(a, 100, 60);  // same transform size: values kept
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(2.0, 0.0, 0.0, 3.0), vxVector<2>(1.0, 2.0))));
  Access::setPlacement(a, vxPair<long>(10, 20), xform);
  Access::setMask(a, 1, 5, 40);
  Access::setPlacement(b, vxPair<long>(-3, 4), vx2XformCache());
  for (Op run : {Op([](Buf&x, Buf&y, Buf&r) { vfFrequencyAdd(x, y, r); }),
                 Op([](Buf&x, Buf&y, Buf&r) { vfFrequencySubtract(x, y, r); }),
                 Op([](Buf&x, Buf&y, Buf&r) { vfFrequencyMultiply(x, y, r); }),
                 Op([](Buf&x, Buf&, Buf&r) { vfFrequencyConjugate(x, r); })}) {
    Buf r;
    run(a, b, r);
    EXPECT_EQ(Snapshot(r).state, Snapshot(a).state);
    EXPECT_TRUE(r.clientXform() == xform);
  }
  Buf c = b;
  vfFrequencyAdd(a, c), vfFrequencySubtract(a, c), vfFrequencyMultiply(a, c);
  EXPECT_TRUE(Snapshot(c).state == Snapshot(b).state && !c.clientXform().hasXform);
}

// Which error each function reports when several checks fail; a failure leaves every
// argument as it was, and the result buffer is never checked.
TEST(FrequencyArithmetic, CheckOrderPerFunction) {
  const wchar_t *add = L"Can only add equal-sized frequency buffers.",
                *sub = L"Can only subtract equal-sized frequency buffers.",
                *mul = L"Can only multiply equal-sized frequency buffers.";
  struct Form {
    Op run;
    const wchar_t* sizes;
    bool sizeBeforeInverse;
  } const forms[] = {
      {[](Buf& a, Buf& b, Buf& r) { vfFrequencyAdd(a, b, r); }, add, false},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyAdd(a, b); }, add, false},
      {[](Buf& a, Buf& b, Buf& r) { vfFrequencySubtract(a, b, r); }, sub, true},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencySubtract(a, b); }, sub, false},
      {[](Buf& a, Buf& b, Buf& r) { vfFrequencyMultiply(a, b, r); }, mul, false},
      {[](Buf& a, Buf& b, Buf&) { vfFrequencyMultiply(a, b); }, mul, true},
      {[](Buf& a, Buf&, Buf& r) { vfFrequencyConjugate(a, r); }, nullptr, false},
      {[](Buf& a, Buf&, Buf&) { vfFrequencyConjugate(a); }, nullptr, false},
  };
  auto inverse = [](long w, long h) {
    Buf b = patterned(w, h, 6);
    Access::setInverseComputed(b, true);
    return b;
  };
  enum Error { U, I, S };
  for (const Form& form : forms) {
    auto expectFailure = [&](Buf a, Buf b, Error e) {
      Buf r = patterned(2, 2, 7);
      const Snapshot sa(a), sb(b), sr(r);
      auto run = [&] { form.run(a, b, r); };
      if (e == U) expectError<Defs::Uninitialized>(run, kBufferUninit);
      if (e == I) expectError<Defs::InvalidBuffer>(run, kInverse);
      if (e == S) expectError<Defs::InvalidSize>(run, form.sizes);
      EXPECT_TRUE(Snapshot(a) == sa && Snapshot(b) == sb && Snapshot(r) == sr);
    };
    expectFailure(Buf(), inverse(8, 8), U);
    expectFailure(inverse(8, 8), Buf(), form.sizes ? U : I);
    if (form.sizes == nullptr) continue;
    expectFailure(inverse(64, 32), patterned(32, 64, 8), form.sizeBeforeInverse ? S : I);
    expectFailure(patterned(64, 32, 9), inverse(32, 64), form.sizeBeforeInverse ? S : I);
    expectFailure(patterned(64, 32, 9), patterned(64, 16, 10), S);
    expectFailure(patterned(8, 8, 11), inverse(8, 8), I);
    Buf a = patterned(8, 8, 12), b = patterned(8, 8, 13), r = inverse(4, 2);
    form.run(a, b, r);  // a result of another size or with its inverse computed is replaced
  }
}
