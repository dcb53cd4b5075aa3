// Pin descriptions, data types, statuses and the flag bits the frameworks read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_convention.h"

namespace host_protocol {

enum class PinDataType : int32_t {
    Enumeration = 0,  // variable: int16_t choice
    Text = 1,         // variable: const char* to the current text
    Boolean = 4,      // variable: one byte, 0 or 1
    Stream = 5,       // variable: float* to the pin's sample buffer
    Integer = 6,      // variable: int32_t
    Word = 8,         // unused by our modules; 32-bit own storage
};

enum class PinDirection : int32_t { Input = 0, Output = 1 };

enum class PinStatus : int32_t { Static = 0, OneShot = 1, Streaming = 2 };

namespace pin_flags {
inline constexpr int32_t Repeat = 0x8;    // repeat the last pin over the host's extra pins
inline constexpr int32_t Hidden = 0x400;  // two-export: no Pin object unless Kept is set too
inline constexpr int32_t Kept = 0x8000;
}  // namespace pin_flags

// Filled by the module's getPinProperties for one index (dispatcher opcode 6).
struct PinProperties {
    void* variable;  // the module's variable holding the pin's value
    int32_t direction;
    int32_t dataType;
    const char* name;
    const char* defaultValue;  // or null
    const char* listText;      // enumeration choices, a stream's range text, or null
    int32_t flags;
    int32_t reserved;
};

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(PinProperties, variable) == 0);
static_assert(offsetof(PinProperties, direction) == 4);
static_assert(offsetof(PinProperties, dataType) == 8);
static_assert(offsetof(PinProperties, name) == 12);
static_assert(offsetof(PinProperties, defaultValue) == 16);
static_assert(offsetof(PinProperties, listText) == 20);
static_assert(offsetof(PinProperties, flags) == 24);
static_assert(offsetof(PinProperties, reserved) == 28);
static_assert(sizeof(PinProperties) == 32);
#endif

}  // namespace host_protocol
