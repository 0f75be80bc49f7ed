// vxfreq-demo: the jobs of the vxfreq library on a built-in test picture, or one job
// on a picture file. `vxfreq-demo --help` tells how to call it.
#include "contact_sheet.h"
#include "image_io.h"
#include "jobs.h"
#include "options.h"
#include "test_image.h"

#include "filt/extended.h"
#include "filt/freqfilt.h"
#include "filt/planner.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr long kTestImageSize = 512;

void printJobLine(const std::string& job, long width, long height, double ms,
                  const std::string& path) {
  std::printf("%-13s %4ld x %-4ld %9.2f ms   %s\n", job.c_str(), width, height, ms, path.c_str());
  std::fflush(stdout);
}

int runDemo(const demo::Options& options) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(options.outDir, error);
  if (error) {
    std::fprintf(stderr, "vxfreq-demo: cannot create the directory '%s': %s\n",
                 options.outDir.c_str(), error.message().c_str());
    return 1;
  }
  const std::string ext = demo::pictureExtension();
  const auto pathOf = [&](const std::string& name) {
    return (fs::path(options.outDir) / (name + ext)).string();
  };

  const demo::GreyImage input = demo::makeTestImage(kTestImageSize);
  const demo::TestImageFeatures features = demo::testImageFeatures(kTestImageSize);
  demo::writeImage(pathOf("input"), input);
  std::printf("%-13s %4ld x %-4ld %12s   %s\n", "input", input.width, input.height, "(built in)",
              pathOf("input").c_str());

  const demo::SpectrumResult spectrum = demo::runSpectrum(input);
  demo::writeImage(pathOf("spectrum"), spectrum.output);
  printJobLine("spectrum", spectrum.output.width, spectrum.output.height, spectrum.milliseconds,
               pathOf("spectrum"));
  const double top = demo::largestValue(spectrum.magnitude);

  // The pattern's ring, removed and kept; the scratch, whose frequencies lie across it
  // (at its angle + 90 degrees), kept and removed.
  demo::FilterSettings reject;
  reject.frequency = features.patternFrequency;
  reject.sigmaAlong = 0.004;
  reject.plateauAlong = 0.003;
  demo::FilterSettings pass = reject;
  pass.sigmaAlong = 0.006;
  demo::FilterSettings gabor;
  gabor.angleDegrees = features.scratchDegrees + 90.0;
  gabor.frequency = 0.2;
  gabor.sigmaAlong = 0.04;
  gabor.sigmaAcross = 0.006;
  gabor.plateauAlong = 0.1;
  demo::FilterSettings gaborReject = gabor;
  gaborReject.sigmaAlong = 0.02;
  gaborReject.sigmaAcross = 0.008;
  gaborReject.plateauAlong = 0.12;
  gaborReject.dcRadius = 1;
  const std::vector<double> box(9 * 9, 1.0 / 81.0);

  const std::vector<demo::FilterJob> jobs = {
      demo::filterJob("bandreject", reject),
      demo::filterJob("bandpass", pass),
      demo::filterJob("gabor", gabor),
      demo::filterJob("gaborreject", gaborReject),
      demo::kernelJob("kernel", "kernel", "9 x 9 mean, multiplied in frequency", box, 9, 9),
  };
  const demo::GreyImage spectrumView = demo::logScaleView(spectrum.magnitude, top);
  std::vector<demo::SheetRow> rows;
  for (const demo::FilterJob& job : jobs) {
    const demo::FilterResult result = demo::runFilterJob(input, job, true);
    demo::writeImage(pathOf(job.file), result.output);
    printJobLine(job.name, result.output.width, result.output.height, result.milliseconds,
                 pathOf(job.file));
    rows.push_back({job.name + ": " + job.settings,
                    {{input, demo::Shrink::Average},
                     {spectrumView, demo::Shrink::Peak},
                     {demo::gainView(result.gain), demo::Shrink::Peak},
                     {demo::logScaleView(result.filtered, top), demo::Shrink::Peak},
                     {result.output, demo::Shrink::Average}}});
  }

  const std::string size = std::to_string(kTestImageSize);
  const demo::GreyImage sheet = demo::makeContactSheet(
      "vxfreq-demo: a " + size + " x " + size +
          " surface with a scratch and an interference pattern",
      {"input", "spectrum (log)", "filter gain", "filtered spectrum", "output"}, rows,
      demo::SheetLayout());
  demo::writeImage(pathOf("contact-sheet"), sheet);
  std::printf("%-13s %4ld x %-4ld %12s   %s\n", "contact sheet", sheet.width, sheet.height, "",
              pathOf("contact-sheet").c_str());
  return 0;
}

