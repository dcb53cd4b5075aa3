#include "tests/reliability/heap_in_use.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#else
#include <malloc.h>
#endif

namespace reliability {

#if defined(__SANITIZE_ADDRESS__)
#define RELIABILITY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RELIABILITY_ASAN 1
#endif
#endif

std::optional<int64_t> heapInUse() {
#if defined(RELIABILITY_ASAN)
    return std::nullopt;
#elif defined(_WIN32)
    PROCESS_MEMORY_COUNTERS_EX counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        return std::nullopt;
    }
    return static_cast<int64_t>(counters.PrivateUsage);
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<int64_t>(info.uordblks + info.hblkhd);
#endif
}

}  // namespace reliability
