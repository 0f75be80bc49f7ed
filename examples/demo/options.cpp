#include "options.h"

#include "image_io.h"
#include "jobs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace demo {

namespace {

enum class Kind { Text, Number, NumberPair, Integer, Flag };

struct OptionRule {
  const char* name;
  Kind kind;
  bool required;
};

const std::vector<OptionRule>& rulesOf(const Command& command) {
  static const std::vector<OptionRule> demo = {{"--out", Kind::Text, false},
                                               {"--compatible", Kind::Flag, false},
                                               {"--size", Kind::Text, false}};
  static const std::vector<OptionRule> spectrum = {{"--padding", Kind::Text, false},
                                                   {"--window", Kind::Text, false},
                                                   {"--compatible", Kind::Flag, false},
                                                   {"--size", Kind::Text, false},
                                                   {"--grey", Kind::Flag, false}};
  static const std::vector<OptionRule> band = {
      {"--frequency", Kind::Number, true}, {"--sigma", Kind::Number, true},
      {"--plateau", Kind::Number, false},  {"--dc-radius", Kind::Integer, false},
      {"--padding", Kind::Text, false},    {"--window", Kind::Text, false},
      {"--compatible", Kind::Flag, false}, {"--size", Kind::Text, false},
      {"--grey", Kind::Flag, false}};
  static const std::vector<OptionRule> gabor = {
      {"--angle", Kind::Number, true},       {"--frequency", Kind::Number, true},
      {"--sigma", Kind::NumberPair, true},   {"--plateau", Kind::NumberPair, false},
      {"--dc-radius", Kind::Integer, false}, {"--padding", Kind::Text, false},
      {"--window", Kind::Text, false},       {"--compatible", Kind::Flag, false},
      {"--size", Kind::Text, false},         {"--grey", Kind::Flag, false}};
  static const std::vector<OptionRule> kernel = {
      {"--kernel", Kind::Text, false},     {"--mean", Kind::Integer, false},
      {"--gaussian", Kind::Number, false}, {"--raw", Kind::Flag, false},
      {"--padding", Kind::Text, false},    {"--window", Kind::Text, false},
      {"--compatible", Kind::Flag, false}, {"--size", Kind::Text, false},
      {"--grey", Kind::Flag, false}};
  switch (command.kind) {
    case Command::Demo:
      return demo;
    case Command::Spectrum:
      return spectrum;
    case Command::Filter:
      return findFilterCommand(command.filter)->gabor ? gabor : band;
    case Command::Kernel:
      return kernel;
  }
  return demo;
}

double parseNumber(const Command& command, const std::string& option, const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (text.empty() || end != begin + text.size() || errno == ERANGE || !std::isfinite(value))
    throw UsageError(command, option + " needs a number, not '" + text + "'");
  return value;
}

void parsePair(const Command& command, const std::string& option, const std::string& text,
               double& first, double& second) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    first = second = parseNumber(command, option, text);
    return;
  }
  first = parseNumber(command, option, text.substr(0, comma));
  second = parseNumber(command, option, text.substr(comma + 1));
}

long parseInteger(const Command& command, const std::string& option, const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 10);
  if (text.empty() || end != begin + text.size() || errno == ERANGE)
    throw UsageError(command, option + " needs a whole number, not '" + text + "'");
  return value;
}

// The largest Gaussian sigma of the kernel command: its 2 ceil(3 sigma) + 1 pixels
// must fit in the largest transform.
double maxGaussianSigma(long maxSide) {
  return std::floor((static_cast<double>(maxSide) - 1.0) / 6.0);
}

std::string shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Refuses a value outside [low, high] (above `low` when `lowOpen`), naming the option.
void checkRange(const Command& command, const char* option, double value, double low, bool lowOpen,
                double high, const char* unit) {
  if ((lowOpen ? value > low : value >= low) && value <= high) return;
  throw UsageError(
      command,
      std::string(option) + " " + shown(value) + " is out of range: it must be " +
          (lowOpen ? "above " + shown(low) + " and at most " : "from " + shown(low) + " to ") +
          shown(high) + unit);
}

