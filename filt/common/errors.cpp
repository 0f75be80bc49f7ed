// The library's error classes: numbers, messages, archive form and rethrowing.
#include "filt/fft.h"

#include "filt/common/limits.h"

namespace {
constexpr std::int32_t kErrorBase = 0x10006300;

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

// Deletes the heap error and throws a copy of it as its own class.
template <class E>
[[noreturn]] void rethrowAs(E* error) {
  E copy(*error);
  delete error;
  throw copy;
}
}  // namespace

vxFrequencyDefs::Errors::Errors(const wchar_t* message) : vxExceptionWithString(message) {}
vxFrequencyDefs::Errors::Errors(const Errors& other) = default;
vxFrequencyDefs::Errors& vxFrequencyDefs::Errors::operator=(const Errors& other) = default;
vxFrequencyDefs::Errors::~Errors() = default;

void vxFrequencyDefs::Errors::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(Errors), "vxFrequencyDefs::Errors",
               [&] { vxException::dispatchSerialize(ar); });
}

void vxFrequencyDefs::Errors::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::Errors", 0);
  vxException::dispatchSerialize(ar);
}

// The six concrete classes differ only in name and number.

// InvalidArgument: 0x10006300.
vxFrequencyDefs::InvalidArgument::InvalidArgument(const wchar_t* message) : Errors(message) {}
vxFrequencyDefs::InvalidArgument::InvalidArgument(const InvalidArgument& other) = default;
vxFrequencyDefs::InvalidArgument& vxFrequencyDefs::InvalidArgument::operator=(
    const InvalidArgument& other) = default;
vxFrequencyDefs::InvalidArgument::~InvalidArgument() = default;
long vxFrequencyDefs::InvalidArgument::errorNumber() const { return kErrorBase + 0; }
void vxFrequencyDefs::InvalidArgument::suicideAndRethrow() { rethrowAs(this); }
void vxFrequencyDefs::InvalidArgument::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(InvalidArgument), "vxFrequencyDefs::InvalidArgument",
               [&] { Errors::dispatchSerialize(ar); });
}
void vxFrequencyDefs::InvalidArgument::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::InvalidArgument", 0);
  Errors::dispatchSerialize(ar);
}
vxPersistent* vxFrequencyDefs::InvalidArgument::make() { return new InvalidArgument(); }
vx_Instantiator vxFrequencyDefs::InvalidArgument::sExemplar(
    typeid(vxFrequencyDefs::InvalidArgument), &vxFrequencyDefs::InvalidArgument::make);

// Uninitialized: 0x10006301.
vxFrequencyDefs::Uninitialized::Uninitialized(const wchar_t* message) : Errors(message) {}
vxFrequencyDefs::Uninitialized::Uninitialized(const Uninitialized& other) = default;
vxFrequencyDefs::Uninitialized& vxFrequencyDefs::Uninitialized::operator=(
    const Uninitialized& other) = default;
vxFrequencyDefs::Uninitialized::~Uninitialized() = default;
long vxFrequencyDefs::Uninitialized::errorNumber() const { return kErrorBase + 1; }
void vxFrequencyDefs::Uninitialized::suicideAndRethrow() { rethrowAs(this); }
void vxFrequencyDefs::Uninitialized::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(Uninitialized), "vxFrequencyDefs::Uninitialized",
               [&] { Errors::dispatchSerialize(ar); });
}
void vxFrequencyDefs::Uninitialized::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::Uninitialized", 0);
  Errors::dispatchSerialize(ar);
}
vxPersistent* vxFrequencyDefs::Uninitialized::make() { return new Uninitialized(); }
vx_Instantiator vxFrequencyDefs::Uninitialized::sExemplar(typeid(vxFrequencyDefs::Uninitialized),
                                                          &vxFrequencyDefs::Uninitialized::make);

// InvalidSize: 0x10006302.
vxFrequencyDefs::InvalidSize::InvalidSize(const wchar_t* message) : Errors(message) {}
vxFrequencyDefs::InvalidSize::InvalidSize(const InvalidSize& other) = default;
vxFrequencyDefs::InvalidSize& vxFrequencyDefs::InvalidSize::operator=(const InvalidSize& other) =
    default;
