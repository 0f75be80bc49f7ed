// vxfreq: transforms of many pictures of one size in one call.
//
// Tiles cut from a larger picture, the frames of a video, the channels of a colour
// picture: each is transformed at its own size exactly as one call for it alone would
// (the same engines, the same bits), read where it lies and written where the caller
// wants it, without a buffer object or a copy per picture. Under a vxParallelScope the
// pictures are spread over the scope's executor, each on one thread, when there are
// enough of them to pay for it; a few large pictures are instead transformed one after
// the other with the engine's own threads.
//
//   // 2000 tiles of 256 x 256 float samples, one after the other in memory
//   vxStackLayout tiles(2000, 256, 256);
//   std::vector<std::complex<float>> spectra(2000 * 256 * 256);
//   vfForwardFFTStack(samples, tiles, spectra.data(), tiles);
//
//   // the three channels of an interleaved RGB picture, transformed into three planes
//   vxStackLayout rgb(3, width, height, 1, 3 * width, 3);  // channel, row, pixel strides
//   vxStackLayout planes(3, width, height);
//   vfForwardFFTStack(pixels, rgb, spectra.data(), planes);
//
// The transform size is the pictures' own: every side from 1 to 16384 in the extended
// mode, powers of two up to 2048 in the compatible mode (the sizing rules of
// extended.h do not apply: the caller sizes the memory). Spectra are in the layout of a
// vxFrequencyBuffer's values (zero frequency first, fftfreq's order), unscaled unless a
// `scale` is given, by which every value is then multiplied in float.
//
// Every call checks all its arguments before it writes anything: InvalidArgument for a
// negative count, a null pointer (unless the count is 0) and layouts that do not fit
// together, InvalidSize for sides the calling thread's mode cannot transform. The input
// and output must not overlap, except that the complex transform may write over its own
// input when both layouts are the same. An attention request (vsys_attention_check) is
// noticed inside each picture's transform; it throws, the pictures already written are
// kept and the others are left as they were or partly written.
#ifndef VXFREQ_FILT_STACK_H
#define VXFREQ_FILT_STACK_H

#include "platform/vx_export.h"

#include <complex>

// Where the values of a stack of pictures lie: value (x, y) of picture p at
// base[p * pictureStride + y * rowStride + x * pixelStride], strides counted in values
// (any sign; 0 repeats a value).
struct VX_API vxStackLayout {
  long count = 0;          // the number of pictures
  long width = 0;          // values per row
  long height = 0;         // rows per picture
  long pictureStride = 0;  // from one picture to the next
  long rowStride = 0;      // from one row to the next
  long pixelStride = 1;    // from one value to the next in a row

  // An empty layout (count 0).
  vxStackLayout() = default;
  // `count` pictures of width x height values, each right after the previous one, rows
  // without gaps: strides width * height, width and 1.
  vxStackLayout(long count, long width, long height);
  // Any strides.
  vxStackLayout(long count, long width, long height, long pictureStride, long rowStride,
                long pixelStride);
};

// The forward transforms of real pictures (T = unsigned char, unsigned short, float,
// double): picture p's spectrum, times `scale`, goes to picture p of `spectra`. The
// output layout has the input's count and height, and its width is the input's (the
// whole spectrum) or input width / 2 + 1 (columns 0 .. W/2, the half that determines
// the rest by conjugate symmetry). The values are those of vfForwardFFT for each
// picture alone.
template <class T>
VX_API void vfForwardFFTStack(const T* samples, const vxStackLayout& in,
                              std::complex<float>* spectra, const vxStackLayout& out,
                              float scale = 1.0f);

// The forward (`inverse` false) or unscaled inverse transforms of complex pictures
// (C = std::complex<float> or std::complex<double>, the latter rounded to float first),
// times `scale`: the output layout has the input's count, width and height. The values
// are those of vfForwardFFT / vfInverseFFT between frequency buffers for each picture.
template <class C>
VX_API void vfComplexFFTStack(const C* values, const vxStackLayout& in, std::complex<float>* out,
                              const vxStackLayout& outLayout, bool inverse, float scale = 1.0f);

// The real pictures (T = float or double) whose spectra are given, times `scale`: the
// inverse transform of each spectrum's conjugate-symmetric part. The output layout
// holds pictures of width W and the input's count and height; the input holds, for
// each, the whole W x H spectrum (input width W) or its columns 0 .. W/2 (input width
// W / 2 + 1), the others being the conjugates of their mirror images. With `scale` the
// float nearest 1 / (W H), the values are those vfInverseFFTReal gives from a buffer
// holding the whole spectrum.
template <class C, class T>
VX_API void vfInverseFFTRealStack(const C* spectra, const vxStackLayout& in, T* samples,
                                  const vxStackLayout& out, float scale);

#endif