// The padding and window the command line asks for. Zero padding keeps the plain
// transform's size (no margin); the other paddings get the library's default margin.
vxPaddingOptions transformOf(const demo::Options& options) {
  vxPaddingOptions transform = demo::plainTransform();
  if (options.padding == "reflect") transform.padding = vxPadding::Reflect;
  if (options.padding == "edge") transform.padding = vxPadding::Edge;
  if (options.padding == "mean") transform.padding = vxPadding::Mean;
  if (options.padding == "continue") transform.padding = vxPadding::Continue;
  if (transform.padding != vxPadding::Zero) transform.margin = -1;
  if (options.window == "hann") transform.window = vxWindow::hann();
  if (options.window == "tukey") transform.window = vxWindow::tukey(options.tukeyFraction);
  return transform;
}

// What was changed in reading a picture. `colour`: its channels are filtered, not its
// grey levels.
void printNotes(const demo::LoadedImage& loaded, const std::string& path, bool colour = false) {
  if (loaded.convertedFromColour && !colour)
    std::fprintf(stderr,
                 "vxfreq-demo: note: '%s' is a colour picture; working on its grey levels\n",
                 path.c_str());
  if (loaded.alphaIgnored)
    std::fprintf(stderr, "vxfreq-demo: note: the alpha channel of '%s' is ignored\n", path.c_str());
  if (loaded.rescaled)
    std::fprintf(stderr, "vxfreq-demo: note: the %s levels of '%s' were rescaled to %d bits\n",
                 colour ? "colour" : "grey", path.c_str(), loaded.image.bits);
}

// The kernel command's kernel, scaled to sum 1 unless the user asked for raw values.
demo::Kernel kernelOf(const demo::Options& options) {
  demo::Kernel kernel;
  if (options.meanSize != 0) {
    kernel = demo::meanKernel(options.meanSize);
  } else if (options.gaussianSigma != 0.0) {
    kernel = demo::gaussianKernel(options.gaussianSigma);
  } else {
    const demo::LoadedImage loaded = demo::readImage(options.kernelFile, vfMaxTransformSide());
    printNotes(loaded, options.kernelFile);
    kernel = demo::pictureKernel(loaded.image, options.kernelFile);
  }
  if (options.raw)
    kernel.settings += ", raw";
  else
    demo::normalizeKernel(kernel);
  return kernel;
}

// A padding other than zero that has no room along a side (the picture's side fills the
// mode's largest transform) changes nothing there: say so.
void noteIdlePadding(const demo::Options& options, long width, long height, vxPair<long> size) {
  if (options.padding == "zero") return;
  const bool alongX = size.x == width, alongY = size.y == height;
  if (!alongX && !alongY) return;
  const long side = alongX ? width : height;
  std::fprintf(stderr,
               "vxfreq-demo: note: --padding %s cannot take effect along the %s: a %ld-pixel "
               "side fills the largest transform%s (%ld), which leaves no room for a margin%s\n",
               options.padding.c_str(),
               alongX && alongY ? "width and height" : (alongX ? "width" : "height"), side,
               options.compatible ? " of the compatible mode" : "", vfMaxTransformSide(),
               options.compatible ? "; leave out --compatible" : "");
}

