// Test-only control of the global allocation functions of this test program:
// failing the n-th allocation from now on.
#ifndef VXFREQ_TESTS_ALLOC_HOOK_H
#define VXFREQ_TESTS_ALLOC_HOOK_H

#include <cstdint>

namespace alloc_hook {

// Makes the n-th allocation from now on (1-based) throw std::bad_alloc; 0 disarms.
// Returns the number of allocations made since the last arm() when disarmed.
void arm(std::int64_t failAt);
std::int64_t disarm();

}  // namespace alloc_hook

#endif
