// The library's error classes: numbers, messages, archive form and rethrowing.
//
// The six concrete classes differ only in name and number. What they do is written
// once in the templates below; the definitions after them bind each declared member
// to those templates, one member at a time for all six classes.
#include "filt/fft.h"

#include "filt/common/limits.h"

#include <type_traits>

namespace {
using Defs = vxFrequencyDefs;
using Errors = Defs::Errors;

constexpr std::int32_t kErrorBase = 0x10006300;

// The concrete classes in the order of their numbers, and their archived names.
template <class... T>
struct ErrorList {};
using Concrete = ErrorList<Defs::InvalidArgument, Defs::Uninitialized, Defs::InvalidSize,
                           Defs::UnboundWindow, Defs::InvalidBuffer, Defs::BadCoord>;
constexpr const char* kNames[] = {
    "vxFrequencyDefs::InvalidArgument", "vxFrequencyDefs::Uninitialized",
    "vxFrequencyDefs::InvalidSize",     "vxFrequencyDefs::UnboundWindow",
    "vxFrequencyDefs::InvalidBuffer",   "vxFrequencyDefs::BadCoord"};

template <class E, class First, class... Rest>
constexpr long indexOf(ErrorList<First, Rest...> /*list*/) {
  if constexpr (std::is_same_v<E, First>) {
    return 0;
  } else {
    return 1 + indexOf<E>(ErrorList<Rest...>{});
  }
}

template <class E>
constexpr long kIndex = indexOf<E>(Concrete{});

// One class level of an error's archive form: skipped when visited in this pass, else
// a version byte 0 (refused with the class's qualified name), the level below and the
// visited mark.
template <class Below>
void archiveLevel(vxArchive& ar, const void* object, std::size_t size, const char* name,
                  Below below) {
  if (vxPersistent::haveVisited(object, size)) return;
  vx_detail::archiveVersion(ar, 0, 0, name, 0);
  below();
  vxPersistent::setVisited(object, size);
}

template <class E>
long numberOf(const E* /*error*/) {
  return kErrorBase + kIndex<E>;
}

// Deletes the heap error and throws a copy of it as its own class.
template <class E>
[[noreturn]] void rethrowAs(E* error) {
  E copy(*error);
  delete error;
  throw copy;
}

// A concrete class's level, above the Errors level that `below` archives.
template <class E, class Below>
void concreteLevel(vxArchive& ar, E* error, Below below) {
  archiveLevel(ar, error, sizeof(E), kNames[kIndex<E>], below);
}

template <class E>
void requireLevel(unsigned char version, const E* /*error*/) {
  vx_detail::requireVersion(version, 0, kNames[kIndex<E>], 0);
}

template <class E>
vxPersistent* makeError() {
  return new E();
}
}  // namespace

// The common base.
Errors::Errors(const wchar_t* message) : vxExceptionWithString(message) {}
Errors::Errors(const Errors& other) = default;
Errors& Errors::operator=(const Errors& other) = default;
Errors::~Errors() = default;

void Errors::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(Errors), "vxFrequencyDefs::Errors",
               [&] { vxException::dispatchSerialize(ar); });
}

void Errors::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::Errors", 0);
  vxException::dispatchSerialize(ar);
}

// Constructors: the message only.
Defs::InvalidArgument::InvalidArgument(const wchar_t* message) : Errors(message) {}
Defs::Uninitialized::Uninitialized(const wchar_t* message) : Errors(message) {}
Defs::InvalidSize::InvalidSize(const wchar_t* message) : Errors(message) {}
Defs::UnboundWindow::UnboundWindow(const wchar_t* message) : Errors(message) {}
Defs::InvalidBuffer::InvalidBuffer(const wchar_t* message) : Errors(message) {}
Defs::BadCoord::BadCoord(const wchar_t* message) : Errors(message) {}

// Copies and destruction are the defaults, defined here so that they are exported.
Defs::InvalidArgument::InvalidArgument(const InvalidArgument&) = default;
Defs::Uninitialized::Uninitialized(const Uninitialized&) = default;
Defs::InvalidSize::InvalidSize(const InvalidSize&) = default;
Defs::UnboundWindow::UnboundWindow(const UnboundWindow&) = default;
Defs::InvalidBuffer::InvalidBuffer(const InvalidBuffer&) = default;
Defs::BadCoord::BadCoord(const BadCoord&) = default;

Defs::InvalidArgument& Defs::InvalidArgument::operator=(const InvalidArgument&) = default;
Defs::Uninitialized& Defs::Uninitialized::operator=(const Uninitialized&) = default;
Defs::InvalidSize& Defs::InvalidSize::operator=(const InvalidSize&) = default;
Defs::UnboundWindow& Defs::UnboundWindow::operator=(const UnboundWindow&) = default;
Defs::InvalidBuffer& Defs::InvalidBuffer::operator=(const InvalidBuffer&) = default;
Defs::BadCoord& Defs::BadCoord::operator=(const BadCoord&) = default;

