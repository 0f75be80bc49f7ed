#include "jobs.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace demo {

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPi = 3.141592653589793;

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

template <class T>
vxPelBuffer<T> toPelBuffer(const GreyImage& image) {
  vxPelBuffer<T> pels(image.width, image.height, 32);
  for (long y = 0; y < image.height; ++y)
    for (long x = 0; x < image.width; ++x) pels.at(x, y) = static_cast<T>(image.at(x, y));
  return pels;
}

GreyImage fromPelBuffer(const vxPelBuffer_const<unsigned char>& pels) {
  GreyImage image(pels.width(), pels.height(), 8);
  for (long y = 0; y < image.height; ++y)
    for (long x = 0; x < image.width; ++x) image.at(x, y) = pels.at(x, y);
  return image;
}

// The spectrum of an 8-bit or 16-bit picture, through the image transform of its type;
// `filters` are the ones that will be applied (continued padding looks for their band).
vxFrequencyBuffer forwardTransform(const GreyImage& input, const vxPaddingOptions& transform,
                                   const std::vector<const vxFrequencyFilter*>& filters = {}) {
  vxFrequencyBuffer spectrum;
  if (input.bits == 16)
    vfForwardFFTContinued(toPelBuffer<unsigned short>(input), transform, filters, spectrum);
  else
    vfForwardFFTContinued(toPelBuffer<unsigned char>(input), transform, filters, spectrum);
  return spectrum;
}

GreyImage toGrey(const vxPelBuffer_const<double>& values, int bits, Display display) {
  GreyImage image(values.width(), values.height(), bits);
  const double top = image.maxValue();
  double largest = 0.0;
  for (long y = 0; y < image.height; ++y)
    for (long x = 0; x < image.width; ++x) largest = std::max(largest, std::fabs(values.at(x, y)));
  double offset = 0.0, scale = 1.0;
  if (display == Display::Stretch) {
    scale = largest > 0.0 ? top / largest : 0.0;
  } else if (display == Display::Signed) {
    offset = std::ceil(top / 2.0);
    scale = largest > 0.0 ? (top - offset) / largest : 0.0;
  }
  for (long y = 0; y < image.height; ++y)
    for (long x = 0; x < image.width; ++x) {
      const double v = std::clamp(offset + values.at(x, y) * scale, 0.0, top);
      image.at(x, y) = static_cast<std::uint16_t>(std::lround(v));
    }
  return image;
}

// The gain of the filters, applied in turn to a spectrum that is 1 everywhere.
vxPelBuffer<double> gainOf(const FilterList& filters, long width, long height) {
  vxPelBuffer<double> real(width, height, 32), imaginary(width, height, 32);
  vfPelSet(real, 1.0);
  vxFrequencyBuffer ones(real, imaginary);
  for (const auto& filter : filters) filter->apply(ones);
  return ones.getMagnitudeImage(true);
}

// A parameter with three significant digits, as in "0.125".
std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

std::string settingsText(const FilterSettings& s, bool gabor, bool rejects) {
  std::string text = gabor ? "angle " + number(s.angleDegrees) + ", f " : "f ";
  text += number(s.frequency) + ", sigma " + number(s.sigmaAlong);
  if (gabor) text += "/" + number(s.sigmaAcross);
  if (s.plateauAlong != 0.0 || (gabor && s.plateauAcross != 0.0)) {
    text += ", plateau " + number(s.plateauAlong);
    if (gabor) text += "/" + number(s.plateauAcross);
  }
  if (s.dcRadius != 0)
    text += std::string(", ") + (rejects ? "DC protection" : "DC removal") + " " +
            std::to_string(s.dcRadius);
  return text;
}

vxRadian radians(double degrees) { return vxRadian(degreesToRadians(degrees)); }

}  // namespace

double largestValue(const vxPelBuffer_const<double>& image) {
  double largest = 0.0;
  for (long y = 0; y < image.height(); ++y)
    for (long x = 0; x < image.width(); ++x) largest = std::max(largest, image.at(x, y));
  return largest;
}

const std::vector<FilterCommand>& filterCommands() {
  static const std::vector<FilterCommand> commands = [] {
    std::vector<FilterCommand> list;
    vxForEachFilterType([&](auto type) {
      using T = decltype(type);
      list.push_back({type.command(), type.label, type.summary, T::family == vxFilterFamily::Gabor,
                      T::rejects});
    });
    return list;
  }();
  return commands;
}

