// Writes valid inputs for the archive fuzzer into a folder: buffers of several sizes
// and states, built and unbuilt filters of every class by value and through pointers,
// graphs of objects that share one, and every error class. Each file is the selector
// byte of archive_exercise.h followed by what a storing archive wrote.
//
//   vxfreq_make_seeds FOLDER
#include "fuzz/archive_exercise.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vxfreq_fuzz;

std::string folder;
int written = 0;

void write(const std::string& name, Mode mode, unsigned variant, const std::string& bytes) {
  const std::string path = folder + "/" + name;
  std::ofstream out(path, std::ios::binary);
  const char first = static_cast<char>(selector(mode, variant));
  out.write(&first, 1);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::cerr << "cannot write " << path << "\n";
    std::exit(1);
  }
  ++written;
}

std::string pointers(const std::vector<vxPersistent*>& objects) {
  std::ostringstream out;
  vxArchive ar(out);
  for (vxPersistent* p : objects) ar || p;
  return out.str();
}

std::string pointer(vxPersistent* object) { return pointers({object}); }

// A w x h image's forward transform, placed at `offset` with a client transform.
vxFrequencyBuffer placedSpectrum(long w, long h, vxPair<long> offset) {
  vxPelBuffer<double> real(w, h, 0);
  vxPelBuffer<double> imag(w, h, 0);
  for (long y = 0; y < h; ++y) {
    for (long x = 0; x < w; ++x) {
      real.at(x, y) = static_cast<double>((x * 3 + y * 5) % 7);
      imag.at(x, y) = static_cast<double>(x - y) * 0.25;
    }
  }
  real.offset(offset);
  imag.offset(offset);
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(2, 0, 0, 2), vxVector<2>(1, -1))));
  real.copyXforms(xform);
  imag.copyXforms(xform);
  vxFrequencyBuffer b;
  vfForwardFFT<double>(real, imag, b);
  return b;
}

void buffers() {
  vxFrequencyBuffer empty;
  write("buffer-empty", kBuffer, 0, archiveOf(empty));
  vxFrequencyBuffer one = patterned(1, 1);
  write("buffer-1x1", kBuffer, 0, archiveOf(one));
  vxFrequencyBuffer small = patterned(4, 2);
  write("buffer-4x2", kBuffer, 0, archiveOf(small));
  write("buffer-4x2-over-built", kBuffer, kOverBuilt, archiveOf(small));
  write("buffer-4x2-forward-only", kBuffer, kForwardOnly, archiveOf(small));
  vxFrequencyBuffer wide = patterned(16, 1);
  write("buffer-16x1", kBuffer, 0, archiveOf(wide));

  // Masked: a Gabor filter records its window's rows as the mask band.
  vxFrequencyBuffer masked = patterned(8, 8);
  vxFrequencyFilterGabor({0.05, 0.05}, {0.0, 0.0}, vxRadian(0.5), 0.25, {8, 8}, 0).apply(masked);
  write("buffer-8x8-masked", kBuffer, 0, archiveOf(masked));
  write("buffer-8x8-masked-forward-only", kBuffer, kForwardOnly, archiveOf(masked));

  // Inverse computed in place: the buffer holds spatial samples.
  vxFrequencyBuffer spatial = patterned(16, 8);
  vxFrequencyBuffer out;
  vfInverseFFT(spatial, out, true);
  write("buffer-16x8-inverse-computed", kBuffer, 0, archiveOf(spatial));

  // An image smaller than its transform size, placed and with a client transform.
  vxFrequencyBuffer placed = placedSpectrum(5, 3, vxPair<long>(-7, 11));
  write("buffer-5x3-placed", kBuffer, 0, archiveOf(placed));
  write("buffer-5x3-placed-over-built", kBuffer, kOverBuilt, archiveOf(placed));

  // The lowest frequencies of a larger spectrum.
  vxFrequencyBuffer low(placedSpectrum(16, 16, vxPair<long>(0, 0)), 4, 8);
  write("buffer-sized-copy-4x8", kBuffer, 0, archiveOf(low));

  vxFrequencyBuffer large = placedSpectrum(30, 20, vxPair<long>(3, 4));
  write("buffer-32x32", kBuffer, 0, archiveOf(large));
}

template <class F>
void filterSeeds(const std::string& name, Mode byValue, Mode byPointer, F& built) {
  write(name + "-built", byValue, 0, archiveOf(built));
  write(name + "-built-over-built", byValue, kOverBuilt, archiveOf(built));
  F unbuilt;
  write(name + "-unbuilt", byValue, 0, archiveOf(unbuilt));
  write(name + "-pointer", byPointer, 0, pointer(&built));
}

