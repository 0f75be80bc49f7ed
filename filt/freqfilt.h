// vxfreq: frequency-domain filters.
//
// A filter is built once for one buffer size (a power of two along each axis; any side
// from 1 in the extended mode, with the transform's frequency grid: index k stands for
// k / W below W/2 and (k - W) / W from there on) and
// one set of parameters, and is then applied any number of times to frequency
// buffers of exactly that size, in place or from an input buffer into an output
// buffer. Applying never changes the filter and is never interrupted by an
// attention check. Frequencies are in cycles per pixel (0.0 to 0.5).
//
// Filters are persistent objects: they can be saved to and loaded from a vxArchive,
// alone or through a vxFrequencyFilter pointer (the archive re-creates the concrete
// class). Loading restores what was saved and recomputes nothing. Archives are
// treated as untrusted, and loading refuses exactly what would let apply read
// outside a band or Gabor filter's table: size fields that cannot belong to a built
// filter (support sizes that are not odd and positive, sizes that are not powers of
// two up to 2^30, samples per bin other than 32, a table larger than a build can
// make, or one that leaves more than 2^22 entries to fill with zeros) and a band
// filter's negative frequency (a ring radius below zero). Those throw
// vxArchive::BadData and leave the filter unbuilt; a filter whose loading throws
// after its class-level version byte has been accepted is likewise left unbuilt.
// Every other value (a frequency above 0.5, a sigma or plateau no build accepts, any
// DC radius) loads as archived: apply stays within the table whatever they are, and
// a setter's rebuild checks them like a new build.
#ifndef VXFREQ_FILT_FREQFILT_H
#define VXFREQ_FILT_FREQFILT_H

#include "filt/fft.h"

#include <cstdint>
#include <vector>

namespace vx_detail {
template <class Family>
struct ParametricFamily;
struct BandFilterFamily;
struct GaborFilterFamily;
}  // namespace vx_detail

// The abstract base of every frequency-domain filter.
//
// `isInitialized()` reports the flag set by a successful build (or a load of a
// built filter); every accessor of a concrete filter and `apply` test the filter's
// own data instead (its gain table or filter image), and throw Uninitialized when
// it is absent. The two differ after an unbuilt band or Gabor filter has been
// assigned to a built one, or after a rebuild whose table allocation failed.
//
// Both `apply` forms check, in this order: the buffer read holds data; in the extended
// mode (filt/extended.h), that it holds a spectrum, not the spatial samples an in-place
// inverse left (InvalidBuffer "Cannot access frequency data once inverse has been
// computed.", as element access; the compatible mode filters them as earlier versions
// did); the filter is built; the buffer's size is the filter's size. Nothing changes
// before all the checks have passed.
class VX_API vxFrequencyFilter : public virtual vxPersistent, public virtual vxRepBase {
public:
  vxFrequencyFilter();

  // A new heap copy of this filter; the caller owns it.
  virtual vxFrequencyFilter* clone() const = 0;
  // Whether the filter has been built (see above).
  virtual bool isInitialized();
  // Out-of-place filtering: `out` receives the filtered `in` (they may be the same
  // buffer).
  virtual void apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const = 0;
  // In-place filtering.
  virtual void apply(vxFrequencyBuffer& buffer) const = 0;

protected:
  // The versioned body of this class level's archive form.
  virtual void serialize_(vxArchive& ar, unsigned char version);

public:
  ~vxFrequencyFilter() override;

protected:
  // Both copy the initialized flag and nothing else.
  vxFrequencyFilter(const vxFrequencyFilter& other);
  vxFrequencyFilter& operator=(const vxFrequencyFilter& other);

  void dispatchSerialize(vxArchive& ar) override;

