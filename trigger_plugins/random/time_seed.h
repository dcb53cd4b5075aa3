// The seed a generator takes when its Seed input gives none.
#pragma once

#include <cstdint>

namespace kesh_rnd {

// Milliseconds since the library was loaded, truncated to 32 bits. Reads the clock: call it
// outside the audio path.
uint32_t millisecondsSinceLoad();

}  // namespace kesh_rnd