vxFrequencyDefs::InvalidSize::~InvalidSize() = default;
long vxFrequencyDefs::InvalidSize::errorNumber() const { return kErrorBase + 2; }
void vxFrequencyDefs::InvalidSize::suicideAndRethrow() { rethrowAs(this); }
void vxFrequencyDefs::InvalidSize::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(InvalidSize), "vxFrequencyDefs::InvalidSize",
               [&] { Errors::dispatchSerialize(ar); });
}
void vxFrequencyDefs::InvalidSize::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::InvalidSize", 0);
  Errors::dispatchSerialize(ar);
}
vxPersistent* vxFrequencyDefs::InvalidSize::make() { return new InvalidSize(); }
vx_Instantiator vxFrequencyDefs::InvalidSize::sExemplar(typeid(vxFrequencyDefs::InvalidSize),
                                                        &vxFrequencyDefs::InvalidSize::make);

// UnboundWindow: 0x10006303.
vxFrequencyDefs::UnboundWindow::UnboundWindow(const wchar_t* message) : Errors(message) {}
vxFrequencyDefs::UnboundWindow::UnboundWindow(const UnboundWindow& other) = default;
vxFrequencyDefs::UnboundWindow& vxFrequencyDefs::UnboundWindow::operator=(
    const UnboundWindow& other) = default;
vxFrequencyDefs::UnboundWindow::~UnboundWindow() = default;
long vxFrequencyDefs::UnboundWindow::errorNumber() const { return kErrorBase + 3; }
void vxFrequencyDefs::UnboundWindow::suicideAndRethrow() { rethrowAs(this); }
void vxFrequencyDefs::UnboundWindow::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(UnboundWindow), "vxFrequencyDefs::UnboundWindow",
               [&] { Errors::dispatchSerialize(ar); });
}
void vxFrequencyDefs::UnboundWindow::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::UnboundWindow", 0);
  Errors::dispatchSerialize(ar);
}
vxPersistent* vxFrequencyDefs::UnboundWindow::make() { return new UnboundWindow(); }
vx_Instantiator vxFrequencyDefs::UnboundWindow::sExemplar(typeid(vxFrequencyDefs::UnboundWindow),
                                                          &vxFrequencyDefs::UnboundWindow::make);

// InvalidBuffer: 0x10006304.
vxFrequencyDefs::InvalidBuffer::InvalidBuffer(const wchar_t* message) : Errors(message) {}
vxFrequencyDefs::InvalidBuffer::InvalidBuffer(const InvalidBuffer& other) = default;
vxFrequencyDefs::InvalidBuffer& vxFrequencyDefs::InvalidBuffer::operator=(
    const InvalidBuffer& other) = default;
vxFrequencyDefs::InvalidBuffer::~InvalidBuffer() = default;
long vxFrequencyDefs::InvalidBuffer::errorNumber() const { return kErrorBase + 4; }
void vxFrequencyDefs::InvalidBuffer::suicideAndRethrow() { rethrowAs(this); }
void vxFrequencyDefs::InvalidBuffer::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(InvalidBuffer), "vxFrequencyDefs::InvalidBuffer",
               [&] { Errors::dispatchSerialize(ar); });
}
void vxFrequencyDefs::InvalidBuffer::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::InvalidBuffer", 0);
  Errors::dispatchSerialize(ar);
}
vxPersistent* vxFrequencyDefs::InvalidBuffer::make() { return new InvalidBuffer(); }
vx_Instantiator vxFrequencyDefs::InvalidBuffer::sExemplar(typeid(vxFrequencyDefs::InvalidBuffer),
                                                          &vxFrequencyDefs::InvalidBuffer::make);

// BadCoord: 0x10006305.
vxFrequencyDefs::BadCoord::BadCoord(const wchar_t* message) : Errors(message) {}
vxFrequencyDefs::BadCoord::BadCoord(const BadCoord& other) = default;
vxFrequencyDefs::BadCoord& vxFrequencyDefs::BadCoord::operator=(const BadCoord& other) = default;
vxFrequencyDefs::BadCoord::~BadCoord() = default;
long vxFrequencyDefs::BadCoord::errorNumber() const { return kErrorBase + 5; }
void vxFrequencyDefs::BadCoord::suicideAndRethrow() { rethrowAs(this); }
void vxFrequencyDefs::BadCoord::dispatchSerialize(vxArchive& ar) {
  archiveLevel(ar, this, sizeof(BadCoord), "vxFrequencyDefs::BadCoord",
               [&] { Errors::dispatchSerialize(ar); });
}
void vxFrequencyDefs::BadCoord::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::requireVersion(version, 0, "vxFrequencyDefs::BadCoord", 0);
  Errors::dispatchSerialize(ar);
}
vxPersistent* vxFrequencyDefs::BadCoord::make() { return new BadCoord(); }
vx_Instantiator vxFrequencyDefs::BadCoord::sExemplar(typeid(vxFrequencyDefs::BadCoord),
                                                     &vxFrequencyDefs::BadCoord::make);
