#include "platform/exception.h"

#include "platform/archive.h"
#include "platform/attention.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace {

// UTF-8 of a wide string: UTF-32 where wchar_t has 32 bits, UTF-16 where it has 16.
// Code units that are not Unicode scalar values become U+FFFD.
std::string toUtf8(const std::wstring& in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): a wide code unit, not a char
    std::uint32_t c = static_cast<std::make_unsigned_t<wchar_t>>(in[i]);
    if (sizeof(wchar_t) == 2) {
      c &= 0xFFFFu;
      if (c >= 0xD800u && c <= 0xDBFFu && i + 1 < in.size()) {
        const std::uint32_t low = static_cast<std::uint32_t>(in[i + 1]) & 0xFFFFu;
        if (low >= 0xDC00u && low <= 0xDFFFu) {
          c = 0x10000u + ((c - 0xD800u) << 10) + (low - 0xDC00u);
          ++i;
        }
      }
    }
    if ((c >= 0xD800u && c <= 0xDFFFu) || c > 0x10FFFFu) c = 0xFFFDu;
    if (c < 0x80u) {
      out += static_cast<char>(c);
    } else if (c < 0x800u) {
      out += static_cast<char>(0xC0u | (c >> 6));
      out += static_cast<char>(0x80u | (c & 0x3Fu));
    } else if (c < 0x10000u) {
      out += static_cast<char>(0xE0u | (c >> 12));
      out += static_cast<char>(0x80u | ((c >> 6) & 0x3Fu));
      out += static_cast<char>(0x80u | (c & 0x3Fu));
    } else {
      out += static_cast<char>(0xF0u | (c >> 18));
      out += static_cast<char>(0x80u | ((c >> 12) & 0x3Fu));
      out += static_cast<char>(0x80u | ((c >> 6) & 0x3Fu));
      out += static_cast<char>(0x80u | (c & 0x3Fu));
    }
  }
  return out;
}

template <class T>
vxPersistent* make() {
  return new T();
}

// Exceptions with a default form can be loaded back from an archive.
const vx_Instantiator registerException(typeid(vxException), &make<vxException>);
const vx_Instantiator registerExceptionWithString(typeid(vxExceptionWithString),
                                                  &make<vxExceptionWithString>);
const vx_Instantiator registerAttentionInterrupted(typeid(vxAttentionInterrupted),
                                                   &make<vxAttentionInterrupted>);

}  // namespace

// ---------------------------------------------------------------------------------
// vxException

vxException::vxException(const wchar_t* message) { setMessage(message); }

vxException::vxException(const vxException& other)
    : vxPersistent(other), std::exception(other),
      message_text_(other.message_text_ ? std::make_unique<std::wstring>(*other.message_text_)
                                        : nullptr),
      narrow_(other.narrow_) {}

vxException& vxException::operator=(const vxException& other) {
  if (this == &other) return *this;
  vxPersistent::operator=(other);
  std::unique_ptr<std::wstring> text =
      other.message_text_ ? std::make_unique<std::wstring>(*other.message_text_) : nullptr;
  std::string narrow = other.narrow_;
  if (mutationFlag()) mutating_();
  message_text_ = std::move(text);
  narrow_ = std::move(narrow);
  return *this;
}

vxException::~vxException() = default;

const wchar_t* vxException::message() const {
  return message_text_ ? message_text_->c_str() : nullptr;
}

const char* vxException::what() const noexcept {
  if (!narrow_.empty()) return narrow_.c_str();
  // Without a message, the class's name; kept per class for the life of the process,
  // so the pointer stays valid whatever happens to this object. (A plain array: a map
  // would make the shared library export the standard library's map code.)
  struct Named {
    const std::type_info* type;
    std::string name;
  };
  static std::mutex guard;
  static Named named[64];
  static std::size_t count = 0;
  try {
    const std::lock_guard<std::mutex> lock(guard);
    const std::type_info& type = typeid(*this);
    for (std::size_t i = 0; i < count; ++i)
      if (*named[i].type == type) return named[i].name.c_str();
    if (count == sizeof named / sizeof named[0]) return type.name();
    named[count] = Named{&type, vx_Instantiator::portableName(type)};
    return named[count++].name.c_str();
  } catch (...) {
    return "vxException";
  }
}

void vxException::message_(std::basic_ostream<wchar_t>& os) const {
  if (message_text_) os << *message_text_;
}

void vxException::setMessage(const wchar_t* message) {
  if (message == nullptr) {
    replaceMessage(nullptr);
  } else {
    replaceMessage(std::make_unique<std::wstring>(message));
  }
}

void vxException::replaceMessage(std::unique_ptr<std::wstring> text) {
  std::string narrow = text ? toUtf8(*text) : std::string();
  if (mutationFlag()) mutating_();
  message_text_ = std::move(text);
  narrow_ = std::move(narrow);
}

void vxException::dispatchSerialize(vxArchive& ar) {
  // The vxException part of an object is archived once per pass, however many paths
  // of the class hierarchy lead to it.
  if (haveVisited(this, sizeof(vxException))) return;
  unsigned char version = 0;
  ar.io(version);
  if (version != 0) throw vxArchive::UnknownVersion("vxException", 0);
  vxPersistent::dispatchSerialize(ar);
  if (ar.storing) {
    std::wstring text;
    bool present = message_text_ != nullptr;
    if (present) text = *message_text_;
    ar.ioWide(text, present);
  } else {
    std::wstring text;
    bool present = false;
    ar.ioWide(text, present);
    replaceMessage(present ? std::make_unique<std::wstring>(std::move(text)) : nullptr);
  }
  setVisited(this, sizeof(vxException));
}

// ---------------------------------------------------------------------------------
// Derived exceptions

vxExceptionWithString::~vxExceptionWithString() = default;

vxAttentionInterrupted::vxAttentionInterrupted()
    : vxExceptionWithString(L"Operation interrupted by an attention request") {}

vxAttentionInterrupted::~vxAttentionInterrupted() = default;

namespace {
std::wstring statusMessage(long status) {
  std::wstring text = L"Operation failed with status " + std::to_wstring(status);
  switch (status) {
    case vxStatusOK:
      text += L" (OK)";
      break;
    case vxStatusAttention:
      text += L" (attention requested)";
      break;
    default:
      break;
  }
  return text;
}
}  // namespace

vxStatusFailure::vxStatusFailure(long status)
    : vxExceptionWithString(statusMessage(status).c_str()), status_(status) {}

vxStatusFailure::~vxStatusFailure() = default;