const FilterCommand* findFilterCommand(const std::string& command) {
  for (const FilterCommand& c : filterCommands())
    if (c.command == command) return &c;
  return nullptr;
}

FilterJob filterJob(const std::string& command, const FilterSettings& s) {
  FilterJob job;
  vxForEachFilterType([&](auto type) {
    using T = decltype(type);
    using F = typename T::Filter;
    if (type.command() != command) return;
    const bool gabor = T::family == vxFilterFamily::Gabor;
    job.name = type.label;
    job.file = type.command();
    job.settings = settingsText(s, gabor, T::rejects);
    // A pass filter keeps a little: its band's result is real and signed, one Gabor
    // lobe's an envelope. A reject filter keeps the picture's grey levels.
    job.display = T::rejects ? Display::Keep : gabor ? Display::Stretch : Display::Signed;
    job.build = [s](vxPair<long> size) {
      FilterList filters;
      if constexpr (T::family == vxFilterFamily::Band) {
        filters.push_back(
            std::make_unique<F>(s.sigmaAlong, s.plateauAlong, s.frequency, size, s.dcRadius));
      } else {
        std::vector<double> lobes{s.angleDegrees};
        if (T::rejects) lobes.push_back(s.angleDegrees + 180.0);
        for (double degrees : lobes)
          filters.push_back(std::make_unique<F>(vxPair<double>(s.sigmaAlong, s.sigmaAcross),
                                                vxPair<double>(s.plateauAlong, s.plateauAcross),
                                                radians(degrees), s.frequency, size, s.dcRadius));
      }
      return filters;
    };
  });
  if (!job.build) throw std::invalid_argument("no filter type '" + command + "'");
  return job;
}

FilterJob kernelJob(const std::string& name, const std::string& file, const std::string& settings,
                    const std::vector<double>& kernel, long width, long height) {
  FilterJob job;
  job.name = name;
  job.file = file;
  job.settings = settings;
  job.display = Display::Keep;
  job.build = [kernel, width, height](vxPair<long> size) {
    // The kernel in a picture of the transform size with its middle element at (0, 0)
    // and the rest wrapped around the edges, so that the product of the transforms is
    // the (circular) convolution with the kernel, without a shift.
    vxPelBuffer<double> picture(size.x, size.y, 32);
    for (long j = 0; j < height; ++j)
      for (long i = 0; i < width; ++i) {
        const long x = ((i - width / 2) % size.x + size.x) % size.x;
        const long y = ((j - height / 2) % size.y + size.y) % size.y;
        picture.at(x, y) += kernel[static_cast<std::size_t>(j * width + i)];
      }
    vxFrequencyBuffer transform;
    vfForwardFFT(picture, transform);
    FilterList filters;
    filters.push_back(std::make_unique<vxFrequencyFilterImage>(transform));
    return filters;
  };
  return job;
}

Kernel meanKernel(long n) {
  Kernel k;
  k.width = k.height = n;
  k.values.assign(static_cast<std::size_t>(n * n), 1.0);
  k.settings = std::to_string(n) + " x " + std::to_string(n) + " mean";
  return k;
}

Kernel gaussianKernel(double sigma) {
  Kernel k;
  const long half = static_cast<long>(std::ceil(3.0 * sigma));
  k.width = k.height = 2 * half + 1;
  for (long y = -half; y <= half; ++y)
    for (long x = -half; x <= half; ++x)
      k.values.push_back(std::exp(-static_cast<double>(x * x + y * y) / (2.0 * sigma * sigma)));
  k.settings = "Gaussian, sigma " + number(sigma) + " pixels";
  return k;
}

Kernel pictureKernel(const GreyImage& picture, const std::string& name) {
  Kernel k;
  k.width = picture.width;
  k.height = picture.height;
  k.values.assign(picture.pixels.begin(), picture.pixels.end());
  k.settings =
      "kernel " + name + " (" + std::to_string(k.width) + " x " + std::to_string(k.height) + ")";
  return k;
}

void normalizeKernel(Kernel& kernel) {
  double sum = 0.0;
  for (double v : kernel.values) sum += v;
  if (sum == 0.0)
    throw std::runtime_error(
        "the kernel's values sum to 0, so it cannot be scaled to sum 1; "
        "use --raw to apply it as it is");
  for (double& v : kernel.values) v /= sum;
}

