#include "platform/archive.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <type_traits>
#include <typeindex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// The archiving passes of the calling thread, innermost first (linked through
// Impl::outer).
thread_local vxArchive* tInnermost = nullptr;

// Wide strings are read in pieces of this many code units, so that a stored count
// allocates no more than the data actually present (plus one piece).
constexpr std::uint32_t kWidePiece = 16384;

constexpr std::uint32_t kNullString = 0xFFFFFFFFu;

enum : unsigned char { kTagNull = 0, kTagNew = 1, kTagBackReference = 2 };

std::uint32_t decodeU32(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::wstring widenBytes(const std::string& s) {
  std::wstring w;
  w.reserve(s.size());
  for (unsigned char c : s) w += static_cast<wchar_t>(c);
  return w;
}

std::wstring unknownVersionMessage(const char* name, int line) {
  std::wstring text = L"Unknown version of archived data";
  if (name != nullptr) text += L" in " + widenBytes(name);
  if (line != 0) text += L" at line " + std::to_wstring(line);
  return text;
}

}  // namespace

struct vxArchive::Impl {
  std::ostream* out = nullptr;
  std::istream* in = nullptr;
  vxArchive* outer = nullptr;

  // Visited marks of this pass, with the order they were made in so that the marks
  // made while loading an object that is then dropped can be taken back.
  std::set<std::pair<std::uintptr_t, std::size_t>> marks;
  std::vector<std::pair<std::uintptr_t, std::size_t>> markLog;

  // Storing: ids of the objects written so far, by complete-object address, and the
  // portable names of the classes met so far.
  std::unordered_map<const void*, std::uint32_t> ids;
  std::unordered_map<std::type_index, std::string> names;

  // Loading: the objects created so far by id; null for one dropped after a failure.
  std::vector<vxPersistent*> objects;
  // The object created by the latest ioObject call, if it created one.
  bool lastCreated = false;
  std::size_t lastId = 0;
  std::size_t lastMarkLog = 0;

  // Loading: bytes consumed, and the stream's extent when it can tell it.
  std::uint64_t consumed = 0;
  bool extentProbed = false;
  bool extentKnown = false;
  std::uint64_t probeConsumed = 0;
  std::uint64_t probePos = 0;
  std::uint64_t endPos = 0;

  // Reads exactly n bytes; EndOfData when the stream has fewer.
  void read(unsigned char* bytes, std::size_t n) {
    if (n == 0) return;
    in->read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(n));
    const std::streamsize got = in->gcount();
    if (got > 0) consumed += static_cast<std::uint64_t>(got);
    if (got != static_cast<std::streamsize>(n)) throw vxArchive::EndOfData();
  }

  std::uint32_t readU32() {
    unsigned char b[4];
    read(b, 4);
    return decodeU32(b);
  }

  std::uint64_t readU64() {
    unsigned char b[8];
    read(b, 8);
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(b[i]) << (8 * i);
    return v;
  }

  // Drops the objects with ids from `first` on, and the marks made since `markCount`.
  void dropFrom(std::size_t first, std::size_t markCount) {
    for (std::size_t i = first; i < objects.size(); ++i) objects[i] = nullptr;
    while (markLog.size() > markCount) {
      marks.erase(markLog.back());
      markLog.pop_back();
    }
  }
};

// ---------------------------------------------------------------------------------
// Errors

vxArchive::Errors::~Errors() = default;

vxArchive::UnknownVersion::UnknownVersion(const char* name, int line)
    : Errors(unknownVersionMessage(name, line).c_str()), name_(name != nullptr ? name : ""),
      hasName_(name != nullptr), line_(line) {}

vxArchive::UnknownVersion::~UnknownVersion() = default;

vxArchive::EndOfData::EndOfData() : Errors(L"Archive data ended unexpectedly") {}

vxArchive::EndOfData::~EndOfData() = default;

vxArchive::UnknownClass::UnknownClass(const std::string& className)
    : Errors((L"Archive names an unknown class: " + widenBytes(className)).c_str()),
      className_(className) {}

vxArchive::UnknownClass::~UnknownClass() = default;

vxArchive::BadData::BadData(const wchar_t* what) : Errors(what) {}

vxArchive::BadData::~BadData() = default;

// ---------------------------------------------------------------------------------
// Construction and the thread's passes

vxArchive::vxArchive(std::ostream& out) : storing(true), impl_(std::make_unique<Impl>()) {
  impl_->out = &out;
  impl_->outer = tInnermost;
  tInnermost = this;
}

vxArchive::vxArchive(std::istream& in) : storing(false), impl_(std::make_unique<Impl>()) {
  impl_->in = &in;
  impl_->outer = tInnermost;
  tInnermost = this;
}

