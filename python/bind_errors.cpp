// The module's exception classes: Error, one subclass for each error number of the
// library and the archive errors, and the translation of the library's exceptions to
// them (and to KeyboardInterrupt, RuntimeError and OverflowError).
#include "bindings.h"
#include "filt/common/messages.h"
#include "python_support.h"

#include <cwchar>
#include <exception>
#include <stdexcept>
#include <string>

namespace vxpy {

namespace {

PyObject* gError = nullptr;
PyObject* gNumbered[6] = {};
PyObject* gArchiveError = nullptr;
PyObject* gUnknownVersion = nullptr;
PyObject* gEndOfData = nullptr;
PyObject* gUnknownClass = nullptr;
PyObject* gBadData = nullptr;

constexpr long kFirstErrorNumber = 0x10006300;

PyObject* newError(py::module_& m, const char* name, PyObject* base, const char* doc,
                   py::object number) {
  const std::string qualified = std::string("vxfreq.") + name;
  PyObject* cls = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
  if (cls == nullptr) throw py::error_already_set();
  if (PyObject_SetAttrString(cls, "error_number", number.ptr()) != 0) throw py::error_already_set();
  m.add_object(name, py::handle(cls));
  return cls;  // the reference of the creation keeps the class for the module's life
}

void raise(PyObject* cls, const char* message, const char* fallback) {
  PyErr_SetString(cls, message != nullptr && *message != '\0' ? message : fallback);
}

// The library's own message; what() names the class where there is none, which the
// fallback says better in Python.
void raise(PyObject* cls, const vxException& e, const char* fallback) {
  const wchar_t* message = e.message();
  raise(cls, message != nullptr && *message != L'\0' ? e.what() : nullptr, fallback);
}

// What a Python user is told besides the library's message when a buffer holds the
// spatial samples of an in-place inverse: what they are, and what to do instead.
const char* const kSpatialSamples =
    "this FrequencyBuffer holds the spatial samples an in-place inverse left "
    "(inverse_computed is True), not a spectrum; filter or combine a copy made before "
    "inverse(buf, in_place=True), or forward() the picture again";

bool isSpatialRefusal(const vxException& e) {
  const wchar_t* message = e.message();
  return message != nullptr && std::wcscmp(message, vx_detail::msg::kInverseComputed) == 0;
}

}  // namespace

void bindErrors(py::module_& m) {
  gError = newError(m, "Error", PyExc_Exception,
                    "Base of the library's errors. error_number is the library's error "
                    "number (None for archive errors); str() gives its message.",
                    py::none());
  struct Numbered {
    const char* name;
    const char* doc;
  };
  static const Numbered numbered[6] = {
      {"InvalidArgument", "An argument outside its documented range (0x10006300)."},
      {"Uninitialized", "A buffer without data or an unbuilt filter (0x10006301)."},
      {"InvalidSize", "A size that is not allowed or does not match (0x10006302)."},
      {"UnboundWindow", "An image without pixels (0x10006303)."},
      {"InvalidBuffer",
       "A buffer that holds spatial samples after an in-place inverse (0x10006304)."},
      {"BadCoord", "A coordinate outside the buffer (0x10006305)."},
  };
  for (int i = 0; i < 6; ++i)
    gNumbered[i] =
        newError(m, numbered[i].name, gError, numbered[i].doc, py::int_(kFirstErrorNumber + i));
  gArchiveError = newError(m, "ArchiveError", gError,
                           "Archived data (a pickle's state) that cannot be loaded.", py::none());
  gUnknownVersion = newError(m, "UnknownVersion", gArchiveError,
                             "A version byte this library does not read.", py::none());
  gEndOfData =
      newError(m, "EndOfData", gArchiveError, "The archived data ends too early.", py::none());
  gUnknownClass = newError(m, "UnknownClass", gArchiveError,
                           "The archive names a class this library does not have.", py::none());
  gBadData = newError(m, "BadData", gArchiveError,
                      "A value that no archive of this library can hold.", py::none());

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const vxFrequencyDefs::Errors& e) {
      const long index = e.errorNumber() - kFirstErrorNumber;
      PyObject* cls = index >= 0 && index < 6 ? gNumbered[index] : gError;
      if (isSpatialRefusal(e))
        raise(cls, withDetail(e.what(), kSpatialSamples).c_str(), "library error");
      else
        raise(cls, e, "library error");
    } catch (const vxArchive::UnknownVersion& e) {
      raise(gUnknownVersion, e, "unknown version in the archived data");
    } catch (const vxArchive::EndOfData& e) {
      raise(gEndOfData, e, "the archived data ends too early");
    } catch (const vxArchive::UnknownClass& e) {
      raise(gUnknownClass, e, ("unknown class " + e.className()).c_str());
    } catch (const vxArchive::BadData& e) {
      raise(gBadData, e, "bad archived data");
    } catch (const vxArchive::Errors& e) {
      raise(gArchiveError, e, "archive error");
    } catch (const vxAttentionInterrupted&) {
      PyErr_SetNone(PyExc_KeyboardInterrupt);
    } catch (const vxException& e) {
      raise(PyExc_RuntimeError, e, "library failure");
    } catch (const std::out_of_range& e) {
      raise(PyExc_OverflowError, e.what(), "value out of range");
    }
  });
}

}  // namespace vxpy
