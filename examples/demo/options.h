// The command line of vxfreq-demo.
#ifndef VXFREQ_DEMO_OPTIONS_H
#define VXFREQ_DEMO_OPTIONS_H

#include <stdexcept>
#include <string>

namespace demo {

enum class Command { Demo, Spectrum, BandPass, BandReject, Gabor, GaborReject };

struct Options {
  Command command = Command::Demo;
  bool help = false;
  // Without a command: where the pictures go.
  std::string outDir = "vxfreq-demo-out";
  // With a command.
  std::string input;
  std::string output;
  double frequency = 0.0;
  double sigmaAlong = 0.0;  // band filters: sigma; Gabor filters: along the direction
  double sigmaAcross = 0.0;
  double plateauAlong = 0.0;
  double plateauAcross = 0.0;
  double angleDegrees = 0.0;
  long dcRadius = 0;
};

// A command line that cannot be understood; `command` says whose help to point to.
class UsageError : public std::runtime_error {
public:
  UsageError(Command command, const std::string& message)
      : std::runtime_error(message), command_(command) {}
  Command command() const { return command_; }

private:
  Command command_;
};

// Parses argv (argv[0] is the program). Throws UsageError. Numbers are only checked
// for being numbers; their ranges are left to the library, which names what is wrong.
Options parseOptions(int argc, const char* const* argv);

// "bandpass" etc.; "" for the demo run.
std::string commandName(Command command);

// The text printed by --help, for the program or for one command.
std::string helpText(Command command);

}  // namespace demo

#endif
