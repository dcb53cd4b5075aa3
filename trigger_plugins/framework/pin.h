// One pin of a single-export module instance, as the framework keeps it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "host_protocol/pin_properties.h"
#include "trigger_plugins/framework/variant.h"

namespace trigger_framework {

template <Variant V>
class BasicModuleBase;

namespace detail {
struct NoStorage {};
// The standard copy keeps a value of its own for repeated pins (the host's answer to opcode 7,
// for a Stream pin its buffer address); the clock copy keeps none.
template <Variant V>
using PinStorage = std::conditional_t<V == Variant::Standard, intptr_t, NoStorage>;
}  // namespace detail

// A default-constructed Pin is inert until `init`: no owner, no variable; a status event for it
// only records the status.
template <Variant V>
class BasicPin {
  public:
    using Owner = BasicModuleBase<V>;

    BasicPin() = default;
    BasicPin(const BasicPin&) = delete;
    BasicPin& operator=(const BasicPin&) = delete;
    virtual ~BasicPin() = default;

    // Binds the pin. A nonzero `value` becomes the pin's own value and `variable` then points
    // at it, so a repeated pin for which the host answered 0 keeps a null variable.
    void init(Owner* owner, int32_t index, int32_t dataType, void* variable,
              intptr_t value) requires(V == Variant::Standard);
    void init(Owner* owner, int32_t index, int32_t dataType,
              void* variable) requires(V == Variant::Clock);

    // Called by the framework for a type-0 event: records the status, writes the value into
    // the variable by data type, tells the owner (`pinChanged`), then turns OneShot to Static.
    void onStatusEvent(int32_t newStatus, int32_t value);

    // Reports this (output) pin's status to the host from `sampleClock` on (host opcode 0).
    void transmitStatus(uint32_t sampleClock, int32_t newStatus);
    void transmitStatus(uint32_t sampleClock, host_protocol::PinStatus newStatus) {
        transmitStatus(sampleClock, static_cast<int32_t>(newStatus));
    }

    // The sample of this Stream pin at the owner's sample clock, found by asking the host where
    // the buffer starts (host opcode 8). 0 when the pin has no buffer or the host no callback.
    float currentSample() const;

    int32_t getStatus() const { return status; }
    bool queryPin() const;                       // host opcode 1 answered nonzero
    void transmitOpcode4(int32_t a, int32_t b);  // host opcode 4 with (index, b, a)

    int32_t getIndex() const { return index; }
    int32_t getDataType() const { return dataType; }
    void* getVariable() const { return variable; }
    Owner* getOwner() const { return owner; }

  private:
    void writeValue(int32_t value);

    void* variable = nullptr;
    Owner* owner = nullptr;
    int32_t index = -1;
    int32_t status = static_cast<int32_t>(host_protocol::PinStatus::Static);
    int32_t dataType = -1;
    [[no_unique_address]] detail::PinStorage<V> storage{};
};

}  // namespace trigger_framework
