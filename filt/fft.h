// vxfreq: two-dimensional Fourier transforms of images.
//
// This header holds the library's error classes, the frequency buffer and the
// transforms between buffers. Sizes are powers of two from 1 to 2048 along each
// axis (any sides from 1 to 16384 in the extended mode, filt/extended.h); spectra are
// single-precision
// complex values, row by row, real part first, the DC term at (0, 0).
#ifndef VXFREQ_FILT_FFT_H
#define VXFREQ_FILT_FFT_H

#include "platform/archive.h"
#include "platform/attention.h"
#include "platform/exception.h"
#include "platform/geometry.h"
#include "platform/memory.h"
#include "platform/pelbuffer.h"
#include "platform/persistent.h"
#include "platform/vx_export.h"

#include <cstdint>
#include <vector>

class vxFrequencyBuffer;

namespace vx_detail {
struct FrequencyBufferAccess;
}

// The scope of the library's error classes and of the display mapping rules.
class VX_API vxFrequencyDefs {
public:
  vxFrequencyDefs& operator=(const vxFrequencyDefs&) = default;  // nothing to assign

  // How vfFrequencyMapImage turns values into grey levels.
  enum FrequencyMapping {
    Clamp = 0,        // value clamped to [0, 255]
    Linear = 1,       // linear, range taken from the image
    LinearRange = 2,  // linear, range given by the caller, saturated
    Logarithmic = 3,  // natural logarithm, range taken from the image
    Angle = 4         // value x 40.58451 (radians in [0, 2 pi) to 0 .. 254)
  };

  // Base of every error the library throws. Each concrete class has a fixed error
  // number (0x10006300 + 0 .. 5) and a fixed wide message (none for UnboundWindow).
  class VX_API Errors : public vxExceptionWithString {
  public:
    Errors(const Errors& other);
    Errors& operator=(const Errors& other);
    ~Errors() override;

    // The error's number, 0x10006300 + 0 .. 5 (InvalidArgument .. BadCoord).
    virtual long errorNumber() const = 0;
    // Deletes this heap object and throws a copy of it as its own class.
    [[noreturn]] virtual void suicideAndRethrow() = 0;