void checkRanges(const Options& o) {
  const Command& c = o.command;
  const char* cycles = " (cycles per pixel)";
  if (c == Command::Filter) {
    checkRange(c, "--frequency", o.settings.frequency, 0.0, false, 0.5, cycles);
    checkRange(c, "--sigma", o.settings.sigmaAlong, 0.0, true, 0.5, cycles);
    checkRange(c, "--sigma", o.settings.sigmaAcross, 0.0, true, 0.5, cycles);
    checkRange(c, "--plateau", o.settings.plateauAlong, 0.0, false, 0.5, cycles);
    checkRange(c, "--plateau", o.settings.plateauAcross, 0.0, false, 0.5, cycles);
    // The filters take the angle in radians (both lobes for the reject filter): one that
    // is not a finite number there has no direction.
    if (!std::isfinite(degreesToRadians(o.settings.angleDegrees)) ||
        !std::isfinite(degreesToRadians(o.settings.angleDegrees + 180.0)))
      throw UsageError(c, "--angle " + shown(o.settings.angleDegrees) +
                              " is out of range: in radians it is not a finite number");
    if (o.settings.dcRadius < 0)
      throw UsageError(
          c, "--dc-radius " + std::to_string(o.settings.dcRadius) + " cannot be negative");
  }
  if (c == Command::Kernel) {
    const int given = !o.kernelFile.empty() + (o.meanSize != 0) + (o.gaussianSigma != 0.0);
    if (given != 1) throw UsageError(c, "needs exactly one of --kernel, --mean and --gaussian");
    const long maxSide = maxSideOf(o);
    if (o.meanSize != 0)
      checkRange(c, "--mean", static_cast<double>(o.meanSize), 1.0, false,
                 static_cast<double>(maxSide), " (pixels)");
    if (o.gaussianSigma != 0.0)
      checkRange(c, "--gaussian", o.gaussianSigma, 0.0, true, maxGaussianSigma(maxSide),
                 " (pixels)");
  }
}

void storeWindow(Options& options, const std::string& value) {
  const Command& c = options.command;
  if (value == "none" || value == "hann") {
    options.window = value;
    return;
  }
  if (value.compare(0, 6, "tukey:") != 0)
    throw UsageError(c, "--window must be none, hann or tukey:F, not '" + value + "'");
  options.window = "tukey";
  options.tukeyFraction = parseNumber(c, "--window tukey:F", value.substr(6));
  checkRange(c, "--window tukey:F", options.tukeyFraction, 0.0, false, 1.0,
             " (the tapered part of each side)");
}

// --size own | fast | pow2 | WxH (an explicit transform size, 1 to 16384 a side).
void parseSize(Command c, const std::string& value, Options& options) {
  if (value == "own" || value == "fast" || value == "pow2") {
    options.size = value;
    return;
  }
  const std::size_t x = value.find('x');
  if (x == std::string::npos || x == 0 || x + 1 == value.size())
    throw UsageError(c, "--size must be own, fast, pow2 or WIDTHxHEIGHT, not '" + value + "'");
  const long w = parseInteger(c, "--size WIDTH", value.substr(0, x));
  const long h = parseInteger(c, "--size HEIGHT", value.substr(x + 1));
  if (w < 1 || h < 1 || w > 16384 || h > 16384)
    throw UsageError(c, "--size " + value + " is out of range: each side from 1 to 16384");
  options.size = "explicit";
  options.sizeWidth = w;
  options.sizeHeight = h;
}