  // For filters written elsewhere: the buffer's element storage (interleaved real
  // and imaginary floats, row after row; null when the buffer holds no data), its
  // mask band (a caller that sets `masked` must already have zeroed every row whose
  // centred index lies outside [miny, maxy]) and its sizing.
  static float* getFrequencyBufferData(vxFrequencyBuffer& buffer);
  static const float* getFrequencyBufferData(const vxFrequencyBuffer& buffer);
  static void maskFrequencyBuffer(vxFrequencyBuffer& buffer, bool masked, long miny, long maxy);
  static void setAndAllocateFrequencyBuffer(vxFrequencyBuffer& buffer, long width, long height);

  bool initialized_ = false;
};

// Rotationally symmetric band filters. The gain profile, as a function of the
// distance x (in horizontal frequency bins) of a frequency from the ring of radius
// `frequency`, is 1 up to the plateau and exp(-(x - plateau)^2 / (2 sigma^2))
// beyond it (all three scaled by the buffer width); it is tabulated 32 times per
// bin. Row frequencies are converted to horizontal bins by the factor width/height.
//
// The band-pass filter multiplies the ring by the profile and zeroes everything
// else; with a DC removal radius R > 0 it also zeroes the (2R - 1) x (2R - 1) square
// of frequencies around zero. The band-reject filter multiplies by one minus the
// profile and leaves everything else alone; with a DC protection radius R > 0 the
// same square keeps its input values. `apply` clears the mask band of the buffer it
// writes; the out-of-place form sizes `out` to the input's transform size (its image
// size becomes that size too) without taking the input's offset or client transform.
//
// Setters and getters of an unbuilt filter throw Uninitialized; a setter given the
// stored value does nothing, any other value rebuilds the table. Builds validate
// every argument before changing anything; beyond the documented errors, a DC radius
// above 2^31 - 1 throws InvalidArgument "DC radius must fit in 32 bits." and parameters
// whose table would need more than 2^31 - 4 entries InvalidSize "The filter's gain
// table would have more than 2^31 - 4 entries.", also before anything changes. When
// the table cannot be allocated, std::bad_alloc leaves the new parameters stored
// and the filter without a table.
//
// Memory: the table holds S x 32 floats, S = 4 W sigma + W plateau + 0.05 W rounded
// down and made odd (W the buffer width), so it takes about
//   128 W (4 sigma + plateau + 0.05) + 128 bytes:
// 79 KB for W = 2048, sigma 0.05, plateau 0.05; 0.67 MB at sigma = plateau = 0.5.
// Applying it allocates nothing.
class VX_API vxFrequencyFilterBandPass : public vxFrequencyFilter {
public:
  vxFrequencyFilterBandPass();
  // A filter built for buffers of `size` (see set).
  vxFrequencyFilterBandPass(double sigma, double plateau, double frequency,
                            const vxPair<long>& size, long dcRemovalRadius);
  vxFrequencyFilterBandPass(const vxFrequencyFilterBandPass& other);
  ~vxFrequencyFilterBandPass() override;
  // Assigning an unbuilt filter only drops this filter's table.
  vxFrequencyFilterBandPass& operator=(const vxFrequencyFilterBandPass& other);
  // Moving a built filter takes its parameters and table (no entry is copied) and
  // leaves `other` unbuilt, as a new filter; moving an unbuilt one is assigning it.
  vxFrequencyFilterBandPass(vxFrequencyFilterBandPass&& other) noexcept;
  vxFrequencyFilterBandPass& operator=(vxFrequencyFilterBandPass&& other) noexcept;
  // Whether both are unbuilt, or both built with the same parameters and table.
  bool operator==(const vxFrequencyFilterBandPass& other) const;

  vxFrequencyFilter* clone() const override;
  void apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const override;
  void apply(vxFrequencyBuffer& buffer) const override;