  protected:
    // An error with `message` (none when null); for the concrete classes.
    explicit Errors(const wchar_t* message = nullptr);
    // Saves or loads the error: its message, then this level's version byte.
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);
  };

  // Error number 0x10006300.
  class VX_API InvalidArgument : public Errors {
  public:
    // The error with `message` (none when null).
    explicit InvalidArgument(const wchar_t* message = nullptr);
    InvalidArgument(const InvalidArgument& other);
    InvalidArgument& operator=(const InvalidArgument& other);
    ~InvalidArgument() override;
    long errorNumber() const override;
    [[noreturn]] void suicideAndRethrow() override;

  protected:
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);

  private:
    static vxPersistent* make();
    static vx_Instantiator sExemplar;
  };

  // Error number 0x10006301.
  class VX_API Uninitialized : public Errors {
  public:
    // The error with `message` (none when null).
    explicit Uninitialized(const wchar_t* message = nullptr);
    Uninitialized(const Uninitialized& other);
    Uninitialized& operator=(const Uninitialized& other);
    ~Uninitialized() override;
    long errorNumber() const override;
    [[noreturn]] void suicideAndRethrow() override;

  protected:
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);

  private:
    static vxPersistent* make();
    static vx_Instantiator sExemplar;
  };

  // Error number 0x10006302.
  class VX_API InvalidSize : public Errors {
  public:
    // The error with `message` (none when null).
    explicit InvalidSize(const wchar_t* message = nullptr);
    InvalidSize(const InvalidSize& other);
    InvalidSize& operator=(const InvalidSize& other);
    ~InvalidSize() override;
    long errorNumber() const override;
    [[noreturn]] void suicideAndRethrow() override;

  protected:
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);

  private:
    static vxPersistent* make();
    static vx_Instantiator sExemplar;
  };

  // Error number 0x10006303.
  class VX_API UnboundWindow : public Errors {
  public:
    // The error with `message` (none when null).
    explicit UnboundWindow(const wchar_t* message = nullptr);
    UnboundWindow(const UnboundWindow& other);
    UnboundWindow& operator=(const UnboundWindow& other);
    ~UnboundWindow() override;
    long errorNumber() const override;
    [[noreturn]] void suicideAndRethrow() override;

  protected:
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);

  private:
    static vxPersistent* make();
    static vx_Instantiator sExemplar;
  };

  // Error number 0x10006304.
  class VX_API InvalidBuffer : public Errors {
  public:
    // The error with `message` (none when null).
    explicit InvalidBuffer(const wchar_t* message = nullptr);
    InvalidBuffer(const InvalidBuffer& other);
    InvalidBuffer& operator=(const InvalidBuffer& other);
    ~InvalidBuffer() override;
    long errorNumber() const override;
    [[noreturn]] void suicideAndRethrow() override;

  protected:
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);

  private:
    static vxPersistent* make();
    static vx_Instantiator sExemplar;
  };

  // Error number 0x10006305.
  class VX_API BadCoord : public Errors {
  public:
    // The error with `message` (none when null).
    explicit BadCoord(const wchar_t* message = nullptr);
    BadCoord(const BadCoord& other);
    BadCoord& operator=(const BadCoord& other);
    ~BadCoord() override;
    long errorNumber() const override;
    [[noreturn]] void suicideAndRethrow() override;

  protected:
    void dispatchSerialize(vxArchive& ar) override;
    void serialize_(vxArchive& ar, unsigned char version);

  private:
    static vxPersistent* make();
    static vx_Instantiator sExemplar;
  };
};

// W x H single-precision complex values (W, H powers of two up to 2048, or any sides
// up to 16384 in the extended mode: filt/extended.h) with what is
// needed to turn them back into an image of the original size and placement: the
// image's size, offset and client transform. A value class: copies are deep.
//
// A buffer is initialized exactly when it holds storage; every operation except
// construction, assignment, comparison and destruction needs an initialized buffer.
// After an in-place inverse transform the buffer holds spatial samples and refuses
// element access (InvalidBuffer) until it is sized anew.
class VX_API vxFrequencyBuffer {
public:
  // Uninitialized.
  vxFrequencyBuffer();
  // Sized for an image of width x height (transform size: vfTransformSize, the next
  // powers of two or, in the extended mode, the sizing rule's); all values 0, identity
  // client transform, offset (0, 0).
  vxFrequencyBuffer(long width, long height);
  vxFrequencyBuffer(const vxFrequencyBuffer& other);
  // The lowest frequencies of `source`: a width x height buffer (sides of the mode, 2
  // to the source's size) holding frequencies -width/2 .. width/2 - 1 (likewise rows;
  // an odd side -(width-1)/2 .. (width-1)/2, as fftfreq orders them).
  vxFrequencyBuffer(const vxFrequencyBuffer& source, long width, long height);
  // Values real(x, y) + i imaginary(x, y), zero-padded; the images must be bound and
  // of equal size and offset.
  vxFrequencyBuffer(const vxPelBuffer_const<double>& real,
                    const vxPelBuffer_const<double>& imaginary);
  ~vxFrequencyBuffer();

  vxFrequencyBuffer& operator=(const vxFrequencyBuffer& other);
  // Moving an initialized buffer takes its storage and every field (no value is copied)
  // and leaves `other` uninitialized, as a new buffer; moving an uninitialized one is
  // assigning it (this buffer drops its data, keeping its storage and fields).
  vxFrequencyBuffer(vxFrequencyBuffer&& other) noexcept;
  vxFrequencyBuffer& operator=(vxFrequencyBuffer&& other) noexcept;
  // Same sizes, flags, mask band (when masked), offset and values (as floats, so
  // +0 == -0); the client transform is not compared.
  bool operator==(const vxFrequencyBuffer& other) const;
  bool operator!=(const vxFrequencyBuffer& other) const { return !(*this == other); }

