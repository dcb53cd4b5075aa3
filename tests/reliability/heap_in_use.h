// The bytes the process has allocated and not yet released, for tests that show memory use stays
// flat over many cycles.
#pragma once

#include <cstdint>
#include <optional>

namespace reliability {

// Linux: the C library's count of allocated bytes, exact. Windows: the process's private
// committed bytes, to the page. None under AddressSanitizer, whose allocator the C library's
// count does not see; LeakSanitizer checks that build instead.
std::optional<int64_t> heapInUse();

}  // namespace reliability
