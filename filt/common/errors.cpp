// The library's error classes: numbers, messages, archive form and rethrowing.
#include "filt/fft.h"

namespace {
constexpr std::int32_t kErrorBase = 0x10006300;

// One version byte per class level; the error classes only read version 0.
unsigned char archiveVersion(vxArchive& ar, const char* qualifiedName) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw vxArchive::UnknownVersion(qualifiedName, 0);
  return version;
}
}  // namespace

vxFrequencyDefs::Errors::Errors(const wchar_t* message) : vxExceptionWithString(message) {}
vxFrequencyDefs::Errors::Errors(const Errors& other) = default;
vxFrequencyDefs::Errors& vxFrequencyDefs::Errors::operator=(const Errors& other) = default;
vxFrequencyDefs::Errors::~Errors() = default;

void vxFrequencyDefs::Errors::dispatchSerialize(vxArchive& ar) {
  if (vxPersistent::haveVisited(this, sizeof(Errors))) return;
  archiveVersion(ar, "vxFrequencyDefs::Errors");
  vxException::dispatchSerialize(ar);
  vxPersistent::setVisited(this, sizeof(Errors));
}

void vxFrequencyDefs::Errors::serialize_(vxArchive& ar, unsigned char version) {
  if (version != 0) throw vxArchive::UnknownVersion("vxFrequencyDefs::Errors", 0);
  vxException::dispatchSerialize(ar);
}

// The six concrete classes differ only in name and number.
#define VXFREQ_DEFINE_FREQUENCY_ERROR(Name, Offset)                                      \
  vxFrequencyDefs::Name::Name(const wchar_t* message) : Errors(message) {}              \
  vxFrequencyDefs::Name::Name(const Name& other) = default;                             \
  vxFrequencyDefs::Name& vxFrequencyDefs::Name::operator=(const Name& other) {           \
    Errors::operator=(other);                                                            \
    return *this;                                                                        \
  }                                                                                      \
  vxFrequencyDefs::Name::~Name() = default;                                              \
  long vxFrequencyDefs::Name::errorNumber() const { return kErrorBase + (Offset); }      \
  void vxFrequencyDefs::Name::suicideAndRethrow() {                                      \
    Name copy(*this);                                                                    \
    delete this;                                                                         \
    throw copy;                                                                          \
  }                                                                                      \
  void vxFrequencyDefs::Name::dispatchSerialize(vxArchive& ar) {                         \
    if (vxPersistent::haveVisited(this, sizeof(Name))) return;                           \
    archiveVersion(ar, "vxFrequencyDefs::" #Name);                                       \
    Errors::dispatchSerialize(ar);                                                       \
    vxPersistent::setVisited(this, sizeof(Name));                                        \
  }                                                                                      \
  void vxFrequencyDefs::Name::serialize_(vxArchive& ar, unsigned char version) {         \
    if (version != 0) throw vxArchive::UnknownVersion("vxFrequencyDefs::" #Name, 0);     \
    Errors::dispatchSerialize(ar);                                                       \
  }                                                                                      \
  vxPersistent* vxFrequencyDefs::Name::make() { return new Name(); }                    \
  vx_Instantiator vxFrequencyDefs::Name::sExemplar(typeid(vxFrequencyDefs::Name),        \
                                                   &vxFrequencyDefs::Name::make)

VXFREQ_DEFINE_FREQUENCY_ERROR(InvalidArgument, 0);
VXFREQ_DEFINE_FREQUENCY_ERROR(Uninitialized, 1);
VXFREQ_DEFINE_FREQUENCY_ERROR(InvalidSize, 2);
VXFREQ_DEFINE_FREQUENCY_ERROR(UnboundWindow, 3);
VXFREQ_DEFINE_FREQUENCY_ERROR(InvalidBuffer, 4);
VXFREQ_DEFINE_FREQUENCY_ERROR(BadCoord, 5);

#undef VXFREQ_DEFINE_FREQUENCY_ERROR
