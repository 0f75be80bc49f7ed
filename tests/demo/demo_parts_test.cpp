// Tests of the parts of vxfreq-demo: picture files, the command line, the bitmap font,
// the contact sheet and the jobs.
#include "bitmap_font.h"
#include "contact_sheet.h"
#include "image_io.h"
#include "jobs.h"
#include "options.h"
#include "test_image.h"

#include <gtest/gtest.h>

#if VXFREQ_DEMO_HAVE_PNG
#include <png.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// Files are written into the test's working directory (its build folder).
std::string scratch(const std::string& name) { return "parts-" + name; }

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

demo::GreyImage sample(long width, long height, int bits) {
  demo::GreyImage image(width, height, bits);
  std::uint32_t state = 12345;
  for (auto& p : image.pixels) {
    state = state * 1664525u + 1013904223u;
    p = static_cast<std::uint16_t>((state >> 8) % (static_cast<std::uint32_t>(image.maxValue()) + 1));
  }
  image.at(0, 0) = 0;
  image.at(width - 1, height - 1) = static_cast<std::uint16_t>(image.maxValue());
  return image;
}

// 128 + amplitude cos(2 pi (cx x + cy y) / size): cx and cy whole cycles across.
demo::GreyImage wave(long size, long cx, long cy, double amplitude) {
  demo::GreyImage image(size, size, 8);
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x)
      image.at(x, y) = static_cast<std::uint16_t>(
          std::lround(128.0 + amplitude * std::cos(2.0 * kPi * (cx * x + cy * y) / size)));
  return image;
}

demo::Options parse(std::vector<const char*> args) {
  args.insert(args.begin(), "vxfreq-demo");
  return demo::parseOptions(static_cast<int>(args.size()), args.data());
}

std::string usageError(std::vector<const char*> args) {
  try {
    parse(args);
  } catch (const demo::UsageError& e) {
    return e.what();
  }
  return "(accepted)";
}