  // Transform width W and height H.
  long width() const;
  long height() const;

  // Element access. `centered` false: (x, y) are storage positions 0 <= x < W,
  // 0 <= y < H. `centered` true: signed frequencies -W/2 <= x < W/2 (rounded as
  // -(W >> 1) <= x < (W + 1) >> 1), negative ones wrapping to the upper half.
  vxPair<double> get(long x, long y, bool centered) const;
  double getReal(long x, long y, bool centered) const;
  double getImaginary(long x, long y, bool centered) const;
  void put(long x, long y, vxPair<double> value, bool centered);
  void putReal(long x, long y, double value, bool centered);
  void putImaginary(long x, long y, double value, bool centered);

  // The whole content as a W x H double image (padding included): real parts,
  // imaginary parts, magnitudes (sqrtf(re*re + im*im) in float) or phases (atan2 in
  // double, reduced to [0, 2 pi)). `centered` puts the DC term at pixel (W/2, H/2).
  vxPelBuffer<double> getRealImage(bool centered) const;
  vxPelBuffer<double> getImaginaryImage(bool centered) const;
  vxPelBuffer<double> getMagnitudeImage(bool centered) const;
  vxPelBuffer<double> getPhaseImage(bool centered) const;
  // The same images written into `image`: its pixels when it is bound and of the
  // buffer's size W x H (its offset, stride and client transform stay), otherwise it
  // becomes a new image, as the forms above return. The same pixels either way; a
  // program that reads spectra of one size in a loop gives its images no new memory.
  void getRealImage(bool centered, vxPelBuffer<double>& image) const;
  void getImaginaryImage(bool centered, vxPelBuffer<double>& image) const;
  void getMagnitudeImage(bool centered, vxPelBuffer<double>& image) const;
  void getPhaseImage(bool centered, vxPelBuffer<double>& image) const;

  // Read-only state.
  bool isInitialized() const { return data_ != nullptr; }
  long imageWidth() const { return imageWidth_; }
  long imageHeight() const { return imageHeight_; }
  vxPair<long> imageOffset() const { return vxPair<long>(imageOffsetX_, imageOffsetY_); }
  const vx2XformCache& clientXform() const { return clientXform_; }
  bool inverseComputed() const { return inverseComputed_; }

  // The element storage for code that shares it (a numpy view, for example): 2 x W x H
  // floats, real and imaginary parts interleaved, row after row; null while the buffer
  // is uninitialized. Sizing, assignment, transforms and filters into this buffer keep
  // the storage (and so the address) whenever the transform size stays the same;
  // another size, loading from an archive or destruction release it, and moving an
  // initialized buffer into this one replaces it by that buffer's storage.
  // The writable storage may receive any values: asking for it drops what the buffer
  // knows of its values' symmetry (see vfInverseFFT), so ask again after every transform
  // or filter into the buffer before writing through it.
  float* elements() {
    hermitian_ = false;
    return data_;
  }
  // The same storage, to read: asking for it changes nothing.
  const float* elements() const { return data_; }

private:
  friend struct vx_detail::FrequencyBufferAccess;
  friend VX_API vxArchive& operator||(vxArchive& ar, vxFrequencyBuffer& buf);

