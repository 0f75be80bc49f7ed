// vxfreq: forward transforms of images padded by reflection, edge repetition or the
// picture's mean, optionally weighted by a window, instead of zeros.
//
// Why. A transform treats the picture as one period of an endless tiling: its right
// edge touches its left edge, its bottom edge its top. The plain forward transforms
// (filt/fft.h) pad with zeros to the transform size (or wrap the picture's own edges
// onto each other at its own size), so wherever the picture is
// not dark along its border the tiling has a step there: a hard edge whose spectrum
// is a bright cross through zero (along both axes), lying over every frequency.
// Filters then change that cross as well, and their ringing lands along the
// picture's border: a pattern removed by a band-reject stays visible in a strip
// along the edges, an oriented filter responds at the edges lying across it.
//
// What the choices do. The picture stays at the top-left of the transform. The
// padding continues it to the right and bottom and, through the wrap-around, back
// into its left and top edges; the columns of padding are split between the two
// sides, the larger half to the right (rows likewise, the larger half below).
//
//   Zero     zeros, as the plain transforms (a step wherever the border is not 0).
//   Reflect  the picture mirrored about its edges, the edge pixel repeated once
//            (... c b a | a b c ... x y z | z y x ...; numpy.pad's "symmetric"). No
//            step in value at any border, so no cross: the spectrum shows the
//            picture's own content: the general choice for the spectra of photographs.
//            Its limit: a strong periodic pattern cut off by the border comes back
//            mirrored, with a kink at the edge. Near the pattern's own frequency f,
//            at a distance d from it, a kink spreads about 2 f / d times more than a
//            step would, so a narrow band-reject of a fine pattern (f well above the
//            reject band's width) leaves more of it along the border than Edge or
//            Mean; Continue removes it up to the border.
//   Edge     each border pixel repeated outwards (numpy.pad's "edge"). No step at the
//            border next to it, but where the two sides' padding meet, in the middle
//            of the margin, left and right (or top and bottom) values face each other:
//            that step is one margin away from the picture, so filters narrower than
//            the margin do not carry it back in.
//   Mean     the picture's mean (rounded to the pixel type for 8- and 16-bit images
//            without a window). The step shrinks to the border's departure from the
//            mean; the DC term is the mean times the transform's area.
//   Continue for filtering only (vfForwardFFTContinued, vfFilterPicture in
//            filt/filtering.h): Edge's padding with the periodic patterns in the
//            filters' band carried on into it, so that a pattern is removed (or kept)
//            right up to the border.
//
// Which suits which job, measured on scikit-image's photographs with added patterns
// (bench/border_table, the table in README.md): for filtering, Continue (the border
// within 1.05 times the interior's error for band-rejects, 1.10 for Gabor-rejects);
// among the others, Edge, then Reflect (Reflect is the worst of them on fine patterns,
// whose kink at the mirror it spreads). For spectra, Reflect or Edge with a window.
// Zero keeps the plain transform, for pictures on a dark background.
//
// A window weights the picture before padding, by w(x) * w(y):
//   Hann     0.5 - 0.5 cos(2 pi n / (N - 1)) along a side of N pixels (numpy.hanning):
//            0 at the border, 1 in the middle. Leakage, the spread of a pure tone
//            into far frequencies, drops by orders of magnitude (side lobes fall as
//            the cube of the distance), at the cost of a peak twice as wide and of
//            the picture's content near the border, which is faded out.
//   Tukey F  flat over the middle, a half Hann cosine over F / 2 of each side at
//            either end (scipy.signal.windows.tukey with alpha = F): F = 0 is no
//            window, F = 1 is Hann. Keeps most of the picture at full weight.
// A window is for measuring spectra; for filtering, padding alone keeps the whole
// picture. The inverse of a windowed transform gives the windowed picture back:
// the window is not divided out (it would be 0 at the border). With a window the
// padding continues the windowed picture (Mean: its mean).
//
// The margin. A picture transformed at its own size (or one whose size is already a
// power of two) leaves no room for padding, and its opposite edges still meet. So each
// side of the transform is the next power of two at least the picture's side plus
// twice the margin (in the extended mode the sizing rule's size of that side: the next
// fast size unless a vxSizingScope says otherwise, filt/extended.h); a margin
// below 0 asks for the default, an eighth of the side rounded up. Where that exceeds
// the mode's largest transform (2048; 16384 in the extended mode), the largest margin
// that fits is used, down to none (a side of that size). The
// margin used, floor((transform side - picture side) / 2), is what vfPaddingMargin
// reads back from the buffer. A margin of 0 with Zero padding and no window is the
// plain transform: the same buffer, bit for bit.
//
// The round trip is the one of the plain transforms: the buffer records the
// picture's size, offset and client transform, and every inverse transform of
// filt/fft.h (vfInverseFFT and the others) returns the picture at its original size,
// the padding dropped, and at its offset as filt/fft.h says (as it was in the
// extended mode; cyclically shifted by the offset in the compatible mode). Filters see a larger
// transform: build them for the buffer's width() x height(). The padding costs transform time and
// memory (up to 4 times the plain transform's area when a power-of-two side doubles) and a padded
// copy of the picture while the transform is made.
#ifndef VXFREQ_FILT_PADDING_H
#define VXFREQ_FILT_PADDING_H