void store(Options& options, const std::string& name, Kind kind, const std::string& value) {
  const Command& c = options.command;
  if (name == "--out") {
    if (value.empty()) throw UsageError(c, "--out needs a directory");
    options.outDir = value;
  } else if (name == "--frequency") {
    options.settings.frequency = parseNumber(c, name, value);
  } else if (name == "--angle") {
    options.settings.angleDegrees = parseNumber(c, name, value);
  } else if (name == "--sigma") {
    if (kind == Kind::NumberPair)
      parsePair(c, name, value, options.settings.sigmaAlong, options.settings.sigmaAcross);
    else
      options.settings.sigmaAlong = options.settings.sigmaAcross = parseNumber(c, name, value);
  } else if (name == "--plateau") {
    if (kind == Kind::NumberPair)
      parsePair(c, name, value, options.settings.plateauAlong, options.settings.plateauAcross);
    else
      options.settings.plateauAlong = options.settings.plateauAcross = parseNumber(c, name, value);
  } else if (name == "--dc-radius") {
    options.settings.dcRadius = parseInteger(c, name, value);
  } else if (name == "--padding") {
    if (value == "continue" && c == Command::Spectrum)
      throw UsageError(c,
                       "--padding continue continues the patterns a filter acts on; the "
                       "spectrum has no filter: use zero, reflect, edge or mean");
    if (value != "zero" && value != "reflect" && value != "edge" && value != "mean" &&
        value != "continue")
      throw UsageError(
          c, "--padding must be zero, reflect, edge, mean or continue, not '" + value + "'");
    options.padding = value;
  } else if (name == "--window") {
    storeWindow(options, value);
  } else if (name == "--kernel") {
    if (value.empty()) throw UsageError(c, "--kernel needs a picture file");
    options.kernelFile = value;
  } else if (name == "--mean") {
    options.meanSize = parseInteger(c, name, value);
    if (options.meanSize == 0)
      throw UsageError(c, "--mean 0 is out of range: it must be at least 1");
  } else if (name == "--gaussian") {
    options.gaussianSigma = parseNumber(c, name, value);
    if (options.gaussianSigma == 0.0)
      throw UsageError(c, "--gaussian 0 is out of range: it must be above 0");
  } else if (name == "--raw") {
    options.raw = true;
  } else if (name == "--grey") {
    options.grey = true;
  } else if (name == "--compatible") {
    options.compatible = true;
  } else if (name == "--size") {
    parseSize(c, value, options);
  }
}

bool parseCommand(const std::string& word, Command& command) {
  if (findFilterCommand(word) != nullptr) {
    command = Command(Command::Filter, word);
    return true;
  }
  for (Command::Kind kind : {Command::Spectrum, Command::Kernel})
    if (word == commandName(kind)) {
      command = kind;
      return true;
    }
  return false;
}

// The filter commands' lines of the program's help.
std::string filterCommandList() {
  std::string text;
  for (const FilterCommand& c : filterCommands())
    text += "  " + c.command + std::string(c.command.size() < 14 ? 14 - c.command.size() : 1, ' ') +
            c.summary + "\n";
  return text;
}

// What a filter command does, by its family and form.
std::string filterDescription(bool gabor, bool rejects) {
  if (!gabor && !rejects)
    return "Keeps the frequencies on a ring of radius F around zero and sets all others\n"
           "to zero: the gain is 1 up to P from the ring and falls off as a Gaussian of\n"
           "width S beyond. OUTPUT is the result with zero at middle grey, stretched to\n"
           "the full grey range.\n";
  if (!gabor)
    return "Removes the frequencies on a ring of radius F around zero and leaves all\n"
           "others: the gain is 1 minus the band-pass gain. OUTPUT keeps INPUT's levels\n"
           "(clamped to their range).\n";
  if (!rejects)
    return "Keeps the frequencies around one point of the spectrum, at distance F from\n"
           "zero in direction A, and sets all others to zero. Patterns that repeat with\n"
           "period 1/F pixels along direction A respond; a straight line at angle L has\n"
           "its frequencies across it, at A = L + 90. OUTPUT is the magnitude of the\n"
           "response (its local strength), stretched to the full grey range.\n";
  return "Removes the frequencies around the point at distance F from zero in direction\n"
         "A, and around its mirror point in direction A + 180 so that the result stays a\n"
         "real picture, and leaves all others. OUTPUT keeps INPUT's levels (clamped to\n"
         "their range).\n";
}

