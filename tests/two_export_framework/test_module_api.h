// What the framework test plug-in exports besides the two protocol exports: a way to choose an
// instance's pin descriptions and to read back its Pin objects and what its virtual operations
// saw. Shared by the test plug-in and the test program.
#pragma once

#include <cstdint>

#include "host_protocol/call_convention.h"
#include "host_protocol/two_export_record.h"

namespace framework_test {

inline constexpr int32_t kMaxTestPins = 16;

struct TestPinSpec {
    int32_t dataType;
    int32_t flags;
    int32_t hasVariable;  // nonzero: the description names a variable of the module
};

// One Pin object of the instance as the framework built it.
struct TestPinInfo {
    void* variable;
    int32_t hasOwner;  // the Pin's owner is the instance
    int32_t index;
    int32_t status;
    int32_t dataType;
    intptr_t value;  // read through `variable` by data type; 0 when it is null
};

// What the module's virtual operations and routines saw, in order. `events` holds one letter
// per call: P pinChanged, D onDataEvent, R resume, W resumeWith, X the type-21 routine,
// a / b process routines A / B.
struct TestTrace {
    char events[64];
    int32_t changedPin;
    int32_t changedStatus;  // the pin's status as pinChanged saw it
    int32_t resumeWithIndex;
    int32_t dataTime;
    int32_t data1;
    int32_t data2;
    int32_t processStart;
    int32_t processCount;
};

using SetPinsExport = void(PROTOCOL_CALL*)(host_protocol::two_export::ModuleRecord* record,
                                           const TestPinSpec* specs, int32_t count);
// Answers 0 for a place outside the instance's pin table.
using PinInfoExport = int32_t(PROTOCOL_CALL*)(host_protocol::two_export::ModuleRecord* record,
                                              int32_t place, TestPinInfo* info);
using TraceExport = void(PROTOCOL_CALL*)(host_protocol::two_export::ModuleRecord* record,
                                         TestTrace* trace);
// which: 1 routine A, 2 routine B.
using SetProcessExport = void(PROTOCOL_CALL*)(host_protocol::two_export::ModuleRecord* record,
                                              int32_t which);
using ProcessAddressExport =
    host_protocol::two_export::ProcessFunction(PROTOCOL_CALL*)(int32_t which);
// The code address of the routine a type-21 event may name.
using RoutineAddressExport = intptr_t(PROTOCOL_CALL*)();
// The ModuleBase address of the instance constructed last, and how many were constructed.
using LastCreatedExport = void*(PROTOCOL_CALL*)();
using ConstructedCountExport = int32_t(PROTOCOL_CALL*)();

}  // namespace framework_test
