// vxArchive: one class for saving and loading.
//
// A storing archive writes to a std::ostream, a loading one reads from a
// std::istream; `ar || x` writes x or overwrites it with the next stored value.
// The byte format is little-endian with fixed sizes on every machine:
//   unsigned char, bool          1 byte (bool: 0 or 1; any other byte is BadData)
//   long, unsigned long          4 bytes, two's complement; storing a value that does
//                                not fit 32 bits throws BadData
//   float, double                4 / 8 bytes, IEEE-754 bit pattern
//   wide string (nullable)       uint32 count (0xFFFFFFFF for a null string), then
//                                count UTF-32 code units of 4 bytes
//   vxXform<2>                   6 doubles: m00 m01 m10 m11 tx ty
//   vx2XformCache                bool hasXform, then a vxXform<2> when true
//   persistent object pointer    one tag byte: 0 null; 1 a new object, followed by its
//                                portable class name (uint32 length + bytes) and the
//                                object's own archive form; 2 a back-reference,
//                                followed by the uint32 id of an object already in
//                                this archive (ids count new objects from 0)
//
// Loading treats the stream as untrusted: every read that runs out of data throws
// EndOfData, malformed values throw BadData, and an unknown class name UnknownClass.
// A stored count is checked against the bytes left in the stream before anything is
// allocated for it; when the stream cannot tell its size, strings are read in bounded
// pieces, so memory grows only with data actually present. Class names longer than
// maxClassNameLength are BadData.
//
// Objects: a storing archive numbers objects by their first appearance (the address
// of the complete object) and writes a back-reference for every later appearance, so
// a shared object is stored once. A loading archive creates each new object through
// the factory registered for its class name, calls reInit() and then loadSimple() on
// it; objects it hands out belong to the caller (a back-reference hands out the same
// object again, not another owner). When loading an object's body throws, the new
// object is deleted before the exception propagates.
//
// Each archive is the archiving pass of the thread that made it while it lives (see
// vxPersistent::haveVisited); archives on one thread must be destroyed in reverse
// order of construction, on that thread.
#ifndef VXFREQ_PLATFORM_ARCHIVE_H
#define VXFREQ_PLATFORM_ARCHIVE_H

#include "platform/exception.h"
#include "platform/geometry.h"
#include "platform/persistent.h"
#include "platform/vx_export.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>

class vxArchive;
// Deletes an object loaded for a pointer of the wrong class, unless the archive
// handed it out before (see below).
VX_API void vxArchive_releaseMismatched(vxArchive& ar, vxPersistent* object);

// Saves objects to a std::ostream or loads them from a std::istream, in the format
// described above.
class VX_API vxArchive {
public:
  // Errors of the archive itself.
  class VX_API Errors : public vxExceptionWithString {
  public:
    // An archive error with `message` (none when null).
    explicit Errors(const wchar_t* message = nullptr) : vxExceptionWithString(message) {}
    ~Errors() override;
  };
  // A stored version byte that the reader does not understand. `name` is a class
  // name or a source file name, or null; `line` the line of the check, or 0.
  class VX_API UnknownVersion : public Errors {
  public:
    // The error for `name` (null: none) and `line`, which name(), hasName() and line()
    // read back.
    UnknownVersion(const char* name, int line);
    ~UnknownVersion() override;
    const std::string& name() const { return name_; }
    bool hasName() const { return hasName_; }
    int line() const { return line_; }

  private:
    std::string name_;
    bool hasName_;
    int line_;
  };
  // The stream ended (or failed) before the value being read was complete.
  class VX_API EndOfData : public Errors {
  public:
    EndOfData();
    ~EndOfData() override;
  };
  // A stored object names a class that no vx_Instantiator registered.
  class VX_API UnknownClass : public Errors {
  public:
    // The error for the unregistered `className`, which className() reads back.
    explicit UnknownClass(const std::string& className);
    ~UnknownClass() override;
    const std::string& className() const { return className_; }

  private:
    std::string className_;
  };
  // A value that cannot be stored or cannot have been written by a storing archive.
  class VX_API BadData : public Errors {
  public:
    // The error with the message `what`.
    explicit BadData(const wchar_t* what);
    ~BadData() override;
  };

