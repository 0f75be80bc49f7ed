#include "image_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include <unistd.h>

#if VXFREQ_DEMO_HAVE_PNG
#include <png.h>

#include <csetjmp>
#endif

namespace demo {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::string& path, const char* mode, const char* verb) {
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (!f)
    throw ImageFileError("cannot " + std::string(verb) + " '" + path +
                         "': " + std::strerror(errno));
  return File(f);
}

std::string lowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

void checkSize(const std::string& path, long width, long height, long maxSide) {
  if (width <= 0 || height <= 0)
    throw ImageFileError("'" + path + "' has no pixels (" + std::to_string(width) + " x " +
                         std::to_string(height) + ")");
  if (width > maxSide || height > maxSide)
    throw ImageFileError("'" + path + "' is " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels; transforms take at most " +
                         std::to_string(maxSide) + " pixels per side");
}

// What a header tells: the size and depth, no pixels.
LoadedImage& sizeOnly(LoadedImage& result, long width, long height, int bits) {
  result.image.width = width;
  result.image.height = height;
  result.image.bits = bits;
  return result;
}

// Grey from RGB with the weights of television luma, rounded.
std::uint16_t greyFromRgb(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint16_t>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}

// ---------------------------------------------------------------------------
// PGM and PPM.

class PnmReader {
public:
  PnmReader(std::FILE* f, const std::string& path) : f_(f), path_(path) {}

  // The next header number: whitespace and comments (# to the end of the line) are
  // skipped.
  long number(const char* what) {
    int c = std::fgetc(f_);
    for (;;) {
      while (c != EOF && std::isspace(c)) c = std::fgetc(f_);
      if (c != '#') break;
      while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(f_);
    }
    if (c == EOF) throw ImageFileError("'" + path_ + "' ends in its header");
    if (!std::isdigit(c)) throw ImageFileError("'" + path_ + "' has no " + what + " in its header");
    long value = 0;
    while (c != EOF && std::isdigit(c)) {
      if (value > 100000000L) throw ImageFileError("'" + path_ + "' has an impossible " + what);
      value = value * 10 + (c - '0');
      c = std::fgetc(f_);
    }
    last_ = c;
    return value;
  }

  // After the maximum value: exactly one whitespace character precedes the raster.
  void endOfHeader() {
    if (last_ == EOF || !std::isspace(last_))
      throw ImageFileError("'" + path_ + "' has a malformed header");
  }

  // A plain-format sample (whitespace and comments allowed between samples).
  long plainSample() {
    int c = std::fgetc(f_);
    for (;;) {
      while (c != EOF && std::isspace(c)) c = std::fgetc(f_);
      if (c != '#') break;
      while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(f_);
    }
    if (c == EOF) throw truncated();
    if (!std::isdigit(c)) throw ImageFileError("'" + path_ + "' has a malformed pixel value");
    long value = 0;
    while (c != EOF && std::isdigit(c)) {
      if (value > 65535) break;
      value = value * 10 + (c - '0');
      c = std::fgetc(f_);
    }
    return value;
  }

  void binarySamples(std::vector<unsigned char>& bytes) {
    if (std::fread(bytes.data(), 1, bytes.size(), f_) != bytes.size()) throw truncated();
  }

  ImageFileError truncated() const {
    return ImageFileError("'" + path_ + "' ends before all its pixels");
  }

private:
  std::FILE* f_;
  std::string path_;
  int last_ = EOF;
};

