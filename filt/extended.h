// vxfreq: the extended mode, for pictures of every camera and the accuracy of the best
// single-precision transforms.
//
// The library has two modes, chosen per thread, with a default for the whole process:
//
//   compatible  (the default in C++ unless the program or VXFREQ_MODE says otherwise,
//               see vfSetExtendedByDefault) transform sides are powers of two up to 2048, and
//               every result is the bit pattern earlier versions gave: the twiddle
//               factors of the transforms are advanced by rotation in float, which is
//               fast but loses accuracy with the size (a relative RMS error against a
//               double-precision transform of 1.6e-7 at 512 x 512 up to 4.3e-6 at
//               2048 x 2048 on photographs), and a picture at an offset comes back
//               from the inverse transforms cyclically shifted by that offset.
//   extended    transform sides are any lengths from 1 to 16384 (pictures up to
//               16384 x 16384, strips such as 16384 x 64, primes), a picture is
//               transformed at its own size unless the sizing rule below says
//               otherwise, the twiddle factors come from
//               tables computed once per process in double precision from the library's
//               own sine and cosine and rounded to float (relative RMS error 5e-8 to
//               1.3e-7 up to 4096 x 4096, as the best float transforms), and the inverse
//               transforms give a picture at any offset back at its place, pixel for
//               pixel.
//
// Both modes give the same bits on every vector path, on x86-64 and aarch64, with GCC
// and Clang and with any number of threads; the extended mode's bits are its own. The
// interfaces are the same in both: every function and class of filt/ works in either.
// A buffer made in one mode may be used in the other as long as its size is one the
// other accepts.
//
//   {
//     vxExtendedScope extended;                   // this thread: the extended mode
//     vfForwardFFT<unsigned short>(camera, spectrum);   // 4000 x 3000: 4000 x 3000
//   }
//
// Sides that are not powers of two take mixed-radix transforms (radices 2, 3, 4, 5, 7, 8
// and the primes up to 31) and, for a side with a larger prime factor, Bluestein's
// transform over a longer 5-smooth length: every side costs O(n log n), the
// 7-smooth ones least (vfNextFastSize).
//
// Memory grows with the size: a W x H buffer holds 8 W H bytes (128 MiB at 4096 x 4096,
// 2 GiB at 16384 x 16384); the peak memory of each operation is given in README.md.
#ifndef VXFREQ_FILT_EXTENDED_H
#define VXFREQ_FILT_EXTENDED_H

#include "platform/vx_export.h"

// While it lives, the library's calls made on the thread that created it run in the
// extended mode (`extended` true) or in the compatible mode (false). Scopes nest: the
// innermost one decides until it ends, and the previous mode is restored afterwards
// (outside every scope, the process default). Tasks that a call hands to a thread pool
// run in the mode of the call.
class VX_API vxExtendedScope {
public:
  // Makes the calling thread's calls run in the extended mode (true) or the compatible
  // mode (false) until the scope is destroyed.
  explicit vxExtendedScope(bool extended = true);
  ~vxExtendedScope();
  vxExtendedScope(const vxExtendedScope&) = delete;
  vxExtendedScope& operator=(const vxExtendedScope&) = delete;

private:
  signed char previous_;  // the thread's mode before the scope, or "the default"
};

// Whether the calling thread's calls run in the extended mode: its innermost scope's
// mode, else the process default.
VX_API bool vfExtendedMode();

// The mode of every thread outside a vxExtendedScope: the threads a program starts
// for its own work (an inspection worker, a request handler) need no scope of their
// own to take camera pictures. The default is the compatible mode, or the extended
// mode when the environment variable VXFREQ_MODE is "extended" (read once, at the
// first call that asks for the mode; any other value means compatible).
// vfSetExtendedByDefault overrides it for the rest of the process. A thread takes the
// default when it first asks for it (its first call outside a scope) and keeps it, so
// that no call under way ever changes mode: set the default at start-up, before the
// threads that rely on it make calls (the thread that sets it follows at once).
VX_API void vfSetExtendedByDefault(bool extended);
VX_API bool vfExtendedByDefault();

// The largest transform side of the calling thread's mode: 2048 or 16384.
VX_API long vfMaxTransformSide();

// How the extended mode sizes the transform of a picture: vfTransformSize, the forward
// transforms of pictures, the padded transforms, the filtering calls, the Python module
// and the command line all take their sizes from this one rule. The compatible mode
// always takes the next powers of two.
enum class vxSizeRule {
  OwnSize = 0,         // the picture's own size (the default); with padding around the
                       // picture, the next fast size of the padded side
  NextFastSize = 1,    // the next fast size of each side (vfNextFastSize)
  NextPowerOfTwo = 2,  // the next power of two of each side, as earlier versions did
  Explicit = 3,        // a size the caller names (vxSizingScope(width, height))
};

// While it lives, the extended mode's calls made on the thread that created it size
// their transforms by `rule`; scopes nest as vxExtendedScope's do, and outside every
// scope the rule is OwnSize. The explicit size must hold every picture transformed
// under it (InvalidSize otherwise, before anything changes); sides outside 1 .. 16384
// throw InvalidArgument "The transform size must be from 1 to 16384 along each side."
// when the scope is made. The compatible mode ignores the rule.
class VX_API vxSizingScope {
public:
  // Sizes by `rule` (OwnSize, NextFastSize or NextPowerOfTwo; Explicit, which needs its
  // size, throws InvalidArgument "Unknown transform sizing rule.").
  explicit vxSizingScope(vxSizeRule rule);
  // Sizes every transform width x height (Explicit).
  vxSizingScope(long width, long height);
  ~vxSizingScope();
  vxSizingScope(const vxSizingScope&) = delete;
  vxSizingScope& operator=(const vxSizingScope&) = delete;

private:
  int previousRule_;
  long previousWidth_;
  long previousHeight_;
};

// The calling thread's sizing rule, and the explicit size (0 x 0 under another rule).
VX_API vxSizeRule vfSizeRule();
VX_API void vfExplicitTransformSize(long* width, long* height);

// The smallest n' >= n whose prime factors are 2, 3, 5 and 7 only (1 for n <= 1): the
// lengths the transforms are fastest at, as scipy.fft.next_fast_len (which takes 11 as
// well) and FFTW's sizes. Every power of two is one, so the next fast size of a side up
// to 16384 is at most 16384.
VX_API long vfNextFastSize(long n);

#endif
