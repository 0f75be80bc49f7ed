// Geometry of the core layer: pairs, angles, 2-vectors, 2x2 matrices, affine
// transforms and the client-transform cache that images and buffers carry.
#ifndef VXFREQ_PLATFORM_GEOMETRY_H
#define VXFREQ_PLATFORM_GEOMETRY_H

#include "platform/vx_export.h"

#include <cmath>

// Two values of one type: a size, a position or a parameter along x and y.
template <class T>
struct vxPair {
  // The two values: along the width (x) and along the height (y).
  T x{};
  T y{};
  // (0, 0), or (x_, y_).
  vxPair() = default;
  vxPair(T x_, T y_) : x(x_), y(y_) {}
  // Exact comparison of both values.
  bool operator==(const vxPair& o) const { return x == o.x && y == o.y; }
  bool operator!=(const vxPair& o) const { return !(*this == o); }
};

// An angle in radians.
class vxRadian {
public:
  vxRadian() = default;
  // The angle of `radians`, which value() and the conversion to double read back.
  explicit vxRadian(double radians) : value_(radians) {}
  double value() const { return value_; }
  operator double() const { return value_; }
  // The same direction reduced to one turn, [0, 2*pi).
  vxRadian norm() const {
    const double turn = 6.283185307179586;
    double r = std::fmod(value_, turn);
    if (r < 0) r += turn;
    if (r >= turn) r = 0;  // fmod of a tiny negative value can round up to a full turn
    return vxRadian(r);
  }
  // Exact comparison of the stored values (not of directions).
  bool operator==(const vxRadian& o) const { return value_ == o.value_; }
  bool operator!=(const vxRadian& o) const { return value_ != o.value_; }

private:
  double value_ = 0.0;
};

template <int N>
class vxVector;
template <int N>
class vxMatrix;
template <int N>
class vxXform;

// A 2-vector (x, y).
template <>
class vxVector<2> {
public:
  vxVector() = default;
  // The vector (x, y), which x(), y() and [0], [1] read (and [] writes).
  vxVector(double x, double y) : v_{x, y} {}
  double x() const { return v_[0]; }
  double y() const { return v_[1]; }
  double operator[](int i) const { return v_[i]; }
  double& operator[](int i) { return v_[i]; }
  // Exact comparison of both coordinates.
  bool operator==(const vxVector& o) const { return v_[0] == o.v_[0] && v_[1] == o.v_[1]; }

private:
  double v_[2] = {0.0, 0.0};
};

// A 2x2 matrix, element (r, c) at row r, column c; it maps (x, y) to
// (e00 x + e01 y, e10 x + e11 y).
template <>
class vxMatrix<2> {
public:
  // Identity.
  vxMatrix() = default;
  // The matrix of these elements.
  vxMatrix(double e00, double e01, double e10, double e11) : m_{{e00, e01}, {e10, e11}} {}
  // Axis angles and scales: the x axis of the image of the unit square is rotated by
  // xRot and scaled by sx, the y axis rotated by yRot and scaled by sy. With both
  // angles 0 this is the scaling (x, y) -> (sx x, sy y).
  VX_API vxMatrix(const vxRadian& xRot, const vxRadian& yRot, double sx, double sy);
  // Scales then rotation: the whole plane rotated by `rot` after scaling by (sx, sy),
  // with `shear` the extra angle of the y axis. With sx = sy = 1 and shear 0 this is
  // the rotation (x, y) -> (x cos a - y sin a, x sin a + y cos a).
  VX_API vxMatrix(double sx, double sy, const vxRadian& shear, const vxRadian& rot);

  // Element (r, c), read or written.
  double element(int r, int c) const { return m_[r][c]; }
  double& element(int r, int c) { return m_[r][c]; }
  // The matrix times `v`.
  vxVector<2> operator*(const vxVector<2>& v) const {
    return vxVector<2>(m_[0][0] * v.x() + m_[0][1] * v.y(), m_[1][0] * v.x() + m_[1][1] * v.y());
  }
  // The product of two matrices.
  vxMatrix operator*(const vxMatrix& o) const {
    return vxMatrix(m_[0][0] * o.m_[0][0] + m_[0][1] * o.m_[1][0],
                    m_[0][0] * o.m_[0][1] + m_[0][1] * o.m_[1][1],
                    m_[1][0] * o.m_[0][0] + m_[1][1] * o.m_[1][0],
                    m_[1][0] * o.m_[0][1] + m_[1][1] * o.m_[1][1]);
  }
  // Exact comparison of the elements.
  bool operator==(const vxMatrix& o) const {
    return m_[0][0] == o.m_[0][0] && m_[0][1] == o.m_[0][1] && m_[1][0] == o.m_[1][0] &&
           m_[1][1] == o.m_[1][1];
  }
  // The negation of operator==.
  bool operator!=(const vxMatrix& o) const { return !(*this == o); }

private:
  double m_[2][2] = {{1.0, 0.0}, {0.0, 1.0}};
};

