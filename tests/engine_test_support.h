// What the transform engine tests share: the input generator, a bit hash, a
// direct double-precision DFT, the error tolerance and an attention-probe guard.
#ifndef VXFREQ_TESTS_ENGINE_TEST_SUPPORT_H
#define VXFREQ_TESTS_ENGINE_TEST_SUPPORT_H

#include "filt/engine_dispatch.h"
#include "platform/attention.h"

#include <cmath>
#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

#if VXFREQ_LANES_X86
namespace vx_detail {
// The 16-lane engine code of the AVX-512 path compiled for AVX2 (engine_lanes_x16.cpp):
// it checks that code on processors without AVX-512. The library never chooses it.
extern const LaneKernels kAvx2Lanes16Kernels;
}  // namespace vx_detail
#endif

namespace engine_test {

// One path the tests run a body on: a path of the library, or test-only lane
// kernels with the path the rest of the library follows under them.
struct TestPath {
  TestPath(vx_detail::EnginePath p) : name(vx_detail::enginePathName(p)), path(p) {}  // NOLINT
  TestPath(const char* n, const vx_detail::LaneKernels& k) : name(n), path(k.path), kernels(&k) {}
  const char* name;
  vx_detail::EnginePath path;
  const vx_detail::LaneKernels* kernels = nullptr;
};

// Every path this build and this processor run, scalar first when asked for.
inline std::vector<TestPath> testPaths(bool withScalar) {
  using vx_detail::EnginePath;
  std::vector<TestPath> paths;
  if (withScalar) paths.emplace_back(EnginePath::Scalar);
  for (EnginePath p : {EnginePath::Sse2, EnginePath::Avx2, EnginePath::Avx512, EnginePath::Neon})
    if (vx_detail::enginePathSupported(p)) paths.emplace_back(p);
#if VXFREQ_LANES_X86
  if (vx_detail::enginePathSupported(EnginePath::Avx2))
    paths.emplace_back("avx2x16", vx_detail::kAvx2Lanes16Kernels);
#endif
  return paths;
}

// Forces `path` on the calling thread while the result lives.
inline vx_detail::EnginePathOverride forcePath(const TestPath& path) {
  if (path.kernels != nullptr) return vx_detail::EnginePathOverride(*path.kernels);
  return vx_detail::EnginePathOverride(path.path);
}

using Cd = std::complex<double>;

// Pseudo-random floats in [-1, 1), exact multiples of 2^-23.
struct Lcg {
  std::uint64_t s;
  explicit Lcg(std::uint64_t seed = 20240601) : s(seed) {}
  float next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<float>(static_cast<std::int32_t>(s >> 40) - 8388608) / 8388608.0f;
  }
};

// W x H complex values in storage order.
inline std::vector<float> complexInput(int w, int h, std::uint64_t seed = 20240601) {
  std::vector<float> a(2 * static_cast<std::size_t>(w) * h);
  Lcg g(seed);
  for (float& v : a) v = g.next();
  return a;
}

// The real-input layout: H rows of 2W floats, the W samples first, the rest `fill`.
inline std::vector<float> realInput(int w, int h, std::uint64_t seed = 20240601, float fill = 0.0f) {
  std::vector<float> a(2 * static_cast<std::size_t>(w) * h, fill);
  if (w == 1)
    for (int y = 0; y < h; ++y) a[2 * y + 1] = 0.0f;  // the imaginary part of a 1-wide row
  Lcg g(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) a[2 * static_cast<std::size_t>(w) * y + x] = g.next();
  return a;
}

// The samples of a real-input array as complex values with zero imaginary parts.
inline std::vector<float> realAsComplex(const std::vector<float>& real, int w, int h) {
  std::vector<float> c(real.size(), 0.0f);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      c[2 * (static_cast<std::size_t>(w) * y + x)] = real[2 * static_cast<std::size_t>(w) * y + x];
  return c;
}

// FNV-1a 64 over the floats' bytes, least significant byte first.
inline std::uint64_t fnv1a64(const std::vector<float>& v) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (float f : v) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int k = 0; k < 4; ++k) {
      hash ^= (bits >> (8 * k)) & 0xffu;
      hash *= 0x100000001b3ull;
    }
  }
  return hash;
}

