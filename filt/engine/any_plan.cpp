#include "filt/engine/any_plan.h"

#include "filt/engine/any_arith.h"
#include "filt/engine/twiddles.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace vx_detail {

bool isSmooth(std::int64_t n, std::int64_t largest) {
  for (std::int64_t p = 2; p <= largest && n > 1; ++p)
    while (n % p == 0) n /= p;
  return n == 1;
}

namespace {

// (cos, -sin) of 2 pi m / n, the factor e^(-2 pi i m / n) of a forward transform; a
// zero part is +0.
void forwardFactor(std::int64_t m, std::int64_t n, double& re, double& im) {
  double c = 0.0, s = 0.0;
  cosSinTwoPi(m, n, c, s);
  re = c;
  im = -s + 0.0;
}

// The smallest 2^a 3^b 5^c that is at least n.
std::int32_t nextFiveSmooth(std::int32_t n) {
  std::int32_t m = n;
  while (!isSmooth(m, 5)) ++m;
  return m;
}

}  // namespace

template <class S>
AnyStages<S>::AnyStages(std::int32_t length) : n(length) {
  std::vector<std::int32_t> radices;
  std::int32_t rest = length;
  while (rest % 8 == 0) {
    radices.push_back(8);
    rest /= 8;
  }
  for (const std::int32_t r : {4, 2})
    while (rest % r == 0) {
      radices.push_back(r);
      rest /= r;
    }
  for (std::int32_t p = 3; rest > 1; p += 2)
    while (rest % p == 0) {
      radices.push_back(p);
      rest /= p;
    }

  // Each odd radix's cosines and sines once.
  std::vector<std::pair<std::int32_t, std::size_t>> rotationAt;
  for (const std::int32_t r : radices) {
    if (r == 8 && std::none_of(rotationAt.begin(), rotationAt.end(),
                               [](const auto& e) { return e.first == 8; })) {
      // cos(pi / 4), the one constant of the radix-8 butterfly.
      rotationAt.emplace_back(8, rotations.size());
      double c = 0.0, s = 0.0;
      cosSinTwoPi(1, 8, c, s);
      rotations.push_back(static_cast<S>(c));
      rotations.push_back(static_cast<S>(s));
    }
    if (r % 2 == 0 || std::any_of(rotationAt.begin(), rotationAt.end(),
                                  [r](const auto& e) { return e.first == r; }))
      continue;
    rotationAt.emplace_back(r, rotations.size());
    const std::int32_t half = (r - 1) / 2;
    for (std::int32_t j = 1; j <= half; ++j)
      for (std::int32_t k = 1; k <= half; ++k) {
        double c = 0.0, s = 0.0;
        cosSinTwoPi(static_cast<std::int64_t>(j) * k, r, c, s);
        rotations.push_back(static_cast<S>(c));
        rotations.push_back(static_cast<S>(s));
      }
  }

  std::int32_t sequenceLength = length;
  std::int32_t sequences = 1;
  for (const std::int32_t r : radices) {
    AnyStage stage{r, sequenceLength, sequences, twiddles.size(), 0};
    for (const auto& e : rotationAt)
      if (e.first == r) stage.rotations = e.second;
    for (std::int32_t p = 1; p < sequenceLength / r; ++p)
      for (std::int32_t k = 1; k < r; ++k) {
        double re = 0.0, im = 0.0;
        forwardFactor(static_cast<std::int64_t>(p) * k, sequenceLength, re, im);
        twiddles.push_back(static_cast<S>(re));
        twiddles.push_back(static_cast<S>(im));
      }
    stages.push_back(stage);
    sequenceLength /= r;
    sequences *= r;
  }
}

template struct AnyStages<float>;
template struct AnyStages<double>;

namespace {

std::int32_t stagesLength(std::int32_t n) {
  return isSmooth(n, kLargestRadix) ? n : nextFiveSmooth(2 * n - 1);
}

}  // namespace

AnyPlan::AnyPlan(std::int32_t n) : n_(n), stages_(stagesLength(n)) {
  if (stages_.n == n) return;
  // Bluestein: the chirp c_j = e^(-pi i j^2 / n) = e^(-2 pi i (j^2 mod 2n) / 2n), and the
  // spectrum of b with b_j = b_(m-j) = conj(c_j) for j < n and 0 elsewhere.
  const std::int32_t m = stages_.n;
  bluestein_ = std::make_unique<Bluestein>();
  bluestein_->chirp.resize(2 * static_cast<std::size_t>(n));
  std::vector<double> b(2 * static_cast<std::size_t>(m), 0.0);
  for (std::int64_t j = 0; j < n; ++j) {
    double re = 0.0, im = 0.0;
    forwardFactor(j * j % (2 * static_cast<std::int64_t>(n)), 2 * static_cast<std::int64_t>(n), re,
                  im);
    bluestein_->chirp[2 * j] = static_cast<float>(re);
    bluestein_->chirp[2 * j + 1] = static_cast<float>(im);
    b[2 * j] = re;
    b[2 * j + 1] = -im;
    if (j > 0) {
      b[2 * (m - j)] = re;
      b[2 * (m - j) + 1] = -im;
    }
  }
  const AnyStages<double> exact(m);
  std::vector<double> spare(b.size());
  const double* f = anyStages(b.data(), spare.data(), exact);
  bluestein_->spectrum.resize(b.size());
  for (std::size_t i = 0; i < b.size(); ++i)
    bluestein_->spectrum[i] = static_cast<float>(f[i] / static_cast<double>(m));
}

std::size_t AnyPlan::scratchValues() const {
  return bluestein() ? 2 * static_cast<std::size_t>(stages_.n) : static_cast<std::size_t>(n_);
}

std::shared_ptr<const AnyPlan> anyPlan(std::int32_t n) {
  // A few plans, the most recently asked for first: a 2-D transform asks for two, and a
  // filter job for the same two again and again.
  constexpr std::size_t kKept = 8;
  static std::mutex mutex;
  static std::vector<std::shared_ptr<const AnyPlan>> recent;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t i = 0; i < recent.size(); ++i)
      if (recent[i]->length() == n) {
        std::shared_ptr<const AnyPlan> plan = recent[i];
        recent.erase(recent.begin() + static_cast<std::ptrdiff_t>(i));
        recent.insert(recent.begin(), plan);
        return plan;
      }
  }
  auto plan = std::make_shared<const AnyPlan>(n);
  const std::lock_guard<std::mutex> lock(mutex);
  recent.insert(recent.begin(), plan);
  if (recent.size() > kKept) recent.pop_back();
  return plan;
}

void anyTransformRow(float* row, const AnyPlan& plan, float* scratch) {
  const float* result = anyForward(row, scratch, plan);
  if (result != row)
    std::memcpy(row, result, 2 * static_cast<std::size_t>(plan.length()) * sizeof(float));
}

}  // namespace vx_detail