std::string fileError(const std::string& path) {
  try {
    demo::readImage(path, 2048);
  } catch (const demo::ImageFileError& e) {
    return e.what();
  }
  return "(read)";
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---------------------------------------------------------------------------

TEST(PictureFiles, PgmKeepsEveryPixelAtEightAndSixteenBits) {
  for (int bits : {8, 16}) {
    const demo::GreyImage image = sample(13, 7, bits);
    const std::string path = scratch("round-trip" + std::to_string(bits) + ".pgm");
    demo::writeImage(path, image);
    const demo::LoadedImage loaded = demo::readImage(path, 2048);
    EXPECT_EQ(loaded.format, "PGM");
    EXPECT_FALSE(loaded.convertedFromColour);
    EXPECT_FALSE(loaded.rescaled);
    EXPECT_EQ(loaded.image.width, 13);
    EXPECT_EQ(loaded.image.height, 7);
    EXPECT_EQ(loaded.image.bits, bits);
    EXPECT_EQ(loaded.image.pixels, image.pixels);
  }
}

TEST(PictureFiles, PpmIsWrittenAsThreeEqualChannelsAndReadAsGrey) {
  const demo::GreyImage image = sample(5, 4, 16);
  const std::string path = scratch("grey.ppm");
  demo::writeImage(path, image);
  const demo::LoadedImage loaded = demo::readImage(path, 2048);
  EXPECT_EQ(loaded.format, "PPM");
  EXPECT_TRUE(loaded.convertedFromColour);
  EXPECT_EQ(loaded.image.bits, 16);
  EXPECT_EQ(loaded.image.pixels, image.pixels);
}

TEST(PictureFiles, ColourBecomesLuma) {
  const std::string path = scratch("colour.ppm");
  writeBytes(path, std::string("P6\n# red green blue white\n4 1\n255\n") +
                       std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff", 12));
  const demo::LoadedImage loaded = demo::readImage(path, 2048);
  EXPECT_TRUE(loaded.convertedFromColour);
  EXPECT_EQ(loaded.image.bits, 8);
  EXPECT_EQ(loaded.image.pixels, (std::vector<std::uint16_t>{76, 150, 29, 255}));
}

TEST(PictureFiles, PlainFormatWithAnOddMaximumIsRescaled) {
  const std::string path = scratch("plain.pgm");
  writeBytes(path, "P2\n3 2 # comment inside the header\n15\n0 15 7\n\n1 2 3\n");
  const demo::LoadedImage loaded = demo::readImage(path, 2048);
  EXPECT_TRUE(loaded.rescaled);
  EXPECT_EQ(loaded.image.bits, 8);
  EXPECT_EQ(loaded.image.pixels, (std::vector<std::uint16_t>{0, 255, 119, 17, 34, 51}));

  writeBytes(path, "P2\n2 1\n1000\n1000 500\n");
  const demo::LoadedImage wide = demo::readImage(path, 2048);
  EXPECT_EQ(wide.image.bits, 16);
  EXPECT_EQ(wide.image.pixels, (std::vector<std::uint16_t>{65535, 32768}));
}

TEST(PictureFiles, SizesAboveTheLimitAreRefusedFromTheHeader) {
  const std::string path = scratch("huge.pgm");
  writeBytes(path, "P5\n4000 10\n255\n");  // no pixels: the header alone must suffice
  EXPECT_TRUE(contains(fileError(path), "4000 x 10 pixels; transforms take at most 2048"))
      << fileError(path);
  writeBytes(path, "P5\n0 10\n255\n");
  EXPECT_TRUE(contains(fileError(path), "has no pixels")) << fileError(path);
}

TEST(PictureFiles, BadFilesAreNamedInTheMessage) {
  EXPECT_TRUE(contains(fileError(scratch("absent.pgm")), "cannot open 'parts-absent.pgm'"));
  const std::string notPicture = scratch("not-a-picture.pgm");
  writeBytes(notPicture, "GIF89a");
  EXPECT_TRUE(contains(fileError(notPicture), "is not a PNG, PGM or PPM image"));
  const std::string truncated = scratch("truncated.pgm");
  writeBytes(truncated, "P5\n4 4\n255\n0123456789");
  EXPECT_TRUE(contains(fileError(truncated), "ends before all its pixels"));
  const std::string tooBright = scratch("too-bright.pgm");
  writeBytes(tooBright, "P2\n2 1\n100\n50 101\n");
  EXPECT_TRUE(contains(fileError(tooBright), "above its maximum"));
  const std::string header = scratch("header.pgm");
  writeBytes(header, "P5\n4 x\n255\n");
  EXPECT_TRUE(contains(fileError(header), "has no height"));

  try {
    demo::writeImage(scratch("picture.tif"), sample(2, 2, 8));
    FAIL() << "an unknown format was written";
  } catch (const demo::ImageFileError& e) {
    EXPECT_TRUE(contains(e.what(), "unknown format '.tif'")) << e.what();
  }
}

#if VXFREQ_DEMO_HAVE_PNG

TEST(PictureFiles, PngKeepsEveryPixelAtEightAndSixteenBits) {
  for (int bits : {8, 16}) {
    const demo::GreyImage image = sample(31, 9, bits);
    const std::string path = scratch("round-trip" + std::to_string(bits) + ".png");
    demo::writeImage(path, image);
    const demo::LoadedImage loaded = demo::readImage(path, 2048);
    EXPECT_EQ(loaded.format, "PNG");
    EXPECT_FALSE(loaded.convertedFromColour);
    EXPECT_FALSE(loaded.alphaIgnored);
    EXPECT_EQ(loaded.image.bits, bits);
    EXPECT_EQ(loaded.image.width, 31);
    EXPECT_EQ(loaded.image.pixels, image.pixels);
  }
}

TEST(PictureFiles, ColourPngWithAlphaBecomesGrey) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = 3;
  png.height = 1;
  png.format = PNG_FORMAT_RGBA;
  const unsigned char rgba[] = {255, 0, 0, 255, 0, 255, 0, 10, 40, 40, 40, 0};
  const std::string path = scratch("rgba.png");
  ASSERT_TRUE(png_image_write_to_file(&png, path.c_str(), 0, rgba, 0, nullptr));
  const demo::LoadedImage loaded = demo::readImage(path, 2048);
  EXPECT_TRUE(loaded.convertedFromColour);
  EXPECT_TRUE(loaded.alphaIgnored);
  EXPECT_EQ(loaded.image.pixels, (std::vector<std::uint16_t>{76, 150, 40}));
}

TEST(PictureFiles, DamagedPngIsReportedNotCrashedOn) {
  const std::string path = scratch("damaged.png");
  demo::writeImage(path, sample(64, 64, 8));
  std::string bytes;
  {
    std::ifstream f(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  writeBytes(path, bytes.substr(0, bytes.size() / 2));
  EXPECT_TRUE(contains(fileError(path), "cannot read 'parts-damaged.png'")) << fileError(path);
}

#endif

// ---------------------------------------------------------------------------

TEST(CommandLine, WithoutArgumentsRunsTheDemoIntoItsDefaultDirectory) {
  const demo::Options o = parse({});
  EXPECT_EQ(o.command, demo::Command::Demo);
  EXPECT_EQ(o.outDir, "vxfreq-demo-out");
  EXPECT_EQ(parse({"--out", "elsewhere"}).outDir, "elsewhere");
  EXPECT_EQ(parse({"--out=there"}).outDir, "there");
  EXPECT_TRUE(parse({"--help"}).help);
}

TEST(CommandLine, FilterCommandsTakeTheirParametersAndTwoFiles) {
  const demo::Options band = parse({"bandreject", "--frequency", "0.25", "--sigma=0.01",
                                    "--plateau", "0.002", "--dc-radius", "2", "a.png", "b.pgm"});
  EXPECT_EQ(band.command, demo::Command::BandReject);
  EXPECT_DOUBLE_EQ(band.frequency, 0.25);
  EXPECT_DOUBLE_EQ(band.sigmaAlong, 0.01);
  EXPECT_DOUBLE_EQ(band.plateauAlong, 0.002);
  EXPECT_EQ(band.dcRadius, 2);
  EXPECT_EQ(band.input, "a.png");
  EXPECT_EQ(band.output, "b.pgm");

  const demo::Options gabor =
      parse({"gabor", "in.png", "--angle", "-30", "--frequency", "0.1", "--sigma", "0.04,0.006",
             "--plateau", "0.1", "out.png"});
  EXPECT_EQ(gabor.command, demo::Command::Gabor);
  EXPECT_DOUBLE_EQ(gabor.angleDegrees, -30.0);
  EXPECT_DOUBLE_EQ(gabor.sigmaAlong, 0.04);
  EXPECT_DOUBLE_EQ(gabor.sigmaAcross, 0.006);
  EXPECT_DOUBLE_EQ(gabor.plateauAlong, 0.1);
  EXPECT_DOUBLE_EQ(gabor.plateauAcross, 0.1);
  EXPECT_EQ(gabor.input, "in.png");
  EXPECT_EQ(gabor.output, "out.png");

  // After "--", names that start with '-' are files.
  EXPECT_EQ(parse({"spectrum", "--", "-in.png", "-out.png"}).input, "-in.png");
  // Help needs nothing else.
  EXPECT_TRUE(parse({"gaborreject", "--help"}).help);
}

TEST(CommandLine, MistakesAreNamed) {
  EXPECT_EQ(usageError({"sharpen"}), "unknown command 'sharpen'");
  EXPECT_EQ(usageError({"bandpass", "--sigma", "0.1", "a", "b"}), "--frequency is required");
  EXPECT_EQ(usageError({"bandpass", "--frequency", "0.1", "--sigma", "0.1x", "a", "b"}),
            "--sigma needs a number, not '0.1x'");
  EXPECT_EQ(usageError({"bandpass", "--frequency", "nan", "--sigma", "0.1", "a", "b"}),
            "--frequency needs a number, not 'nan'");
  EXPECT_EQ(usageError({"gabor", "--angle", "0", "--frequency", "0.1", "--sigma", "0.1,",
                        "a", "b"}),
            "--sigma needs a number, not ''");
  EXPECT_EQ(usageError({"bandpass", "--frequency", "0.1", "--sigma", "0.1", "--dc-radius",
                        "2.5", "a", "b"}),
            "--dc-radius needs a whole number, not '2.5'");
  EXPECT_EQ(usageError({"bandpass", "--frequency"}), "--frequency needs a value");
  EXPECT_EQ(usageError({"spectrum", "--angle", "3", "a", "b"}), "unknown option '--angle'");
  EXPECT_EQ(usageError({"spectrum", "a"}), "needs an input and an output file");
  EXPECT_EQ(usageError({"spectrum", "a", "b", "c"}), "unexpected argument 'c'");
  EXPECT_EQ(usageError({"--out"}), "--out needs a value");
}

TEST(CommandLine, EveryCommandHasHelpNamingItsOptions) {
  EXPECT_TRUE(contains(demo::helpText(demo::Command::Demo), "--out DIR"));
  EXPECT_TRUE(contains(demo::helpText(demo::Command::Spectrum), "spectrum INPUT OUTPUT"));
  for (demo::Command c : {demo::Command::BandPass, demo::Command::BandReject}) {
    const std::string help = demo::helpText(c);
    for (const char* option : {"--frequency F", "--sigma S", "--plateau P", "--dc-radius R"})
      EXPECT_TRUE(contains(help, option)) << demo::commandName(c) << " " << option;
  }
  for (demo::Command c : {demo::Command::Gabor, demo::Command::GaborReject}) {
    const std::string help = demo::helpText(c);
    for (const char* option : {"--angle A", "--frequency F", "--sigma S[,T]", "--plateau P[,Q]"})
      EXPECT_TRUE(contains(help, option)) << demo::commandName(c) << " " << option;
  }
}

// ---------------------------------------------------------------------------

TEST(BitmapFont, EveryVisibleCharacterHasInkAndTheSpaceNone) {
  for (char c = '!'; c <= '~'; ++c) {
    int ink = 0;
    for (int y = 0; y < demo::kGlyphHeight; ++y)
      for (int x = 0; x < demo::kGlyphWidth; ++x) ink += demo::glyphPixel(c, x, y);
    EXPECT_GT(ink, 0) << "'" << c << "'";
  }
  for (int y = 0; y < demo::kGlyphHeight; ++y)
    for (int x = 0; x < demo::kGlyphWidth; ++x) EXPECT_FALSE(demo::glyphPixel(' ', x, y));
  // Characters without a glyph are drawn as '?'.
  EXPECT_EQ(demo::glyphColumns('\t'), demo::glyphColumns('?'));
  // Only the letters with descenders reach the last row.
  for (char c = 'a'; c <= 'z'; ++c) {
    bool low = false;
    for (int x = 0; x < demo::kGlyphWidth; ++x) low = low || demo::glyphPixel(c, x, 7);
    EXPECT_EQ(low, std::string("gjpqy").find(c) != std::string::npos) << "'" << c << "'";
  }
}

TEST(ContactSheet, TextStaysInsideItsBox) {
  demo::GreyImage canvas(200, 40, 8);
  demo::drawText(canvas, 10, 5, "Gabor: f 0.2", 2, 255);
  long inkLeft = 1000, inkRight = -1, inkTop = 1000, inkBottom = -1;
  for (long y = 0; y < canvas.height; ++y)
    for (long x = 0; x < canvas.width; ++x)
      if (canvas.at(x, y)) {
        inkLeft = std::min(inkLeft, x);
        inkRight = std::max(inkRight, x);
        inkTop = std::min(inkTop, y);
        inkBottom = std::max(inkBottom, y);
      }
  EXPECT_GE(inkLeft, 10);
  EXPECT_LT(inkRight, 10 + demo::textWidth("Gabor: f 0.2", 2));
  EXPECT_GE(inkTop, 5);
  EXPECT_LT(inkBottom, 5 + demo::kGlyphHeight * 2);
  EXPECT_EQ(demo::textWidth("ab", 3), (6 + 5) * 3);
  // Clipped at the edges without writing outside the picture.
  demo::drawText(canvas, 190, 30, "WWWW", 3, 255);
}

TEST(ContactSheet, ShrinkingAveragesPicturesAndKeepsPeaksOfSpectra) {
  demo::GreyImage spectrum(512, 256, 8);
  spectrum.at(301, 77) = 200;
  const demo::GreyImage peak = demo::fitPicture(spectrum, 128, demo::Shrink::Peak);
  const demo::GreyImage mean = demo::fitPicture(spectrum, 128, demo::Shrink::Average);
  EXPECT_EQ(peak.width, 128);
  EXPECT_EQ(peak.height, 64);
  EXPECT_EQ(peak.at(301 / 4, 77 / 4), 200);
  EXPECT_LT(mean.at(301 / 4, 77 / 4), 20);

  demo::GreyImage flat(300, 300, 8);
  std::fill(flat.pixels.begin(), flat.pixels.end(), 90);
  const demo::GreyImage fitted = demo::fitPicture(flat, 256, demo::Shrink::Average);
  EXPECT_EQ(fitted.width, 256);
  for (std::uint16_t p : fitted.pixels) ASSERT_EQ(p, 90);
  // Pictures that fit are left alone.
  EXPECT_EQ(demo::fitPicture(flat, 400, demo::Shrink::Average).pixels, flat.pixels);
}

TEST(ContactSheet, RowsOfTilesUnderCaptions) {
  demo::SheetLayout layout;
  layout.tile = 64;
  const demo::GreyImage white = [] {
    demo::GreyImage w(128, 128, 8);
    std::fill(w.pixels.begin(), w.pixels.end(), 255);
    return w;
  }();
  const std::vector<demo::SheetRow> rows = {
      {"first", {{white, demo::Shrink::Average}, {white, demo::Shrink::Peak}}},
      {"second", {{white, demo::Shrink::Average}}}};
  const demo::GreyImage sheet = demo::makeContactSheet("heading", {"a", "b", "c"}, rows, layout);
  EXPECT_EQ(sheet.width, 2 * layout.margin + 3 * layout.tile + 2 * layout.gap);
  EXPECT_GT(sheet.height, 2 * layout.tile);
  // Count the white tiles' pixels: three tiles of 64 x 64.
  long white_pixels = 0;
  for (std::uint16_t p : sheet.pixels) white_pixels += p == 255;
  long ink = 0;  // the heading and row titles are drawn in white too
  for (const char* text : {"heading", "first", "second"})
    for (const char* c = text; *c; ++c)
      for (int y = 0; y < demo::kGlyphHeight; ++y)
        for (int x = 0; x < demo::kGlyphWidth; ++x)
          ink += demo::glyphPixel(*c, x, y) ? layout.textScale * layout.textScale : 0;
  EXPECT_EQ(white_pixels, 3 * 64 * 64 + ink);
}

// ---------------------------------------------------------------------------

TEST(Jobs, KernelJobIsCircularConvolutionWithoutShift) {
  demo::GreyImage input(16, 8, 8);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 16; ++x) input.at(x, y) = static_cast<std::uint16_t>((x * 37 + y * 11) % 100);
  const std::vector<double> kernel = {0.0, 0.1, 0.0,  //
                                      0.2, 0.3, 0.0,  //
                                      0.0, 0.1, 0.3};
  const demo::FilterResult result =
      demo::runFilterJob(input, demo::kernelJob("k", "k", "", kernel, 3, 3), false);
  ASSERT_EQ(result.output.width, 16);
  ASSERT_EQ(result.output.height, 8);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 16; ++x) {
      double expected = 0.0;
      for (long j = -1; j <= 1; ++j)
        for (long i = -1; i <= 1; ++i)
          expected += kernel[static_cast<std::size_t>((j + 1) * 3 + (i + 1))] *
                      input.at((x - i + 16) % 16, (y - j + 8) % 8);
      EXPECT_NEAR(result.output.at(x, y), expected, 0.51) << x << ", " << y;
    }
}

TEST(Jobs, GaborRejectRemovesAPatternAtItsAngleAndFrequency) {
  // 8 cycles in x and 4 in y across 64 pixels.
  const demo::GreyImage input = wave(64, 8, 4, 60.0);
  demo::GaborSettings s;
  s.angleDegrees = std::atan2(4.0, 8.0) * 180.0 / kPi;
  s.frequency = std::hypot(8.0, 4.0) / 64.0;
  s.sigmaAlong = s.sigmaAcross = 0.01;
  s.dcRadius = 1;
  const demo::FilterResult result = demo::runFilterJob(input, demo::gaborRejectJob(s), true);
  for (std::uint16_t p : result.output.pixels) ASSERT_NEAR(p, 128, 2);
  // The gain is 0 at both lobes and 1 far from them.
  EXPECT_LT(result.gain.at(32 + 8, 32 + 4), 0.01);
  EXPECT_LT(result.gain.at(32 - 8, 32 - 4), 0.01);
  EXPECT_NEAR(result.gain.at(32 + 8, 32 - 4), 1.0, 1e-6);
  EXPECT_NEAR(result.gain.at(32, 32), 1.0, 1e-6);

  // Another angle leaves the pattern alone.
  s.angleDegrees += 90.0;
  const demo::FilterResult other = demo::runFilterJob(input, demo::gaborRejectJob(s), false);
  EXPECT_EQ(other.output.pixels, input.pixels);
}

TEST(Jobs, BandPassKeepsThePatternAroundMiddleGrey) {
  const demo::GreyImage input = wave(64, 8, 4, 60.0);
  demo::BandSettings s;
  s.frequency = std::hypot(8.0, 4.0) / 64.0;
  s.sigma = 0.01;
  const demo::FilterResult result = demo::runFilterJob(input, demo::bandPassJob(s), false);
  // Signed display: the wave alone, its crests white and its troughs black.
  for (long y = 0; y < 64; ++y)
    for (long x = 0; x < 64; ++x) {
      const double expected = 128.0 + 127.0 * std::cos(2.0 * kPi * (8 * x + 4 * y) / 64.0);
      ASSERT_NEAR(result.output.at(x, y), expected, 2.0) << x << ", " << y;
    }
}

TEST(Jobs, GaborGivesTheEnvelopeOfOneLobe) {
  // The pattern on the left half only: the response is bright there and dark on the right.
  demo::GreyImage input = wave(128, 16, 0, 50.0);
  for (long y = 0; y < 128; ++y)
    for (long x = 64; x < 128; ++x) input.at(x, y) = 128;
  demo::GaborSettings s;
  s.angleDegrees = 0.0;
  s.frequency = 16.0 / 128.0;
  s.sigmaAlong = s.sigmaAcross = 0.02;
  const demo::FilterResult result = demo::runFilterJob(input, demo::gaborJob(s), false);
  double left = 0.0, right = 0.0;
  for (long y = 0; y < 128; ++y) {
    for (long x = 16; x < 48; ++x) left += result.output.at(x, y);
    for (long x = 80; x < 112; ++x) right += result.output.at(x, y);
  }
  EXPECT_GT(left / (128 * 32), 200.0);
  EXPECT_LT(right / (128 * 32), 20.0);
}

TEST(Jobs, SpectrumIsCentredAndPeaksAtThePattern) {
  const demo::SpectrumResult result = demo::runSpectrum(wave(64, 8, 4, 60.0));
  ASSERT_EQ(result.output.width, 64);
  ASSERT_EQ(result.output.height, 64);
  std::uint16_t strongest = 0;
  for (long y = 0; y < 64; ++y)
    for (long x = 0; x < 64; ++x) {
      const bool special = (x == 32 && y == 32) || (x == 40 && y == 36) || (x == 24 && y == 28);
      if (!special) strongest = std::max(strongest, result.output.at(x, y));
    }
  EXPECT_GT(result.output.at(40, 36), strongest + 100);
  EXPECT_GT(result.output.at(24, 28), strongest + 100);
  EXPECT_GT(result.output.at(32, 32), result.output.at(40, 36));
}

TEST(Jobs, SixteenBitPicturesStaySixteenBit) {
  // One cycle of a wave across 64 pixels: a ring near the highest frequencies leaves it.
  demo::GreyImage input(64, 32, 16);
  for (long y = 0; y < 32; ++y)
    for (long x = 0; x < 64; ++x)
      input.at(x, y) =
          static_cast<std::uint16_t>(std::lround(30000.0 + 20000.0 * std::cos(2.0 * kPi * x / 64)));
  demo::BandSettings s;
  s.frequency = 0.45;
  s.sigma = 0.005;
  const demo::FilterResult result = demo::runFilterJob(input, demo::bandRejectJob(s), false);
  EXPECT_EQ(result.output.bits, 16);
  EXPECT_EQ(result.output.width, 64);
  EXPECT_EQ(result.output.height, 32);
  for (long y = 0; y < 32; ++y)
    for (long x = 0; x < 64; ++x) ASSERT_NEAR(result.output.at(x, y), input.at(x, y), 2.0);
}

TEST(Jobs, LibraryErrorsReachTheCaller) {
  demo::BandSettings s;
  s.frequency = 0.6;
  s.sigma = 0.01;
  try {
    demo::runFilterJob(sample(8, 8, 8), demo::bandPassJob(s), false);
    FAIL() << "a frequency of 0.6 was accepted";
  } catch (const vxFrequencyDefs::InvalidArgument& e) {
    EXPECT_STREQ(e.what(), "Frequency must be between 0.0 and 0.5.");
  }
}

// ---------------------------------------------------------------------------

TEST(TestImage, IsTheSameEveryTimeAndHoldsItsFeatures) {
  const demo::GreyImage a = demo::makeTestImage(512);
  EXPECT_EQ(a.pixels, demo::makeTestImage(512).pixels);
  EXPECT_EQ(a.width, 512);
  EXPECT_EQ(a.bits, 8);
  const demo::TestImageFeatures f = demo::testImageFeatures(512);
  EXPECT_NEAR(f.patternFrequency, std::hypot(60.0, 22.0) / 512.0, 1e-12);

  // The pattern is the strongest frequency apart from zero; the scratch raises its
  // frequencies across it (at its angle + 90 degrees) above those along it.
  const demo::SpectrumResult spectrum = demo::runSpectrum(a);
  const vxPelBuffer<double>& m = spectrum.magnitude;
  double strongest = 0.0;
  long sx = 0, sy = 0;
  for (long y = 0; y < 512; ++y)
    for (long x = 0; x < 512; ++x) {
      if (std::abs(x - 256) <= 4 && std::abs(y - 256) <= 4) continue;
      if (m.at(x, y) > strongest) {
        strongest = m.at(x, y);
        sx = x - 256;
        sy = y - 256;
      }
    }
  EXPECT_TRUE((sx == 60 && sy == 22) || (sx == -60 && sy == -22)) << sx << ", " << sy;

  const auto lineEnergy = [&](double degrees) {
    double sum = 0.0;
    for (int r = 100; r < 200; ++r) {
      const long x = 256 + std::lround(r * std::cos(degrees * kPi / 180.0));
      const long y = 256 + std::lround(r * std::sin(degrees * kPi / 180.0));
      sum += m.at(x, y);
    }
    return sum;
  };
  EXPECT_GT(lineEnergy(f.scratchDegrees + 90.0), 3.0 * lineEnergy(f.scratchDegrees));
}

}  // namespace
