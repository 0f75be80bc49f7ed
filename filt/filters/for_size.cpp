// A filter copied for another transform size: the band and Gabor types, from the
// library's list, rebuilt through their size setter; image filters copied at their
// own size only.
#include "filt/filter_types.h"
#include "filt/freqfilt.h"

#include "filt/common/messages.h"

#include <memory>
#include <typeinfo>

vxFrequencyFilter* vfFilterForSize(const vxFrequencyFilter& filter, const vxPair<long>& size) {
  std::unique_ptr<vxFrequencyFilter> copy;
  vxForEachFilterType([&](auto type) {
    using F = typename decltype(type)::Filter;
    // Only the class itself: a class derived from it is written elsewhere, and a copy
    // of its base would drop what it adds.
    if (typeid(filter) != typeid(F)) return;
    auto built = std::make_unique<F>(static_cast<const F&>(filter));
    built->size(size);
    copy = std::move(built);
  });
  if (copy) return copy.release();
  if (typeid(filter) == typeid(vxFrequencyFilterImage)) {
    const auto& image = static_cast<const vxFrequencyFilterImage&>(filter);
    if (image.supportWidth() == size.x && image.supportHeight() == size.y) return image.clone();
  }
  throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kFilterNotResizable);
}
