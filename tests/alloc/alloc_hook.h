// Test-only control of the global allocation functions of this test program:
// failing the n-th allocation from now on, and measuring peak live bytes.
#ifndef VXFREQ_TESTS_ALLOC_HOOK_H
#define VXFREQ_TESTS_ALLOC_HOOK_H

#include <cstddef>
#include <cstdint>

namespace alloc_hook {

// Makes the n-th allocation from now on (1-based) throw std::bad_alloc; 0 disarms.
// Returns the number of allocations made since the last arm() when disarmed.
void arm(std::int64_t failAt);
std::int64_t disarm();
// Starts measuring: resets the peak to the bytes live now.
void resetPeak();
// Peak of live bytes since resetPeak(), minus the bytes live at that time.
std::size_t peakAboveStart();

}  // namespace alloc_hook

#endif