  float* data() const { return data_; }
  void masked(long m) { masked_ = static_cast<std::int32_t>(m); }
  long masked() const { return masked_; }
  void maskedMiny(long v) { maskedMiny_ = static_cast<std::int32_t>(v); }
  long maskedMiny() const { return maskedMiny_; }
  void maskedMaxy(long v) { maskedMaxy_ = static_cast<std::int32_t>(v); }
  long maskedMaxy() const { return maskedMaxy_; }
  // Sizes the buffer for an image of width x height (see the constructor); keeps the
  // values when the transform size does not change, else takes new storage holding
  // `fill` (zeros unless the caller writes every value before anything reads them).
  // Returns whether the storage is new.
  bool setAndAllocate(long width, long height, vx_detail::BlockFill fill);
  // Gives the buffer a W x H transform size (sides of the mode), clearing the mask and
  // inverse-computed flags; storage and values are kept when the size is unchanged,
  // otherwise the storage is new and holds `fill`. Returns whether the storage is new.
  bool resizeTransform(long W, long H, vx_detail::BlockFill fill);
  // The same with new storage holding zeros: the forms of earlier versions, whose
  // exported symbols the library keeps.
  bool setAndAllocate(long width, long height);
  bool resizeTransform(long W, long H);

  // Index of the real part of element (x, y) after the checks of element access.
  std::size_t elementIndex(long x, long y, bool centered) const;

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t imageWidth_ = 0;
  std::int32_t imageHeight_ = 0;
  std::int32_t masked_ = 0;
  std::int32_t maskedMiny_ = 0;
  std::int32_t maskedMaxy_ = 0;
  vx2XformCache clientXform_;
  std::int32_t imageOffsetX_ = 0;
  std::int32_t imageOffsetY_ = 0;
  vx_detail::FloatBlock storage_;
  float* data_ = nullptr;
  bool inverseComputed_ = false;
  // The values are known to be conjugate-symmetric, X(-u, -v) = conj X(u, v): the
  // spectrum of a real picture, through operations that keep the symmetry.
  bool hermitian_ = false;
  // The margin vfForwardFFTPadded (filt/padding.h) left on each side of the picture;
  // 0 for every other buffer. Copied by assignment, not archived.
  std::int32_t paddingMarginX_ = 0;
  std::int32_t paddingMarginY_ = 0;
};

// The transform size (W, H) the forward transforms give a picture of width x height
// pixels: the next powers of two (1 for a side of 1 or less) in the compatible mode; in
// the extended mode what the thread's sizing rule gives (filt/extended.h: the picture's
// own size unless a vxSizingScope says otherwise). Throws InvalidSize "Width and Height
// must be no larger than 2048." for a side above the limit (16384 in the extended
// mode), as the forward transforms and the buffer's constructors do.
VX_API vxPair<long> vfTransformSize(long width, long height);

// Records which picture `buf`'s values stand for, as a forward transform of that
// picture would: width x height pixels (1 up to the transform size along each axis) at
// `offset`, not padded (vfPaddingMargin gives 0), with the identity client transform.
// The values, the transform size and the inverse-computed flag stay. For values that
// were written into the storage (elements()) rather than transformed from a picture.
// Throws Uninitialized for a buffer without data, InvalidSize for a size outside that
// range and InvalidArgument for an offset beyond 32 bits, before anything changes.
VX_API void vfSetImagePlacement(vxFrequencyBuffer& buf, long width, long height,
                                vxPair<long> offset);

// Sets every value of the W x H array at `data` outside the top-left w x h
// rectangle to 0. Checks attention first.
VX_API void vf_ZeroPadding(long w, long h, long W, long H, float* data);

// Transforms between buffers. The forward transform leaves `out` unmasked with its
// inverse-computed flag cleared. The inverse is unscaled (forward then inverse gives
// W*H times the input). With `inPlace` the work is done in `in`'s storage, which then
// keeps the spatial result and is marked so that later inverses copy it instead of
// transforming again; `out` receives a copy either way.
VX_API void vfForwardFFT(const vxFrequencyBuffer& in, vxFrequencyBuffer& out);
VX_API void vfInverseFFT(vxFrequencyBuffer& in, vxFrequencyBuffer& out, bool inPlace);
VX_API void vfInverseFFT(const vxFrequencyBuffer& in, vxFrequencyBuffer& out);