LoadedImage readPnm(std::FILE* f, const std::string& path, char kind, long maxSide, bool pixels) {
  PnmReader reader(f, path);
  const bool colour = kind == '3' || kind == '6';
  const bool plain = kind == '2' || kind == '3';
  const long width = reader.number("width");
  const long height = reader.number("height");
  const long maxval = reader.number("maximum value");
  reader.endOfHeader();
  checkSize(path, width, height, maxSide);
  if (maxval < 1 || maxval > 65535)
    throw ImageFileError("'" + path + "' has the maximum value " + std::to_string(maxval) +
                         " (1 to 65535 are allowed)");

  LoadedImage result;
  result.format = colour ? "PPM" : "PGM";
  result.convertedFromColour = colour;
  const int bits = maxval > 255 ? 16 : 8;
  const long target = bits == 16 ? 65535 : 255;
  result.rescaled = maxval != target;
  if (!pixels) return sizeOnly(result, width, height, bits);
  result.image = GreyImage(width, height, bits);
  if (colour) result.channels.assign(3, GreyImage(width, height, bits));

  const int channels = colour ? 3 : 1;
  const std::size_t bytesPerSample = maxval > 255 ? 2 : 1;
  const std::size_t rowSamples = static_cast<std::size_t>(width) * channels;
  std::vector<unsigned char> row(plain ? 0 : rowSamples * bytesPerSample);
  std::vector<long> samples(rowSamples);
  for (long y = 0; y < height; ++y) {
    if (plain) {
      for (std::size_t i = 0; i < rowSamples; ++i) samples[i] = reader.plainSample();
    } else {
      reader.binarySamples(row);
      for (std::size_t i = 0; i < rowSamples; ++i)
        samples[i] = bytesPerSample == 2 ? (row[2 * i] << 8) | row[2 * i + 1] : row[i];
    }
    for (std::size_t i = 0; i < rowSamples; ++i) {
      if (samples[i] > maxval)
        throw ImageFileError("'" + path + "' has a pixel value above its maximum " +
                             std::to_string(maxval));
      if (result.rescaled) samples[i] = (samples[i] * target + maxval / 2) / maxval;
    }
    for (long x = 0; x < width; ++x) {
      const long* s = &samples[static_cast<std::size_t>(x * channels)];
      result.image.at(x, y) =
          colour ? greyFromRgb(static_cast<unsigned>(s[0]), static_cast<unsigned>(s[1]),
                               static_cast<unsigned>(s[2]))
                 : static_cast<std::uint16_t>(s[0]);
      for (std::size_t c = 0; c < result.channels.size(); ++c)
        result.channels[c].at(x, y) = static_cast<std::uint16_t>(s[c]);
    }
  }
  return result;
}

// Writes PGM (one plane) or PPM (three: red, green, blue; a grey image is its own three
// planes), the planes of one size and depth.
void writePnm(const std::string& path, const std::vector<const GreyImage*>& planes) {
  const GreyImage& image = *planes.front();
  const bool colour = planes.size() == 3;
  File f = openFile(path, "wb", "create");
  std::fprintf(f.get(), "P%c\n%ld %ld\n%d\n", colour ? '6' : '5', image.width, image.height,
               image.maxValue());
  const std::size_t bytesPerSample = image.bits == 16 ? 2 : 1;
  std::vector<unsigned char> row(static_cast<std::size_t>(image.width) * planes.size() *
                                 bytesPerSample);
  for (long y = 0; y < image.height; ++y) {
    unsigned char* out = row.data();
    for (long x = 0; x < image.width; ++x) {
      for (const GreyImage* plane : planes) {
        const std::uint16_t v = plane->at(x, y);
        if (bytesPerSample == 2) *out++ = static_cast<unsigned char>(v >> 8);
        *out++ = static_cast<unsigned char>(v & 0xFF);
      }
    }
    if (std::fwrite(row.data(), 1, row.size(), f.get()) != row.size())
      throw ImageFileError("cannot write '" + path + "': " + std::strerror(errno));
  }
  if (std::fclose(f.release()) != 0)
    throw ImageFileError("cannot write '" + path + "': " + std::strerror(errno));
}

// ---------------------------------------------------------------------------
// PNG. libpng reports errors by longjmp, so the functions that call it hold only
// plain data and leave everything with a destructor to their callers.

#if VXFREQ_DEMO_HAVE_PNG

struct PngState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  char message[200] = {0};
};

void pngError(png_structp png, png_const_charp text) {
  PngState* state = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", text);
  longjmp(png_jmpbuf(png), 1);
}

void pngWarning(png_structp, png_const_charp) {}

struct PngLayout {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;  // 8 or 16 after the transformations
  int channels = 0;  // 1 grey, 2 grey + alpha, 3 RGB, 4 RGB + alpha
  int passes = 1;
  std::size_t rowBytes = 0;
};

// Reads the header and sets up expansion of palettes and of grey below 8 bits.
bool pngReadHeader(PngState& s, std::FILE* f, PngLayout& layout) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_init_io(s.png, f);
  png_read_info(s.png, s.info);
  const int colourType = png_get_color_type(s.png, s.info);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
  if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(s.png, s.info) < 8)
    png_set_expand_gray_1_2_4_to_8(s.png);
  layout.passes = png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  layout.width = png_get_image_width(s.png, s.info);
  layout.height = png_get_image_height(s.png, s.info);
  layout.bitDepth = png_get_bit_depth(s.png, s.info);
  layout.channels = png_get_channels(s.png, s.info);
  layout.rowBytes = png_get_rowbytes(s.png, s.info);
  return true;
}

bool pngReadPixels(PngState& s, const PngLayout& layout, unsigned char* data) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  for (int pass = 0; pass < layout.passes; ++pass)
    for (png_uint_32 y = 0; y < layout.height; ++y)
      png_read_row(s.png, data + y * layout.rowBytes, nullptr);
  png_read_end(s.png, nullptr);
  return true;
}

