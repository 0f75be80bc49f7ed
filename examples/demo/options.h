// The command line of vxfreq-demo.
#ifndef VXFREQ_DEMO_OPTIONS_H
#define VXFREQ_DEMO_OPTIONS_H

#include <stdexcept>
#include <string>
#include <utility>

namespace demo {

// The parameters of a filter job. The band filters take the first of each pair and
// no angle.
struct FilterSettings {
  double angleDegrees = 0.0;
  double frequency = 0.0;
  double sigmaAlong = 0.0;
  double sigmaAcross = 0.0;
  double plateauAlong = 0.0;
  double plateauAcross = 0.0;
  long dcRadius = 0;  // the removal radius of a pass filter, the protection radius of a reject
};

// What vxfreq-demo is asked to do: the demo run, a spectrum, a kernel, or one of the
// library's filter types (its command name in `filter`).
struct Command {
  enum Kind { Demo, Spectrum, Filter, Kernel };
  Command(Kind k = Demo, std::string filterCommand = "")
      : kind(k), filter(std::move(filterCommand)) {}
  bool operator==(Kind k) const { return kind == k; }
  bool operator!=(Kind k) const { return kind != k; }

  Kind kind;
  std::string filter;  // "bandpass" etc. for Filter, else empty
};

struct Options {
  Command command = Command::Demo;
  bool help = false;
  // Without a command: where the pictures go.
  std::string outDir = "vxfreq-demo-out";
  // With a command.
  std::string input;
  std::string output;
  FilterSettings settings;  // the filter commands' parameters
  // How the picture is padded and weighted for the transform.
  // zero, reflect, edge, mean or continue; empty until parsed, then the command's
  // default: continue for the filter commands, zero for the spectrum.
  std::string padding;
  std::string window = "none";  // none, hann or tukey
  double tukeyFraction = 0.0;
  // The kernel command: one of a kernel picture, a mean or a Gaussian.
  std::string kernelFile;
  long meanSize = 0;
  double gaussianSigma = 0.0;
  bool raw = false;  // use the kernel's values as they are, not scaled to sum 1
  // Work on a colour picture's grey levels even where the command filters each channel.
  bool grey = false;
  // The library's compatible mode: pictures up to 2048 x 2048 and the results of its
  // earlier versions, bit for bit; otherwise its extended mode (pictures up to
  // 16384 x 16384, accurate transforms).
  bool compatible = false;
  // The extended mode's transform size (--size): own, fast, pow2, or an explicit
  // width x height (sizeWidth, sizeHeight).
  std::string size = "own";
  long sizeWidth = 0;
  long sizeHeight = 0;
};

// The largest picture side of the mode the options ask for.
long maxSideOf(const Options& options);

// A command line that cannot be understood; `command` says whose help to point to.
class UsageError : public std::runtime_error {
public:
  UsageError(Command command, const std::string& message)
      : std::runtime_error(message), command_(command) {}
  Command command() const { return command_; }

private:
  Command command_;
};

// Parses argv (argv[0] is the program). Throws UsageError, naming the option and its
// limits, for anything that cannot be understood or lies outside the range the
// option allows; nothing here depends on the picture.
Options parseOptions(int argc, const char* const* argv);

// The checks that need the picture's size (from its header) and the transform size it
// gets: the DC radius and the kernel's size. Throws UsageError.
void checkAgainstPicture(const Options& options, long width, long height, long transformWidth,
                         long transformHeight);

// Whether the command filters a colour picture channel by channel into a colour picture
// (the commands whose output keeps the input's levels: the reject filters and the
// kernel); the others work on its grey levels.
bool filtersColour(const Command& command);

// "spectrum", "bandpass" etc.; "" for the demo run.
std::string commandName(const Command& command);

// The text printed by --help, for the program or for one command.
std::string helpText(const Command& command);

}  // namespace demo

#endif
