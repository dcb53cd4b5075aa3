// What the test and the probe plug-ins exchange. The test owns both records and hands their
// address to the probe through dispatcher opcode 4 before it opens the instance; the probe
// describes its pins from the configuration and appends what it sees to the log, which stays
// readable after the instance is destroyed.
#pragma once

#include <cstdint>

namespace probe {

inline constexpr int32_t kMaxPins = 16;
inline constexpr int32_t kMaxEntries = 256;

// A data event with this data1 makes the probe schedule a deferred call data2 samples after
// the event's sample.
inline constexpr int32_t kScheduleCall = 0x5CED;

struct PinDescription {
    int32_t dataType;
    int32_t flags;
    bool withVariable;
};

struct Log;

struct Config {
    int32_t describedPins = 0;
    PinDescription pins[kMaxPins] = {};
    // Each pin change installs the other process routine (Process entries tell them apart).
    bool switchRoutineOnChange = false;
    Log* log = nullptr;
};

enum class Kind : int32_t {
    Process,       // a: start, b: count, c: routine (0 or 1), d: status of pin 0 (-1: no pin)
    PinChanged,    // a: pin index, b: the pin's status, c: its value read by data type
                   // (Stream: the bits of currentSample), word: a Text pin's variable contents
    DataEvent,     // a: time, b: data1, c: data2
    DeferredCall,  // (the clock only)
    PinBinding,    // a: place, b: data type, c: module variable number, kOwnValue or kNoVariable,
                   // word: the pin's own value when c is kOwnValue
    Destroyed,
};

inline constexpr int32_t kOwnValue = -2;
inline constexpr int32_t kNoVariable = -1;

struct Entry {
    Kind kind;
    int32_t a;
    int32_t b;
    int32_t c;
    int32_t d;
    uint32_t clock;  // the module's sampleClock when the entry was made
    intptr_t word;
};

struct Log {
    int32_t count = 0;
    Entry entries[kMaxEntries] = {};
};

}  // namespace probe
