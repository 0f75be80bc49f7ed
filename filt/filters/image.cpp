// The image filter: a frequency buffer used as the transfer function.
#include "filt/freqfilt.h"

#include "filt/filters/detail.h"
#include "filt/common/messages.h"

namespace msg = vx_detail::msg;
using Core = vx_detail::FilterCore;

vxFrequencyFilterImage::vxFrequencyFilterImage() = default;

vxFrequencyFilterImage::vxFrequencyFilterImage(const vxFrequencyBuffer& image) { create(image); }

vxFrequencyFilterImage::vxFrequencyFilterImage(const vxFrequencyFilterImage& other)
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  initialized_ = other.initialized_;
  // The filter image starts empty and is then assigned, as buffers are assigned.
  // cppcheck-suppress useInitializationList
  image_ = other.image_;
}

vxFrequencyFilterImage::~vxFrequencyFilterImage() = default;

vxFrequencyFilterImage& vxFrequencyFilterImage::operator=(const vxFrequencyFilterImage& other) {
  initialized_ = other.initialized_;
  image_ = other.image_;
  return *this;
}

bool vxFrequencyFilterImage::operator==(const vxFrequencyFilterImage& other) const {
  return initialized_ == other.initialized_ && image_ == other.image_;
}

vxFrequencyFilter* vxFrequencyFilterImage::clone() const {
  return new vxFrequencyFilterImage(*this);
}

void vxFrequencyFilterImage::setImage(const vxFrequencyBuffer& image) { create(image); }

void vxFrequencyFilterImage::create(const vxFrequencyBuffer& image) {
  if (!image.isInitialized()) throw vxFrequencyDefs::Uninitialized(msg::kBufferUninitialized);
  Core::noticeMutation(*this);
  image_ = image;
  initialized_ = true;
}

long vxFrequencyFilterImage::supportWidth() const { return image_.width(); }

long vxFrequencyFilterImage::supportHeight() const { return image_.height(); }

void vxFrequencyFilterImage::apply(vxFrequencyBuffer& buffer) const {
  const bool built = image_.isInitialized();
  Core::checkApply(buffer, built, msg::kBufferUninitialized, built ? image_.width() : 0,
                   built ? image_.height() : 0);
  vfFrequencyMultiply(image_, buffer);
  Core::setMask(buffer, 0, 0, 0);
}

void vxFrequencyFilterImage::apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const {
  const bool built = image_.isInitialized();
  Core::checkApply(in, built, msg::kBufferUninitialized, built ? image_.width() : 0,
                   built ? image_.height() : 0);
  out = in;
  vfFrequencyMultiply(image_, out);
  Core::setMask(out, 0, 0, 0);
}

void vxFrequencyFilterImage::serialize_(vxArchive& ar, unsigned char version) {
  Core::checkVersion(version);
  if (ar.storing) {
    Core::serializeBaseLevel(*this, ar);
    ar || image_;
    return;
  }
  try {
    Core::serializeBaseLevel(*this, ar);
    ar || image_;
  } catch (...) {
    // Whatever was read, the filter holds no image it could apply.
    image_ = vxFrequencyBuffer();
    initialized_ = false;
    throw;
  }
}

void vxFrequencyFilterImage::dispatchSerialize(vxArchive& ar) { Core::dispatch(*this, ar); }

vxPersistent* vxFrequencyFilterImage::make() { return new vxFrequencyFilterImage(); }

vx_Instantiator vxFrequencyFilterImage::sExemplar(typeid(vxFrequencyFilterImage),
                                                  &vxFrequencyFilterImage::make);
