// Matrices built from scales and angles, transform composition, the transform cache
// and angle reduction, against hand-computed values.
#include "platform/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

const double kPi = 3.141592653589793;

vx2XformLinear affine(double a, double b, double c, double d, double tx, double ty) {
  return vx2XformLinear(vxXform<2>(vxMatrix<2>(a, b, c, d), vxVector<2>(tx, ty)));
}

}  // namespace

TEST(Matrix, ScalesAndAngles) {
  // Zero angles: exact scaling.
  EXPECT_EQ(vxMatrix<2>(vxRadian(0), vxRadian(0), 3.0, -2.5), vxMatrix<2>(3.0, 0.0, 0.0, -2.5));
  // Axis angles turn each axis on its own: x a quarter turn and doubled, y 30 degrees times 4.
  const vxMatrix<2> m(vxRadian(kPi / 2), vxRadian(kPi / 6), 2.0, 4.0);
  const vxVector<2> ex = m * vxVector<2>(1, 0), ey = m * vxVector<2>(0, 1);
  EXPECT_NEAR(ex.x(), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(ex.y(), 2.0);
  EXPECT_NEAR(ey.x(), -2.0, 1e-15);
  EXPECT_NEAR(ey.y(), 2.0 * std::sqrt(3.0), 1e-15);
  // Scales, shear and rotation: the shear turns only the y axis.
  const vxMatrix<2> s(2.0, 0.5, vxRadian(0.7), vxRadian(0.4));
  const vxVector<2> sx = s * vxVector<2>(1, 0), sy = s * vxVector<2>(0, 1);
  EXPECT_DOUBLE_EQ(sx.x(), 2.0 * std::cos(0.4));
  EXPECT_DOUBLE_EQ(sx.y(), 2.0 * std::sin(0.4));
  EXPECT_DOUBLE_EQ(sy.x(), -0.5 * std::sin(1.1));
  EXPECT_DOUBLE_EQ(sy.y(), 0.5 * std::cos(1.1));
  // Products: rows times columns.
  EXPECT_EQ(vxMatrix<2>(1, 2, 3, 4) * vxMatrix<2>(5, 6, 7, 8), vxMatrix<2>(19, 22, 43, 50));
}

TEST(Xform, CompositionAppliesTheRightOperandFirst) {
  const vx2XformLinear t = affine(1, 0, 0, 1, 1, -2), s = affine(3, 0, 0, 3, 0, 0);
  const vxVector<2> p(5, 7);
  EXPECT_EQ((t * s).mapPoint(p), vxVector<2>(16, 19));  // 3p + (1, -2)
  EXPECT_EQ((s * t).mapPoint(p), vxVector<2>(18, 15));  // 3(p + (1, -2))
  const vx2XformLinear a = affine(1, 2, 3, 4, 5, 6), b = affine(0, 1, -1, 2, 1, 1);
  EXPECT_EQ((a * b).mapPoint(p), a.mapPoint(b.mapPoint(p)));
  EXPECT_EQ(t.linear(), t.xform());
}

TEST(XformCache, EmptyHeldCopiedAndAssigned) {
  vx2XformCache none, held;
  EXPECT_TRUE(!none.hasXform && none.xform() == nullptr && none.linearXform() == vx2XformLinear());
  held.xform(vx2XformLinear());  // an identity held differs from none
  EXPECT_TRUE(held.hasXform && held != none && !(held == none));
  held.setIdentity();
  EXPECT_TRUE(held.xform() == nullptr && held == none);
  vx2XformCache a, c, e;
  a.xform(affine(1, 0, 0, 1, 2, 3));
  vx2XformCache b(a);
  EXPECT_TRUE(b.xform() != a.xform() && b == a);  // deep
  a.xform(affine(4, 0, 0, 4, 0, 0));
  EXPECT_TRUE(b.linearXform() == affine(1, 0, 0, 1, 2, 3) && b != a);
  c = b;
  const vx2XformCache& self = c;
  c = self;
  c.xform(*c.xform());  // re-holding its own transform
  b.setIdentity();
  EXPECT_EQ(c.linearXform(), affine(1, 0, 0, 1, 2, 3));
  c = b;  // an empty cache drops the transform
  EXPECT_FALSE(c.hasXform);
  vx2XformCache d(std::move(a));
  e = std::move(d);  // moves take the transform and leave none behind
  EXPECT_TRUE(a.xform() == nullptr && d.xform() == nullptr &&
              e.linearXform() == affine(4, 0, 0, 4, 0, 0));
}

TEST(Radian, NormReducesToOneTurn) {
  EXPECT_NEAR(vxRadian(-kPi / 2).norm().value(), 3 * kPi / 2, 1e-15);
  EXPECT_NEAR(vxRadian(5 * kPi).norm().value(), kPi, 1e-14);
  EXPECT_EQ(vxRadian(1.25).norm().value(), 1.25);
  for (int k : {-4, -1, 1, 8}) EXPECT_EQ(vxRadian(k * 2 * kPi).norm().value(), 0.0) << k;
  EXPECT_LT(vxRadian(-1e-300).norm().value(), 2 * kPi);  // not a full turn
}