// What went wrong in libpng, in words about the file: a file that ends early is
// truncated; anything else is corrupt.
ImageFileError pngFailure(std::FILE* f, const std::string& path, const PngState& s,
                          const char* where) {
  if (std::feof(f))
    return ImageFileError("cannot read '" + path + "': truncated PNG (it ends " + where + ")");
  return ImageFileError("cannot read '" + path + "': corrupt PNG (" + s.message + ")");
}

LoadedImage readPng(std::FILE* f, const std::string& path, long maxSide, bool pixels) {
  PngState s;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, pngError, pngWarning);
  if (s.png) s.info = png_create_info_struct(s.png);
  struct Release {
    PngState& s;
    ~Release() { png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr); }
  } release{s};
  if (!s.png || !s.info) throw ImageFileError("cannot read '" + path + "': out of memory");

  PngLayout layout;
  if (!pngReadHeader(s, f, layout)) throw pngFailure(f, path, s, "in its header");
  checkSize(path, static_cast<long>(layout.width), static_cast<long>(layout.height), maxSide);
  if (layout.bitDepth != 8 && layout.bitDepth != 16)
    throw ImageFileError("cannot read '" + path + "': unexpected bit depth " +
                         std::to_string(layout.bitDepth));

  LoadedImage result;
  result.format = "PNG";
  result.convertedFromColour = layout.channels >= 3;
  result.alphaIgnored = layout.channels == 2 || layout.channels == 4;
  const long width = static_cast<long>(layout.width);
  const long height = static_cast<long>(layout.height);
  if (!pixels) return sizeOnly(result, width, height, layout.bitDepth);

  std::vector<unsigned char> data(layout.rowBytes * layout.height);
  if (!pngReadPixels(s, layout, data.data())) throw pngFailure(f, path, s, "before all its pixels");
  result.image = GreyImage(width, height, layout.bitDepth);
  if (result.convertedFromColour)
    result.channels.assign(3, GreyImage(width, height, layout.bitDepth));
  const int bytes = layout.bitDepth / 8;
  for (long y = 0; y < height; ++y) {
    const unsigned char* row = data.data() + static_cast<std::size_t>(y) * layout.rowBytes;
    for (long x = 0; x < width; ++x) {
      unsigned v[3] = {0, 0, 0};
      for (int c = 0; c < 3 && c < layout.channels; ++c) {
        const unsigned char* p = row + (x * layout.channels + c) * bytes;
        v[c] = bytes == 2 ? (p[0] << 8) | p[1] : p[0];
      }
      result.image.at(x, y) = result.convertedFromColour ? greyFromRgb(v[0], v[1], v[2])
                                                         : static_cast<std::uint16_t>(v[0]);
      for (std::size_t c = 0; c < result.channels.size(); ++c)
        result.channels[c].at(x, y) = static_cast<std::uint16_t>(v[c]);
    }
  }
  return result;
}

bool pngWriteRows(PngState& s, std::FILE* f, png_uint_32 width, png_uint_32 height, int bits,
                  int colourType, const unsigned char* data, std::size_t rowBytes) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_init_io(s.png, f);
  png_set_IHDR(s.png, s.info, width, height, bits, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(s.png, s.info);
  for (png_uint_32 y = 0; y < height; ++y) png_write_row(s.png, data + y * rowBytes);
  png_write_end(s.png, nullptr);
  return true;
}

// Writes a grey PNG (one plane) or an RGB one (three: red, green, blue), the planes of
// one size and depth.
void writePng(const std::string& path, const std::vector<const GreyImage*>& planes) {
  const GreyImage& image = *planes.front();
  const std::size_t bytes = image.bits == 16 ? 2 : 1;
  const std::size_t samples = planes.size();
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * samples * bytes;
  std::vector<unsigned char> data(rowBytes * static_cast<std::size_t>(image.height));
  for (std::size_t i = 0; i < image.pixels.size(); ++i)
    for (std::size_t c = 0; c < samples; ++c) {
      const std::uint16_t v = planes[c]->pixels[i];
      const std::size_t at = i * samples + c;
      if (bytes == 2) {
        data[2 * at] = static_cast<unsigned char>(v >> 8);
        data[2 * at + 1] = static_cast<unsigned char>(v & 0xFF);
      } else {
        data[at] = static_cast<unsigned char>(v);
      }
    }

  File f = openFile(path, "wb", "create");
  PngState s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, pngError, pngWarning);
  if (s.png) s.info = png_create_info_struct(s.png);
  struct Release {
    PngState& s;
    ~Release() { png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr); }
  } release{s};
  if (!s.png || !s.info) throw ImageFileError("cannot write '" + path + "': out of memory");
  if (!pngWriteRows(s, f.get(), static_cast<png_uint_32>(image.width),
                    static_cast<png_uint_32>(image.height), image.bits,
                    samples == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, data.data(), rowBytes))
    throw ImageFileError("cannot write '" + path + "': " + s.message);
  if (std::fclose(f.release()) != 0)
    throw ImageFileError("cannot write '" + path + "': " + std::strerror(errno));
}