// ---------------------------------------------------------------------------
// Forward transforms of images (T = unsigned char, unsigned short, double).
//
// The image is placed at the top-left of the next power-of-two size and padded with
// zeros; its size, offset and client transform are recorded in `result` so that the
// inverse transforms give back an image of the same size and offset. A single image
// is a real signal; a pair is real + i imag. Unbound images throw UnboundWindow; sides
// above the mode's limit (2048; 16384 in the extended mode) throw InvalidSize, both
// before `result` changes.
//
// Where a picture at an offset comes back. In the extended mode the inverses give the
// picture back as it was, at its offset: a region of interest cut out of a larger
// picture (vxPelBuffer(parent, x, y, w, h)) comes back where it was cut. In the
// compatible mode they keep the earlier versions' delivery, a cyclic shift: for a
// w x h picture at offset (x, y), pixel (i, j) of the result holds the picture's pixel
// ((i - x) mod w, (j - y) mod h) when -w <= x <= 0 and -h <= y <= 0; other offsets
// shift it out of the frame, zeros taking its place (a 3 x 5 picture whose first row
// is 1 2 3 comes back as 0 1 2 at offset (1, 0), as 2 3 1 at (-1, 0)). Use the
// extended mode, or offset (0, 0), where the picture must come back as it was.
template <class T>
VX_API void vfForwardFFT(const vxPelBuffer_const<T>& real, const vxPelBuffer_const<T>& imag,
                         vxFrequencyBuffer& result);
template <class T>
VX_API void vfForwardFFT(const vxPelBuffer_const<T>& image, vxFrequencyBuffer& result);

// The functions behind vfForwardFFT, one per pixel type: the same transforms.
VX_API void vf_ForwardFFT(const vxPelBuffer_const<unsigned char>& real,
                          const vxPelBuffer_const<unsigned char>& imag, vxFrequencyBuffer& result);
VX_API void vf_ForwardFFT(const vxPelBuffer_const<unsigned short>& real,
                          const vxPelBuffer_const<unsigned short>& imag, vxFrequencyBuffer& result);
VX_API void vf_ForwardFFT(const vxPelBuffer_const<double>& real,
                          const vxPelBuffer_const<double>& imag, vxFrequencyBuffer& result);
VX_API void vf_ForwardFFT(const vxPelBuffer_const<unsigned char>& image, vxFrequencyBuffer& result);
VX_API void vf_ForwardFFT(const vxPelBuffer_const<unsigned short>& image,
                          vxFrequencyBuffer& result);
VX_API void vf_ForwardFFT(const vxPelBuffer_const<double>& image, vxFrequencyBuffer& result);

// The forward transform of a real picture of samples read where they are (T = unsigned
// char, unsigned short, double, float): pixel (x, y) is samples[y * rowStride +
// x * pixelStride], for any strides (negative ones read rows or columns backwards, 0
// repeats one). The result is the transform of an image of the same type holding the
// same values (float: of a double image), bit for bit, without a copy of the picture;
// the picture is recorded at `offset`. Throws InvalidSize for a side below 1 or above
// the mode's limit and InvalidArgument for null samples or an offset beyond 32 bits,
// before `result` changes.
template <class T>
VX_API void vfForwardFFT(const T* samples, long width, long height, long rowStride,
                         long pixelStride, vxPair<long> offset, vxFrequencyBuffer& result);

// Copies `src` and its three copies shifted by one period (the larger of the two
// sizes) left and up (`backwards` false) or right and down (true) into `dst`, where
// they overlap it in the shared frame. Checks attention first.
template <class T>
VX_API void vf_WrapCopy(const vxPelBuffer_const<T>& src, vxPelBuffer<T>& dst, bool backwards);

