// vf_WrapCopy: a source and its three copies one period away, copied into a target
// where they overlap it in the shared frame.
#include "filt/fft.h"

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
    view.offset(at.x + shift[0], at.y + shift[1]);
    vfPelCopy(view, dst);
  }
}

template VX_API void vf_WrapCopy<unsigned char>(const vxPelBuffer_const<unsigned char>&,
                                                vxPelBuffer<unsigned char>&, bool);
template VX_API void vf_WrapCopy<unsigned short>(const vxPelBuffer_const<unsigned short>&,
                                                 vxPelBuffer<unsigned short>&, bool);
template VX_API void vf_WrapCopy<double>(const vxPelBuffer_const<double>&, vxPelBuffer<double>&,
                                         bool);
