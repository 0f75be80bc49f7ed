// The C++ side of the Python module's bit-for-bit tests: runs a fixed sequence of
// library calls on an image read from a file and writes every result, so that the
// tests can make the same calls through the module and compare the bytes.
//
//   vxfreq_py_reference u8|u16|f64 WIDTH HEIGHT OFFSET_X OFFSET_Y IMAGE OUTPUT
//
// IMAGE holds the pixels row after row (native byte order). OUTPUT receives records
// "name byte-count\n" followed by the bytes: buffers as their interleaved floats,
// images row after row without padding.
#include "filt/freqfilt.h"
#include "filt/padding.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::ofstream out;

void record(const std::string& name, const void* data, std::size_t bytes) {
  out << name << ' ' << bytes << '\n';
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(bytes));
}

void record(const std::string& name, const vxFrequencyBuffer& buf) {
  record(name, buf.elements(), 2 * sizeof(float) * buf.width() * buf.height());
}

template <class T>
void record(const std::string& name, const vxPelBuffer<T>& image) {
  std::vector<T> rows;
  for (long y = 0; y < image.height(); ++y)
    rows.insert(rows.end(), &image.at(0, y), &image.at(0, y) + image.width());
  record(name, rows.data(), rows.size() * sizeof(T));
}

template <class T>
vxPelBuffer<T> readImage(const char* path, long w, long h) {
  vxPelBuffer<T> image(w, h, 32);
  std::ifstream in(path, std::ios::binary);
  for (long y = 0; y < h; ++y)
    in.read(reinterpret_cast<char*>(&image.at(0, y)), static_cast<std::streamsize>(w * sizeof(T)));
  if (!in) {
    std::cerr << "cannot read " << path << "\n";
    std::exit(2);
  }
  return image;
}

template <class T>
void inverses(const std::string& name, const vxFrequencyBuffer& buf) {
  vxPelBuffer<T> plain;
  vfInverseFFT<T>(buf, plain, false);
  record(name, plain);
  vxPelBuffer<T> stretched;
  vfInverseFFT<T>(buf, stretched, true);
  record(name + "_normalized", stretched);
}

template <class T>
void run(const vxPelBuffer<T>& image) {
  vxFrequencyBuffer spectrum;
  vfForwardFFT<T>(image, spectrum);
  record("forward", spectrum);
  const vxPair<long> size(spectrum.width(), spectrum.height());

  vxFrequencyBuffer bandPass, bandReject, gabor, gaborReject, imageFiltered;
  vxFrequencyFilterBandPass(0.02, 0.01, 0.125, size, 2).apply(spectrum, bandPass);
  vxFrequencyFilterBandReject(0.02, 0.01, 0.125, size, 2).apply(spectrum, bandReject);
  vxFrequencyFilterGabor(vxPair<double>(0.04, 0.02), vxPair<double>(0.02, 0.0), vxRadian(0.5), 0.2,
                         size, 1)
      .apply(spectrum, gabor);
  vxFrequencyFilterGaborReject(vxPair<double>(0.04, 0.02), vxPair<double>(0.02, 0.0), vxRadian(0.5),
                               0.2, size, 1)
      .apply(spectrum, gaborReject);
  vxFrequencyFilterImage(gabor).apply(spectrum, imageFiltered);
  record("bandpass", bandPass);
  record("bandreject", bandReject);
  record("gabor", gabor);
  record("gaborreject", gaborReject);
  record("imagefilter", imageFiltered);

  vxFrequencyBuffer sum, difference, product, conjugate, accumulated(spectrum);
  vfFrequencyAdd(spectrum, gabor, sum);
  vfFrequencySubtract(spectrum, gabor, difference);
  vfFrequencyMultiply(spectrum, gabor, product);
  vfFrequencyConjugate(spectrum, conjugate);
  vfFrequencySubtract(gabor, accumulated);  // accumulated = spectrum - gabor
  record("add", sum);
  record("subtract", difference);
  record("multiply", product);
  record("conj", conjugate);
  record("isub", accumulated);

  vxFrequencyBuffer again, back;
  vfForwardFFT(spectrum, again);
  vfInverseFFT(spectrum, back);
  record("forward_fft", again);
  record("inverse_fft", back);

  inverses<unsigned char>("inverse_u8", gaborReject);
  inverses<unsigned short>("inverse_u16", gaborReject);
  inverses<double>("inverse_f64", gaborReject);
  vxPelBuffer<unsigned char> magnitude, quadrant;
  vxPelBuffer<double> angle, real, imag;
  vfInverseFFTAngle<unsigned char>(gabor, magnitude, angle, true);
  record("angle_image", magnitude);
  record("angle", angle);
  vfInverseFFTQuadrant<unsigned char>(bandPass, magnitude, quadrant, false);
  record("quadrant_image", magnitude);
  record("quadrant", quadrant);
  vfInverseFFT(bandPass, real, imag);
  record("complex_real", real);
  record("complex_imag", imag);
  vxPelBuffer<double> backReal, backImag;
  vfInverseFFT(spectrum, backReal, backImag);  // the picture again, at its offset
  record("back_real", backReal);

  const vxPelBuffer<double> spectrumMagnitude = spectrum.getMagnitudeImage(true);
  record("magnitude", spectrumMagnitude);
  record("phase", spectrum.getPhaseImage(false));
  record("real", spectrum.getRealImage(true));
  record("imag", spectrum.getImaginaryImage(false));
  record("map_log", vfFrequencyMapImage(spectrumMagnitude, vxFrequencyDefs::Logarithmic, 0, 0));
  record("map_range",
         vfFrequencyMapImage(spectrumMagnitude, vxFrequencyDefs::LinearRange, 10.0, 5000.0));

  // Padded and windowed forward transforms, and the inverse of one.
  struct Padded {
    const char* name;
    vxPaddingOptions options;
  };
  const Padded padded[] = {
      {"padded_reflect", {vxPadding::Reflect, vxWindow::none(), -1}},
      {"padded_edge_hann", {vxPadding::Edge, vxWindow::hann(), 5}},
      {"padded_mean_tukey", {vxPadding::Mean, vxWindow::tukey(0.3), 0}},
      {"padded_zero", {vxPadding::Zero, vxWindow::none(), 9}},
      {"padded_hann", {vxPadding::Zero, vxWindow::hann(), 0}},
  };
  for (const Padded& p : padded) {
    vxFrequencyBuffer buf;
    vfForwardFFTPadded<T>(image, p.options, buf);
    record(p.name, buf);
    if (p.options.padding == vxPadding::Reflect) inverses<T>(std::string(p.name) + "_inverse", buf);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::cerr << "usage: vxfreq_py_reference u8|u16|f64 WIDTH HEIGHT OFFSET_X OFFSET_Y IMAGE "
                 "OUTPUT\n";
    return 2;
  }
  const std::string kind = argv[1];
  const long w = std::atol(argv[2]);
  const long h = std::atol(argv[3]);
  const long ox = std::atol(argv[4]);
  const long oy = std::atol(argv[5]);
  out.open(argv[7], std::ios::binary);
  if (kind == "u8") {
    vxPelBuffer<unsigned char> image = readImage<unsigned char>(argv[6], w, h);
    image.offset(ox, oy);
    run(image);
  } else if (kind == "u16") {
    vxPelBuffer<unsigned short> image = readImage<unsigned short>(argv[6], w, h);
    image.offset(ox, oy);
    run(image);
  } else {
    vxPelBuffer<double> image = readImage<double>(argv[6], w, h);
    image.offset(ox, oy);
    run(image);
  }
  out.close();
  return out ? 0 : 1;
}
