// vxfreq: filtering a picture in one call, with its periodic patterns continued into the
// padding, so that a filter removes (or keeps) them right up to the border.
//
// Why. A filter that removes a periodic pattern (a screen, a weave, mains hum in a
// line-scan picture) estimates the pattern over a neighbourhood of about 1 / (2 pi
// sigma) pixels. Near the border that neighbourhood reaches into the padding, and none
// of the paddings of filt/padding.h continues the pattern: zeros, the mean and repeated
// border pixels hold none of it, and a mirror reverses it with a kink at the edge. A
// narrow band-reject therefore leaves the pattern along the border, 1.1 to 5.5 times
// the error of the interior on photographs.
//
// vxPadding::Continue continues the patterns the filters act on. It looks, in the band
// the filters remove (reject filters) or keep (pass filters), for up to four strong
// spectral peaks that stand out of their surroundings (8 times the median magnitude
// around them, at least 4 periods across the picture), measures each one's frequency to
// a small fraction of a bin, and fits its amplitude and phase over the picture: one
// constant amplitude for a steady pattern, a smoothly varying one (normalized
// convolution of the demodulated picture, Gaussian of 32 pixels) for a pattern whose
// strength changes. The padding then holds the picture's border pixels repeated
// outwards with the pattern subtracted, plus the pattern continued, the forward half
// and the backward half of the margin each continuing its own edge of the picture. The
// picture's own pixels are never changed. Where no peak stands out, the padding is
// exactly vxPadding::Edge.
//
// Measured on scikit-image's photographs with added patterns of 0.03 to 0.2 cycles per
// pixel at several angles, removed by band-reject filters with sigma 0.004 to 0.02: the
// error in a 16-pixel border strip is at most 1.05 times the interior's (the other
// paddings: up to 7.3 times), and within 8 % of the best of them where it does not
// beat them (filters so wide that they take part of the picture's mean away). The
// table is in README.md. It costs about 4 transforms of the padded size more than the
// plain filtering: one to find the peaks, two for the smoothing of the normalized
// convolution and two per peak found.
#ifndef VXFREQ_FILT_FILTERING_H
#define VXFREQ_FILT_FILTERING_H

#include "filt/freqfilt.h"
#include "filt/padding.h"

#include <vector>

// The forward transform of `image` (T = unsigned char, unsigned short, double) padded as
// `options` say, into `result`, as vfForwardFFTPadded does; with vxPadding::Continue the
// padding continues the periodic patterns in the band of `filters` (see the file's
// description). `filters` are the filters the caller will apply, in order, built for the
// padded transform size (vfPaddedTransformSize); the other paddings do not read them.
// Throws what vfForwardFFTPadded throws; with Continue also InvalidArgument "A filter is
// needed to continue the picture's patterns." for an empty list, the errors of the
// filters' apply (an unbuilt filter, another size), and InvalidSize "No room to continue
// the picture's patterns: a side of the picture fills the mode's largest transform."
// where a margin other than 0 is asked for and a side of the picture is the mode's
// largest transform side (2048 in the compatible mode), all before `result` changes.
template <class T>
VX_API void vfForwardFFTContinued(const vxPelBuffer_const<T>& image,
                                  const vxPaddingOptions& options,
                                  const std::vector<const vxFrequencyFilter*>& filters,
                                  vxFrequencyBuffer& result);

// The picture filtered in one call: transformed with `options`' padding (Continue
// included), the filters applied in order, transformed back. The result is the real
// part of the filtered picture, scaled, as a double image of the picture's size,
// offset and client transform (where the picture comes back follows the mode, see
// filt/extended.h).
template <class T>
VX_API vxPelBuffer<double> vfFilterPicture(const vxPelBuffer_const<T>& image,
                                           const std::vector<const vxFrequencyFilter*>& filters,
                                           const vxPaddingOptions& options);

// The channels of an interleaved picture (T = unsigned char, unsigned short, double),
// each filtered as vfFilterPicture filters it alone, written back interleaved:
// `channels` values per pixel (3 for RGB, 4 for RGBA), value c of pixel (x, y) at
// pixels[y * rowStride + x * channels + c] and its result at result[y * resultRowStride
// + x * channels + c] (strides in values). The result of a double picture is
// vfFilterPicture's value of that channel, bit for bit; of an 8- or 16-bit picture that
// value rounded to the nearest integer, halves to even, and saturated to 0 .. 255 or
// 0 .. 65535 (NaN gives 0), as vfInverseFFTReal converts. The filters are shared by all
// channels: build them for vfPaddedTransformSize(width, height, options.margin).
//
//   // an 8-bit RGB picture, rows of 3 * width bytes, filtered in place
//   vfFilterChannels<unsigned char>(rgb, width, height, 3, 3 * width, rgb, 3 * width,
//                                   {&reject}, options);
//
// Each channel is gathered into working memory, filtered, and written to the result
// once it is done; the memory (a channel, its spectrum and its result) is taken once
// per thread and reused from channel to channel. Under a vxParallelScope the channels
// are spread over the scope's executor, as many at a time as it has threads, each on
// one thread, when there is more than one and their work pays for it; the channels left
// over (fewer than the threads: the third of three on two threads) are then filtered
// one after the other, each with all the threads in its own loops, as are all of them
// outside a scope or where spreading does not pay. The calling thread's mode and
// sizing rule hold on every thread. `result` may be `pixels` itself with the same row
// stride (filtered in place); otherwise the two must not overlap.
//
// Throws, before anything is written: InvalidArgument "A picture must have 1 or more
// channels." for channels below 1; InvalidSize "Width and Height must be between 1 and
// 2048." (16384 in the extended mode) for a side outside that range; InvalidArgument
// "The pixels and the result must not be null." for a null pointer; InvalidArgument
// "Rows must lie at least width x channels values apart, within the address space."
// for a row stride that is smaller or that reaches beyond the largest pointer
// difference; InvalidArgument "The result must be the pixels themselves, with the same
// row stride, or lie apart from them." for other overlaps; and the errors of
// vfFilterPicture for the options and the filters (among them a filter of another
// size, or unbuilt), which every channel meets before its result is written. An
// attention request (vsys_attention_check) throws from inside a channel's work; the
// channels already written keep their results, the others their values.
template <class T>
VX_API void vfFilterChannels(const T* pixels, long width, long height, long channels,
                             long rowStride, T* result, long resultRowStride,
                             const std::vector<const vxFrequencyFilter*>& filters,
                             const vxPaddingOptions& options);

#endif
