// The filter base.
#include "filt/freqfilt.h"

#include "filt/buffer/access.h"
#include "filt/filters/archive.h"

vxFrequencyFilter::vxFrequencyFilter() : initialized_(false) {}

vxFrequencyFilter::vxFrequencyFilter(const vxFrequencyFilter& other)
    : vxPersistent(), vxRepBase(), initialized_(other.initialized_) {}

vxFrequencyFilter::~vxFrequencyFilter() = default;

vxFrequencyFilter& vxFrequencyFilter::operator=(const vxFrequencyFilter& other) {
  initialized_ = other.initialized_;
  return *this;
}

bool vxFrequencyFilter::isInitialized() { return initialized_; }

float* vxFrequencyFilter::getFrequencyBufferData(vxFrequencyBuffer& buffer) {
  return vx_detail::FrequencyBufferAccess::data(buffer);
}

const float* vxFrequencyFilter::getFrequencyBufferData(const vxFrequencyBuffer& buffer) {
  return vx_detail::FrequencyBufferAccess::data(buffer);
}

void vxFrequencyFilter::maskFrequencyBuffer(vxFrequencyBuffer& buffer, bool masked, long miny,
                                            long maxy) {
  vx_detail::FrequencyBufferAccess::setMask(buffer, masked ? 1 : 0, miny, maxy);
}

void vxFrequencyFilter::setAndAllocateFrequencyBuffer(vxFrequencyBuffer& buffer, long width,
                                                      long height) {
  vx_detail::FrequencyBufferAccess::setAndAllocate(buffer, width, height);
}

void vxFrequencyFilter::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::checkFilterVersion(version);
  vxPersistent::dispatchSerialize(ar);
  ar || initialized_;
}

void vxFrequencyFilter::dispatchSerialize(vxArchive& ar) {
  vx_detail::dispatchClassLevel(ar, this, sizeof(vxFrequencyFilter), [&](unsigned char version) {
    vxFrequencyFilter::serialize_(ar, version);
  });
}