// ---------------------------------------------------------------------------
// Inverse transforms to images.
//
// The buffer is inverse-transformed (in a private copy, or with `inPlace` in its own
// storage, which then keeps the spatial result), scaled by the float nearest to
// 1/(W*H), and the top-left imageWidth x imageHeight values become the output:
// integer images receive the rounded magnitude (low 8/16 bits, no saturation), or
// with `normalize` the magnitudes stretched to the full pixel range; double images
// the magnitude unrounded. An unbound output becomes a new image placed at the
// recorded offset; a bound output receives the values where it overlaps them.
//
// The extended mode computes a real part with the real-output engine: the inverse of the
// spectrum's Hermitian part (X(u, v) + conj X(-u, -v)) / 2, which is the real part of the
// complex inverse within rounding and takes half its work. Its magnitudes are those of
// the complex inverse, too, for a spectrum known to be conjugate-symmetric: one the
// buffer was given by a forward transform of a real picture and then kept through band
// filters, image filters whose own buffer is known to be symmetric (a real kernel's
// spectrum), copies, and sums, differences, products and conjugates of such buffers.
// Anything else that writes the values (put, a Gabor filter, a complex transform, an
// archive, writable elements()) makes it unknown, and such a spectrum's magnitudes, like
// angles, quadrants and imaginary parts, come from the complex inverse. A spectrum known
// to be symmetric is read only up to column W/2: the mirror of each value there is taken
// as its conjugate, which is what the buffer holds. In place, the
// storage keeps what the engine gave: a real part of a spectrum not known to be
// symmetric comes from the complex inverse there, so that the storage holds all of it.
// The compatible mode always takes the complex inverse.
template <class T>
VX_API void vfInverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<T>& image, bool normalize,
                         bool inPlace);
template <class T>
VX_API void vfInverseFFT(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image, bool normalize);
// The real part of the scaled result: for 8- and 16-bit images rounded to the nearest
// integer (halves to even, as numpy.rint) and saturated to 0 .. 255 or 0 .. 65535 (NaN
// gives 0); for double images unrounded, as the real image of the form below. This is
// the way back to a picture after filtering: a real picture's spectrum stays the
// spectrum of a real picture through band and image filters, so its inverse is real up
// to rounding, and a highlight brighter than the pixel range saturates rather than
// wrapping to black. The magnitude forms above are for spectra that are not, where the
// distance from zero is wanted (a Gabor filter's response, whose inverse is complex).
// Output images, placement, `inPlace` and the pool as for the forms above; the same
// values as Python's vxfreq.inverse(buf, dtype=...).
template <class T>
VX_API void vfInverseFFTReal(vxFrequencyBuffer& buf, vxPelBuffer<T>& image, bool inPlace);
template <class T>
VX_API void vfInverseFFTReal(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image);
// With an angle image: atan2f(im, re) of each result value.
template <class T>
VX_API void vfInverseFFTAngle(vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                              vxPelBuffer<double>& angle, bool normalize, bool inPlace);
template <class T>
VX_API void vfInverseFFTAngle(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                              vxPelBuffer<double>& angle, bool normalize);
// With a quadrant image: bit 0 set where the real part is below 0, bit 1 where the
// imaginary part is.
template <class T>
VX_API void vfInverseFFTQuadrant(vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                                 vxPelBuffer<unsigned char>& quadrant, bool normalize,
                                 bool inPlace);
template <class T>
VX_API void vfInverseFFTQuadrant(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                                 vxPelBuffer<unsigned char>& quadrant, bool normalize);
// The real and imaginary parts of the scaled result.
VX_API void vfInverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<double>& real,
                         vxPelBuffer<double>& imag, bool inPlace);
VX_API void vfInverseFFT(const vxFrequencyBuffer& buf, vxPelBuffer<double>& real,
                         vxPelBuffer<double>& imag);

// The functions behind the inverse transforms to images, one per pixel type: with a
// quadrant image (vfInverseFFTQuadrant), or with an angle image, none when `angle` is
// null (vfInverseFFTAngle, vfInverseFFT).
VX_API void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& image,
                          vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace);
VX_API void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned short>& image,
                          vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace);
VX_API void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<double>& image,
                          vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace);