vxArchive::~vxArchive() {
  // Normally this is the innermost pass; tolerate another order all the same.
  vxArchive** link = &tInnermost;
  while (*link != nullptr && *link != this) link = &(*link)->impl_->outer;
  if (*link == this) *link = impl_->outer;
}

vxArchive* vxArchive::currentPass_() { return tInnermost; }

bool vxArchive::visited_(const void* object, std::size_t size) const {
  return impl_->marks.count({reinterpret_cast<std::uintptr_t>(object), size}) != 0;
}

void vxArchive::markVisited_(const void* object, std::size_t size) {
  auto mark = std::make_pair(reinterpret_cast<std::uintptr_t>(object), size);
  if (impl_->marks.insert(mark).second) impl_->markLog.push_back(mark);
}

// ---------------------------------------------------------------------------------
// Bytes

namespace {

void writeBytes(std::ostream& out, const unsigned char* bytes, std::size_t n) {
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
  if (!out) throw vxArchive::Errors(L"Writing to the archive stream failed");
}

void writeU32(std::ostream& out, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  writeBytes(out, b, 4);
}

void writeU64(std::ostream& out, std::uint64_t v) {
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
  writeBytes(out, b, 8);
}

}  // namespace

std::size_t vxArchive::remaining() {
  constexpr std::size_t unknown = std::numeric_limits<std::size_t>::max();
  Impl& impl = *impl_;
  if (storing) return unknown;
  if (!impl.extentProbed) {
    impl.extentProbed = true;
    std::istream& in = *impl.in;
    const std::ios_base::iostate state = in.rdstate();
    if (state != std::ios_base::goodbit) return unknown;
    const std::streampos pos = in.tellg();
    if (pos == std::streampos(-1)) {
      in.clear(state);
      return unknown;
    }
    in.seekg(0, std::ios_base::end);
    const std::streampos end = in.fail() ? std::streampos(-1) : in.tellg();
    in.clear(state);
    in.seekg(pos);
    if (in.fail()) {
      // The stream cannot go back where it was: every later read fails, which is
      // reported as the end of the data.
      return unknown;
    }
    if (end != std::streampos(-1) && end >= pos) {
      impl.extentKnown = true;
      impl.probePos = static_cast<std::uint64_t>(static_cast<std::streamoff>(pos));
      impl.endPos = static_cast<std::uint64_t>(static_cast<std::streamoff>(end));
      impl.probeConsumed = impl.consumed;
    }
  }
  if (!impl.extentKnown) return unknown;
  const std::uint64_t here = impl.probePos + (impl.consumed - impl.probeConsumed);
  if (here >= impl.endPos) return 0;
  const std::uint64_t left = impl.endPos - here;
  return left > unknown ? unknown : static_cast<std::size_t>(left);
}

// ---------------------------------------------------------------------------------
// Primitives

void vxArchive::io(unsigned char& v) {
  if (storing) {
    writeBytes(*impl_->out, &v, 1);
  } else {
    impl_->read(&v, 1);
  }
}

void vxArchive::io(bool& v) {
  unsigned char b = v ? 1 : 0;
  io(b);
  if (!storing) {
    if (b > 1) throw BadData(L"Archived bool is neither 0 nor 1");
    v = b == 1;
  }
}

void vxArchive::io32(std::uint32_t& v) {
  if (storing) {
    writeU32(*impl_->out, v);
  } else {
    v = impl_->readU32();
  }
}

void vxArchive::io32(std::int32_t& v) {
  std::uint32_t u = static_cast<std::uint32_t>(v);
  io32(u);
  if (!storing) std::memcpy(&v, &u, sizeof v);  // two's complement
}

void vxArchive::io(float& v) {
  static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
                "float must be IEEE-754 binary32");
  std::uint32_t bits = 0;
  std::memcpy(&bits, &v, 4);
  io32(bits);
  if (!storing) std::memcpy(&v, &bits, 4);
}

void vxArchive::io(double& v) {
  static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559,
                "double must be IEEE-754 binary64");
  if (storing) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, 8);
    writeU64(*impl_->out, bits);
  } else {
    const std::uint64_t bits = impl_->readU64();
    std::memcpy(&v, &bits, 8);
  }
}

namespace {

// Wide strings travel as UTF-32. Where wchar_t has 16 bits they are UTF-16 in memory
// and are converted; where it has 32 bits the code units are copied unchanged.
constexpr bool kWide16 = sizeof(wchar_t) == 2;

std::vector<std::uint32_t> toUtf32(const std::wstring& s) {
  std::vector<std::uint32_t> units;
  units.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): a wide code unit, not a char
    std::uint32_t c = static_cast<std::make_unsigned_t<wchar_t>>(s[i]);
    if (kWide16) {
      c &= 0xFFFFu;
      if (c >= 0xD800u && c <= 0xDBFFu && i + 1 < s.size()) {
        const std::uint32_t low = static_cast<std::uint32_t>(s[i + 1]) & 0xFFFFu;
        if (low >= 0xDC00u && low <= 0xDFFFu) {
          c = 0x10000u + ((c - 0xD800u) << 10) + (low - 0xDC00u);
          ++i;
        }
      }
    }
    units.push_back(c);
  }
  return units;
}

