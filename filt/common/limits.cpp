// The version checks of the archive forms.
#include "filt/common/limits.h"

#include "platform/archive.h"

namespace vx_detail {

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
