// The members of the four parametric filters: band-pass, band-reject, Gabor and
// Gabor-reject.
//
// Every member hands its work to the class's family (band_family.h, gabor_family.h)
// or to the forms below, which are written once for all four; each member is defined
// here for the classes that declare it, one after the other.
#include "filt/filters/band_family.h"
#include "filt/filters/gabor_family.h"

#include <utility>

namespace vx_detail {
// The family of each class (declared only, for FamilyOf).
BandFilterFamily familyOf(const vxFrequencyFilterBandPass&);
BandFilterFamily familyOf(const vxFrequencyFilterBandReject&);
GaborFilterFamily familyOf(const vxFrequencyFilterGabor&);
GaborFilterFamily familyOf(const vxFrequencyFilterGaborReject&);
}  // namespace vx_detail

namespace {
using vx_detail::BandFilterFamily;
using vx_detail::GaborFilterFamily;
using P = vxFrequencyFilterBandPass;
using R = vxFrequencyFilterBandReject;
using G = vxFrequencyFilterGabor;
using GR = vxFrequencyFilterGaborReject;
using Band = BandFilterFamily::Params;
using Gabor = GaborFilterFamily::Params;
using Buffer = vxFrequencyBuffer;

template <class F>
using FamilyOf = decltype(vx_detail::familyOf(std::declval<const F&>()));

template <class F>
void assignForm(F& to, const F& from) {
  vx_detail::assignFilter<FamilyOf<F>>(to, from);
}

template <class F>
F& moveForm(F& to, F& from) noexcept {
  if (&to != &from) vx_detail::moveFilter<FamilyOf<F>>(to, from);
  return to;
}

template <class F>
bool equalForms(const F& a, const F& b) {
  return vx_detail::equalFilters<FamilyOf<F>>(a, b);
}

template <class F>
void applyForm(const F& f, const Buffer& in, Buffer& out, bool outOfPlace) {
  FamilyOf<F>::apply(f, in, out, outOfPlace);
}

template <class F>
void serializeForm(F& f, vxArchive& ar, unsigned char version) {
  FamilyOf<F>::serialize(f, ar, version);
}

// The class's own level: its version byte, its body, the visited mark.
template <class F>
void dispatchForm(vxArchive& ar, F& f) {
  vx_detail::dispatchClassLevel(ar, &f, sizeof(F),
                                [&](unsigned char version) { serializeForm(f, ar, version); });
}

template <class F, class Params>
void createForm(F& f, const Params& params) {
  FamilyOf<F>::create(f, params);
}

template <class F, class T>
T getForm(const F& f, const T& field) {
  return FamilyOf<F>::get(f, field);
}

template <class F, class T, class Params>
void changeForm(F& f, T Params::*member, const T& value) {
  FamilyOf<F>::change(f, member, value);
}

template <class F>
vxPersistent* makeForm() {
  return new F();
}
}  // namespace

// Construction: unbuilt, or built from the parameters.
P::vxFrequencyFilterBandPass() = default;
R::vxFrequencyFilterBandReject() = default;
G::vxFrequencyFilterGabor() = default;
GR::vxFrequencyFilterGaborReject() = default;

P::vxFrequencyFilterBandPass(double sigma, double plateau, double frequency,
                             const vxPair<long>& size, long radius) {
  set(sigma, plateau, frequency, size, radius);
}
R::vxFrequencyFilterBandReject(double sigma, double plateau, double frequency,
                               const vxPair<long>& size, long radius) {
  set(sigma, plateau, frequency, size, radius);
}
G::vxFrequencyFilterGabor(const vxPair<double>& sigma, const vxPair<double>& plateau,
                          vxRadian angle, double frequency, const vxPair<long>& size, long radius) {
  set(sigma, plateau, angle, frequency, size, radius);
}
GR::vxFrequencyFilterGaborReject(const vxPair<double>& sigma, const vxPair<double>& plateau,
                                 vxRadian angle, double frequency, const vxPair<long>& size,
                                 long radius) {
  set(sigma, plateau, angle, frequency, size, radius);
}

// Copies: the flag, the fields and a copy of the table.
P::vxFrequencyFilterBandPass(const P& other) : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}
R::vxFrequencyFilterBandReject(const R& other) : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}
G::vxFrequencyFilterGabor(const G& other) : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}
GR::vxFrequencyFilterGaborReject(const GR& other)
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}

// The fields are assigned and moved through the forms, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
P& P::operator=(const P& other) {
  if (this != &other) assignForm(*this, other);
  return *this;
}
// cppcheck-suppress operatorEqVarError
R& R::operator=(const R& other) {
  if (this != &other) assignForm(*this, other);
  return *this;
}
// cppcheck-suppress operatorEqVarError
G& G::operator=(const G& other) {
  if (this != &other) assignForm(*this, other);
  return *this;
}
// cppcheck-suppress operatorEqVarError
GR& GR::operator=(const GR& other) {
  if (this != &other) assignForm(*this, other);
  return *this;
}