  // Builds the filter anew with these parameters, or reads or changes one of them
  // (which rebuilds it); supportWidth() is the width of its gain table (see the class).
  void set(double sigma, double plateau, double frequency, const vxPair<long>& size,
           long dcRemovalRadius);
  double frequency() const;
  void frequency(double frequency);
  double sigma() const;
  void sigma(double sigma);
  double plateau() const;
  void plateau(double plateau);
  vxPair<long> size() const;
  void size(const vxPair<long>& size);
  long dcRemovalRadius() const;
  void dcRemovalRadius(long radius);
  long supportWidth() const;

protected:
  // The gain table (null while the filter is unbuilt).
  const float* data() const { return table_; }
  void serialize_(vxArchive& ar, unsigned char version) override;
  void dispatchSerialize(vxArchive& ar) override;

private:
  friend struct vx_detail::BandFilterFamily;
  friend struct vx_detail::ParametricFamily<vx_detail::BandFilterFamily>;
  void create(double sigma, double plateau, double frequency, const vxPair<long>& size,
              long dcRemovalRadius);
  static vxPersistent* make();
  static vx_Instantiator sExemplar;

  std::int32_t supportWidth_ = 0;
  std::int32_t samplesPerBin_ = 0;
  std::int32_t dcRemovalRadius_ = 0;
  double frequency_ = 0.0;
  double sigma_ = 0.0;
  double plateau_ = 0.0;
  std::int32_t sizeX_ = 0;
  std::int32_t sizeY_ = 0;
  vx_detail::FloatBlock tableStorage_;
  float* table_ = nullptr;
};

// The band-reject filter: one minus the band-pass profile (see vxFrequencyFilterBandPass).
class VX_API vxFrequencyFilterBandReject : public vxFrequencyFilter {
public:
  vxFrequencyFilterBandReject();
  // A filter built for buffers of `size` (see set).
  vxFrequencyFilterBandReject(double sigma, double plateau, double frequency,
                              const vxPair<long>& size, long dcProtectionRadius);
  vxFrequencyFilterBandReject(const vxFrequencyFilterBandReject& other);
  ~vxFrequencyFilterBandReject() override;
  // Assigning an unbuilt filter only drops this filter's table.
  vxFrequencyFilterBandReject& operator=(const vxFrequencyFilterBandReject& other);
  // Moving a built filter takes its parameters and table (no entry is copied) and
  // leaves `other` unbuilt, as a new filter; moving an unbuilt one is assigning it.
  vxFrequencyFilterBandReject(vxFrequencyFilterBandReject&& other) noexcept;
  vxFrequencyFilterBandReject& operator=(vxFrequencyFilterBandReject&& other) noexcept;
  // Whether both are unbuilt, or both built with the same parameters and table.
  bool operator==(const vxFrequencyFilterBandReject& other) const;

  vxFrequencyFilter* clone() const override;
  void apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const override;
  void apply(vxFrequencyBuffer& buffer) const override;

  // Builds the filter anew with these parameters, or reads or changes one of them
  // (which rebuilds it); supportWidth() is the width of its gain table (see the class).
  void set(double sigma, double plateau, double frequency, const vxPair<long>& size,
           long dcProtectionRadius);
  double frequency() const;
  void frequency(double frequency);
  double sigma() const;
  void sigma(double sigma);
  double plateau() const;
  void plateau(double plateau);
  vxPair<long> size() const;
  void size(const vxPair<long>& size);
  long dcProtectionRadius() const;
  void dcProtectionRadius(long radius);
  long supportWidth() const;

protected:
  // The gain table (null while the filter is unbuilt).
  const float* data() const { return table_; }
  void serialize_(vxArchive& ar, unsigned char version) override;
  void dispatchSerialize(vxArchive& ar) override;

private:
  friend struct vx_detail::BandFilterFamily;
  friend struct vx_detail::ParametricFamily<vx_detail::BandFilterFamily>;
  void create(double sigma, double plateau, double frequency, const vxPair<long>& size,
              long dcProtectionRadius);
  static vxPersistent* make();
  static vx_Instantiator sExemplar;