void appendUnit(std::wstring& s, std::uint32_t c) {
  if (kWide16) {
    if (c > 0x10FFFFu) throw vxArchive::BadData(L"Archived character is outside Unicode");
    if (c >= 0x10000u) {
      c -= 0x10000u;
      s += static_cast<wchar_t>(0xD800u + (c >> 10));
      s += static_cast<wchar_t>(0xDC00u + (c & 0x3FFu));
      return;
    }
    s += static_cast<wchar_t>(c);
  } else {
    std::int32_t signedUnit;
    std::memcpy(&signedUnit, &c, sizeof c);
    s += static_cast<wchar_t>(signedUnit);
  }
}

}  // namespace

void vxArchive::ioWide(std::wstring& s, bool& present) {
  if (storing) {
    if (!present) {
      writeU32(*impl_->out, kNullString);
      return;
    }
    const std::vector<std::uint32_t> units = toUtf32(s);
    if (units.size() >= kNullString) throw BadData(L"String too long for an archive");
    writeU32(*impl_->out, static_cast<std::uint32_t>(units.size()));
    std::vector<unsigned char> bytes(units.size() * 4);
    for (std::size_t i = 0; i < units.size(); ++i) {
      for (int k = 0; k < 4; ++k)
        bytes[i * 4 + k] = static_cast<unsigned char>(units[i] >> (8 * k));
    }
    if (!bytes.empty()) writeBytes(*impl_->out, bytes.data(), bytes.size());
    return;
  }

  const std::uint32_t count = impl_->readU32();
  if (count == kNullString) {
    s.clear();
    present = false;
    return;
  }
  const std::size_t left = remaining();
  if (static_cast<std::uint64_t>(count) * 4 > left) throw EndOfData();
  std::wstring result;
  // With the stream's size known the count is backed by data; otherwise the string
  // grows only as its pieces arrive.
  if (left != std::numeric_limits<std::size_t>::max()) result.reserve(count);
  std::vector<unsigned char> piece(static_cast<std::size_t>(std::min(count, kWidePiece)) * 4);
  std::uint32_t done = 0;
  while (done < count) {
    const std::uint32_t n = std::min(count - done, kWidePiece);
    impl_->read(piece.data(), static_cast<std::size_t>(n) * 4);
    for (std::uint32_t i = 0; i < n; ++i) appendUnit(result, decodeU32(piece.data() + i * 4));
    done += n;
  }
  s = std::move(result);
  present = true;
}

void vxArchive::io(vxXform<2>& x) {
  vxMatrix<2> m = x.matrix();
  vxVector<2> t = x.trans();
  double e[6] = {m.element(0, 0), m.element(0, 1), m.element(1, 0), m.element(1, 1), t.x(), t.y()};
  for (double& d : e) io(d);
  if (!storing) x = vxXform<2>(vxMatrix<2>(e[0], e[1], e[2], e[3]), vxVector<2>(e[4], e[5]));
}

void vxArchive::io(vx2XformCache& c) {
  // A held transform is archived through its linear form.
  bool has = c.hasXform;
  io(has);
  if (storing) {
    if (has) {
      vxXform<2> x = c.linearXform().xform();
      io(x);
    }
    return;
  }
  if (has) {
    vxXform<2> x;
    io(x);
    c.xform(vx2XformLinear(x));
  } else {
    c.setIdentity();
  }
}

// ---------------------------------------------------------------------------------
// Objects

