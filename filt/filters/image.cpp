// The image filter: a frequency buffer used as the transfer function.
#include "filt/freqfilt.h"

#include "filt/buffer/access.h"
#include "filt/common/messages.h"
#include "filt/filters/archive.h"
#include "filt/filters/checks.h"

#include <utility>

namespace msg = vx_detail::msg;

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

vxFrequencyFilterImage::vxFrequencyFilterImage(vxFrequencyFilterImage&& other) noexcept
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = std::move(other);
}

vxFrequencyFilterImage& vxFrequencyFilterImage::operator=(vxFrequencyFilterImage&& other) noexcept {
  if (this == &other) return *this;
  // An unbuilt filter moves as it is assigned; a built one is left as a new filter.
  const bool built = other.image_.isInitialized();
  initialized_ = other.initialized_;
  image_ = std::move(other.image_);
  if (built) other.initialized_ = false;
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
  if (mutationFlag()) mutating_();
  image_ = image;
  initialized_ = true;
}

long vxFrequencyFilterImage::supportWidth() const { return image_.width(); }

long vxFrequencyFilterImage::supportHeight() const { return image_.height(); }

void vxFrequencyFilterImage::apply(vxFrequencyBuffer& buffer) const {
  const bool built = image_.isInitialized();
  vx_detail::checkApply(buffer, built, msg::kBufferUninitialized, built ? image_.width() : 0,
                        built ? image_.height() : 0);
  vfFrequencyMultiply(image_, buffer);
  vx_detail::FrequencyBufferAccess::setMask(buffer, 0, 0, 0);
}

void vxFrequencyFilterImage::apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const {
  const bool built = image_.isInitialized();
  vx_detail::checkApply(in, built, msg::kBufferUninitialized, built ? image_.width() : 0,
                        built ? image_.height() : 0);
  out = in;
  vfFrequencyMultiply(image_, out);
  vx_detail::FrequencyBufferAccess::setMask(out, 0, 0, 0);
}

void vxFrequencyFilterImage::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::checkFilterVersion(version);
  vx_detail::loadGuarded(
      ar,
      [&] {
        vx_detail::serializeBaseLevel(
            ar, *this, [&](unsigned char v) { vxFrequencyFilter::serialize_(ar, v); });
        ar || image_;
      },
      [&] {
        // Whatever was read, the filter holds no image it could apply.
        image_ = vxFrequencyBuffer();
        initialized_ = false;
      });
}

void vxFrequencyFilterImage::dispatchSerialize(vxArchive& ar) {
  vx_detail::dispatchClassLevel(
      ar, this, sizeof(vxFrequencyFilterImage),
      [&](unsigned char version) { vxFrequencyFilterImage::serialize_(ar, version); });
}

vxPersistent* vxFrequencyFilterImage::make() { return new vxFrequencyFilterImage(); }

vx_Instantiator vxFrequencyFilterImage::sExemplar(typeid(vxFrequencyFilterImage),
                                                  &vxFrequencyFilterImage::make);
