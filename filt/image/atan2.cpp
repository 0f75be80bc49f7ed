#include "filt/atan2.h"

#include <cmath>

namespace {

// pi and pi/2 as the sum of two doubles each, for the subtractions that reflect an
// angle into another octant.
constexpr double kPiHi = 3.141592653589793;
constexpr double kPiLo = 1.2246467991473532e-16;
constexpr double kHalfPiHi = 1.5707963267948966;
constexpr double kHalfPiLo = 6.123233995736766e-17;

// atan(k / 16), k = 0 .. 16, rounded to double.
constexpr double kAtanSixteenths[17] = {
    0.0,
    0.06241880999595735,
    0.12435499454676144,
    0.18534794999569476,
    0.24497866312686414,
    0.3028848683749714,
    0.35877067027057225,
    0.4124104415973873,
    0.4636476090008061,
    0.5123894603107377,
    0.5585993153435624,
    0.6022873461349642,
    0.6435011087932844,
    0.6823165548747481,
    0.7188299996216245,
    0.7531512809621944,
    0.7853981633974483,
};

// atan(t) for 0 <= t <= 1: atan(c) + atan(u) with c = k / 16 the sixteenth at or
// below t and u = (t - c) / (1 + t c), 0 <= u < 1/16, whose series u - u^3/3 + ...
// is cut after u^15, where the next term is below 1e-20 of u.
double atanUnit(double t) {
  const int k = static_cast<int>(t * 16.0);  // t >= 0: truncation is the floor
  const double c = k / 16.0;
  const double u = (t - c) / (1.0 + t * c);
  const double z = u * u;
  const double series =
      -1.0 / 3 +
      z * (1.0 / 5 +
           z * (-1.0 / 7 + z * (1.0 / 9 + z * (-1.0 / 11 + z * (1.0 / 13 + z * (-1.0 / 15))))));
  return kAtanSixteenths[k] + (u + u * (z * series));
}

}  // namespace

float vfAtan2f(float y, float x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  const double ax = std::fabs(static_cast<double>(x));
  const double ay = std::fabs(static_cast<double>(y));
  const bool left = std::signbit(x);
  double angle;  // of (|x| or -|x|, |y|), in [0, pi]
  if (ay == 0.0) {
    angle = left ? kPiHi : 0.0;
  } else if (std::isinf(ax)) {
    angle = std::isinf(ay) ? (left ? 3 * kPiHi / 4 : kPiHi / 4) : (left ? kPiHi : 0.0);
  } else if (std::isinf(ay) || ax == 0.0) {
    angle = kHalfPiHi;
  } else {
    // The first octant directly, the second through atan(t) = pi/2 - atan(1/t).
    const double first = ay <= ax ? atanUnit(ay / ax) : (kHalfPiHi - atanUnit(ax / ay)) + kHalfPiLo;
    angle = left ? (kPiHi - first) + kPiLo : first;
  }
  return static_cast<float>(std::signbit(y) ? -angle : angle);
}