// Moves take the table; the source is left unbuilt.
P::vxFrequencyFilterBandPass(P&& other) noexcept { moveForm(*this, other); }
R::vxFrequencyFilterBandReject(R&& other) noexcept { moveForm(*this, other); }
G::vxFrequencyFilterGabor(G&& other) noexcept { moveForm(*this, other); }
GR::vxFrequencyFilterGaborReject(GR&& other) noexcept { moveForm(*this, other); }

// cppcheck-suppress operatorEqVarError
P& P::operator=(P&& other) noexcept { return moveForm(*this, other); }
// cppcheck-suppress operatorEqVarError
R& R::operator=(R&& other) noexcept { return moveForm(*this, other); }
// cppcheck-suppress operatorEqVarError
G& G::operator=(G&& other) noexcept { return moveForm(*this, other); }
// cppcheck-suppress operatorEqVarError
GR& GR::operator=(GR&& other) noexcept { return moveForm(*this, other); }

P::~vxFrequencyFilterBandPass() = default;
R::~vxFrequencyFilterBandReject() = default;
G::~vxFrequencyFilterGabor() = default;
GR::~vxFrequencyFilterGaborReject() = default;

bool P::operator==(const P& other) const { return equalForms(*this, other); }
bool R::operator==(const R& other) const { return equalForms(*this, other); }
bool G::operator==(const G& other) const { return equalForms(*this, other); }
bool GR::operator==(const GR& other) const { return equalForms(*this, other); }

vxFrequencyFilter* P::clone() const { return new P(*this); }
vxFrequencyFilter* R::clone() const { return new R(*this); }
vxFrequencyFilter* G::clone() const { return new G(*this); }
vxFrequencyFilter* GR::clone() const { return new GR(*this); }

// Filtering, out of place and in place.
void P::apply(const Buffer& in, Buffer& out) const { applyForm(*this, in, out, true); }
void R::apply(const Buffer& in, Buffer& out) const { applyForm(*this, in, out, true); }
void G::apply(const Buffer& in, Buffer& out) const { applyForm(*this, in, out, true); }
void GR::apply(const Buffer& in, Buffer& out) const { applyForm(*this, in, out, true); }

void P::apply(Buffer& buffer) const { applyForm(*this, buffer, buffer, false); }
void R::apply(Buffer& buffer) const { applyForm(*this, buffer, buffer, false); }
void G::apply(Buffer& buffer) const { applyForm(*this, buffer, buffer, false); }
void GR::apply(Buffer& buffer) const { applyForm(*this, buffer, buffer, false); }

// Building: set() is create() under its public name.
void P::set(double sigma, double plateau, double frequency, const vxPair<long>& size, long radius) {
  create(sigma, plateau, frequency, size, radius);
}
void R::set(double sigma, double plateau, double frequency, const vxPair<long>& size, long radius) {
  create(sigma, plateau, frequency, size, radius);
}
void G::set(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
            double frequency, const vxPair<long>& size, long radius) {
  create(sigma, plateau, angle, frequency, size, radius);
}
void GR::set(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
             double frequency, const vxPair<long>& size, long radius) {
  create(sigma, plateau, angle, frequency, size, radius);
}

void P::create(double sigma, double plateau, double frequency, const vxPair<long>& size, long r) {
  createForm(*this, Band{sigma, plateau, frequency, size, r});
}
void R::create(double sigma, double plateau, double frequency, const vxPair<long>& size, long r) {
  createForm(*this, Band{sigma, plateau, frequency, size, r});
}
void G::create(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
               double frequency, const vxPair<long>& size, long r) {
  createForm(*this, Gabor{sigma, plateau, angle, frequency, size, r});
}
void GR::create(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,
                double frequency, const vxPair<long>& size, long r) {
  createForm(*this, Gabor{sigma, plateau, angle, frequency, size, r});
}

// The parameters: getters once the filter is built, setters that rebuild it.
double P::frequency() const { return getForm(*this, frequency_); }
double R::frequency() const { return getForm(*this, frequency_); }
double G::frequency() const { return getForm(*this, frequency_); }
double GR::frequency() const { return getForm(*this, frequency_); }
void P::frequency(double value) { changeForm(*this, &Band::frequency, value); }
void R::frequency(double value) { changeForm(*this, &Band::frequency, value); }
void G::frequency(double value) { changeForm(*this, &Gabor::frequency, value); }
void GR::frequency(double value) { changeForm(*this, &Gabor::frequency, value); }