// The functions behind the inverse transforms to images, one per pixel type: with a
// quadrant image (vfInverseFFTQuadrant), or with an angle image, none when `angle` is
// null (vfInverseFFTAngle, vfInverseFFT).
VX_API void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& image,
                          vxPelBuffer<double>* angle, bool normalize, bool inPlace);
VX_API void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned short>& image,
                          vxPelBuffer<double>* angle, bool normalize, bool inPlace);
VX_API void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<double>& image,
                          vxPelBuffer<double>* angle, bool normalize, bool inPlace);

// The quadrant codes or angles of the buffer's current values (no transform).
VX_API void vf_ComputeQuadrantImage(const vxFrequencyBuffer& buf,
                                    vxPelBuffer<unsigned char>& quadrant);
VX_API void vf_ComputeAngleImage(const vxFrequencyBuffer& buf, vxPelBuffer<double>& angle);

// ---------------------------------------------------------------------------
// Arithmetic on buffers of equal size, element by element in single precision. The
// result may be either operand. The two-argument forms accumulate into their last
// argument (subtraction: b = b - a).
VX_API void vfFrequencyAdd(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                           vxFrequencyBuffer& result);
VX_API void vfFrequencyAdd(const vxFrequencyBuffer& a, vxFrequencyBuffer& b);
VX_API void vfFrequencySubtract(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                                vxFrequencyBuffer& result);
VX_API void vfFrequencySubtract(const vxFrequencyBuffer& a, vxFrequencyBuffer& b);
VX_API void vfFrequencyMultiply(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                                vxFrequencyBuffer& result);
VX_API void vfFrequencyMultiply(const vxFrequencyBuffer& a, vxFrequencyBuffer& b);
VX_API void vfFrequencyConjugate(const vxFrequencyBuffer& a, vxFrequencyBuffer& result);
VX_API void vfFrequencyConjugate(vxFrequencyBuffer& a);

// ---------------------------------------------------------------------------
// Display: a double image mapped to a new 8-bit image by one of the rules of
// vxFrequencyDefs::FrequencyMapping (`low` and `high` are read by LinearRange only).
VX_API vxPelBuffer<unsigned char> vfFrequencyMapImage(const vxPelBuffer_const<double>& image,
                                                      vxFrequencyDefs::FrequencyMapping mapping,
                                                      double low, double high);
// The same pixels written into `result`: into its pixels when it is bound and of the
// input's size (its offset and stride stay; it takes the input's client transform),
// otherwise it becomes a new image, as the form above returns.
VX_API void vfFrequencyMapImage(const vxPelBuffer_const<double>& image,
                                vxFrequencyDefs::FrequencyMapping mapping, double low, double high,
                                vxPelBuffer<unsigned char>& result);

// ---------------------------------------------------------------------------
// Archiving. A buffer is stored field by field (version 1; versions 0 and 1 are
// read). Loading accepts only what a storing archive can have written: transform
// sizes of the calling thread's mode (powers of two from 1 to 2048 in the compatible
// mode, any sides from 1 to 16384 in the extended mode; InvalidSize otherwise), an
// image size no larger than the transform size and at most 2*W*H values; anything
// else throws vxArchive::BadData. Fewer values than 2*W*H load zero-filled at the
// compatible mode's sizes (at most 32 MiB of zeros); a buffer of any other size must
// hold all its values, so that a load never allocates much beyond the values the
// archive holds. After a failed load the buffer is uninitialized, its other fields as
// far as they were read (a refused version byte changes nothing).
VX_API vxArchive& operator||(vxArchive& ar, vxFrequencyBuffer& buf);
// A version byte (0), then x and y as 32-bit integers.
VX_API vxArchive& vf_ArchivePair(vxArchive& ar, vxPair<long>& pair);
// A version byte (0), a 32-bit count, then the floats. Loading never allocates
// much ahead of the data actually present in the archive.
VX_API vxArchive& vf_ArchiveFloats(vxArchive& ar, std::vector<float>& values);

#endif
