// How clean the border of a filtered photograph is with each padding: the table behind
// the filters' default padding (README.md, filt/filtering.h).
//
//   border_table [--cases] [PHOTO_DIR]
//
// Every photograph of scikit-image's sample data named below gets a pattern added,
// 25 cos(2 pi f (x cos a + y sin a)), and a filtering job: a band-reject of the ring at f
// or a Gabor-reject of both lobes at f (removing it: the error is the output against the
// clean photograph), or a band-pass of the ring at f (extracting it: the error is the
// output against the pattern). Errors are RMS in a 16-pixel border strip and inside it,
// in double precision (no rounding to grey levels). For each job and padding the table
// gives the mean border and interior errors, the worst border / interior ratio, how many
// cases exceed 1.5, and the worst border error relative to the best of zero, reflect,
// edge and mean in the same case. --cases also prints every case.
#include "filt/filtering.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

struct Photo {
  std::string name;
  long w = 0, h = 0;
  std::vector<double> grey;
};

bool readPhoto(const std::string& dir, const std::string& name, Photo& photo) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, (dir + "/" + name).c_str())) return false;
  image.format = PNG_FORMAT_GRAY;
  std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  photo.name = name.substr(0, name.find('.'));
  photo.w = image.width;
  photo.h = image.height;
  photo.grey.assign(bytes.begin(), bytes.end());
  return true;
}

std::vector<double> patternOf(long w, long h, double f, double degrees) {
  const double a = degrees * kPi / 180.0;
  std::vector<double> p(static_cast<std::size_t>(w * h));
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      p[static_cast<std::size_t>(y * w + x)] =
          25.0 * std::cos(2 * kPi * f * (x * std::cos(a) + y * std::sin(a)));
  return p;
}

enum class Job { BandReject, GaborReject, BandPass };

std::unique_ptr<vxFrequencyFilter> filterOf(Job job, double f, double degrees, double s,
                                            vxPair<long> size) {
  const double plateau = 0.003;
  switch (job) {
    case Job::BandReject:
      return std::make_unique<vxFrequencyFilterBandReject>(s, plateau, f, size, 0);
    case Job::GaborReject:
      return std::make_unique<vxFrequencyFilterGaborReject>(
          vxPair<double>(s, s), vxPair<double>(plateau, plateau), vxRadian(degrees * kPi / 180.0),
          f, size, 0);
    case Job::BandPass:
      break;
  }
  return std::make_unique<vxFrequencyFilterBandPass>(s, plateau, f, size, 0);
}

struct Result {
  double border, interior;
};

Result errors(const vxPelBuffer<double>& out, const std::vector<double>& target) {
  const long w = out.width(), h = out.height(), b = 16;
  double sums[2] = {0, 0}, counts[2] = {0, 0};
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      const int strip = x < b || y < b || x >= w - b || y >= h - b;
      const double d = out.at(x, y) - target[static_cast<std::size_t>(y * w + x)];
      sums[strip] += d * d;
      counts[strip] += 1;
    }
  return {std::sqrt(sums[1] / counts[1]), std::sqrt(sums[0] / counts[0])};
}

const vxPadding kPaddings[] = {vxPadding::Zero, vxPadding::Reflect, vxPadding::Edge,
                               vxPadding::Mean, vxPadding::Continue};
const char* const kPaddingNames[] = {"zero", "reflect", "edge", "mean", "continue"};

struct Summary {
  int cases = 0, overRatio = 0;
  double border = 0, interior = 0, worstRatio = 0, worstVsBest = 0;
};

}  // namespace

int main(int argc, char** argv) {
  bool listCases = false;
  std::string dir = "/usr/lib/python3/dist-packages/skimage/data";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cases") == 0)
      listCases = true;
    else
      dir = argv[i];
  }
  const char* names[] = {"camera.png",  "coins.png", "moon.png",
                         "chelsea.png", "brick.png", "grass.png"};
  std::vector<Photo> photos;
  for (const char* name : names) {
    Photo photo;
    if (!readPhoto(dir, name, photo)) {
      std::fprintf(stderr, "border_table: cannot read %s/%s (python3-skimage)\n", dir.c_str(),
                   name);
      return 1;
    }
    photos.push_back(photo);
  }
  struct Grid {
    Job job;
    const char* name;
    std::vector<double> sigmas, frequencies, angles;
  };
  const Grid grids[] = {
      {Job::BandReject,
       "band-reject",
       {0.004, 0.01, 0.02},
       {0.03, 0.05, 0.08, 0.13, 0.2},
       {0, 17, 30, 60, 90}},
      {Job::GaborReject, "Gabor-reject", {0.004, 0.02}, {0.03, 0.08, 0.2}, {0, 17, 60}},
      {Job::BandPass, "band-pass", {0.004, 0.01}, {0.08, 0.13, 0.2}, {17, 60}}};

  std::printf(
      "| job | sigma | cases | padding | mean border / interior | worst ratio | ratio > 1.5 | "
      "worst vs best other |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const Grid& grid : grids)
    for (double s : grid.sigmas) {
      Summary summary[5];
      for (const Photo& photo : photos)
        for (double f : grid.frequencies)
          for (double a : grid.angles) {
            const std::vector<double> pattern = patternOf(photo.w, photo.h, f, a);
            vxPelBuffer<double> noisy(photo.w, photo.h, 32);
            for (long y = 0; y < photo.h; ++y)
              for (long x = 0; x < photo.w; ++x) {
                const auto i = static_cast<std::size_t>(y * photo.w + x);
                noisy.at(x, y) = photo.grey[i] + pattern[i];
              }
            const std::vector<double>& target = grid.job == Job::BandPass ? pattern : photo.grey;
            const vxPair<long> size = vfPaddedTransformSize(photo.w, photo.h, -1);
            const std::unique_ptr<vxFrequencyFilter> filter = filterOf(grid.job, f, a, s, size);
            Result results[5];
            double best = 1e300;
            for (int p = 0; p < 5; ++p) {
              const vxPaddingOptions options{kPaddings[p], vxWindow::none(), -1};
              results[p] =
                  errors(vfFilterPicture(vxPelBuffer_const<double>(noisy), {filter.get()}, options),
                         target);
              if (p < 4) best = std::min(best, results[p].border);
            }
            if (listCases)
              std::printf("%-8s %-12s f %.2f a %2.0f s %.3f", photo.name.c_str(), grid.name, f, a,
                          s);
            for (int p = 0; p < 5; ++p) {
              Summary& m = summary[p];
              const double ratio = results[p].border / results[p].interior;
              m.cases += 1;
              m.border += results[p].border;
              m.interior += results[p].interior;
              m.worstRatio = std::max(m.worstRatio, ratio);
              m.overRatio += ratio > 1.5;
              m.worstVsBest = std::max(m.worstVsBest, results[p].border / best);
              if (listCases)
                std::printf("  %s %.2f/%.2f", kPaddingNames[p], results[p].border,
                            results[p].interior);
            }
            if (listCases) std::printf("\n");
          }
      for (int p = 0; p < 5; ++p) {
        const Summary& m = summary[p];
        std::printf("| %s | %.3f | %d | %s | %.2f / %.2f | %.2f | %d | %.2f |\n", grid.name, s,
                    m.cases, kPaddingNames[p], m.border / m.cases, m.interior / m.cases,
                    m.worstRatio, m.overRatio, m.worstVsBest);
      }
      std::fflush(stdout);
    }
  return 0;
}
