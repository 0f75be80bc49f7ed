#include "options.h"

#include "image_io.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace demo {

namespace {

enum class Kind { Text, Number, NumberPair, Integer };

struct OptionRule {
  const char* name;
  Kind kind;
  bool required;
};

const std::vector<OptionRule>& rulesOf(Command command) {
  static const std::vector<OptionRule> demo = {{"--out", Kind::Text, false}};
  static const std::vector<OptionRule> spectrum = {};
  static const std::vector<OptionRule> band = {{"--frequency", Kind::Number, true},
                                               {"--sigma", Kind::Number, true},
                                               {"--plateau", Kind::Number, false},
                                               {"--dc-radius", Kind::Integer, false}};
  static const std::vector<OptionRule> gabor = {{"--angle", Kind::Number, true},
                                                {"--frequency", Kind::Number, true},
                                                {"--sigma", Kind::NumberPair, true},
                                                {"--plateau", Kind::NumberPair, false},
                                                {"--dc-radius", Kind::Integer, false}};
  switch (command) {
    case Command::Demo: return demo;
    case Command::Spectrum: return spectrum;
    case Command::BandPass:
    case Command::BandReject: return band;
    case Command::Gabor:
    case Command::GaborReject: return gabor;
  }
  return demo;
}

double parseNumber(Command command, const std::string& option, const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (text.empty() || end != begin + text.size() || errno == ERANGE || !std::isfinite(value))
    throw UsageError(command, option + " needs a number, not '" + text + "'");
  return value;
}

void parsePair(Command command, const std::string& option, const std::string& text,
               double& first, double& second) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    first = second = parseNumber(command, option, text);
    return;
  }
  first = parseNumber(command, option, text.substr(0, comma));
  second = parseNumber(command, option, text.substr(comma + 1));
}

long parseInteger(Command command, const std::string& option, const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 10);
  if (text.empty() || end != begin + text.size() || errno == ERANGE)
    throw UsageError(command, option + " needs a whole number, not '" + text + "'");
  return value;
}

void store(Options& options, const std::string& name, Kind kind, const std::string& value) {
  const Command c = options.command;
  if (name == "--out") {
    if (value.empty()) throw UsageError(c, "--out needs a directory");
    options.outDir = value;
  } else if (name == "--frequency") {
    options.frequency = parseNumber(c, name, value);
  } else if (name == "--angle") {
    options.angleDegrees = parseNumber(c, name, value);
  } else if (name == "--sigma") {
    if (kind == Kind::NumberPair)
      parsePair(c, name, value, options.sigmaAlong, options.sigmaAcross);
    else
      options.sigmaAlong = options.sigmaAcross = parseNumber(c, name, value);
  } else if (name == "--plateau") {
    if (kind == Kind::NumberPair)
      parsePair(c, name, value, options.plateauAlong, options.plateauAcross);
    else
      options.plateauAlong = options.plateauAcross = parseNumber(c, name, value);
  } else if (name == "--dc-radius") {
    options.dcRadius = parseInteger(c, name, value);
  }
}

bool parseCommand(const std::string& word, Command& command) {
  for (Command c : {Command::Spectrum, Command::BandPass, Command::BandReject, Command::Gabor,
                    Command::GaborReject})
    if (word == commandName(c)) {
      command = c;
      return true;
    }
  return false;
}

}  // namespace

std::string commandName(Command command) {
  switch (command) {
    case Command::Demo: return "";
    case Command::Spectrum: return "spectrum";
    case Command::BandPass: return "bandpass";
    case Command::BandReject: return "bandreject";
    case Command::Gabor: return "gabor";
    case Command::GaborReject: return "gaborreject";
  }
  return "";
}

Options parseOptions(int argc, const char* const* argv) {
  Options options;
  int i = 1;
  if (i < argc && argv[i][0] != '-') {
    if (!parseCommand(argv[i], options.command))
      throw UsageError(Command::Demo, std::string("unknown command '") + argv[i] + "'");
    ++i;
  }
  const Command command = options.command;
  const std::vector<OptionRule>& rules = rulesOf(command);
  std::vector<bool> seen(rules.size(), false);
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    std::size_t index = 0;
    while (index < rules.size() && name != rules[index].name) ++index;
    if (index == rules.size())
      throw UsageError(command, "unknown option '" + name + "'");
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else {
      if (i + 1 >= argc) throw UsageError(command, name + " needs a value");
      value = argv[++i];
    }
    store(options, name, rules[index].kind, value);
    seen[index] = true;
  }
  if (options.help) return options;

  for (std::size_t k = 0; k < rules.size(); ++k)
    if (rules[k].required && !seen[k])
      throw UsageError(command, std::string(rules[k].name) + " is required");
  if (command == Command::Demo) {
    if (!positional.empty())
      throw UsageError(command, "unexpected argument '" + positional.front() + "'");
  } else {
    if (positional.size() < 2) throw UsageError(command, "needs an input and an output file");
    if (positional.size() > 2)
      throw UsageError(command, "unexpected argument '" + positional[2] + "'");
    options.input = positional[0];
    options.output = positional[1];
  }
  return options;
}