int runCommand(const demo::Options& options) {
  // Everything that can be checked from the file names and the picture's header is
  // checked before any pixel is decoded or any table built, and the output is opened
  // for writing (made if it does not exist) so that a place that cannot hold it is
  // refused at once.
  demo::OutputFile output(options.output);
  const long maxSide = vfMaxTransformSide();
  const vxPaddingOptions transform = transformOf(options);
  const demo::LoadedImage head = demo::readImageHeader(options.input, maxSide);
  const demo::GreyImage& header = head.image;
  // A colour picture's channels are filtered one by one where the command's output keeps
  // the picture's levels, unless --grey asks for its grey levels.
  const bool colour =
      head.convertedFromColour && !options.grey && demo::filtersColour(options.command);
  if (colour && !demo::holdsColour(options.output))
    throw demo::UsageError(options.command, "'" + options.input + "' is a colour picture and '" +
                                                options.output + "' cannot hold one: write " +
                                                (demo::pngSupported() ? ".png or .ppm" : ".ppm") +
                                                ", or give --grey to filter its grey levels");
  const vxPair<long> size = vfPaddedTransformSize(header.width, header.height, transform.margin);
  demo::checkAgainstPicture(options, header.width, header.height, size.x, size.y);
  noteIdlePadding(options, header.width, header.height, size);
  if (!options.kernelFile.empty()) {
    const demo::GreyImage k = demo::readImageHeader(options.kernelFile, maxSide).image;
    if (k.width > size.x || k.height > size.y)
      throw demo::UsageError(options.command,
                             "--kernel '" + options.kernelFile + "' (" + std::to_string(k.width) +
                                 " x " + std::to_string(k.height) +
                                 ") is larger than the picture's transform (" +
                                 std::to_string(size.x) + " x " + std::to_string(size.y) + ")");
  }

  const demo::LoadedImage loaded = demo::readImage(options.input, maxSide);
  printNotes(loaded, options.input, colour);
  const demo::GreyImage& input = loaded.image;

  if (options.command == demo::Command::Spectrum) {
    const demo::SpectrumResult result = demo::runSpectrum(input, transform);
    demo::writeImage(options.output, result.output);
    output.keep();
    printJobLine("spectrum", result.output.width, result.output.height, result.milliseconds,
                 options.output);
    return 0;
  }

  demo::FilterJob job;
  if (options.command == demo::Command::Kernel) {
    const demo::Kernel kernel = kernelOf(options);
    job = demo::kernelJob("kernel", "kernel", kernel.settings, kernel.values, kernel.width,
                          kernel.height);
  } else {
    job = demo::filterJob(options.command.filter, options.settings);
  }
  if (colour) {
    const demo::ColourResult result = demo::runColourFilterJob(loaded.channels, job, transform);
    demo::writeColourImage(options.output, result.channels);
    output.keep();
    printJobLine(job.name, input.width, input.height, result.milliseconds, options.output);
    return 0;
  }
  const demo::FilterResult result = demo::runFilterJob(input, job, false, transform);
  demo::writeImage(options.output, result.output);
  output.keep();
  printJobLine(job.name, result.output.width, result.output.height, result.milliseconds,
               options.output);
  return 0;
}

std::string commandPrefix(const demo::Command& command) {
  const std::string name = demo::commandName(command);
  return name.empty() ? "vxfreq-demo" : "vxfreq-demo " + name;
}

}  // namespace

// Loads the path plans when made and saves them when destroyed, saying so on stderr
// when a file was ignored or could not be written.
class PlansKept {
public:
  explicit PlansKept(std::string prefix) : prefix_(std::move(prefix)) {
    std::string note;
    if (!vfLoadPathPlans(&note) && !note.empty())
      std::fprintf(stderr, "%s: %s\n", prefix_.c_str(), note.c_str());
  }
  ~PlansKept() {
    std::string note;
    if (!vfSavePathPlans(&note) && !note.empty())
      std::fprintf(stderr, "%s: %s\n", prefix_.c_str(), note.c_str());
  }
  PlansKept(const PlansKept&) = delete;
  PlansKept& operator=(const PlansKept&) = delete;

private:
  std::string prefix_;
};

int main(int argc, char** argv) {
  demo::Options options;
  try {
    options = demo::parseOptions(argc, argv);
  } catch (const demo::UsageError& e) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", commandPrefix(e.command()).c_str(), e.what(),
                 commandPrefix(e.command()).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(demo::helpText(options.command).c_str(), stdout);
    return 0;
  }

  const std::string prefix = commandPrefix(options.command);
  // The library's extended mode, unless the compatible one is asked for.
  const vxExtendedScope mode(!options.compatible);
  // The paths measured by earlier runs (the user's cache folder), kept again at the end
  // when this run measured more: a one-shot command then pays for measuring once.
  const PlansKept plans(prefix);
  try {
    const std::unique_ptr<vxSizingScope> sizing =
        options.size == "explicit"
            ? std::make_unique<vxSizingScope>(options.sizeWidth, options.sizeHeight)
            : std::make_unique<vxSizingScope>(options.size == "fast"   ? vxSizeRule::NextFastSize
                                              : options.size == "pow2" ? vxSizeRule::NextPowerOfTwo
                                                                       : vxSizeRule::OwnSize);
    return options.command == demo::Command::Demo ? runDemo(options) : runCommand(options);
  } catch (const demo::UsageError& e) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", prefix.c_str(), e.what(), prefix.c_str());
    return 2;
  } catch (const demo::ImageFileError& e) {
    std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
  } catch (const vxFrequencyDefs::Errors& e) {
    // UnboundWindow carries no message: its number says what it is.
    std::fprintf(stderr, "%s: %s (vxfreq error 0x%08lx)\n", prefix.c_str(),
                 *e.what() ? e.what() : "invalid image", e.errorNumber());
  } catch (const vxException& e) {
    std::fprintf(stderr, "%s: %s\n", prefix.c_str(), *e.what() ? e.what() : "vxfreq error");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
  }
  return 1;
}