double P::sigma() const { return getForm(*this, sigma_); }
double R::sigma() const { return getForm(*this, sigma_); }
vxPair<double> G::sigma() const { return getForm(*this, sigma_); }
vxPair<double> GR::sigma() const { return getForm(*this, sigma_); }
void P::sigma(double value) { changeForm(*this, &Band::sigma, value); }
void R::sigma(double value) { changeForm(*this, &Band::sigma, value); }
void G::sigma(const vxPair<double>& value) { changeForm(*this, &Gabor::sigma, value); }
void GR::sigma(const vxPair<double>& value) { changeForm(*this, &Gabor::sigma, value); }

double P::plateau() const { return getForm(*this, plateau_); }
double R::plateau() const { return getForm(*this, plateau_); }
vxPair<double> G::plateau() const { return getForm(*this, plateau_); }
vxPair<double> GR::plateau() const { return getForm(*this, plateau_); }
void P::plateau(double value) { changeForm(*this, &Band::plateau, value); }
void R::plateau(double value) { changeForm(*this, &Band::plateau, value); }
void G::plateau(const vxPair<double>& value) { changeForm(*this, &Gabor::plateau, value); }
void GR::plateau(const vxPair<double>& value) { changeForm(*this, &Gabor::plateau, value); }

vxRadian G::angle() const { return getForm(*this, angle_); }
vxRadian GR::angle() const { return getForm(*this, angle_); }
void G::angle(vxRadian value) { changeForm(*this, &Gabor::angle, value); }
void GR::angle(vxRadian value) { changeForm(*this, &Gabor::angle, value); }

vxPair<long> P::size() const { return getForm(*this, vxPair<long>(sizeX_, sizeY_)); }
vxPair<long> R::size() const { return getForm(*this, vxPair<long>(sizeX_, sizeY_)); }
vxPair<long> G::size() const { return getForm(*this, vxPair<long>(sizeX_, sizeY_)); }
vxPair<long> GR::size() const { return getForm(*this, vxPair<long>(sizeX_, sizeY_)); }
void P::size(const vxPair<long>& value) { changeForm(*this, &Band::size, value); }
void R::size(const vxPair<long>& value) { changeForm(*this, &Band::size, value); }
void G::size(const vxPair<long>& value) { changeForm(*this, &Gabor::size, value); }
void GR::size(const vxPair<long>& value) { changeForm(*this, &Gabor::size, value); }

// The DC radius: removal for the pass filters, protection for the reject filters.
long P::dcRemovalRadius() const { return getForm(*this, dcRemovalRadius_); }
long R::dcProtectionRadius() const { return getForm(*this, dcProtectionRadius_); }
long G::dcRemovalRadius() const { return getForm(*this, dcRemovalRadius_); }
long GR::dcProtectionRadius() const { return getForm(*this, dcProtectionRadius_); }
void P::dcRemovalRadius(long value) { changeForm(*this, &Band::radius, value); }
void R::dcProtectionRadius(long value) { changeForm(*this, &Band::radius, value); }
void G::dcRemovalRadius(long value) { changeForm(*this, &Gabor::radius, value); }
void GR::dcProtectionRadius(long value) { changeForm(*this, &Gabor::radius, value); }

long P::supportWidth() const { return getForm(*this, supportWidth_); }
long R::supportWidth() const { return getForm(*this, supportWidth_); }
long G::supportWidth() const { return getForm(*this, supportWidth_); }
long GR::supportWidth() const { return getForm(*this, supportWidth_); }
long G::supportHeight() const { return getForm(*this, supportHeight_); }
long GR::supportHeight() const { return getForm(*this, supportHeight_); }

// Archive forms.
void P::serialize_(vxArchive& ar, unsigned char version) { serializeForm(*this, ar, version); }
void R::serialize_(vxArchive& ar, unsigned char version) { serializeForm(*this, ar, version); }
void G::serialize_(vxArchive& ar, unsigned char version) { serializeForm(*this, ar, version); }
void GR::serialize_(vxArchive& ar, unsigned char version) { serializeForm(*this, ar, version); }

void P::dispatchSerialize(vxArchive& ar) { dispatchForm(ar, *this); }
void R::dispatchSerialize(vxArchive& ar) { dispatchForm(ar, *this); }
void G::dispatchSerialize(vxArchive& ar) { dispatchForm(ar, *this); }
void GR::dispatchSerialize(vxArchive& ar) { dispatchForm(ar, *this); }

// Factories for loading, registered under each class's name.
vxPersistent* P::make() { return makeForm<P>(); }
vxPersistent* R::make() { return makeForm<R>(); }
vxPersistent* G::make() { return makeForm<G>(); }
vxPersistent* GR::make() { return makeForm<GR>(); }

vx_Instantiator P::sExemplar(typeid(P), &P::make);
vx_Instantiator R::sExemplar(typeid(R), &R::make);
vx_Instantiator G::sExemplar(typeid(G), &G::make);
vx_Instantiator GR::sExemplar(typeid(GR), &GR::make);
