// Frequency-domain arithmetic: element results against values worked out in double
// (each single-precision operation is one double operation rounded to float, which
// gives the float result exactly), aliasing of result and operands, what the result
// takes from the first operand, and the order of the checks.
#include "filter_test_support.h"

#include <cmath>
#include <functional>

using namespace filter_test;

namespace {

float f32(double v) { return static_cast<float>(v); }

// The products and sums in float, worked out as rounded double operations.
float mulRe(float ar, float ai, float br, float bi) {
  return f32(static_cast<double>(f32(static_cast<double>(ar) * br)) -
             static_cast<double>(f32(static_cast<double>(ai) * bi)));
}
float mulIm(float ar, float ai, float br, float bi) {
  return f32(static_cast<double>(f32(static_cast<double>(ar) * bi)) +
             static_cast<double>(f32(static_cast<double>(ai) * br)));
}

vxFrequencyBuffer patterned(long w, long h, std::uint32_t seed) {
  vxFrequencyBuffer b(w, h);
  fillPattern(b, seed);
  return b;
}

enum class Op { Add, Subtract, Multiply };

// The expected element k of `a op b` (subtraction: a - b).
void expected(Op op, const vxFrequencyBuffer& a, const vxFrequencyBuffer& b, std::size_t k,
              float& re, float& im) {
  const float* x = Access::data(a) + 2 * k;
  const float* y = Access::data(b) + 2 * k;
  switch (op) {
    case Op::Add:
      re = f32(static_cast<double>(x[0]) + y[0]);
      im = f32(static_cast<double>(x[1]) + y[1]);
      break;
    case Op::Subtract:
      re = f32(static_cast<double>(x[0]) - y[0]);
      im = f32(static_cast<double>(x[1]) - y[1]);
      break;
    case Op::Multiply:
      re = mulRe(x[0], x[1], y[0], y[1]);
      im = mulIm(x[0], x[1], y[0], y[1]);
      break;
  }
}

void expectResult(Op op, const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                  const vxFrequencyBuffer& result) {
  ASSERT_TRUE(result.isInitialized());
  ASSERT_EQ(result.width(), a.width());
  ASSERT_EQ(result.height(), a.height());
  const std::size_t n = static_cast<std::size_t>(a.width()) * a.height();
  for (std::size_t k = 0; k < n; ++k) {
    float re = 0, im = 0;
    expected(op, a, b, k, re, im);
    const float* r = Access::data(result) + 2 * k;
    ASSERT_EQ(bits(r[0]), bits(re)) << "element " << k;
    ASSERT_EQ(bits(r[1]), bits(im)) << "element " << k;
  }
}

}  // namespace

TEST(FrequencyArithmetic, ResultFormsMatchSinglePrecisionElementOperations) {
  const vxFrequencyBuffer a = patterned(16, 8, 1);
  const vxFrequencyBuffer b = patterned(16, 8, 2);
  vxFrequencyBuffer r;
  vfFrequencyAdd(a, b, r);
  expectResult(Op::Add, a, b, r);
  vfFrequencySubtract(a, b, r);
  expectResult(Op::Subtract, a, b, r);
  vfFrequencyMultiply(a, b, r);
  expectResult(Op::Multiply, a, b, r);
  // a x b and b x a give the same bits.
  vxFrequencyBuffer swapped;
  vfFrequencyMultiply(b, a, swapped);
  expectResult(Op::Multiply, a, b, swapped);
}

TEST(FrequencyArithmetic, InPlaceFormsAccumulateIntoTheirLastArgument) {
  const vxFrequencyBuffer a = patterned(8, 4, 3);
  const vxFrequencyBuffer b0 = patterned(8, 4, 4);

  vxFrequencyBuffer b = b0;
  vfFrequencyAdd(a, b);
  expectResult(Op::Add, a, b0, b);

  // The first argument is subtracted from the second: b - a.
  b = b0;
  vfFrequencySubtract(a, b);
  expectResult(Op::Subtract, b0, a, b);

  b = b0;
  vfFrequencyMultiply(a, b);
  expectResult(Op::Multiply, a, b0, b);
}

