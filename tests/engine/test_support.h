// What the transform engine tests share: the engine paths to run a test on, the
// input generator, a bit hash and comparison, a direct double-precision DFT, the
// error tolerance and an attention-probe guard.
#ifndef VXFREQ_TESTS_ENGINE_TEST_SUPPORT_H
#define VXFREQ_TESTS_ENGINE_TEST_SUPPORT_H

#include "filt/engine/engines.h"
#include "filt/engine/lane_kernels.h"
#include "platform/attention.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#if VXFREQ_LANES_X86
namespace vx_detail {
// The 16-lane engine code of the AVX-512 path compiled for AVX2 (engine_lanes_x16.cpp):
// it checks that code on processors without AVX-512. The library never chooses it.
extern const LaneKernels kAvx2Lanes16Kernels;
}  // namespace vx_detail
#endif

namespace engine_test {

using Cd = std::complex<double>;
using vx_detail::EnginePath;

// One path the tests run a body on: a path of the library, or test-only lane
// kernels with the path the rest of the library follows under them.
struct TestPath {
  TestPath(EnginePath p) : name(vx_detail::enginePathName(p)), path(p) {}  // NOLINT
  TestPath(const char* n, const vx_detail::LaneKernels& k) : name(n), path(k.path), kernels(&k) {}
  bool isScalar() const { return path == EnginePath::Scalar; }
  const char* name;
  EnginePath path;
  const vx_detail::LaneKernels* kernels = nullptr;
};

// The engine paths every per-path test runs on: the scalar path first, then each
// vector path of the library's table that this build and this processor run, and on
// x86-64 the test-only 16-lane kernels.
inline std::vector<TestPath> testedPaths() {
  std::vector<TestPath> paths;
  for (const vx_detail::PathInfo& p : vx_detail::allPaths())
    if (p.supported()) paths.emplace_back(p.path);
#if VXFREQ_LANES_X86
  if (vx_detail::enginePathSupported(EnginePath::Avx2))
    paths.emplace_back("avx2x16", vx_detail::kAvx2Lanes16Kernels);
#endif
  return paths;
}

// Forces `path` on the calling thread while the result lives.
inline vx_detail::EnginePathOverride forcePath(const TestPath& path) {
  if (path.kernels != nullptr) return vx_detail::EnginePathOverride(*path.kernels, path.path);
  return vx_detail::EnginePathOverride(path.path);
}

// Runs body(path) once for every tested path, with that path forced on this thread.
template <class Body>
void onEveryPath(Body body) {
  for (const TestPath& p : testedPaths()) {
    SCOPED_TRACE(p.name);
    vx_detail::EnginePathOverride force = forcePath(p);
    const vx_detail::LaneKernels* lanes = vx_detail::activeLaneKernels();
    ASSERT_EQ(lanes == nullptr ? EnginePath::Scalar : lanes->path, p.path);  // the override took
    body(p);
  }
}

// Computes make() on the scalar path, then on every other tested path, and expects
// same(scalarResult, pathResult) each time.
template <class Make, class Same>
void expectEveryPathAgrees(Make make, Same same) {
  decltype(make()) expected;
  {
    vx_detail::EnginePathOverride force(EnginePath::Scalar);
    expected = make();
  }
  onEveryPath([&](const TestPath& p) {
    if (!p.isScalar()) {
      EXPECT_TRUE(same(expected, make()));
    }
  });
}

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
inline std::vector<float> realInput(int w, int h, std::uint64_t seed = 20240601,
                                    float fill = 0.0f) {
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
  for (std::size_t p = 0; p < static_cast<std::size_t>(w) * h; ++p)
    c[2 * p] = real[2 * (p / w) * w + p % w];
  return c;
}

inline std::uint32_t bitsOf(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

// FNV-1a 64 over the floats' bytes, least significant byte first.
inline std::uint64_t fnv1a64(const std::vector<float>& v) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (float f : v)
    for (int k = 0; k < 4; ++k) hash = (hash ^ ((bitsOf(f) >> (8 * k)) & 0xffu)) * 0x100000001b3ull;
  return hash;
}

// Equal bit patterns, float by float. A NaN only has to meet a NaN: which of two
// NaN operands an instruction passes on depends on the order the compiler gives the
// operands, which is not fixed even between two builds of the scalar code.
inline ::testing::AssertionResult sameBits(const std::vector<float>& expected,
                                           const std::vector<float>& got) {
  if (expected.size() != got.size()) return ::testing::AssertionFailure() << "sizes differ";
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(expected[i]) && std::isnan(got[i])) continue;
    if (bitsOf(expected[i]) != bitsOf(got[i]))
      return ::testing::AssertionFailure()
             << "float " << i << ": expected " << expected[i] << " (0x" << std::hex
             << bitsOf(expected[i]) << "), got " << std::dec << got[i] << " (0x" << std::hex
             << bitsOf(got[i]) << ")";
  }
  return ::testing::AssertionSuccess();
}

