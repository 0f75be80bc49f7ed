// vxfreq: the periodic patterns of a picture, as the continued padding finds them.
//
// vxPadding::Continue (filt/filtering.h) looks, in the band of the filters it is given,
// for the strong spectral peaks of the picture that stand out of their surroundings and
// continues them into the padding. vfFindPatterns hands the same peaks to the caller:
// a tool that proposes notch filters for a picture's screen or weave, or a program that
// checks which patterns a filter chain will meet, sees exactly what the padding
// continues, with each pattern's frequency refined to a small fraction of a bin and its
// amplitude.
#ifndef VXFREQ_FILT_PATTERNS_H
#define VXFREQ_FILT_PATTERNS_H

#include "filt/freqfilt.h"
#include "filt/padding.h"

#include <vector>

// A periodic pattern of a picture: a(x, y) = 2 |A| cos(2 pi (fx x + fy y) + arg A),
// x and y the picture's pixel column and row. The pattern at (-fx, -fy) is the same
// one; the search reports the one with fx >= 0.
struct vxPatternPeak {
  double fx;         // cycles per pixel along the rows (0 to 0.5)
  double fy;         // cycles per pixel down the columns (-0.5 to 0.5)
  double amplitude;  // |A|: half the pattern's peak-to-peak swing, in the picture's units
};

// The patterns of `image` (T = unsigned char, unsigned short, double) that
// vfForwardFFTContinued continues for these `filters` and `options` (its window and
// margin): the peaks of the picture's spectrum, in the band the filters remove (reject
// filters) or keep (pass filters), that stand out of their surroundings, at most four,
// strongest first; none where nothing stands out. Each frequency is the search's own,
// refined to a 256th of a bin of the padded transform; the amplitude is the size of the
// picture's (windowed) Fourier sum at that frequency over its pixels, less its mean.
// The filters are built for vfPaddedTransformSize(width, height, options.margin), as
// for vfForwardFFTContinued; options.padding is not read.
//
// Throws what vfForwardFFTContinued with vxPadding::Continue throws for the picture,
// the options and the filters (an empty list or a null filter: InvalidArgument "A filter
// is needed to continue the picture's patterns."; an unbuilt filter or one of another
// size: the errors of its apply; InvalidSize "No room to continue the picture's patterns: a
// side of the picture fills the mode's largest transform." for a margin other than 0
// where a side is the largest transform side), and nothing for a picture without pixels (no
// patterns). An attention request (vsys_attention_check) throws from inside the search.
template <class T>
VX_API std::vector<vxPatternPeak> vfFindPatterns(
    const vxPelBuffer_const<T>& image, const std::vector<const vxFrequencyFilter*>& filters,
    const vxPaddingOptions& options);

#endif