void vxArchive::ioObject(vxPersistent*& p) {
  Impl& impl = *impl_;
  if (storing) {
    unsigned char tag = kTagNull;
    if (p == nullptr) {
      io(tag);
      return;
    }
    const void* key = dynamic_cast<const void*>(p);
    auto found = impl.ids.find(key);
    if (found != impl.ids.end()) {
      tag = kTagBackReference;
      io(tag);
      std::uint32_t id = found->second;
      io32(id);
      return;
    }
    if (impl.ids.size() >= kNullString) throw BadData(L"Too many objects for an archive");
    const std::type_index type(typeid(*p));
    auto known = impl.names.find(type);
    if (known == impl.names.end()) {
      known = impl.names.emplace(type, vx_Instantiator::portableName(typeid(*p))).first;
    }
    const std::string& name = known->second;
    if (name.size() > maxClassNameLength) throw BadData(L"Class name too long for an archive");
    impl.ids.emplace(key, static_cast<std::uint32_t>(impl.ids.size()));
    tag = kTagNew;
    io(tag);
    writeU32(*impl.out, static_cast<std::uint32_t>(name.size()));
    writeBytes(*impl.out, reinterpret_cast<const unsigned char*>(name.data()), name.size());
    vxPersistent::dispatch(*p, *this);
    return;
  }

  impl.lastCreated = false;
  unsigned char tag = 0;
  io(tag);
  if (tag == kTagNull) {
    p = nullptr;
    return;
  }
  if (tag == kTagBackReference) {
    const std::uint32_t id = impl.readU32();
    if (id >= impl.objects.size() || impl.objects[id] == nullptr) {
      throw BadData(L"Archive refers to an object it has not defined");
    }
    p = impl.objects[id];
    return;
  }
  if (tag != kTagNew) throw BadData(L"Unknown object tag in archive");

  const std::uint32_t length = impl.readU32();
  if (length > maxClassNameLength) throw BadData(L"Archived class name is too long");
  if (length > remaining()) throw EndOfData();
  std::string name(length, '\0');
  impl.read(reinterpret_cast<unsigned char*>(&name[0]), length);
  const vx_Instantiator::Factory make = vx_Instantiator::find(name);
  if (make == nullptr) throw UnknownClass(name);
  if (impl.objects.size() >= kNullString) throw BadData(L"Too many objects in archive");

  vxPersistent* object = make();
  if (object == nullptr) throw BadData(L"Factory made no object");
  const std::size_t id = impl.objects.size();
  const std::size_t markCount = impl.markLog.size();
  try {
    impl.objects.push_back(object);
    object->reInit();
    object->loadSimple(*this);
  } catch (...) {
    impl.dropFrom(id, markCount);
    impl.lastCreated = false;
    delete object;
    throw;
  }
  impl.lastCreated = true;
  impl.lastId = id;
  impl.lastMarkLog = markCount;
  p = object;
}

void vxArchive_releaseMismatched(vxArchive& ar, vxPersistent* object) {
  if (object == nullptr || ar.storing) return;
  vxArchive::Impl& impl = *ar.impl_;
  if (!impl.lastCreated || impl.lastId >= impl.objects.size() ||
      impl.objects[impl.lastId] != object) {
    return;
  }
  impl.dropFrom(impl.lastId, impl.lastMarkLog);
  impl.lastCreated = false;
  delete object;
}

// ---------------------------------------------------------------------------------
// Operators

vxArchive& operator||(vxArchive& ar, unsigned char& v) {
  ar.io(v);
  return ar;
}

vxArchive& operator||(vxArchive& ar, bool& v) {
  ar.io(v);
  return ar;
}

vxArchive& operator||(vxArchive& ar, long& v) {
  if (ar.storing) {
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
      throw vxArchive::BadData(L"Value does not fit the 32 bits of an archived long");
    }
    std::int32_t w = static_cast<std::int32_t>(v);
    ar.io32(w);
  } else {
    std::int32_t w = 0;
    ar.io32(w);
    v = w;
  }
  return ar;
}

vxArchive& operator||(vxArchive& ar, unsigned long& v) {
  if (ar.storing) {
    if (v > std::numeric_limits<std::uint32_t>::max()) {
      throw vxArchive::BadData(L"Value does not fit the 32 bits of an archived unsigned long");
    }
    std::uint32_t w = static_cast<std::uint32_t>(v);
    ar.io32(w);
  } else {
    std::uint32_t w = 0;
    ar.io32(w);
    v = w;
  }
  return ar;
}

static_assert(sizeof(int) == 4, "int must have 32 bits");

vxArchive& operator||(vxArchive& ar, int& v) {
  std::int32_t w = v;
  ar.io32(w);
  v = w;
  return ar;
}

vxArchive& operator||(vxArchive& ar, unsigned int& v) {
  std::uint32_t w = v;
  ar.io32(w);
  v = w;
  return ar;
}

vxArchive& operator||(vxArchive& ar, float& v) {
  ar.io(v);
  return ar;
}

vxArchive& operator||(vxArchive& ar, double& v) {
  ar.io(v);
  return ar;
}

vxArchive& operator||(vxArchive& ar, std::wstring& v) {
  bool present = true;
  ar.ioWide(v, present);
  if (!present) throw vxArchive::BadData(L"Archive holds a null string where one is required");
  return ar;
}

vxArchive& operator||(vxArchive& ar, vxXform<2>& v) {
  ar.io(v);
  return ar;
}

vxArchive& operator||(vxArchive& ar, vx2XformCache& v) {
  ar.io(v);
  return ar;
}

vxArchive& operator||(vxArchive& ar, vxPersistent*& p) {
  ar.ioObject(p);
  return ar;
}
