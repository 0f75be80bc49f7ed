// The version checks of the archive forms, and the switches read from the environment.
#include "filt/common/limits.h"

#include "platform/archive.h"

#include <cstdlib>
#include <cstring>

namespace vx_detail {

bool environmentSwitch(std::atomic<int>& state, const char* name, const char* value, bool whenSet) {
  int now = state.load(std::memory_order_acquire);
  if (now < 0) {
    const char* given = std::getenv(name);
    const bool set = given != nullptr && std::strcmp(given, value) == 0;
    state.compare_exchange_strong(now, set == whenSet ? 1 : 0);
    now = state.load(std::memory_order_acquire);
  }
  return now == 1;
}

void requireVersion(unsigned char version, unsigned char newest, const char* name, int line) {
  if (version > newest) throw vxArchive::UnknownVersion(name, line);
}

unsigned char archiveVersion(vxArchive& ar, unsigned char current, unsigned char newest,
                             const char* name, int line) {
  unsigned char version = current;
  ar || version;
  requireVersion(version, newest, name, line);
  return version;
}

}  // namespace vx_detail
