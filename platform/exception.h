// Exception bases of the core layer. Exceptions are persistent objects carrying an
// optional wide-character message, and std::exceptions: a generic handler
// (catch (const std::exception&)) catches them, and what() gives the message in UTF-8.
#ifndef VXFREQ_PLATFORM_EXCEPTION_H
#define VXFREQ_PLATFORM_EXCEPTION_H

#include "platform/persistent.h"
#include "platform/vx_export.h"

#include <exception>
#include <memory>
#include <ostream>
#include <string>

// The base of the core layer's exceptions: a persistent object with an optional message.
class VX_API vxException : public vxPersistent, public std::exception {
public:
  vxException() = default;
  // An exception with a copy of `message` (none when null).
  explicit vxException(const wchar_t* message);
  vxException(const vxException& other);
  vxException& operator=(const vxException& other);
  ~vxException() override;

  // The message, or null when the exception has none.
  const wchar_t* message() const;
  // The message as UTF-8 for ordinary C++ handlers (an uncaught exception shows it);
  // the class's qualified name (e.g. "vxFrequencyDefs::UnboundWindow") when the
  // message is absent or empty.
  const char* what() const noexcept override;
  // Writes the message (nothing when there is none) to a wide stream.
  void print(std::basic_ostream<wchar_t>& os) const { message_(os); }

protected:
  void dispatchSerialize(vxArchive& ar) override;
  virtual void message_(std::basic_ostream<wchar_t>& os) const;
  // Replaces the message (null: none).
  void setMessage(const wchar_t* message);

private:
  // Replaces the message and its UTF-8 copy (null: no message).
  void replaceMessage(std::unique_ptr<std::wstring> text);

  // Null when there is no message (distinct from an empty one).
  std::unique_ptr<std::wstring> message_text_;
  std::string narrow_;
};

// The base of the exceptions that carry a message.
class VX_API vxExceptionWithString : public vxException {
public:
  // An exception with a copy of `message` (none when null).
  explicit vxExceptionWithString(const wchar_t* message = nullptr) : vxException(message) {}
  vxExceptionWithString(const vxExceptionWithString&) = default;
  vxExceptionWithString& operator=(const vxExceptionWithString&) = default;
  ~vxExceptionWithString() override;
};

// Thrown by vfThrowExceptionOnFailure when an attention check reported that the
// calling thread has been asked to stop.
class VX_API vxAttentionInterrupted : public vxExceptionWithString {
public:
  vxAttentionInterrupted();
  ~vxAttentionInterrupted() override;
};

// Thrown by vfThrowExceptionOnFailure for any other failure status.
class VX_API vxStatusFailure : public vxExceptionWithString {
public:
  // The exception for the failure `status`, which status() reads back.
  explicit vxStatusFailure(long status);
  ~vxStatusFailure() override;
  long status() const { return status_; }

private:
  long status_;
};

#endif