#endif  // VXFREQ_DEMO_HAVE_PNG

}  // namespace

bool pngSupported() { return VXFREQ_DEMO_HAVE_PNG != 0; }

std::string pictureExtension() { return pngSupported() ? ".png" : ".pgm"; }

namespace {

LoadedImage readFile(const std::string& path, long maxSide, bool pixels) {
  File f = openFile(path, "rb", "open");
  unsigned char magic[8] = {0};
  const std::size_t got = std::fread(magic, 1, sizeof magic, f.get());
  static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got == 8 && std::memcmp(magic, kPngSignature, 8) == 0) {
#if VXFREQ_DEMO_HAVE_PNG
    std::rewind(f.get());
    return readPng(f.get(), path, maxSide, pixels);
#else
    throw ImageFileError("'" + path +
                         "' is a PNG file, but this vxfreq-demo was built without libpng; "
                         "convert it to PGM");
#endif
  }
  if (got >= 2 && magic[0] == 'P' && std::strchr("2356", magic[1]) && magic[1] != 0) {
    std::fseek(f.get(), 2, SEEK_SET);
    return readPnm(f.get(), path, static_cast<char>(magic[1]), maxSide, pixels);
  }
  if (lowerExtension(path) == ".png")
    throw ImageFileError("cannot read '" + path +
                         "': not a PNG (it does not start with the PNG signature)");
  throw ImageFileError("'" + path + "' is not a PNG, PGM or PPM image");
}

}  // namespace

LoadedImage readImage(const std::string& path, long maxSide) {
  return readFile(path, maxSide, true);
}

LoadedImage readImageHeader(const std::string& path, long maxSide) {
  return readFile(path, maxSide, false);
}

namespace {

enum class Format { Png, Pgm, Ppm };

Format outputFormat(const std::string& path) {
  const std::string ext = lowerExtension(path);
  if (ext == ".pgm") return Format::Pgm;
  if (ext == ".ppm") return Format::Ppm;
  if (ext == ".png") {
    if (!pngSupported())
      throw ImageFileError("cannot write '" + path +
                           "': this vxfreq-demo was built without libpng; write .pgm or .ppm");
    return Format::Png;
  }
  throw ImageFileError("cannot write '" + path + "': unknown format '" + ext +
                       "' (use .png, .pgm or .ppm)");
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path) {
  namespace fs = std::filesystem;
  outputFormat(path);
  const fs::path parent = fs::path(path).parent_path();
  const std::string folder = parent.empty() ? "." : parent.string();
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw ImageFileError("cannot create '" + path + "': the folder '" + folder +
                         "' does not exist");
  if (fs::is_directory(path, error))
    throw ImageFileError("cannot create '" + path + "': it is a folder");
  const bool existed = fs::exists(path, error);
  // Appending writes nothing and leaves a file that is there as it is; it fails where
  // the file could not be written later (a folder that cannot hold files, a file that
  // is not writable, a full or read-only file system).
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) throw ImageFileError("cannot create '" + path + "': " + std::strerror(errno));
  std::fclose(f);
  made_ = !existed;
}

OutputFile::~OutputFile() {
  if (made_) std::remove(path_.c_str());
}

void writeImage(const std::string& path, const GreyImage& image) {
  switch (outputFormat(path)) {
    case Format::Pgm:
      return writePnm(path, {&image});
    case Format::Ppm:
      return writePnm(path, {&image, &image, &image});
    case Format::Png:
#if VXFREQ_DEMO_HAVE_PNG
      return writePng(path, {&image});
#else
      break;
#endif
  }
}

bool holdsColour(const std::string& path) {
  const std::string ext = lowerExtension(path);
  return ext == ".ppm" || (ext == ".png" && pngSupported());
}

void writeColourImage(const std::string& path, const std::vector<GreyImage>& channels) {
  const std::vector<const GreyImage*> planes = {&channels.at(0), &channels.at(1), &channels.at(2)};
  switch (outputFormat(path)) {
    case Format::Pgm:
      throw ImageFileError("cannot write '" + path + "': PGM holds grey pictures only");
    case Format::Ppm:
      return writePnm(path, planes);
    case Format::Png:
#if VXFREQ_DEMO_HAVE_PNG
      return writePng(path, planes);
#else
      break;
#endif
  }
}

}  // namespace demo