  // A storing archive on `out`.
  explicit vxArchive(std::ostream& out);
  // A loading archive on `in`.
  explicit vxArchive(std::istream& in);
  ~vxArchive();
  vxArchive(const vxArchive&) = delete;
  vxArchive& operator=(const vxArchive&) = delete;

  // Whether this archive stores (true) or loads (false).
  bool isStoring() const { return storing; }
  // Whether this archive stores; read directly by archiving code.
  const bool storing;

  // Bytes left in a loading archive's stream (from the current position to its end),
  // when the stream can tell; otherwise (and for a storing archive) the largest
  // size_t. Lets loaders reject a stored count before allocating for it.
  std::size_t remaining();

  // Longest portable class name an archive writes or accepts, in bytes.
  static constexpr std::uint32_t maxClassNameLength = 4096;

  // Raw primitives; the operators below use these.
  void io(unsigned char& v);
  void io(bool& v);
  void io32(std::int32_t& v);
  void io32(std::uint32_t& v);
  void io(float& v);
  void io(double& v);
  // Nullable wide string: `present` false stands for a null string.
  void ioWide(std::wstring& s, bool& present);
  // Raw primitives of the geometry types.
  void io(vxXform<2>& x);
  void io(vx2XformCache& c);
  // A persistent object pointer (see the format above). When loading, `p` receives
  // the object (owned by the caller unless the same object was already handed out
  // by this archive) or null.
  void ioObject(vxPersistent*& p);

private:
  // The archiving pass of the calling thread: the innermost archive alive on it, or
  // null. An archive must be destroyed on the thread that made it.
  static vxArchive* currentPass_();
  bool visited_(const void* object, std::size_t size) const;
  void markVisited_(const void* object, std::size_t size);

  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend class vxPersistent;
  friend void vxArchive_releaseMismatched(vxArchive& ar, vxPersistent* object);
};

// Stores `v` in a storing archive, or loads it from a loading one, in the format
// described above; returns `ar`.
VX_API vxArchive& operator||(vxArchive& ar, unsigned char& v);
VX_API vxArchive& operator||(vxArchive& ar, bool& v);
VX_API vxArchive& operator||(vxArchive& ar, long& v);           // 32-bit signed in the archive
VX_API vxArchive& operator||(vxArchive& ar, unsigned long& v);  // 32-bit unsigned in the archive
VX_API vxArchive& operator||(vxArchive& ar, int& v);
VX_API vxArchive& operator||(vxArchive& ar, unsigned int& v);
VX_API vxArchive& operator||(vxArchive& ar, float& v);
VX_API vxArchive& operator||(vxArchive& ar, double& v);
VX_API vxArchive& operator||(vxArchive& ar, std::wstring& v);  // never null
VX_API vxArchive& operator||(vxArchive& ar, vxXform<2>& v);
VX_API vxArchive& operator||(vxArchive& ar, vx2XformCache& v);
VX_API vxArchive& operator||(vxArchive& ar, vxPersistent*& p);

// Deletes an object loaded for a pointer of the wrong class, unless the archive
// handed it out before: only the object that the archive's latest ioObject call
// created is deleted (together with the archive's references to the objects made
// while loading it); a back-reference, or an object from elsewhere, is left alone.

// Pointers to classes derived from vxPersistent. Loading an object of another class
// than T throws vxArchive::BadData (the object is deleted).
template <class T, class = std::enable_if_t<std::is_base_of<vxPersistent, T>::value &&
                                            !std::is_same<T, vxPersistent>::value>>
vxArchive& operator||(vxArchive& ar, T*& p) {
  if (ar.storing) {
    vxPersistent* base = p;
    ar.ioObject(base);
    return ar;
  }
  vxPersistent* base = nullptr;
  ar.ioObject(base);
  if (base == nullptr) {
    p = nullptr;
    return ar;
  }
  T* derived = dynamic_cast<T*>(base);
  if (derived == nullptr) {
    vxArchive_releaseMismatched(ar, base);
    throw vxArchive::BadData(L"Archived object is not of the expected class");
  }
  p = derived;
  return ar;
}

#endif
