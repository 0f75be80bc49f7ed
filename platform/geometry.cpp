#include "platform/geometry.h"

#include <cmath>
#include <utility>

// ---------------------------------------------------------------------------------
// vxMatrix<2>

vxMatrix<2>::vxMatrix(const vxRadian& xRot, const vxRadian& yRot, double sx, double sy)
    : m_{{sx * std::cos(xRot.value()), -(sy * std::sin(yRot.value()))},
         {sx * std::sin(xRot.value()), sy * std::cos(yRot.value())}} {}

vxMatrix<2>::vxMatrix(double sx, double sy, const vxRadian& shear, const vxRadian& rot)
    : vxMatrix(rot, vxRadian(rot.value() + shear.value()), sx, sy) {}

// ---------------------------------------------------------------------------------
// Client transforms

vx2XformBase::~vx2XformBase() = default;

vx2XformBase* vx2XformLinear::clone() const { return new vx2XformLinear(*this); }

// ---------------------------------------------------------------------------------
// vx2XformCache

vx2XformCache::vx2XformCache(const vx2XformCache& o)
    : hasXform(o.xform_ != nullptr), xform_(o.xform_ != nullptr ? o.xform_->clone() : nullptr) {}

vx2XformCache& vx2XformCache::operator=(const vx2XformCache& o) {
  if (this == &o) return *this;
  vx2XformBase* copy = o.xform_ != nullptr ? o.xform_->clone() : nullptr;
  delete xform_;
  xform_ = copy;
  hasXform = xform_ != nullptr;
  return *this;
}

vx2XformCache::vx2XformCache(vx2XformCache&& o) noexcept
    : hasXform(o.xform_ != nullptr), xform_(o.xform_) {
  o.xform_ = nullptr;
  o.hasXform = false;
}

vx2XformCache& vx2XformCache::operator=(vx2XformCache&& o) noexcept {
  if (this == &o) return *this;
  delete xform_;
  xform_ = o.xform_;
  hasXform = xform_ != nullptr;
  o.xform_ = nullptr;
  o.hasXform = false;
  return *this;
}

vx2XformCache::~vx2XformCache() { delete xform_; }

void vx2XformCache::setIdentity() {
  delete xform_;
  xform_ = nullptr;
  hasXform = false;
}

void vx2XformCache::xform(const vx2XformBase& x) {
  // Copy first: `x` may be the transform held now.
  vx2XformBase* copy = x.clone();
  delete xform_;
  xform_ = copy;
  hasXform = true;
}

vx2XformLinear vx2XformCache::linearXform() const {
  if (xform_ == nullptr) return vx2XformLinear();
  return vx2XformLinear(xform_->linear());
}

bool vx2XformCache::operator==(const vx2XformCache& o) const {
  return hasXform == o.hasXform && linearXform() == o.linearXform();
}
