// libFuzzer target: arbitrary bytes loaded through the archive code as frequency
// buffers, filters and error objects, and whatever loaded then used (see
// archive_exercise.h). A crash, a sanitizer report, a leak, a broken promise of the
// library or an exception it does not document ends the run with the input kept.
#include "fuzz/archive_exercise.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <typeinfo>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    vxfreq_fuzz::exercise(data, size);
  } catch (const vxfreq_fuzz::Finding& finding) {
    std::fprintf(stderr, "==vxfreq== broken promise: %s\n", finding.what.c_str());
    std::abort();
  } catch (const vxException& e) {
    std::fprintf(stderr, "==vxfreq== undocumented exception %s: %s\n", typeid(e).name(), e.what());
    std::abort();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "==vxfreq== undocumented exception %s: %s\n", typeid(e).name(), e.what());
    std::abort();
  } catch (...) {
    std::fprintf(stderr, "==vxfreq== exception of an unknown type\n");
    std::abort();
  }
  return 0;
}