#include "filt/fft.h"

// What fills the transform outside the picture (see the file's description).
// Continue is for filtering (filt/filtering.h): it needs the filters whose band it
// continues, so vfForwardFFTPadded refuses it.
enum class vxPadding { Zero = 0, Reflect = 1, Edge = 2, Mean = 3, Continue = 4 };

// The weighting of the picture before padding.
struct VX_API vxWindow {
  // The shape (None, Hann or Tukey: see the file's description) and Tukey's fraction.
  enum Shape : int { None = 0, Hann = 1, Tukey = 2 };
  Shape shape = None;
  double fraction = 0.0;  // Tukey: the tapered part of each side, 0 to 1

  // No window, Hann's, or Tukey's with the tapered `fraction` of each side.
  static vxWindow none() { return vxWindow(); }
  static vxWindow hann() { return vxWindow{Hann, 1.0}; }
  static vxWindow tukey(double fraction) { return vxWindow{Tukey, fraction}; }
  // The weight of pixel n of a side of `length` pixels (1 when length is 1). Throws
  // InvalidArgument for an unknown shape or a Tukey fraction outside [0, 1].
  double weight(long n, long length) const;
};

// How vfForwardFFTPadded pads and weights a picture.
struct vxPaddingOptions {
  // The padding (Reflect unless set) and the window (none unless set).
  vxPadding padding = vxPadding::Reflect;
  vxWindow window;
  long margin = -1;  // pixels on each side; below 0: the default, an eighth of the side
};

// The transform size (width, height) the padded forward transform gives a picture of
// width x height pixels with this margin. InvalidSize for a side below 1 or above the
// mode's largest transform.
VX_API vxPair<long> vfPaddedTransformSize(long width, long height, long margin);

// The margin vfForwardFFTPadded left on every side of the buffer's picture,
// floor((W - imageWidth) / 2) and likewise for the height; (0, 0) for a buffer that
// vfForwardFFTPadded did not make (the plain transforms pad at the right and bottom
// only) or that was loaded from an archive. Assignment copies it. Uninitialized for a
// buffer without data.
VX_API vxPair<long> vfPaddingMargin(const vxFrequencyBuffer& buffer);

// The forward transform of `image` (T = unsigned char, unsigned short, double),
// windowed and padded as `options` say, into `result`, which records the image's
// size, offset and client transform. The padded picture is transformed by the plain
// forward transform of its type (of double with a window), so the values follow the
// engines on every path. Throws UnboundWindow for an unbound image, InvalidSize for
// one larger than the mode's largest transform, InvalidArgument for an unknown padding
// or window and for vxPadding::Continue (which needs the filters: vfForwardFFTContinued
// in filt/filtering.h), all before `result` changes. An image without pixels is
// transformed as by vfForwardFFT.
template <class T>
VX_API void vfForwardFFTPadded(const vxPelBuffer_const<T>& image, const vxPaddingOptions& options,
                               vxFrequencyBuffer& result);

#endif
