// vf_WrapCopy: a source and its three copies one period away, copied into a target
// where they overlap it in the shared frame.
#include "filt/fft.h"

#include <cstdint>

template <class T>
void vf_WrapCopy(const vxPelBuffer_const<T>& src, vxPelBuffer<T>& dst, bool backwards) {
  vfThrowExceptionOnFailure(vsys_attention_check());
  const vxPair<long> at = src.offset();
  long pw = dst.width() > src.width() ? dst.width() : src.width();
  long ph = dst.height() > src.height() ? dst.height() : src.height();
  if (backwards) {
    pw = -pw;
    ph = -ph;
  }
  vxPelBuffer_const<T> view(src);
  const long shifts[4][2] = {{-pw, -ph}, {0, -ph}, {-pw, 0}, {0, 0}};
  for (const auto& shift : shifts) {
    // Positions are 32-bit in the frame. A copy shifted past its limits is left out:
    // it could only meet a target that itself reaches past the frame.
    const long x = at.x + shift[0];
    const long y = at.y + shift[1];
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) continue;
    view.offset(x, y);
    vfPelCopy(view, dst);
  }
}

template VX_API void vf_WrapCopy<unsigned char>(const vxPelBuffer_const<unsigned char>&,
                                                vxPelBuffer<unsigned char>&, bool);
template VX_API void vf_WrapCopy<unsigned short>(const vxPelBuffer_const<unsigned short>&,
                                                 vxPelBuffer<unsigned short>&, bool);
template VX_API void vf_WrapCopy<double>(const vxPelBuffer_const<double>&, vxPelBuffer<double>&,
                                         bool);