  std::int32_t supportWidth_ = 0;
  std::int32_t samplesPerBin_ = 0;
  double frequency_ = 0.0;
  double sigma_ = 0.0;
  double plateau_ = 0.0;
  std::int32_t sizeX_ = 0;
  std::int32_t sizeY_ = 0;
  std::int32_t dcProtectionRadius_ = 0;
  vx_detail::FloatBlock tableStorage_;
  float* table_ = nullptr;
};

// Oriented filters around one centre frequency: the point at distance `frequency`
// from zero in the direction `angle` (radians, from +x towards +y in centred
// indices). The profile has a flat top and Gaussian flanks, given along the
// direction (x of `sigma` and `plateau`) and across it (y); only that lobe is built,
// not its mirror at angle + 180 degrees. The gains are tabulated over a window of
// supportWidth() x supportHeight() elements around the centre point.
//
// The Gabor filter multiplies the window by the profile, zeroes every other element
// and records the window's rows as the buffer's mask band, so that the inverse
// transform skips the rows outside it; with a DC removal radius R > 0 it also zeroes
// the (2R - 1) x (2R - 1) square of frequencies around zero. The Gabor-reject filter
// multiplies the window by one minus the profile, leaves every other element alone
// and clears the mask band; with a DC protection radius R > 0 that square keeps its
// input values. The out-of-place form sizes `out` to the input's transform size.
//
// Setters, getters and builds behave as those of the band filters. After the checks
// of the band filters, a sigma or plateau that is not a number throws InvalidArgument
// "Sigma values must be numbers." or "Plateau values must be numbers.", and an angle
// that is not a finite number InvalidArgument "Angle must be a finite number.".
//
// Memory: the table holds supportWidth() x supportHeight() floats. With c = |cos
// angle|, s = |sin angle| and all lengths in bins (W sigma, W plateau; W x H the
// buffer size):
//   supportWidth  = 8 max(c W sigma.x, s W sigma.y) + 2 max(c W plateau.x, s W plateau.y)
//                   + 0.05 W, rounded down and made odd,
//   supportHeight = the same across the direction (sigma.y and sigma.x swapped, and
//                   likewise the plateaus), times H / W, + 0.05 H,
// so it takes at most 4 (W (8 sigma + 2 plateau + 0.05) + 1) (H (8 sigma + 2 plateau +
// 0.05) + 1) bytes, sigma and plateau the larger of their two values. It grows with
// the square of sigma: 4.3 GB for 2048 x 2048 at sigma 2; 71 MB at sigma 0.25 and
// 0.74 MB at sigma 0.02 (angle 0, plateaus 0); in the extended mode (filt/extended.h)
// 47 MB for 16384 x 16384 at sigma 0.02 and 4.5 GB at sigma 0.25. Tables over 2^31 - 4
// entries throw InvalidSize before any allocation. One table is all a filter
// holds: applying allocates nothing, and archiving writes and reads the table in place.
class VX_API vxFrequencyFilterGabor : public vxFrequencyFilter {
public:
  vxFrequencyFilterGabor();
  // A filter built for buffers of `size` (see set).
  vxFrequencyFilterGabor(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
                         double frequency, const vxPair<long>& size, long dcRemovalRadius);
  vxFrequencyFilterGabor(const vxFrequencyFilterGabor& other);
  ~vxFrequencyFilterGabor() override;
  // Assigning an unbuilt filter only drops this filter's table.
  vxFrequencyFilterGabor& operator=(const vxFrequencyFilterGabor& other);
  // Moving a built filter takes its parameters and table (no entry is copied) and
  // leaves `other` unbuilt, as a new filter; moving an unbuilt one is assigning it.
  vxFrequencyFilterGabor(vxFrequencyFilterGabor&& other) noexcept;
  vxFrequencyFilterGabor& operator=(vxFrequencyFilterGabor&& other) noexcept;
  // Whether both are unbuilt, or both built with the same parameters and table.
  bool operator==(const vxFrequencyFilterGabor& other) const;