void filters() {
  vxFrequencyFilterBandPass pass(0.05, 0.01, 0.25, {16, 8}, 2);
  filterSeeds("band-pass", kBandPass, kBandPassPointer, pass);
  vxFrequencyFilterBandReject reject(0.03, 0.02, 0.3, {8, 16}, 1);
  filterSeeds("band-reject", kBandReject, kBandRejectPointer, reject);
  write("band-reject-forward-only", kBandReject, kForwardOnly, archiveOf(reject));
  vxFrequencyFilterGabor gabor({0.02, 0.03}, {0.01, 0.0}, vxRadian(0.75), 0.2, {32, 16}, 1);
  filterSeeds("gabor", kGabor, kGaborPointer, gabor);
  vxFrequencyFilterGaborReject gaborReject({0.03, 0.02}, {0.0, 0.01}, vxRadian(-2.0), 0.1, {16, 16},
                                           2);
  filterSeeds("gabor-reject", kGaborReject, kGaborRejectPointer, gaborReject);
  vxFrequencyFilterImage image(placedSpectrum(6, 3, vxPair<long>(1, 2)));
  filterSeeds("image", kImage, kImagePointer, image);

  // Built once, then assigned an unbuilt filter: the flag stays set, the table goes.
  vxFrequencyFilterBandPass dropped(pass);
  dropped = vxFrequencyFilterBandPass();
  write("band-pass-flag-without-table", kBandPass, 0, archiveOf(dropped));
}

void graphs() {
  vxFrequencyFilterBandPass pass(0.05, 0.0, 0.25, {8, 8}, 1);
  vxFrequencyFilterGabor gabor({0.02, 0.03}, {0.01, 0.0}, vxRadian(1.0), 0.2, {8, 8}, 0);
  vxFrequencyFilterImage image(patterned(4, 2));
  vxFrequencyFilterGaborReject unbuilt;
  // The Gabor filter is reached twice: the second time as a back-reference.
  write("graph-filters-shared", kFilterGraph, 0,
        pointers({&pass, &gabor, &image, &gabor, nullptr, &unbuilt}));
  vxFrequencyDefs::InvalidSize size(L"Size must be a power of 2.");
  vxException plain(L"plain \u00e9");
  write("graph-objects-shared", kObjectGraph, 0,
        pointers({&size, &pass, &plain, &size, &pass, &gabor}));
  write("graph-objects-forward-only", kObjectGraph, kForwardOnly,
        pointers({&gabor, &size, &gabor}));
  // Filter, any object, error, in turn.
  vxFrequencyDefs::BadCoord coord(L"Coordinates are out of bounds");
  write("graph-mixed", kMixedGraph, 0, pointers({&pass, &image, &coord, &gabor, &pass, &coord}));
}

template <class E>
void errorSeeds(const std::string& name, Mode mode, const wchar_t* message) {
  E e(message);
  write("error-" + name, mode, 0, archiveOf(e));
}

void errors() {
  errorSeeds<vxFrequencyDefs::InvalidArgument>("invalid-argument", kInvalidArgument,
                                               L"Sigma must be positive.");
  errorSeeds<vxFrequencyDefs::Uninitialized>("uninitialized", kUninitialized,
                                             L"FrequencyBuffer has not been initialized");
  errorSeeds<vxFrequencyDefs::InvalidSize>("invalid-size", kInvalidSize, L"x\u00e9\u4e2d");
  errorSeeds<vxFrequencyDefs::UnboundWindow>("unbound-window", kUnboundWindow, nullptr);
  errorSeeds<vxFrequencyDefs::InvalidBuffer>("invalid-buffer", kInvalidBuffer, L"");
  errorSeeds<vxFrequencyDefs::BadCoord>("bad-coord", kBadCoord, L"Coordinates are out of bounds");
  vxFrequencyDefs::InvalidBuffer invalid(L"Buffer holds the inverse transform");
  write("error-pointer-invalid-buffer", kErrorPointer, 0, pointer(&invalid));
  vxFrequencyDefs::UnboundWindow unbound;
  write("error-pointer-unbound-window", kErrorPointer, kForwardOnly, pointer(&unbound));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " FOLDER\n";
    return 2;
  }
  folder = argv[1];
  buffers();
  filters();
  graphs();
  errors();
  std::cout << written << " seeds written to " << folder << "\n";
  return 0;
}