namespace {

// One picture through built filters: the forward transform (padded as `transform` says),
// the filters in turn, the inverse transform. Returns the values the display turns into
// grey levels and adds the time of these steps to `milliseconds`; with `views` the gain
// and the filtered spectrum are kept there (not timed).
vxPelBuffer<double> filteredValues(const GreyImage& input, const FilterList& filters,
                                   Display display, const vxPaddingOptions& transform,
                                   double& milliseconds, FilterResult* views) {
  const Clock::time_point start = Clock::now();
  std::vector<const vxFrequencyFilter*> applied;
  for (const auto& filter : filters) applied.push_back(filter.get());
  vxFrequencyBuffer spectrum = forwardTransform(input, transform, applied);
  for (const auto& filter : filters) filter->apply(spectrum);
  const Clock::time_point filtered = Clock::now();

  if (views != nullptr) {
    views->filtered = spectrum.getMagnitudeImage(true);
    views->gain = gainOf(filters, spectrum.width(), spectrum.height());
  }

  // Unbound images: the inverse transform makes them, of the input's size. In place,
  // since the spectrum is not needed afterwards.
  const Clock::time_point inverseStart = Clock::now();
  vxPelBuffer<double> values;
  if (display == Display::Signed) {
    vfInverseFFTReal<double>(spectrum, values, true);
  } else {
    vfInverseFFT(spectrum, values, false, true);
  }
  const Clock::time_point end = Clock::now();
  milliseconds += millisecondsBetween(start, filtered) + millisecondsBetween(inverseStart, end);
  return values;
}

}  // namespace

FilterResult runFilterJob(const GreyImage& input, const FilterJob& job, bool views,
                          const vxPaddingOptions& transform) {
  FilterResult result;
  const Clock::time_point start = Clock::now();
  const FilterList filters =
      job.build(vfPaddedTransformSize(input.width, input.height, transform.margin));
  result.milliseconds = millisecondsBetween(start, Clock::now());
  const vxPelBuffer<double> values = filteredValues(input, filters, job.display, transform,
                                                    result.milliseconds, views ? &result : nullptr);
  result.output = toGrey(values, input.bits, job.display);
  return result;
}

ColourResult runColourFilterJob(const std::vector<GreyImage>& channels, const FilterJob& job,
                                const vxPaddingOptions& transform) {
  ColourResult result;
  const GreyImage& first = channels.at(0);
  const Clock::time_point start = Clock::now();
  const FilterList filters =
      job.build(vfPaddedTransformSize(first.width, first.height, transform.margin));
  result.milliseconds = millisecondsBetween(start, Clock::now());
  for (const GreyImage& channel : channels)
    result.channels.push_back(toGrey(
        filteredValues(channel, filters, job.display, transform, result.milliseconds, nullptr),
        channel.bits, job.display));
  return result;
}

SpectrumResult runSpectrum(const GreyImage& input, const vxPaddingOptions& transform) {
  SpectrumResult result;
  const Clock::time_point start = Clock::now();
  const vxFrequencyBuffer spectrum = forwardTransform(input, transform);
  result.magnitude = spectrum.getMagnitudeImage(true);
  const vxPelBuffer<unsigned char> picture =
      vfFrequencyMapImage(result.magnitude, vxFrequencyDefs::Logarithmic, 0.0, 0.0);
  result.milliseconds = millisecondsBetween(start, Clock::now());
  result.output = fromPelBuffer(picture);
  return result;
}

GreyImage logScaleView(const vxPelBuffer_const<double>& magnitude, double top) {
  vxPelBuffer<double> logs(magnitude.width(), magnitude.height(), 32);
  for (long y = 0; y < logs.height(); ++y)
    for (long x = 0; x < logs.width(); ++x) logs.at(x, y) = std::log(magnitude.at(x, y) + 1.0);
  return fromPelBuffer(
      vfFrequencyMapImage(logs, vxFrequencyDefs::LinearRange, 0.0, std::log(std::max(top, 2.0))));
}

GreyImage gainView(const vxPelBuffer_const<double>& gain) {
  return fromPelBuffer(vfFrequencyMapImage(gain, vxFrequencyDefs::LinearRange, 0.0,
                                           std::max(1.0, largestValue(gain))));
}

double degreesToRadians(double degrees) { return degrees * kPi / 180.0; }

}  // namespace demo