  vxFrequencyFilter* clone() const override;
  void apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const override;
  void apply(vxFrequencyBuffer& buffer) const override;

  // Builds the filter anew with these parameters, or reads or changes one of them
  // (which rebuilds it); supportWidth() is the width of its gain table (see the class).
  void set(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
           double frequency, const vxPair<long>& size, long dcRemovalRadius);
  vxRadian angle() const;
  void angle(vxRadian angle);
  double frequency() const;
  void frequency(double frequency);
  vxPair<double> sigma() const;
  void sigma(const vxPair<double>& sigma);
  vxPair<double> plateau() const;
  void plateau(const vxPair<double>& plateau);
  vxPair<long> size() const;
  void size(const vxPair<long>& size);
  long dcRemovalRadius() const;
  void dcRemovalRadius(long radius);
  long supportWidth() const;
  long supportHeight() const;

  // The gain table, supportHeight() rows of supportWidth() entries; null while the
  // filter is unbuilt.
  const float* data() const { return table_; }

  void serialize_(vxArchive& ar, unsigned char version) override;

protected:
  void dispatchSerialize(vxArchive& ar) override;

private:
  friend struct vx_detail::GaborFilterFamily;
  friend struct vx_detail::ParametricFamily<vx_detail::GaborFilterFamily>;
  void create(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
              double frequency, const vxPair<long>& size, long dcRemovalRadius);
  static vxPersistent* make();
  static vx_Instantiator sExemplar;

  std::int32_t supportWidth_ = 0;
  std::int32_t supportHeight_ = 0;
  vxPair<double> sigma_;
  vxPair<double> plateau_;
  vxRadian angle_;
  double frequency_ = 0.0;
  std::int32_t dcRemovalRadius_ = 0;
  std::int32_t sizeX_ = 0;
  std::int32_t sizeY_ = 0;
  vx_detail::FloatBlock tableStorage_;
  float* table_ = nullptr;
};

// The Gabor-reject filter: one minus the Gabor profile (see vxFrequencyFilterGabor).
class VX_API vxFrequencyFilterGaborReject : public vxFrequencyFilter {
public:
  vxFrequencyFilterGaborReject();
  // A filter built for buffers of `size` (see set).
  vxFrequencyFilterGaborReject(const vxPair<double>& sigma, const vxPair<double>& plateau,
                               vxRadian angle, double frequency, const vxPair<long>& size,
                               long dcProtectionRadius);
  vxFrequencyFilterGaborReject(const vxFrequencyFilterGaborReject& other);
  ~vxFrequencyFilterGaborReject() override;
  // Assigning an unbuilt filter only drops this filter's table.
  vxFrequencyFilterGaborReject& operator=(const vxFrequencyFilterGaborReject& other);
  // Moving a built filter takes its parameters and table (no entry is copied) and
  // leaves `other` unbuilt, as a new filter; moving an unbuilt one is assigning it.
  vxFrequencyFilterGaborReject(vxFrequencyFilterGaborReject&& other) noexcept;
  vxFrequencyFilterGaborReject& operator=(vxFrequencyFilterGaborReject&& other) noexcept;
  // Whether both are unbuilt, or both built with the same parameters and table.
  bool operator==(const vxFrequencyFilterGaborReject& other) const;

  vxFrequencyFilter* clone() const override;
  void apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const override;
  void apply(vxFrequencyBuffer& buffer) const override;