// `text` with its lines broken between words before column 80.
std::string wrapped(const std::string& text) {
  std::string out, line, word;
  const auto flush = [&] {
    if (word.empty()) return;
    if (!line.empty() && line.size() + 1 + word.size() > 80) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    word.clear();
  };
  for (char c : text) {
    if (c == ' ') {
      flush();
    } else {
      word += c;
    }
  }
  flush();
  return out + line + "\n";
}

// The commands that filter colour pictures channel by channel (`colour`) or work on
// their grey levels, as "a, b and c".
std::string commandsThat(bool colour) {
  std::vector<std::string> names;
  if (!colour) names.push_back("spectrum");
  for (const FilterCommand& c : filterCommands())
    if (filtersColour(Command(Command::Filter, c.command)) == colour) names.push_back(c.command);
  if (colour) names.push_back("kernel");
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

// What a command does with a colour picture.
std::string colourText(const Command& command) {
  const std::string luma = "(0.299 R + 0.587 G + 0.114 B)";
  if (command == Command::Demo)
    return wrapped("Colour pictures: " + commandsThat(true) +
                   " filter each channel and write a colour picture of INPUT's bit depth "
                   "(OUTPUT .png or .ppm), each channel what the command writes for that "
                   "channel alone as a grey picture; " +
                   commandsThat(false) +
                   ", whose OUTPUT is a display rather than INPUT's levels, work on its grey "
                   "levels " +
                   luma +
                   ", with a note, as every command does with --grey. An alpha channel is "
                   "dropped, with a note.");
  if (filtersColour(command))
    return wrapped(
        "A colour INPUT is filtered channel by channel: OUTPUT is a colour picture of "
        "INPUT's bit depth (so .png or .ppm), each channel what this command writes for that "
        "channel alone as a grey picture. An alpha channel is dropped, with a note. --grey "
        "works on INPUT's grey levels " +
        luma + " instead, into a grey picture.");
  return wrapped("A colour INPUT is converted to its grey levels " + luma +
                 ", with a note: OUTPUT is a display stretched to the grey range, not INPUT's "
                 "levels, and channels stretched each on its own scale would show colours "
                 "INPUT does not have. An alpha channel is dropped, with a note.");
}

}  // namespace

long maxSideOf(const Options& options) { return options.compatible ? 2048 : 16384; }

bool filtersColour(const Command& command) {
  if (command == Command::Kernel) return true;
  return command == Command::Filter && findFilterCommand(command.filter)->rejects;
}