TEST(FrequencyArithmetic, ResultMayBeEitherOperand) {
  const vxFrequencyBuffer a0 = patterned(8, 8, 5);
  const vxFrequencyBuffer b0 = patterned(8, 8, 6);
  struct Case {
    const char* name;
    Op op;
    std::function<void(vxFrequencyBuffer&, vxFrequencyBuffer&)> run;  // writes into a or b
    bool intoB;
  };
  const Case cases[] = {
      {"add into a", Op::Add, [](vxFrequencyBuffer& a, vxFrequencyBuffer& b) { vfFrequencyAdd(a, b, a); }, false},
      {"add into b", Op::Add, [](vxFrequencyBuffer& a, vxFrequencyBuffer& b) { vfFrequencyAdd(a, b, b); }, true},
      {"subtract into a", Op::Subtract,
       [](vxFrequencyBuffer& a, vxFrequencyBuffer& b) { vfFrequencySubtract(a, b, a); }, false},
      // Subtraction into its own second operand still gives a - b.
      {"subtract into b", Op::Subtract,
       [](vxFrequencyBuffer& a, vxFrequencyBuffer& b) { vfFrequencySubtract(a, b, b); }, true},
      {"multiply into a", Op::Multiply,
       [](vxFrequencyBuffer& a, vxFrequencyBuffer& b) { vfFrequencyMultiply(a, b, a); }, false},
      {"multiply into b", Op::Multiply,
       [](vxFrequencyBuffer& a, vxFrequencyBuffer& b) { vfFrequencyMultiply(a, b, b); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vxFrequencyBuffer a = a0;
    vxFrequencyBuffer b = b0;
    c.run(a, b);
    expectResult(c.op, a0, b0, c.intoB ? b : a);
    EXPECT_TRUE(c.intoB ? a == a0 : b == b0) << "the other operand changed";
  }
}

TEST(FrequencyArithmetic, AllThreeArgumentsOneBuffer) {
  const vxFrequencyBuffer a0 = patterned(8, 2, 7);
  vxFrequencyBuffer a = a0;
  vfFrequencyAdd(a, a, a);
  expectResult(Op::Add, a0, a0, a);
  a = a0;
  vfFrequencyMultiply(a, a, a);
  expectResult(Op::Multiply, a0, a0, a);
  a = a0;
  vfFrequencySubtract(a, a, a);
  for (std::size_t i = 0; i < 2u * 8 * 2; ++i) ASSERT_EQ(Access::data(a)[i], 0.0f);
  // In-place forms with both arguments the same buffer.
  a = a0;
  vfFrequencyMultiply(a, a);
  expectResult(Op::Multiply, a0, a0, a);
  a = a0;
  vfFrequencySubtract(a, a);
  for (std::size_t i = 0; i < 2u * 8 * 2; ++i) ASSERT_EQ(Access::data(a)[i], 0.0f);
}

TEST(FrequencyArithmetic, MultiplicationByUnitsAndByI) {
  const vxFrequencyBuffer a = patterned(4, 4, 8);
  vxFrequencyBuffer one(4, 4);
  vxFrequencyBuffer i(4, 4);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 4; ++x) {
      one.put(x, y, vxPair<double>(1.0, 0.0), false);
      i.put(x, y, vxPair<double>(0.0, 1.0), false);
    }
  vxFrequencyBuffer r;
  vfFrequencyMultiply(a, one, r);
  for (std::size_t k = 0; k < 32; ++k) ASSERT_EQ(Access::data(r)[k], Access::data(a)[k]);
  vfFrequencyMultiply(i, i, r);
  EXPECT_EQ(r.get(2, 3, false), vxPair<double>(-1.0, 0.0));
}

TEST(FrequencyArithmetic, ConjugationFlipsTheSignBitOfImaginaryParts) {
  vxFrequencyBuffer a = patterned(8, 4, 9);
  a.put(1, 1, vxPair<double>(2.0, 0.0), false);  // +0 imaginary part
  const vxFrequencyBuffer a0 = a;
  vxFrequencyBuffer r;
  vfFrequencyConjugate(a, r);
  EXPECT_TRUE(std::signbit(element(r, 1, 1)[1]));
  for (std::size_t k = 0; k < 32; ++k) {
    ASSERT_EQ(bits(Access::data(r)[2 * k]), bits(Access::data(a0)[2 * k]));
    ASSERT_EQ(bits(Access::data(r)[2 * k + 1]), bits(Access::data(a0)[2 * k + 1]) ^ 0x80000000u);
  }
  EXPECT_TRUE(a == a0);

  // In place, twice: every bit restored.
  vfFrequencyConjugate(a);
  vfFrequencyConjugate(a, a);
  EXPECT_EQ(Snapshot(a), Snapshot(a0));
}

TEST(FrequencyArithmetic, ResultTakesFirstOperandsStateInPlaceFormsKeepTheirOwn) {
  vxFrequencyBuffer a(100, 60);
  fillPattern(a, 10);
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(2.0, 0.0, 0.0, 3.0), vxVector<2>(1.0, 2.0))));
  Access::setPlacement(a, vxPair<long>(10, 20), xform);
  Access::setMask(a, 1, 5, 40);
  vxFrequencyBuffer b(128, 64);
  fillPattern(b, 11);
  Access::setPlacement(b, vxPair<long>(-3, 4), vx2XformCache());

  for (int op = 0; op < 4; ++op) {
    SCOPED_TRACE(op);
    vxFrequencyBuffer r;
    if (op == 0) vfFrequencyAdd(a, b, r);
    if (op == 1) vfFrequencySubtract(a, b, r);
    if (op == 2) vfFrequencyMultiply(a, b, r);
    if (op == 3) vfFrequencyConjugate(a, r);
    EXPECT_EQ(r.width(), 128);
    EXPECT_EQ(r.height(), 64);
    EXPECT_EQ(r.imageWidth(), 100);
    EXPECT_EQ(r.imageHeight(), 60);
    EXPECT_EQ(r.imageOffset(), vxPair<long>(10, 20));
    EXPECT_TRUE(r.clientXform() == xform);
    EXPECT_EQ(Access::masked(r), 1);
    EXPECT_EQ(Access::maskedMiny(r), 5);
    EXPECT_EQ(Access::maskedMaxy(r), 40);
  }

  // The in-place forms change values only.
  vxFrequencyBuffer c = b;
  vfFrequencyAdd(a, c);
  vfFrequencySubtract(a, c);
  vfFrequencyMultiply(a, c);
  EXPECT_EQ(c.imageWidth(), 128);
  EXPECT_EQ(c.imageOffset(), vxPair<long>(-3, 4));
  EXPECT_FALSE(c.clientXform().hasXform);
  EXPECT_EQ(Access::masked(c), 0);
}

