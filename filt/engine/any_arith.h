// The arithmetic of the transforms of any length, written once (internal).
//
// Every function here is a template over the value type V (a float, a double, or a
// vector of floats whose lanes each carry one row or column) and is always inlined, as
// arith.h's are: the scalar path, the tables built in double precision and every vector
// path run these very expressions, so a lane computes bit for bit what the scalar path
// computes for its row, and no out-of-line copy compiled for one instruction set can
// stand in for another's.
//
// Values are complex pairs of V: value i of an array x is x[2i] (real part) and
// x[2i + 1] (imaginary part). Every transform here is the forward one,
// X[k] = sum x[j] e^(-2 pi i jk / n); the engines make the inverse by conjugating
// before and after.
#ifndef VXFREQ_FILT_ENGINE_ANY_ARITH_H
#define VXFREQ_FILT_ENGINE_ANY_ARITH_H

#include "filt/engine/any_plan.h"
#include "filt/engine/arith.h"

#include <cstddef>
#include <cstdint>

namespace vx_detail {

// (re, im) times (wr, wi), in place.
template <class V, class S>
VX_ARITH void multiplyComplex(V& re, V& im, const S& wr, const S& wi) {
  const V r = re * wr - im * wi;
  const V i = re * wi + im * wr;
  re = r;
  im = i;
}

// The forward DFT of radix r on the values (re[j], im[j]), j = 0 .. r - 1, in place.
// Radices 2 and 4 need no multiplication, radix 8 only by cos(pi / 4) (rot[0]); an odd
// radix works on the sums and the
// differences of the values j and r - j, with the radix's cosines and sines `rot`
// (any_plan.h). R is the radix when the caller knows it, 0 when only `radix` says.
template <int R, class V, class S>
VX_ARITH void radixButterfly(V* re, V* im, int radix, const S* rot) {
  static_cast<void>(radix);
  static_cast<void>(rot);
  if constexpr (R == 2) {
    const V r0 = re[0], i0 = im[0];
    re[0] = r0 + re[1];
    im[0] = i0 + im[1];
    re[1] = r0 - re[1];
    im[1] = i0 - im[1];
  } else if constexpr (R == 8) {
    // Pairs (j, j + 4) first: their sums make the even outputs through a radix-4
    // butterfly, their differences times e^(-2 pi i j / 8) the odd ones. rot[0] is
    // cos(pi / 4); the factors of j = 2 only move and negate.
    const S h = rot[0];
    V tr[4], ti[4], ur[4], ui[4];
    for (int j = 0; j < 4; ++j) {
      tr[j] = re[j] + re[j + 4];
      ti[j] = im[j] + im[j + 4];
      ur[j] = re[j] - re[j + 4];
      ui[j] = im[j] - im[j + 4];
    }
    const V u1r = (ur[1] + ui[1]) * h, u1i = (ui[1] - ur[1]) * h;
    const V u2r = ui[2], u2i = -ur[2];
    const V u3r = (ui[3] - ur[3]) * h, u3i = -(ur[3] + ui[3]) * h;
    ur[1] = u1r;
    ui[1] = u1i;
    ur[2] = u2r;
    ui[2] = u2i;
    ur[3] = u3r;
    ui[3] = u3i;
    radixButterfly<4>(tr, ti, 4, rot);
    radixButterfly<4>(ur, ui, 4, rot);
    for (int k = 0; k < 4; ++k) {
      re[2 * k] = tr[k];
      im[2 * k] = ti[k];
      re[2 * k + 1] = ur[k];
      im[2 * k + 1] = ui[k];
    }
  } else if constexpr (R == 4) {
    const V t0r = re[0] + re[2], t0i = im[0] + im[2];
    const V t1r = re[0] - re[2], t1i = im[0] - im[2];
    const V t2r = re[1] + re[3], t2i = im[1] + im[3];
    const V t3r = re[1] - re[3], t3i = im[1] - im[3];
    re[0] = t0r + t2r;
    im[0] = t0i + t2i;
    re[2] = t0r - t2r;
    im[2] = t0i - t2i;
    // t1 -+ i t3: multiplying by -i or +i only moves and negates.
    re[1] = t1r + t3i;
    im[1] = t1i - t3r;
    re[3] = t1r - t3i;
    im[3] = t1i + t3r;
  } else {
    constexpr int kHalfMax = (R != 0 ? R : kLargestRadix) / 2;
    const int r = R != 0 ? R : radix;
    const int half = (r - 1) / 2;
    V sumR[kHalfMax]{}, sumI[kHalfMax]{}, difR[kHalfMax]{}, difI[kHalfMax]{};
    for (int j = 1; j <= half; ++j) {
      sumR[j - 1] = re[j] + re[r - j];
      sumI[j - 1] = im[j] + im[r - j];
      difR[j - 1] = re[j] - re[r - j];
      difI[j - 1] = im[j] - im[r - j];
    }
    const V r0 = re[0], i0 = im[0];
    V b0r = r0, b0i = i0;
    for (int j = 0; j < half; ++j) {
      b0r = b0r + sumR[j];
      b0i = b0i + sumI[j];
    }
    for (int k = 1; k <= half; ++k) {
      // A = x0 + sum_j cos(2 pi jk/r) (x_j + x_{r-j}), B = sum_j sin(2 pi jk/r) (x_j - x_{r-j});
      // X_k = A - iB and X_{r-k} = A + iB.
      V ar = r0, ai = i0;
      V br = difR[0] * rot[2 * (k - 1) + 1];
      V bi = difI[0] * rot[2 * (k - 1) + 1];
      for (int j = 1; j <= half; ++j) {
        const S c = rot[2 * ((j - 1) * half + k - 1)];
        ar = ar + sumR[j - 1] * c;
        ai = ai + sumI[j - 1] * c;
        if (j > 1) {
          const S s = rot[2 * ((j - 1) * half + k - 1) + 1];
          br = br + difR[j - 1] * s;
          bi = bi + difI[j - 1] * s;
        }
      }
      re[k] = ar + bi;
      im[k] = ai - br;
      re[r - k] = ar - bi;
      im[r - k] = ai + br;
    }
    re[0] = b0r;
    im[0] = b0i;
  }
}

// Value k and its mirror m = (n - k) mod n of the transform Z of two real rows a and b
// taken as one complex row a + i b, into value k of each row's own transform:
// A_k = (Z_k + conj Z_m) / 2, B_k = (Z_k - conj Z_m) / (2i). Value 0 (m = 0) comes out
// with zero imaginary parts, exactly.
template <class V>
VX_ARITH void separatePair(const V& kr, const V& ki, const V& mr, const V& mi, V& ar, V& ai, V& br,
                           V& bi) {
  const V sumR = kr + mr, difI = ki - mi, sumI = ki + mi, difR = mr - kr;
  ar = sumR * 0.5f;
  ai = difI * 0.5f;
  br = sumI * 0.5f;
  bi = difR * 0.5f;
}

// The real-output engine's arithmetic. It computes the real part of an inverse
// transform as the inverse of the spectrum's Hermitian part, which needs only the
// columns 0 .. W/2 and rows of half the length.

// The Hermitian part (x + conj m) / 2 of a value x = (re, im) whose mirror (the value at
// (-v, -u)) is m = (mr, mi), in place. A spectrum that is conjugate-symmetric already
// comes out unchanged, bit for bit.
template <class V>
VX_ARITH void hermitianPart(V& re, V& im, const V& mr, const V& mi) {
  re = (re + mr) * 0.5f;
  im = (im - mi) * 0.5f;
}

// Value 0 of the n-point transform whose inverse holds a row's 2n real samples, as
// even and odd samples in the real and imaginary parts, from the real parts of values
// 0 and n of the row's half spectrum (the inverse of unpackEnds).
template <class V>
VX_ARITH void packEnds(const V& first, const V& last, V& zr, V& zi) {
  zr = first + last;
  zi = first - last;
}

// Value n/2 of that transform for an even n: twice the conjugate of value n/2.
template <class V>
VX_ARITH void packMiddle(const V& re, const V& im, V& zr, V& zi) {
  zr = re + re;
  zi = -(im + im);
}
// (Values k and n - k for 0 < k < n/2: unpackPair with c1 = c2 = 1 and the factor
// e^(+2 pi i k / 2n), which computes Z_k = E + i w O and Z_(n-k) = conj(E - i w O) with
// E = Y_k + conj Y_(n-k), O = Y_k - conj Y_(n-k).)

// The three steps above on a whole row, in place: values 0 .. n of a real-output row's
// half spectrum (real and imaginary parts at x[2k], x[2k + 1]) into the n-point
// transform Z, with the factors (cos, sin)(2 pi k / 2n) at factors[2 (k - 1)]. V is a
// float for one row, a vector for rows in lanes.
template <class V>
VX_ARITH void packOutputValues(V* x, std::int32_t n, const float* factors) {
  for (std::int32_t k = 1; k <= (n - 1) / 2; ++k) {
    V* a = x + 2 * k;
    V* b = x + 2 * (n - k);
    unpackPair(a[0], a[1], b[0], b[1], factors[2 * (k - 1)], factors[2 * (k - 1) + 1], 1.0f, 1.0f,
               a[0], a[1], b[0], b[1]);
  }
  if (n % 2 == 0 && n >= 2) packMiddle(x[n], x[n + 1], x[n], x[n + 1]);
  const V first = x[0];
  const V last = x[2 * n];
  packEnds(first, last, x[0], x[1]);
}

// Values k and W - k (0 < k <= (W - 1)/2) of one complex row a + i b made of two real
// rows' half spectra a and b: Z_k = A_k + i B_k and Z_(W-k) = conj A_k + i conj B_k.
template <class V>
VX_ARITH void joinPair(const V& ar, const V& ai, const V& br, const V& bi, V& kr, V& ki, V& mr,
                       V& mi) {
  kr = ar - bi;
  ki = ai + br;
  mr = ar + bi;
  mi = br - ai;
}

// One Stockham stage from x into y: value q + s (p + j m) of x (q < s sequences, p < m =
// length / radix, j < radix) goes through the butterfly with the others of its p and q,
// and output k, times e^(-2 pi i p k / length), lands at q + s (radix p + k) of y.
template <int R, class V, class S>
VX_ARITH void anyStage(const V* __restrict x, V* __restrict y, const AnyStage& stage,
                       const S* twiddles, const S* rot) {
  constexpr int kMax = R != 0 ? R : kLargestRadix;
  const int r = R != 0 ? R : stage.radix;
  const std::ptrdiff_t m = stage.length / r;
  const std::ptrdiff_t s = stage.sequences;
  for (std::ptrdiff_t p = 0; p < m; ++p) {
    const S* w = p > 0 ? twiddles + 2 * (p - 1) * (r - 1) : nullptr;
    for (std::ptrdiff_t q = 0; q < s; ++q) {
      V re[kMax]{}, im[kMax]{};
      for (int j = 0; j < r; ++j) {
        const std::ptrdiff_t from = q + s * (p + j * m);
        re[j] = x[2 * from];
        im[j] = x[2 * from + 1];
      }
      radixButterfly<R>(re, im, r, rot);
      const std::ptrdiff_t to = q + s * r * p;
      y[2 * to] = re[0];
      y[2 * to + 1] = im[0];
      for (int k = 1; k < r; ++k) {
        // The factors of p = 0 are all 1: no multiplication.
        if (p > 0) multiplyComplex(re[k], im[k], w[2 * (k - 1)], w[2 * (k - 1) + 1]);
        y[2 * (to + s * k)] = re[k];
        y[2 * (to + s * k) + 1] = im[k];
      }
    }
  }
}

// All stages of `stages` on the n values at x, with y of n values to spare; the result
// lies in x or in y, whichever is returned.
template <class V, class S>
VX_ARITH V* anyStages(V* x, V* y, const AnyStages<S>& stages) {
  for (const AnyStage& stage : stages.stages) {
    const S* w = stages.twiddles.data() + stage.twiddles;
    const S* rot = stages.rotations.data() + stage.rotations;
    switch (stage.radix) {
      case 2:
        anyStage<2>(x, y, stage, w, rot);
        break;
      case 3:
        anyStage<3>(x, y, stage, w, rot);
        break;
      case 4:
        anyStage<4>(x, y, stage, w, rot);
        break;
      case 5:
        anyStage<5>(x, y, stage, w, rot);
        break;
      case 7:
        anyStage<7>(x, y, stage, w, rot);
        break;
      case 8:
        anyStage<8>(x, y, stage, w, rot);
        break;
      default:
        anyStage<0>(x, y, stage, w, rot);
        break;
    }
    V* t = x;
    x = y;
    y = t;
  }
  return x;
}

// The stages of a plan on x with y to spare, as anyStages: what anyBluestein and
// anyForward run the stages with. A vector path passes a function of its own that runs
// anyStages, so that the stages exist once in its code, not once per caller.
template <class V>
VX_ARITH V* runStages(V* x, V* y, const AnyStages<float>& stages) {
  return anyStages(x, y, stages);
}

// Bluestein's transform of the n values at x, in place, with 2m values of scratch:
// X_k = c_k sum_j (x_j c_j) conj(c_(k-j)) with the chirp c_j = e^(-pi i j^2 / n), the
// convolution done over m values as conj(FFT(conj(FFT(a) B))) with B the chirp's
// spectrum divided by m. `stages(x, y, plan.stages())` runs the stages of length m.
template <class V, class Stages>
VX_ARITH void anyBluestein(V* x, V* scratch, const AnyPlan& plan, Stages stages) {
  const std::ptrdiff_t n = plan.length();
  const std::ptrdiff_t m = plan.bluesteinLength();
  const float* chirp = plan.chirp();
  const float* spectrum = plan.chirpSpectrum();
  V* a = scratch;
  V* b = scratch + 2 * m;
  for (std::ptrdiff_t j = 0; j < n; ++j) {
    V re = x[2 * j], im = x[2 * j + 1];
    multiplyComplex(re, im, chirp[2 * j], chirp[2 * j + 1]);
    a[2 * j] = re;
    a[2 * j + 1] = im;
  }
  const V zero{};
  for (std::ptrdiff_t j = 2 * n; j < 2 * m; ++j) a[j] = zero;
  V* f = stages(a, b, plan.stages());
  for (std::ptrdiff_t k = 0; k < m; ++k) {
    V re = f[2 * k], im = f[2 * k + 1];
    multiplyComplex(re, im, spectrum[2 * k], spectrum[2 * k + 1]);
    f[2 * k] = re;
    f[2 * k + 1] = -im;
  }
  V* g = stages(f, f == a ? b : a, plan.stages());
  for (std::ptrdiff_t k = 0; k < n; ++k) {
    V re = g[2 * k], im = -g[2 * k + 1];
    multiplyComplex(re, im, chirp[2 * k], chirp[2 * k + 1]);
    x[2 * k] = re;
    x[2 * k + 1] = im;
  }
}

// The forward transform of the plan's n values at x, with plan.scratchValues() values
// of scratch; the result lies in x or in the scratch, whichever is returned.
template <class V, class Stages>
VX_ARITH V* anyForward(V* x, V* scratch, const AnyPlan& plan, Stages stages) {
  if (plan.bluestein()) {
    anyBluestein(x, scratch, plan, stages);
    return x;
  }
  return stages(x, scratch, plan.stages());
}
template <class V>
VX_ARITH V* anyForward(V* x, V* scratch, const AnyPlan& plan) {
  return anyForward(x, scratch, plan, runStages<V>);
}

}  // namespace vx_detail

#endif
