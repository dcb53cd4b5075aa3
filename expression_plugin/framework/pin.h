// One pin the host keeps for an instance: where its value lives and its last reported status.
#pragma once

#include <cstdint>

#include "host_protocol/pin_properties.h"

namespace two_export_framework {

class ModuleBase;

class Pin {
  public:
    // An inert pin: no owner, no variable. Status events for it are ignored.
    Pin() = default;
    virtual ~Pin() = default;
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

    // Binds the pin. A non-null variable is the module's own; otherwise the pin keeps its value
    // in `storage`: 16 bits for Enumeration, one byte for Boolean, 32 bits for Integer and type
    // 8 (all starting at 0), and for a Stream the buffer address the host answers to opcode 7.
    // Other types get no variable.
    void init(ModuleBase* owner, int32_t index, int32_t dataType, void* variable);

    // Who calls: the framework, for a type-0 event. Stores the status, lets the owner react in
    // pinChanged, then turns OneShot back to Static. The host has already written the value.
    void onStatusEvent(int32_t status);

    // Reports this (output) pin's new status from `sampleClock` on (host opcode 0).
    void transmitStatus(int32_t sampleClock, int32_t status);

    void* variable() const { return variable_; }
    ModuleBase* owner() const { return owner_; }
    int32_t index() const { return index_; }
    int32_t status() const { return status_; }
    int32_t dataType() const { return dataType_; }

  private:
    void* variable_ = nullptr;
    ModuleBase* owner_ = nullptr;
    int32_t index_ = 0;
    int32_t status_ = 0;
    int32_t dataType_ = 0;
    // Pointer-wide so a Stream's buffer address fits on 64-bit test builds; 32 bits on the
    // targets the host loads.
    union {
        int16_t enumeration;
        uint8_t boolean;
        int32_t word;
        intptr_t address;
    } storage_{};
};

}  // namespace two_export_framework