TEST(FrequencyArithmetic, ResultBufferIsNotChecked) {
  const vxFrequencyBuffer a = patterned(8, 8, 12);
  const vxFrequencyBuffer b = patterned(8, 8, 13);
  vxFrequencyBuffer inverse = patterned(4, 2, 14);
  Access::setInverseComputed(inverse, true);
  vfFrequencyMultiply(a, b, inverse);
  expectResult(Op::Multiply, a, b, inverse);
  EXPECT_FALSE(inverse.inverseComputed());
  vxFrequencyBuffer other = patterned(2, 2, 15);
  vfFrequencySubtract(a, b, other);
  expectResult(Op::Subtract, a, b, other);
}

// Which error each function reports when several checks fail, and that a failure
// leaves every argument as it was.
TEST(FrequencyArithmetic, CheckOrderPerFunction) {
  const wchar_t* const add = L"Can only add equal-sized frequency buffers.";
  const wchar_t* const sub = L"Can only subtract equal-sized frequency buffers.";
  const wchar_t* const mul = L"Can only multiply equal-sized frequency buffers.";

  using Fn = std::function<void(vxFrequencyBuffer&, vxFrequencyBuffer&, vxFrequencyBuffer&)>;
  struct Form {
    const char* name;
    Fn run;                // (a, b, result)
    const wchar_t* sizes;  // its size message
    bool sizeBeforeInverse;
  };
  const Form forms[] = {
      {"add", [](auto& a, auto& b, auto& r) { vfFrequencyAdd(a, b, r); }, add, false},
      {"add in place", [](auto& a, auto& b, auto&) { vfFrequencyAdd(a, b); }, add, false},
      {"subtract", [](auto& a, auto& b, auto& r) { vfFrequencySubtract(a, b, r); }, sub, true},
      {"subtract in place", [](auto& a, auto& b, auto&) { vfFrequencySubtract(a, b); }, sub, false},
      {"multiply", [](auto& a, auto& b, auto& r) { vfFrequencyMultiply(a, b, r); }, mul, false},
      {"multiply in place", [](auto& a, auto& b, auto&) { vfFrequencyMultiply(a, b); }, mul, true},
  };

  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    auto expectUnchanged = [&](vxFrequencyBuffer& a, vxFrequencyBuffer& b, auto check) {
      vxFrequencyBuffer r = patterned(2, 2, 99);
      const Snapshot sa(a), sb(b), sr(r);
      check([&] { form.run(a, b, r); });
      EXPECT_EQ(Snapshot(a), sa);
      EXPECT_EQ(Snapshot(b), sb);
      EXPECT_EQ(Snapshot(r), sr);
    };
    for (int which = 0; which < 2; ++which) {
      // One operand without data, the other with its inverse computed: always U.
      vxFrequencyBuffer empty;
      vxFrequencyBuffer inverse = patterned(8, 8, 20);
      Access::setInverseComputed(inverse, true);
      vxFrequencyBuffer& a = which == 0 ? empty : inverse;
      vxFrequencyBuffer& b = which == 0 ? inverse : empty;
      expectUnchanged(a, b, [&](auto run) { expectError<Defs::Uninitialized>(run, kBufferUninit); });

      // Different sizes and one operand's inverse computed.
      vxFrequencyBuffer big = patterned(64, 32, 21);
      vxFrequencyBuffer small = patterned(32, 64, 22);
      Access::setInverseComputed(which == 0 ? big : small, true);
      expectUnchanged(big, small, [&](auto run) {
        if (form.sizeBeforeInverse) {
          expectError<Defs::InvalidSize>(run, form.sizes);
        } else {
          expectError<Defs::InvalidBuffer>(run, kInverse);
        }
      });
    }
    // Sizes alone: 64 x 32 against 32 x 64, and a height difference only.
    vxFrequencyBuffer wide = patterned(64, 32, 23);
    vxFrequencyBuffer tall = patterned(32, 64, 24);
    expectUnchanged(wide, tall, [&](auto run) { expectError<Defs::InvalidSize>(run, form.sizes); });
    vxFrequencyBuffer low = patterned(64, 16, 25);
    expectUnchanged(wide, low, [&](auto run) { expectError<Defs::InvalidSize>(run, form.sizes); });
    // The inverse-computed state of either operand alone.
    for (int which = 0; which < 2; ++which) {
      vxFrequencyBuffer a = patterned(8, 8, 26);
      vxFrequencyBuffer b = patterned(8, 8, 27);
      Access::setInverseComputed(which == 0 ? a : b, true);
      expectUnchanged(a, b, [&](auto run) { expectError<Defs::InvalidBuffer>(run, kInverse); });
    }
  }

  // Conjugation: U before I.
  vxFrequencyBuffer empty;
  vxFrequencyBuffer r = patterned(2, 2, 28);
  expectError<Defs::Uninitialized>([&] { vfFrequencyConjugate(empty, r); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { vfFrequencyConjugate(empty); }, kBufferUninit);
  vxFrequencyBuffer inverse = patterned(4, 4, 29);
  Access::setInverseComputed(inverse, true);
  const Snapshot before(inverse), rBefore(r);
  expectError<Defs::InvalidBuffer>([&] { vfFrequencyConjugate(inverse, r); }, kInverse);
  expectError<Defs::InvalidBuffer>([&] { vfFrequencyConjugate(inverse); }, kInverse);
  EXPECT_EQ(Snapshot(inverse), before);
  EXPECT_EQ(Snapshot(r), rBefore);
}
