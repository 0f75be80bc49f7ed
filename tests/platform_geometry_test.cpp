#include "platform/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

const double kPi = 3.141592653589793;
const double kTurn = 2 * kPi;

void expectMaps(const vxMatrix<2>& m, double x, double y, double ex, double ey) {
  const vxVector<2> r = m * vxVector<2>(x, y);
  EXPECT_EQ(r.x(), ex) << "(" << x << ", " << y << ")";
  EXPECT_EQ(r.y(), ey) << "(" << x << ", " << y << ")";
}

vx2XformLinear translation(double tx, double ty) {
  return vx2XformLinear(vxXform<2>(vxMatrix<2>(), vxVector<2>(tx, ty)));
}

vx2XformLinear scaling(double s) {
  return vx2XformLinear(vxXform<2>(vxMatrix<2>(s, 0, 0, s), vxVector<2>()));
}

}  // namespace

TEST(Matrix, AxisAnglesWithZeroAnglesAreExactScaling) {
  const vxMatrix<2> m(vxRadian(0), vxRadian(0), 3.0, -2.5);
  expectMaps(m, 1.5, 4.0, 4.5, -10.0);
  expectMaps(m, -7.25, 0.125, -21.75, -0.3125);
  EXPECT_EQ(m, vxMatrix<2>(3.0, 0.0, 0.0, -2.5));
}

TEST(Matrix, AxisAnglesTurnEachAxisOnItsOwn) {
  // x axis a quarter turn and doubled; y axis 30 degrees and scaled by 4.
  const vxMatrix<2> m(vxRadian(kPi / 2), vxRadian(kPi / 6), 2.0, 4.0);
  const vxVector<2> ex = m * vxVector<2>(1, 0), ey = m * vxVector<2>(0, 1);
  EXPECT_NEAR(ex.x(), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(ex.y(), 2.0);
  EXPECT_NEAR(ey.x(), -2.0, 1e-15);
  EXPECT_NEAR(ey.y(), 4.0 * std::sqrt(3.0) / 2, 1e-15);
}

TEST(Matrix, UnitScalesNoShearIsExactRotation) {
  for (double a : {0.0, 0.3, kPi / 2, 2.5, -1.1, 7.0}) {
    const vxMatrix<2> m(1.0, 1.0, vxRadian(0), vxRadian(a));
    const double c = std::cos(a), s = std::sin(a);
    for (auto p : {std::make_pair(1.0, 0.0), std::make_pair(0.0, 1.0), std::make_pair(-3.5, 2.25)}) {
      const double x = p.first, y = p.second;
      expectMaps(m, x, y, x * c - y * s, x * s + y * c);
    }
  }
}

TEST(Matrix, ShearTurnsOnlyTheYAxis) {
  const double rot = 0.4, shear = 0.7;
  const vxMatrix<2> m(2.0, 0.5, vxRadian(shear), vxRadian(rot));
  const vxVector<2> ex = m * vxVector<2>(1, 0);
  const vxVector<2> ey = m * vxVector<2>(0, 1);
  EXPECT_DOUBLE_EQ(ex.x(), 2.0 * std::cos(rot));
  EXPECT_DOUBLE_EQ(ex.y(), 2.0 * std::sin(rot));
  EXPECT_DOUBLE_EQ(ey.x(), -0.5 * std::sin(rot + shear));
  EXPECT_DOUBLE_EQ(ey.y(), 0.5 * std::cos(rot + shear));
}

TEST(Xform, CompositionAppliesRightOperandFirst) {
  const vx2XformLinear t = translation(1, -2), s = scaling(3);
  const vxVector<2> p(5, 7);
  // (t * s)(p) = t(s(p)) = 3p + (1, -2); (s * t)(p) = 3(p + (1, -2)).
  EXPECT_EQ((t * s).mapPoint(p), vxVector<2>(16, 19));
  EXPECT_EQ((s * t).mapPoint(p), vxVector<2>(18, 15));
  EXPECT_EQ((t * s).mapPoint(p), t.mapPoint(s.mapPoint(p)));
  EXPECT_EQ(t.linear(), t.xform());
}

TEST(XformCache, EmptyCacheIsIdentity) {
  vx2XformCache c;
  EXPECT_FALSE(c.hasXform);
  EXPECT_EQ(c.xform(), nullptr);
  EXPECT_EQ(c.linearXform(), vx2XformLinear());
  // Holding an identity transform is still different from holding none.
  vx2XformCache held;
  held.xform(vx2XformLinear());
  EXPECT_TRUE(held.hasXform);
  EXPECT_NE(held, c);
  held.setIdentity();
  EXPECT_FALSE(held.hasXform);
  EXPECT_EQ(held.xform(), nullptr);
  EXPECT_EQ(held, c);
}

TEST(XformCache, CopiesAreDeepAndIndependent) {
  vx2XformCache a;
  a.xform(translation(2, 3));
  vx2XformCache b(a);
  EXPECT_TRUE(b.hasXform);
  EXPECT_NE(b.xform(), a.xform());
  EXPECT_EQ(b, a);
  a.xform(scaling(4));
  EXPECT_EQ(b.linearXform(), translation(2, 3));
  EXPECT_NE(b, a);

  vx2XformCache c;
  c = b;
  b.setIdentity();
  EXPECT_EQ(c.linearXform(), translation(2, 3));
  const vx2XformCache& self = c;
  c = self;  // self-assignment keeps the transform
  EXPECT_EQ(c.linearXform(), translation(2, 3));
  c.xform(*c.xform());  // re-holding its own transform
  EXPECT_EQ(c.linearXform(), translation(2, 3));
  c = b;  // assigning an empty cache drops the transform
  EXPECT_FALSE(c.hasXform);

  vx2XformCache d(std::move(a));
  EXPECT_FALSE(a.hasXform);
  EXPECT_EQ(a.xform(), nullptr);
  EXPECT_EQ(d.linearXform(), scaling(4));
}

TEST(Radian, NormReducesToOneTurn) {
  EXPECT_NEAR(vxRadian(-kPi / 2).norm().value(), 3 * kPi / 2, 1e-15);
  EXPECT_NEAR(vxRadian(5 * kPi).norm().value(), kPi, 1e-14);
  EXPECT_NEAR(vxRadian(-7.5).norm().value(), -7.5 + 2 * kTurn, 1e-14);
  EXPECT_EQ(vxRadian(1.25).norm().value(), 1.25);
  // Exact multiples of a turn are the zero direction.
  for (int k : {-4, -2, -1, 1, 2, 8}) EXPECT_EQ(vxRadian(k * kTurn).norm().value(), 0.0) << k;
  // A tiny negative angle must not come back as a full turn.
  const double r = vxRadian(-1e-300).norm().value();
  EXPECT_GE(r, 0.0);
  EXPECT_LT(r, kTurn);
}
