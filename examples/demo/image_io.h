// Pictures in files: PNG (8 and 16 bits, when the program is built with libpng), PGM
// and PPM (binary and plain, any maximum value up to 65535); read as grey levels, and
// colour pictures also as their three channels.
#ifndef VXFREQ_DEMO_IMAGE_IO_H
#define VXFREQ_DEMO_IMAGE_IO_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace demo {

// A grey image of 8 or 16 bits per pixel, stored row after row without padding.
struct GreyImage {
  long width = 0;
  long height = 0;
  int bits = 8;
  std::vector<std::uint16_t> pixels;

  GreyImage() = default;
  GreyImage(long w, long h, int depth)
      : width(w), height(h), bits(depth), pixels(static_cast<std::size_t>(w * h), 0) {}

  std::uint16_t& at(long x, long y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
  std::uint16_t at(long x, long y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  int maxValue() const { return bits == 16 ? 65535 : 255; }
};

// What was read, and what had to be changed to make it a grey image.
struct LoadedImage {
  GreyImage image;
  std::string format;                // "PNG", "PGM" or "PPM"
  bool convertedFromColour = false;  // RGB made grey: (299 R + 587 G + 114 B) / 1000
  bool alphaIgnored = false;         // an alpha channel was dropped
  bool rescaled = false;             // a PNM maximum other than 255 or 65535 was rescaled
  // A colour picture's red, green and blue channels as they are (rescaled like the grey
  // levels), each of the image's size and bit depth; empty for a grey picture and when
  // only the header was read.
  std::vector<GreyImage> channels;
};

// A file that cannot be read or written; the message names the file.
class ImageFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Whether this program can read and write PNG files.
bool pngSupported();

// Reads a PNG, PGM or PPM file, recognised by its content. Images wider or higher than
// `maxSide` pixels are refused before their pixels are read.
LoadedImage readImage(const std::string& path, long maxSide);

// Writes `image` as PNG (".png"), PGM (".pgm") or PPM (".ppm", three equal channels),
// chosen by the file name's extension, at the image's bit depth.
void writeImage(const std::string& path, const GreyImage& image);

// Writes the channels of a colour picture (red, green, blue: three images of one size
// and bit depth) as PNG (".png") or PPM (".ppm"), chosen by the file name's extension;
// any other extension is an ImageFileError.
void writeColourImage(const std::string& path, const std::vector<GreyImage>& channels);

// Whether the file name's extension is one that writeColourImage writes.
bool holdsColour(const std::string& path);

// The header of a picture file: `image` has the width, height and bit depth but no
// pixels. Throws what readImage throws for the header.
LoadedImage readImageHeader(const std::string& path, long maxSide);

// The output of a command, opened for writing before any work: its format must be known
// and the file must open for writing (the folder exists and can hold it, the file, if
// there is one, is writable), else ImageFileError. A file this makes is removed again
// unless keep() is called (the work failed); a file that was there keeps its content
// until the output is written.
class OutputFile {
public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  void keep() { made_ = false; }

private:
  std::string path_;
  bool made_ = false;
};

// The extension this program writes its own pictures with: ".png", or ".pgm" without
// libpng.
std::string pictureExtension();

}  // namespace demo

#endif
