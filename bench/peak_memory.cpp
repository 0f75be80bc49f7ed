// The peak memory of one call of each operation, at sizes from 2048 x 2048 up to
// 8192 x 8192 and the camera sizes (the extended mode; the memory cache off, so that
// what is counted is what the call needs):
//
//   peak_memory            prints the table (Markdown)
//
// Each measurement runs in a child process of its own: the input is made first, then
// the call, and the table gives the rise of the process's peak resident memory during
// the call (getrusage's ru_maxrss) in MiB, and that rise against the size of one
// spectrum of the transform size (8 bytes per element).
#include "filt/extended.h"
#include "filt/filtering.h"
#include "filt/planner.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The resident memory now, in KiB (Linux).
long residentKiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

vxPelBuffer<unsigned char> picture(long w, long h) {
  vxPelBuffer<unsigned char> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = static_cast<unsigned char>((x * 7 + y * 3) & 255);
  return image;
}

struct Operation {
  const char* name;
  // Makes the input (not counted) and returns the call to measure.
  std::function<std::function<void()>(long w, long h)> prepare;
};

// The 8-bit inverse of a picture's spectrum into a new image, in place or not.
std::function<std::function<void()>(long w, long h)> inverseOf(bool inPlace) {
  return [inPlace](long w, long h) {
    auto in = std::make_shared<vxFrequencyBuffer>();
    vfForwardFFT<unsigned char>(picture(w, h), *in);
    return std::function<void()>([in, inPlace] {
      vxPelBuffer<unsigned char> image;
      vfInverseFFT<unsigned char>(*in, image, false, inPlace);
    });
  };
}

// An operation on a w x h picture (made untimed): `call(picture)`.
template <class Call>
std::function<std::function<void()>(long w, long h)> onPicture(Call call) {
  return [call](long w, long h) {
    auto image = std::make_shared<vxPelBuffer<unsigned char>>(picture(w, h));
    return std::function<void()>([image, call] { call(*image); });
  };
}

// vfFilterPicture of a picture with one band-reject filter and `padding`.
std::function<std::function<void()>(long w, long h)> filterPictureWith(vxPadding padding) {
  return onPicture([padding](const vxPelBuffer<unsigned char>& image) {
    const vxFrequencyFilterBandReject reject(
        0.01, 0.003, 0.13, vfPaddedTransformSize(image.width(), image.height(), -1), 0);
    vfFilterPicture<unsigned char>(image, {&reject}, {padding, vxWindow::none(), -1});
  });
}

// The rise of the peak resident memory during the call, in KiB, measured in a child.
long measure(const Operation& op, long w, long h) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    const vxExtendedScope extended;
    vfSetMemoryCacheBound(0);
    vfSetPathPlanning(false);
    const std::function<void()> call = op.prepare(w, h);
    // The peak so far is at least what is resident now; the call's rise is measured
    // from here.
    const long before = std::max(peakKiB(), residentKiB());
    call();
    const long rise = peakKiB() - before;
    if (write(pipeEnds[1], &rise, sizeof rise) != sizeof rise) std::_Exit(2);
    std::_Exit(0);
  }
  close(pipeEnds[1]);
  long rise = -1;
  if (read(pipeEnds[0], &rise, sizeof rise) != sizeof rise) rise = -1;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return rise;
}

}  // namespace

int main() {
  const std::vector<Operation> operations = {
      {"8-bit forward into a new buffer", onPicture([](const vxPelBuffer<unsigned char>& image) {
         vxFrequencyBuffer spectrum;
         vfForwardFFT<unsigned char>(image, spectrum);
       })},
      {"complex forward, buffer to a new buffer",
       [](long w, long h) {
         auto in = std::make_shared<vxFrequencyBuffer>();
         vfForwardFFT<unsigned char>(picture(w, h), *in);
         return std::function<void()>([in] {
           vxFrequencyBuffer out;
           vfForwardFFT(*in, out);
         });
       }},
      {"8-bit inverse to a new image", inverseOf(false)},
      {"8-bit inverse in place", inverseOf(true)},
      {"band-reject job (forward, filter, inverse in place)",
       onPicture([](const vxPelBuffer<unsigned char>& image) {
         vxFrequencyBuffer spectrum;
         vfForwardFFT<unsigned char>(image, spectrum);
         const vxFrequencyFilterBandReject reject(
             0.01, 0.003, 0.13, vxPair<long>(spectrum.width(), spectrum.height()), 0);
         reject.apply(spectrum);
         vxPelBuffer<unsigned char> out;
         vfInverseFFT<unsigned char>(spectrum, out, false, true);
       })},
      {"vfFilterPicture, edge padding", filterPictureWith(vxPadding::Edge)},
      {"vfFilterPicture, continued padding", filterPictureWith(vxPadding::Continue)},
  };
  const long sizes[][2] = {{2048, 2048}, {2448, 2048}, {4000, 3000}, {4096, 4096}, {8192, 8192}};
  std::printf(
      "| operation | picture | transform | peak rise MiB | / one spectrum "
      "|\n|---|---|---|---|---|\n");
  for (const Operation& op : operations)
    for (const auto& size : sizes) {
      const bool padded = std::string(op.name).rfind("vfFilterPicture", 0) == 0;
      if (padded && size[0] > 4096) continue;  // a 16384 x 16384 transform
      vxExtendedScope extended;
      const vxPair<long> t =
          padded ? vfPaddedTransformSize(size[0], size[1], -1) : vfTransformSize(size[0], size[1]);
      const long rise = measure(op, size[0], size[1]);
      const double spectrumMiB =
          8.0 * static_cast<double>(t.x) * static_cast<double>(t.y) / 1048576.0;
      std::printf("| %s | %ld x %ld | %ld x %ld | %.0f | %.2f |\n", op.name, size[0], size[1], t.x,
                  t.y, static_cast<double>(rise) / 1024.0,
                  static_cast<double>(rise) / 1024.0 / spectrumMiB);
      std::fflush(stdout);
    }
  return 0;
}