std::string helpText(Command command) {
  const std::string images =
      pngSupported()
          ? "Images: 8- and 16-bit PNG, PGM and PPM; colour pictures are converted to grey.\n"
          : "Images: 8- and 16-bit PGM and PPM (this build has no PNG support); colour\n"
            "pictures are converted to grey.\n";
  const std::string common =
      "INPUT may have any size up to 2048 x 2048 pixels; it is zero-padded to powers of\n"
      "two for the transform. OUTPUT's extension (.png, .pgm or .ppm) chooses its format.\n" +
      images + "Frequencies, sigmas and plateaus are in cycles per pixel (0 to 0.5).\n";
  const std::string bandOptions =
      "  --frequency F   radius of the ring (0 to 0.5)\n"
      "  --sigma S       width of the Gaussian flanks of the gain (above 0)\n"
      "  --plateau P     half-width of the flat top of the gain (default 0)\n";
  const std::string gaborOptions =
      "  --angle A       direction of the centre frequency: degrees from the x axis\n"
      "                  towards y, which points down (clockwise on screen)\n"
      "  --frequency F   distance of the centre frequency from zero (0 to 0.5)\n"
      "  --sigma S[,T]   width of the Gaussian flanks along the direction (S) and\n"
      "                  across it (T; T = S when left out)\n"
      "  --plateau P[,Q] half-width of the flat top along and across (default 0)\n";
  switch (command) {
    case Command::Demo:
      return "Usage: vxfreq-demo [--out DIR]\n"
             "       vxfreq-demo COMMAND [OPTIONS] INPUT OUTPUT\n"
             "       vxfreq-demo [COMMAND] --help\n"
             "\n"
             "Without a command, vxfreq-demo makes a 512 x 512 test picture (a textured\n"
             "surface with a scratch and a periodic interference pattern), runs each job of\n"
             "the vxfreq library on it, writes one picture per job and a contact sheet into\n"
             "DIR and prints how long each job took.\n"
             "\n"
             "Commands:\n"
             "  spectrum      centred log-magnitude spectrum\n"
             "  bandpass      keep a ring of frequencies\n"
             "  bandreject    remove a ring of frequencies\n"
             "  gabor         strength of one frequency in one direction\n"
             "  gaborreject   remove one frequency in one direction\n"
             "\n"
             "Options:\n"
             "  --out DIR     where the demo writes its pictures (default: vxfreq-demo-out)\n"
             "  -h, --help    this help; after a command, the command's help\n"
             "\n" +
             common;
    case Command::Spectrum:
      return "Usage: vxfreq-demo spectrum INPUT OUTPUT\n"
             "\n"
             "Writes the magnitude of INPUT's spectrum on a logarithmic grey scale, with the\n"
             "zero frequency in the middle, as an 8-bit picture of the transform size.\n"
             "\n" +
             common;
    case Command::BandPass:
      return "Usage: vxfreq-demo bandpass --frequency F --sigma S [--plateau P]\n"
             "                            [--dc-radius R] INPUT OUTPUT\n"
             "\n"
             "Keeps the frequencies on a ring of radius F around zero and sets all others\n"
             "to zero: the gain is 1 up to P from the ring and falls off as a Gaussian of\n"
             "width S beyond. OUTPUT is the result with zero at middle grey, stretched to\n"
             "the full grey range.\n"
             "\n" +
             bandOptions +
             "  --dc-radius R   also set the (2R-1) x (2R-1) frequencies around zero to zero\n"
             "                  (default 0: none)\n"
             "\n" +
             common;
    case Command::BandReject:
      return "Usage: vxfreq-demo bandreject --frequency F --sigma S [--plateau P]\n"
             "                              [--dc-radius R] INPUT OUTPUT\n"
             "\n"
             "Removes the frequencies on a ring of radius F around zero and leaves all\n"
             "others: the gain is 1 minus the band-pass gain. OUTPUT keeps INPUT's grey\n"
             "levels (clamped to the grey range).\n"
             "\n" +
             bandOptions +
             "  --dc-radius R   leave the (2R-1) x (2R-1) frequencies around zero unchanged\n"
             "                  (default 0: none)\n"
             "\n" +
             common;
    case Command::Gabor:
      return "Usage: vxfreq-demo gabor --angle A --frequency F --sigma S[,T]\n"
             "                         [--plateau P[,Q]] [--dc-radius R] INPUT OUTPUT\n"
             "\n"
             "Keeps the frequencies around one point of the spectrum, at distance F from\n"
             "zero in direction A, and sets all others to zero. Patterns that repeat with\n"
             "period 1/F pixels along direction A respond; a straight line at angle L has\n"
             "its frequencies across it, at A = L + 90. OUTPUT is the magnitude of the\n"
             "response (its local strength), stretched to the full grey range.\n"
             "\n" +
             gaborOptions +
             "  --dc-radius R   also set the (2R-1) x (2R-1) frequencies around zero to zero\n"
             "                  (default 0: none)\n"
             "\n" +
             common;
    case Command::GaborReject:
      return "Usage: vxfreq-demo gaborreject --angle A --frequency F --sigma S[,T]\n"
             "                               [--plateau P[,Q]] [--dc-radius R] INPUT OUTPUT\n"
             "\n"
             "Removes the frequencies around the point at distance F from zero in direction\n"
             "A, and around its mirror point in direction A + 180 so that the result stays a\n"
             "real picture, and leaves all others. OUTPUT keeps INPUT's grey levels (clamped\n"
             "to the grey range).\n"
             "\n" +
             gaborOptions +
             "  --dc-radius R   leave the (2R-1) x (2R-1) frequencies around zero unchanged\n"
             "                  (default 0: none)\n"
             "\n" +
             common;
  }
  return "";
}

}  // namespace demo
