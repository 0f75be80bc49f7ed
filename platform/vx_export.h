// Symbol visibility of the public API. The library is built with hidden
// visibility; only declarations marked VX_API are exported from the shared object.
#ifndef VXFREQ_PLATFORM_VX_EXPORT_H
#define VXFREQ_PLATFORM_VX_EXPORT_H

#if defined(_WIN32)
#if defined(VXFREQ_BUILDING)
#define VX_API __declspec(dllexport)
#else
#define VX_API __declspec(dllimport)
#endif
#else
#define VX_API __attribute__((visibility("default")))
#endif

#endif