  // Builds the filter anew with these parameters, or reads or changes one of them
  // (which rebuilds it); supportWidth() is the width of its gain table (see the class).
  void set(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
           double frequency, const vxPair<long>& size, long dcProtectionRadius);
  vxRadian angle() const;
  void angle(vxRadian angle);
  double frequency() const;
  void frequency(double frequency);
  vxPair<double> sigma() const;
  void sigma(const vxPair<double>& sigma);
  vxPair<double> plateau() const;
  void plateau(const vxPair<double>& plateau);
  vxPair<long> size() const;
  void size(const vxPair<long>& size);
  long dcProtectionRadius() const;
  void dcProtectionRadius(long radius);
  long supportWidth() const;
  long supportHeight() const;

protected:
  // The gain table (null while the filter is unbuilt).
  const float* data() const { return table_; }
  void serialize_(vxArchive& ar, unsigned char version) override;
  void dispatchSerialize(vxArchive& ar) override;

private:
  friend struct vx_detail::GaborFilterFamily;
  friend struct vx_detail::ParametricFamily<vx_detail::GaborFilterFamily>;
  void create(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
              double frequency, const vxPair<long>& size, long dcProtectionRadius);
  static vxPersistent* make();
  static vx_Instantiator sExemplar;

  std::int32_t supportWidth_ = 0;
  std::int32_t supportHeight_ = 0;
  vxPair<double> sigma_;
  vxPair<double> plateau_;
  vxRadian angle_;
  double frequency_ = 0.0;
  std::int32_t sizeX_ = 0;
  std::int32_t sizeY_ = 0;
  std::int32_t dcProtectionRadius_ = 0;
  vx_detail::FloatBlock tableStorage_;
  float* table_ = nullptr;
};

// A filter whose transfer function is a frequency buffer (for example the forward
// transform of a kernel image): `apply` multiplies the buffer it filters, element by
// element, by the filter image as complex numbers, and clears its mask band. The
// out-of-place form first copies the whole input (size, placement, flags and values)
// into `out`. The filter's size is the filter image's transform size; an unbuilt
// filter's supportWidth() and supportHeight() throw what an empty buffer's width()
// throws. Memory: a copy of the filter image, 8 W H bytes (32 MB at 2048 x 2048).
class VX_API vxFrequencyFilterImage : public vxFrequencyFilter {
public:
  vxFrequencyFilterImage();
  // A filter built from a copy of `image` (see setImage).
  explicit vxFrequencyFilterImage(const vxFrequencyBuffer& image);
  vxFrequencyFilterImage(const vxFrequencyFilterImage& other);
  ~vxFrequencyFilterImage() override;
  vxFrequencyFilterImage& operator=(const vxFrequencyFilterImage& other);
  // Moving a built filter takes its filter image's storage (no value is copied) and
  // leaves `other` unbuilt, as a new filter; moving an unbuilt one is assigning it.
  vxFrequencyFilterImage(vxFrequencyFilterImage&& other) noexcept;
  vxFrequencyFilterImage& operator=(vxFrequencyFilterImage&& other) noexcept;
  // Whether both are unbuilt, or both built with equal filter images.
  bool operator==(const vxFrequencyFilterImage& other) const;

  vxFrequencyFilter* clone() const override;
  void apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const override;
  void apply(vxFrequencyBuffer& buffer) const override;

  // Builds from a copy of `image`, which must hold data.
  void setImage(const vxFrequencyBuffer& image);
  // The filter image's transform size (see the class).
  long supportWidth() const;
  long supportHeight() const;

protected:
  void serialize_(vxArchive& ar, unsigned char version) override;
  void dispatchSerialize(vxArchive& ar) override;

private:
  void create(const vxFrequencyBuffer& image);
  static vxPersistent* make();
  static vx_Instantiator sExemplar;

  vxFrequencyBuffer image_;
};

// A new heap copy of `filter` for buffers of transform size `size`; the caller owns it.
// Band and Gabor filters are rebuilt for that size with their other parameters
// unchanged, as their size setter does (InvalidSize for a size no build takes). An
// image filter, whose gains are a buffer of one size, is copied when `size` is its
// own; for another size, and for filters written elsewhere (classes derived from these
// included), which only their own code can rebuild, InvalidArgument. An unbuilt filter throws
// Uninitialized. The filter given never changes.
VX_API vxFrequencyFilter* vfFilterForSize(const vxFrequencyFilter& filter,
                                          const vxPair<long>& size);

#endif