Defs::InvalidArgument::~InvalidArgument() = default;
Defs::Uninitialized::~Uninitialized() = default;
Defs::InvalidSize::~InvalidSize() = default;
Defs::UnboundWindow::~UnboundWindow() = default;
Defs::InvalidBuffer::~InvalidBuffer() = default;
Defs::BadCoord::~BadCoord() = default;

// Numbers, by the class's place in the list.
long Defs::InvalidArgument::errorNumber() const { return numberOf(this); }
long Defs::Uninitialized::errorNumber() const { return numberOf(this); }
long Defs::InvalidSize::errorNumber() const { return numberOf(this); }
long Defs::UnboundWindow::errorNumber() const { return numberOf(this); }
long Defs::InvalidBuffer::errorNumber() const { return numberOf(this); }
long Defs::BadCoord::errorNumber() const { return numberOf(this); }

void Defs::InvalidArgument::suicideAndRethrow() { rethrowAs(this); }
void Defs::Uninitialized::suicideAndRethrow() { rethrowAs(this); }
void Defs::InvalidSize::suicideAndRethrow() { rethrowAs(this); }
void Defs::UnboundWindow::suicideAndRethrow() { rethrowAs(this); }
void Defs::InvalidBuffer::suicideAndRethrow() { rethrowAs(this); }
void Defs::BadCoord::suicideAndRethrow() { rethrowAs(this); }

// Archive forms: the class's own level, then the Errors level below it.
void Defs::InvalidArgument::dispatchSerialize(vxArchive& ar) {
  concreteLevel(ar, this, [&] { Errors::dispatchSerialize(ar); });
}
void Defs::Uninitialized::dispatchSerialize(vxArchive& ar) {
  concreteLevel(ar, this, [&] { Errors::dispatchSerialize(ar); });
}
void Defs::InvalidSize::dispatchSerialize(vxArchive& ar) {
  concreteLevel(ar, this, [&] { Errors::dispatchSerialize(ar); });
}
void Defs::UnboundWindow::dispatchSerialize(vxArchive& ar) {
  concreteLevel(ar, this, [&] { Errors::dispatchSerialize(ar); });
}
void Defs::InvalidBuffer::dispatchSerialize(vxArchive& ar) {
  concreteLevel(ar, this, [&] { Errors::dispatchSerialize(ar); });
}
void Defs::BadCoord::dispatchSerialize(vxArchive& ar) {
  concreteLevel(ar, this, [&] { Errors::dispatchSerialize(ar); });
}

void Defs::InvalidArgument::serialize_(vxArchive& ar, unsigned char version) {
  requireLevel(version, this), Errors::dispatchSerialize(ar);
}
void Defs::Uninitialized::serialize_(vxArchive& ar, unsigned char version) {
  requireLevel(version, this), Errors::dispatchSerialize(ar);
}
void Defs::InvalidSize::serialize_(vxArchive& ar, unsigned char version) {
  requireLevel(version, this), Errors::dispatchSerialize(ar);
}
void Defs::UnboundWindow::serialize_(vxArchive& ar, unsigned char version) {
  requireLevel(version, this), Errors::dispatchSerialize(ar);
}
void Defs::InvalidBuffer::serialize_(vxArchive& ar, unsigned char version) {
  requireLevel(version, this), Errors::dispatchSerialize(ar);
}
void Defs::BadCoord::serialize_(vxArchive& ar, unsigned char version) {
  requireLevel(version, this), Errors::dispatchSerialize(ar);
}

// Factories for loading, registered under each class's name.
vxPersistent* Defs::InvalidArgument::make() { return makeError<InvalidArgument>(); }
vxPersistent* Defs::Uninitialized::make() { return makeError<Uninitialized>(); }
vxPersistent* Defs::InvalidSize::make() { return makeError<InvalidSize>(); }
vxPersistent* Defs::UnboundWindow::make() { return makeError<UnboundWindow>(); }
vxPersistent* Defs::InvalidBuffer::make() { return makeError<InvalidBuffer>(); }
vxPersistent* Defs::BadCoord::make() { return makeError<BadCoord>(); }

vx_Instantiator Defs::InvalidArgument::sExemplar(typeid(InvalidArgument), &make);
vx_Instantiator Defs::Uninitialized::sExemplar(typeid(Uninitialized), &make);
vx_Instantiator Defs::InvalidSize::sExemplar(typeid(InvalidSize), &make);
vx_Instantiator Defs::UnboundWindow::sExemplar(typeid(UnboundWindow), &make);
vx_Instantiator Defs::InvalidBuffer::sExemplar(typeid(InvalidBuffer), &make);
vx_Instantiator Defs::BadCoord::sExemplar(typeid(BadCoord), &make);