// Zeroes (with `zero`) the rows whose centred index lies outside [miny, maxy], as a
// band-limited spectrum has them.
inline void zeroOutsideBand(std::vector<float>& a, int w, int h, long miny, long maxy,
                            float zero = 0.0f) {
  for (int r = 0; r < h; ++r) {
    const long centred = (r + h / 2) % h;
    if (centred < miny || centred > maxy)
      std::fill_n(a.begin() + 2 * static_cast<std::ptrdiff_t>(w) * r, 2 * w, zero);
  }
}

inline std::vector<int> allIndices(int n) {
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = i;
  return v;
}

// The direct 2-D DFT of the W x H complex array `x` (any W and H), in double, at
// columns `us` and rows `vs` (result[iv * us.size() + iu]); sign -1 is the forward
// transform, +1 the inverse. Roots come from exact angles, never from a recurrence.
inline std::vector<Cd> dft2D(const std::vector<float>& x, int w, int h, int sign,
                             const std::vector<int>& us, const std::vector<int>& vs) {
  auto roots = [sign](int n) {
    std::vector<Cd> r(n);
    for (int k = 0; k < n; ++k) r[k] = std::polar(1.0, sign * 6.283185307179586476925 * k / n);
    return r;
  };
  const std::vector<Cd> rootW = roots(w), rootH = roots(h);
  const std::size_t nu = us.size();
  std::vector<Cd> rows(static_cast<std::size_t>(h) * nu), out(vs.size() * nu);
  for (int y = 0; y < h; ++y)  // each row at the columns asked for
    for (int c = 0; c < w; ++c) {
      const Cd v(x[2 * (static_cast<std::size_t>(w) * y + c)],
                 x[2 * (static_cast<std::size_t>(w) * y + c) + 1]);
      for (std::size_t iu = 0; iu < nu; ++iu)
        rows[y * nu + iu] += v * rootW[static_cast<std::int64_t>(us[iu]) * c % w];
    }
  for (int y = 0; y < h; ++y)
    for (std::size_t iv = 0; iv < vs.size(); ++iv)
      for (std::size_t iu = 0; iu < nu; ++iu)
        out[iv * nu + iu] += rows[y * nu + iu] * rootH[static_cast<std::int64_t>(vs[iv]) * y % h];
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

// Allowed relative RMS error of a W x H transform: about 0.4 eps log2(W H) is
// observed; from rows of 512 on, the twiddle factors advanced by float rotation add
// an error roughly proportional to the row length (about 4e-6 at 2048).
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

// One size's reference hashes of both engines (engine_hashes.txt says what they hash).
struct EngineHashes {
  int w, h;
  std::uint64_t forward, inverse, inverseMasked, real;
};

// The hashes of engine_hashes.txt in section `[mode]` ("compatible" or "extended").
inline std::vector<EngineHashes> engineHashes(const std::string& mode) {
  std::istringstream in(
#include "engine_hashes.inc"
  );
  std::vector<EngineHashes> cases;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '[') inSection = line == "[" + mode + "]";
    if (!inSection || line.empty() || line[0] == '[' || line[0] == '#') continue;
    std::istringstream fields(line);
    EngineHashes c{};
    fields >> c.w >> c.h >> std::hex >> c.forward >> c.inverse >> c.inverseMasked >> c.real;
    EXPECT_FALSE(fields.fail()) << line;
    cases.push_back(c);
  }
  return cases;
}

// Checks the four hashes of `c` on the path in use, with the default inputs.
inline void expectEngineHashes(const EngineHashes& c) {
  SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
  const vxPair<long> size(c.w, c.h);
  const std::vector<float> input = complexInput(c.w, c.h);
  std::vector<float> a = input;
  vf_ComplexFFT2D(a.data(), size, +1, 0, c.h);
  EXPECT_EQ(fnv1a64(a), c.forward);
  a = input;
  vf_ComplexFFT2D(a.data(), size, -1, 0, c.h);
  EXPECT_EQ(fnv1a64(a), c.inverse);
  a = input;
  zeroOutsideBand(a, c.w, c.h, c.h / 4, 3 * c.h / 4);
  vf_ComplexFFT2D(a.data(), size, -1, c.h / 4, 3 * c.h / 4);
  EXPECT_EQ(fnv1a64(a), c.inverseMasked);
  a = realInput(c.w, c.h);
  vf_RealFFT2D(a.data(), size, +1, 0, c.h);
  EXPECT_EQ(fnv1a64(a), c.real);
}

}  // namespace engine_test

#endif
