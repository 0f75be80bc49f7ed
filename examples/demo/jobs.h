// The jobs of vxfreq-demo: transform a grey picture (or each channel of a colour one),
// filter its spectrum, transform it back. Shared by the demo run and the commands.
#ifndef VXFREQ_DEMO_JOBS_H
#define VXFREQ_DEMO_JOBS_H

#include "image_io.h"
#include "options.h"

#include "filt/filter_types.h"
#include "filt/filtering.h"
#include "filt/freqfilt.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace demo {

// One of the library's filter types (filt/filter_types.h), as the command line knows it.
struct FilterCommand {
  std::string command;  // "bandpass"
  std::string label;    // "band-pass"
  std::string summary;  // "keep a ring of frequencies"
  bool gabor = false;   // the Gabor family (an angle, pairs), else the band family
  bool rejects = false;
};

// Every filter type, in the library's order.
const std::vector<FilterCommand>& filterCommands();
// The type whose command is `command`, or null.
const FilterCommand* findFilterCommand(const std::string& command);

// How a filtered result becomes grey levels.
enum class Display {
  Keep,     // the magnitudes, clamped to the grey range: for filters that remove a little
  Stretch,  // the magnitudes, 0 .. the largest stretched to the full grey range: for
            // filters whose result is an envelope (one Gabor lobe)
  Signed,   // the real part, 0 at middle grey, stretched symmetrically: for filters
            // that keep a little and whose result is real
};

using FilterList = std::vector<std::unique_ptr<vxFrequencyFilter>>;

// A filtering job: the filters to build for a transform size, applied in turn.
struct FilterJob {
  std::string name;      // "band-pass"
  std::string file;      // "bandpass"
  std::string settings;  // the parameters in a few words
  Display display = Display::Keep;
  std::function<FilterList(vxPair<long> size)> build;
};

// The angle the Gabor jobs give the library, in radians.
double degreesToRadians(double degrees);

// A job of the filter type whose command is `command` (one of filterCommands()). The
// Gabor filter keeps one lobe (the response around the frequency in direction
// `angleDegrees`); the Gabor-reject job removes both lobes (`angleDegrees` and the
// opposite direction), so that the result stays real.
FilterJob filterJob(const std::string& command, const FilterSettings& s);
// Convolution with a small kernel (`width` x `height` values, row by row, centred on
// its middle element) as a multiplication by the kernel's transform.
FilterJob kernelJob(const std::string& name, const std::string& file, const std::string& settings,
                    const std::vector<double>& kernel, long width, long height);

// A kernel for kernelJob: width x height values, row by row.
struct Kernel {
  std::vector<double> values;
  long width = 0;
  long height = 0;
  std::string settings;  // "9 x 9 mean" etc.
};

// N x N ones (a mean once scaled to sum 1).
Kernel meanKernel(long n);
// exp(-(x^2 + y^2) / (2 sigma^2)) over 2 ceil(3 sigma) + 1 pixels a side, 1 at the middle.
Kernel gaussianKernel(double sigma);
// The grey levels of a picture, as they are.
Kernel pictureKernel(const GreyImage& picture, const std::string& name);
// Scales the values to sum 1; throws std::runtime_error when they sum to 0.
void normalizeKernel(Kernel& kernel);

// The transform of the jobs: zero padding to the next power of two, no window (the
// plain forward transform) unless the caller asks for more.
inline vxPaddingOptions plainTransform() {
  return vxPaddingOptions{vxPadding::Zero, vxWindow::none(), 0};
}

struct FilterResult {
  GreyImage output;  // the input's size and bit depth
  double milliseconds = 0.0;
  // With views only, for the contact sheet; centred, of the transform size:
  vxPelBuffer<double> gain;      // the filters' gain magnitude
  vxPelBuffer<double> filtered;  // the filtered spectrum's magnitude
};

// Forward transform (padded and windowed as `transform` says), filter build and
// application, inverse transform; the time covers these. With `views` the gain and the filtered
// spectrum are also kept (not timed).
FilterResult runFilterJob(const GreyImage& input, const FilterJob& job, bool views,
                          const vxPaddingOptions& transform = plainTransform());

struct ColourResult {
  std::vector<GreyImage> channels;  // the input channels' size and bit depth
  double milliseconds = 0.0;
};

// The filtering of runFilterJob on each channel of a colour picture (red, green, blue,
// of one size and depth), with filters built once: each output channel is the output of
// runFilterJob on that channel alone. The time covers the build and every channel's
// transforms and filters.
ColourResult runColourFilterJob(const std::vector<GreyImage>& channels, const FilterJob& job,
                                const vxPaddingOptions& transform = plainTransform());

struct SpectrumResult {
  GreyImage output;               // 8-bit log-magnitude picture of the transform size
  vxPelBuffer<double> magnitude;  // centred magnitudes
  double milliseconds = 0.0;
};

// The centred log-magnitude spectrum: forward transform, magnitude image, map.
SpectrumResult runSpectrum(const GreyImage& input,
                           const vxPaddingOptions& transform = plainTransform());

// An 8-bit picture of a centred magnitude image on the logarithmic scale of the
// Logarithmic mapping whose top is `top` (so that several spectra share one scale).
GreyImage logScaleView(const vxPelBuffer_const<double>& magnitude, double top);
// An 8-bit picture of a gain image, 0 black and 1 (or the largest gain) white.
GreyImage gainView(const vxPelBuffer_const<double>& gain);
// The largest value of a double image.
double largestValue(const vxPelBuffer_const<double>& image);

}  // namespace demo

#endif