// Affine transform: p -> matrix * p + translation.
template <>
class vxXform<2> {
public:
  vxXform() = default;
  // The transform p -> m p + t, whose parts matrix() and trans() read and change.
  vxXform(const vxMatrix<2>& m, const vxVector<2>& t) : matrix_(m), trans_(t) {}
  const vxMatrix<2>& matrix() const { return matrix_; }
  const vxVector<2>& trans() const { return trans_; }
  void matrix(const vxMatrix<2>& m) { matrix_ = m; }
  void trans(const vxVector<2>& t) { trans_ = t; }
  // The image of `v`.
  vxVector<2> operator*(const vxVector<2>& v) const {
    vxVector<2> r = matrix_ * v;
    return vxVector<2>(r.x() + trans_.x(), r.y() + trans_.y());
  }
  // Composition: (a * b)(p) = a(b(p)).
  vxXform operator*(const vxXform& b) const {
    vxVector<2> t = matrix_ * b.trans_;
    return vxXform(matrix_ * b.matrix_, vxVector<2>(t.x() + trans_.x(), t.y() + trans_.y()));
  }
  // Exact comparison of matrix and translation.
  bool operator==(const vxXform& o) const { return matrix_ == o.matrix_ && trans_ == o.trans_; }
  bool operator!=(const vxXform& o) const { return !(*this == o); }

private:
  vxMatrix<2> matrix_;
  vxVector<2> trans_;
};

// Base of the 2-D transforms a client transform can hold.
class VX_API vx2XformBase {
public:
  virtual ~vx2XformBase();
  // A new heap copy of the transform; the caller owns it.
  virtual vx2XformBase* clone() const = 0;
  // The image of point `p`.
  virtual vxVector<2> mapPoint(const vxVector<2>& p) const = 0;
  // The linear (affine) approximation of the transform.
  virtual vxXform<2> linear() const = 0;
};

// An affine client transform.
class VX_API vx2XformLinear : public vx2XformBase {
public:
  vx2XformLinear() = default;
  // The affine transform `x`.
  explicit vx2XformLinear(const vxXform<2>& x) : xform_(x) {}
  // The operations of vx2XformBase for an affine transform, which xform() reads.
  vx2XformBase* clone() const override;
  vxVector<2> mapPoint(const vxVector<2>& p) const override { return xform_ * p; }
  vxXform<2> linear() const override { return xform_; }
  // The affine transform held.
  const vxXform<2>& xform() const { return xform_; }
  // Composition: (a * b) maps p to a(b(p)).
  vx2XformLinear operator*(const vx2XformLinear& b) const {
    return vx2XformLinear(xform_ * b.xform_);
  }
  // Exact comparison of the transforms.
  bool operator==(const vx2XformLinear& o) const { return xform_ == o.xform_; }

private:
  vxXform<2> xform_;
};

// Holds an image's client transform, or none. `hasXform` tells whether a transform
// is held; without one the transform is the identity.
class VX_API vx2XformCache {
public:
  vx2XformCache() = default;
  vx2XformCache(const vx2XformCache& o);
  vx2XformCache& operator=(const vx2XformCache& o);
  // Moving hands the held transform over; the source is left without one.
  vx2XformCache(vx2XformCache&& o) noexcept;
  vx2XformCache& operator=(vx2XformCache&& o) noexcept;
  ~vx2XformCache();

  // Drops any held transform: the identity.
  void setIdentity();
  // Holds a copy of `x`.
  void xform(const vx2XformBase& x);
  // The held transform's linear form (the identity when none is held).
  vx2XformLinear linearXform() const;
  // The held transform, or null.
  const vx2XformBase* xform() const { return xform_; }

  // Whether both hold a transform or neither does, with equal linear forms.
  bool operator==(const vx2XformCache& o) const;
  bool operator!=(const vx2XformCache& o) const { return !(*this == o); }

  // Whether a transform is held; read directly by clients.
  bool hasXform = false;

private:
  vx2XformBase* xform_ = nullptr;
};

#endif