std::string commandName(const Command& command) {
  switch (command.kind) {
    case Command::Demo:
      return "";
    case Command::Spectrum:
      return "spectrum";
    case Command::Filter:
      return command.filter;
    case Command::Kernel:
      return "kernel";
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
    if (index == rules.size()) throw UsageError(command, "unknown option '" + name + "'");
    std::string value;
    if (rules[index].kind == Kind::Flag) {
      if (equals != std::string::npos) throw UsageError(command, name + " takes no value");
    } else if (equals != std::string::npos) {
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
  if (options.padding.empty()) options.padding = command == Command::Spectrum ? "zero" : "continue";
  checkRanges(options);
  return options;
}

void checkAgainstPicture(const Options& options, long width, long height, long transformWidth,
                         long transformHeight) {
  const Command& c = options.command;
  // The (2R - 1) x (2R - 1) square around zero must lie inside the transform.
  const long largestRadius = (std::min(transformWidth, transformHeight) + 1) / 2;
  if (options.settings.dcRadius > largestRadius)
    throw UsageError(c, "--dc-radius " + std::to_string(options.settings.dcRadius) +
                            " is too large for a " + std::to_string(width) + " x " +
                            std::to_string(height) + " picture: at most " +
                            std::to_string(largestRadius) + " (half the side of its " +
                            std::to_string(transformWidth) + " x " +
                            std::to_string(transformHeight) + " transform)");
  const long smallerSide = std::min(transformWidth, transformHeight);
  if (options.meanSize > smallerSide)
    throw UsageError(c, "--mean " + std::to_string(options.meanSize) +
                            " is larger than the picture's transform: at most " +
                            std::to_string(smallerSide));
  const double largestSigma = std::floor((static_cast<double>(smallerSide) - 1.0) / 6.0);
  if (options.gaussianSigma > largestSigma)
    throw UsageError(c, "--gaussian " + shown(options.gaussianSigma) +
                            " makes a kernel larger than the picture's transform: at most " +
                            shown(largestSigma));
}

std::string helpText(const Command& command) {
  const std::string images =
      pngSupported() ? "Images: 8- and 16-bit PNG, PGM and PPM.\n"
                     : "Images: 8- and 16-bit PGM and PPM (this build has no PNG support).\n";
  const std::string common =
      "INPUT may have any size up to 16384 x 16384 pixels (2048 x 2048 with\n"
      "--compatible); it is transformed at its own size (--size), or at the next fast\n"
      "size of each side where a padding adds a margin. OUTPUT's extension (.png,\n"
      ".pgm or .ppm) chooses its format.\n" +
      images + colourText(command) +
      "Frequencies, sigmas and plateaus are in cycles per pixel (0 to 0.5).\n";
  const std::string greyOption =
      filtersColour(command)
          ? "  --grey          work on a colour INPUT's grey levels, into a grey picture\n"
          : "  --grey          accepted: this command works on grey levels anyway\n";
  const std::string transformOptions =
      "  --padding P     what fills the transform around the picture: zero (zeros up\n"
      "                  to the transform size; the spectrum's default), reflect (the\n"
      "                  picture mirrored at its edges), edge (border pixels repeated),\n"
      "                  mean (the picture's mean), or continue (the filters' default:\n"
      "                  edge, with the periodic patterns in the filter's band carried\n"
      "                  on into it, so that a pattern is removed right up to the\n"
      "                  border); all but zero add a margin of an eighth of each side\n"
      "  --window W      weight the picture first: none (default), hann, or tukey:F\n"
      "                  (flat, with the outer F of each side tapered; F from 0 to 1);\n"
      "                  for spectra with less leakage, not for filtering\n"
      "  --compatible    the library's compatible mode: pictures up to 2048 x 2048,\n"
      "                  the results of its earlier versions bit for bit, a transform\n"
      "                  error up to 4e-6 (the default extended mode: up to 16384 x\n"
      "                  16384, errors as small as single precision allows, 1.7e-7)\n"
      "  --size S        the transform size: own (the picture's, the default), fast\n"
      "                  (the next 2^a 3^b 5^c 7^d of each side), pow2 (the next\n"
      "                  powers of two) or WxH (one size, at least the padded\n"
      "                  picture's); --compatible always takes powers of two\n";
  const std::string bandOptions =
      "  --frequency F   radius of the ring (0 to 0.5)\n"
      "  --sigma S       width of the Gaussian flanks of the gain (above 0, at most 0.5)\n"
      "  --plateau P     half-width of the flat top of the gain (0 to 0.5, default 0)\n";
  const std::string radiusLimit =
      "                  (R at most half the transform's smaller side)\n";
  const std::string gaborOptions =
      "  --angle A       direction of the centre frequency: degrees from the x axis\n"
      "                  towards y, which points down (clockwise on screen)\n"
      "  --frequency F   distance of the centre frequency from zero (0 to 0.5)\n"
      "  --sigma S[,T]   width of the Gaussian flanks along the direction (S) and\n"
      "                  across it (T; T = S when left out); above 0, at most 0.5\n"
      "  --plateau P[,Q] half-width of the flat top along and across (0 to 0.5,\n"
      "                  default 0)\n";
  switch (command.kind) {
    case Command::Demo:
      return "Usage: vxfreq-demo [--out DIR] [--compatible] [--size S]\n"
             "       vxfreq-demo COMMAND [OPTIONS] INPUT OUTPUT\n"
             "       vxfreq-demo [COMMAND] --help\n"
             "\n"
             "Without a command, vxfreq-demo makes a 512 x 512 test picture (a textured\n"
             "surface with a scratch and a periodic interference pattern), runs each job of\n"
             "the vxfreq library on it, writes one picture per job and a contact sheet into\n"
             "DIR and prints how long each job took.\n"
             "\n"
             "Commands:\n"
             "  spectrum      centred log-magnitude spectrum\n" +
             filterCommandList() +
             "  kernel        convolve with a kernel (a picture, a mean or a Gaussian)\n"
             "\n"
             "Options:\n"
             "  --out DIR     where the demo writes its pictures (default: vxfreq-demo-out)\n"
             "  -h, --help    this help; after a command, the command's help\n"
             "\n" +
             common;
    case Command::Spectrum:
      return "Usage: vxfreq-demo spectrum INPUT OUTPUT\n"
             "       vxfreq-demo spectrum [--padding P] [--window W] INPUT OUTPUT\n"
             "\n"
             "Writes the magnitude of INPUT's spectrum on a logarithmic grey scale, with the\n"
             "zero frequency in the middle, as an 8-bit picture of the transform size. With\n"
             "zero padding, a picture whose edges are not dark shows a bright cross through\n"
             "the middle: reflect removes it, a window also narrows the leakage of sharp\n"
             "peaks.\n"
             "\n" +
             transformOptions + greyOption + "\n" + common;
    case Command::Filter: {
      const FilterCommand& type = *findFilterCommand(command.filter);
      const std::string usage = "Usage: vxfreq-demo " + type.command + " ";
      const std::string indent(usage.size(), ' ');
      const std::string radius =
          type.rejects ? "  --dc-radius R   leave the (2R-1) x (2R-1) frequencies around zero "
                         "unchanged\n"
                       : "  --dc-radius R   also set the (2R-1) x (2R-1) frequencies around zero "
                         "to zero\n";
      return usage +
             (type.gabor ? "--angle A --frequency F --sigma S[,T]\n" + indent +
                               "[--plateau P[,Q]] [--dc-radius R] [--padding P]\n" + indent +
                               "[--window W] INPUT OUTPUT\n"
                         : "--frequency F --sigma S [--plateau P]\n" + indent +
                               "[--dc-radius R] [--padding P] [--window W]\n" + indent +
                               "INPUT OUTPUT\n") +
             "\n" + filterDescription(type.gabor, type.rejects) + "\n" +
             (type.gabor ? gaborOptions : bandOptions) + radius +
             "                  (default 0: none)\n" + radiusLimit + transformOptions + greyOption +
             "\n" + common;
    }
    case Command::Kernel:
      return "Usage: vxfreq-demo kernel (--kernel FILE | --mean N | --gaussian S) [--raw]\n"
             "                          [--padding P] [--window W] INPUT OUTPUT\n"
             "\n"
             "Convolves INPUT with a kernel, centred on its middle pixel, by multiplying\n"
             "their transforms. The kernel is scaled so that its values sum to 1 (the\n"
             "picture keeps its brightness) unless --raw is given. OUTPUT keeps INPUT's\n"
             "levels (clamped to their range). With zero padding the kernel wraps around\n"
             "the picture's edges; reflect avoids the dark or bright seams.\n"
             "\n"
             "  --kernel FILE   the grey levels of a picture file (at most the transform's size)\n"
             "  --mean N        an N x N square of equal values (N from 1 to the transform's "
             "side)\n"
             "  --gaussian S    a Gaussian of S pixels (above 0, at most 2730; 341 with\n"
             "                  --compatible), 2 ceil(3 S) + 1 pixels a side\n"
             "  --raw           use the kernel's values as they are\n" +
             transformOptions + greyOption + "\n" + common;
  }
  return "";
}

}  // namespace demo