inline std::uint32_t bitsOf(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

inline std::vector<int> allIndices(int n) {
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = i;
  return v;
}

// The direct 2-D DFT of the W x H complex array `x` (W, H powers of two), in double, at columns `us` and
// rows `vs` (result[iv * us.size() + iu]); sign -1 is the forward transform, +1 the
// inverse. Roots are taken from exact angles, never from a recurrence.
inline std::vector<Cd> dft2D(const std::vector<float>& x, int w, int h, int sign,
                             const std::vector<int>& us, const std::vector<int>& vs) {
  const double twoPi = 6.283185307179586476925;
  std::vector<Cd> rootW(w), rootH(h);
  for (int k = 0; k < w; ++k) rootW[k] = std::polar(1.0, sign * twoPi * k / w);
  for (int k = 0; k < h; ++k) rootH[k] = std::polar(1.0, sign * twoPi * k / h);
  const std::size_t nu = us.size();
  // Powers of two: (k * n) mod N is (k * n) & (N - 1).
  std::vector<Cd> rows(static_cast<std::size_t>(h) * nu);
  std::vector<double> re(nu), im(nu);
  for (int y = 0; y < h; ++y) {
    const float* row = &x[2 * static_cast<std::size_t>(w) * y];
    std::fill(re.begin(), re.end(), 0.0);
    std::fill(im.begin(), im.end(), 0.0);
    for (int c = 0; c < w; ++c) {
      const double xr = row[2 * c], xi = row[2 * c + 1];
      for (std::size_t iu = 0; iu < nu; ++iu) {
        const Cd r = rootW[(us[iu] * c) & (w - 1)];
        re[iu] += xr * r.real() - xi * r.imag();
        im[iu] += xr * r.imag() + xi * r.real();
      }
    }
    for (std::size_t iu = 0; iu < nu; ++iu) rows[y * nu + iu] = Cd(re[iu], im[iu]);
  }
  std::vector<Cd> out(vs.size() * nu, Cd(0.0, 0.0));
  for (int y = 0; y < h; ++y)
    for (std::size_t iv = 0; iv < vs.size(); ++iv) {
      const Cd r = rootH[(vs[iv] * y) & (h - 1)];
      for (std::size_t iu = 0; iu < nu; ++iu) {
        const Cd a = rows[y * nu + iu];
        out[iv * nu + iu] += Cd(a.real() * r.real() - a.imag() * r.imag(),
                                a.real() * r.imag() + a.imag() * r.real());
      }
    }
  return out;
}

// Relative RMS distance of the engine output `got` (W x H complex) from `ref` at
// the sampled positions.
inline double relativeRms(const std::vector<float>& got, int w, const std::vector<Cd>& ref,
                          const std::vector<int>& us, const std::vector<int>& vs) {
  double err = 0.0, norm = 0.0;
  for (std::size_t iv = 0; iv < vs.size(); ++iv)
    for (std::size_t iu = 0; iu < us.size(); ++iu) {
      const std::size_t p = 2 * (static_cast<std::size_t>(vs[iv]) * w + us[iu]);
      const Cd r = ref[iv * us.size() + iu];
      err += std::norm(Cd(got[p], got[p + 1]) - r);
      norm += std::norm(r);
    }
  return norm == 0.0 ? std::sqrt(err) : std::sqrt(err / norm);
}

// Allowed relative RMS error of a W x H transform. While rows are at most 256
// long the error grows like log2(W H) (about 0.4 eps log2(W H) is observed). From
// 512 on, the twiddle factors advanced by float rotation dominate: the float pair
// (cos a, sin a) is not exactly of modulus one and a stage rotates it up to 512
// times, which adds an error roughly proportional to the row length (about 2e-6
// for rows of 1024 and 4e-6 for rows of 2048).
inline double tolerance(int w, int h) {
  const double eps = 1.1920929e-7;
  auto drift = [](int n) { return n >= 512 ? 3e-6 * n / 1024.0 : 0.0; };
  return 0.6 * eps * std::log2(std::max(2.0, double(w) * h)) + drift(w) + drift(h);
}

// Installs an attention probe on the calling thread for the guard's lifetime.
class ProbeGuard {
public:
  explicit ProbeGuard(std::int64_t failAt = 0) {
    probe_.failAt = failAt;
    previous_ = vx_detail::setAttentionProbe(&probe_);
  }
  ~ProbeGuard() { vx_detail::setAttentionProbe(previous_); }
  ProbeGuard(const ProbeGuard&) = delete;
  ProbeGuard& operator=(const ProbeGuard&) = delete;
  std::int64_t checks() const { return probe_.checks; }

private:
  vx_detail::AttentionProbe probe_;
  vx_detail::AttentionProbe* previous_;
};

}  // namespace engine_test

#endif
