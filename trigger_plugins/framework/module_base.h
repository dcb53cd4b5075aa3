// The single-export module framework: owns the record handed to the host, answers the
// dispatcher, keeps the pins, the sample clock and the time-ordered event queue, and runs each
// host block in sub-blocks split at the events' times. A module derives from the ModuleBase of
// its library (standard_framework.h or clock_framework.h) and overrides what it needs.
#pragma once

#include <cstdint>
#include <type_traits>

#include "host_protocol/host_callback.h"
#include "host_protocol/module_event.h"
#include "host_protocol/module_properties.h"
#include "host_protocol/pin_properties.h"
#include "host_protocol/single_export_record.h"
#include "trigger_plugins/framework/event_queue.h"
#include "trigger_plugins/framework/pin.h"
#include "trigger_plugins/framework/variant.h"

namespace trigger_framework {

template <Variant V>
class BasicModuleBase {
  public:
    using Pin = BasicPin<V>;
    using ModuleRecord = host_protocol::single_export::ModuleRecord;
    using ModuleEvent = host_protocol::ModuleEvent;
    using PinProperties = host_protocol::PinProperties;
    using ModuleProperties = host_protocol::ModuleProperties;

    // A process function processes buffer elements start .. start + count - 1 of every pin. It
    // is a member routine of the module, called only by processBlock, never by the host.
    using ProcessFunction = void (BasicModuleBase::*)(int32_t start, int32_t count);
    // A routine run later by scheduleCall.
    using DeferredRoutine = void (BasicModuleBase::*)();

    // The payload of a type-3 event: owned by its queue node, released once it has run.
    struct DeferredCall {
        BasicModuleBase* instance;
        DeferredRoutine routine;
    };

    // Sets every field to its initial value; sends nothing to the host. A null callback answers
    // 0 to every host call.
    explicit BasicModuleBase(host_protocol::HostCallback callback);

    // The host holds the address of `record`.
    BasicModuleBase(const BasicModuleBase&) = delete;
    BasicModuleBase& operator=(const BasicModuleBase&) = delete;

    // ---- Virtual operations, in the order of their slots ----

    // Called by Pin::onStatusEvent after the pin's value was applied; sampleClock() is then the
    // position of the change.
    virtual void pinChanged(Pin* pin);
    // Releases the pins and every event (and deferred call) still queued.
    virtual ~BasicModuleBase();
    // The record's block entry: runs the process function in sub-blocks split at the queued
    // events' times and handles each event at its sample; sampleClock() advances by count.
    virtual void processBlock(int32_t start, int32_t count);
    // One dispatcher opcode (host_protocol::DispatcherOpcode); answers as the host expects.
    virtual intptr_t dispatch(int32_t opcode, int32_t index, int32_t value, void* ptr, float opt);
    // Takes the host's sample position and builds the pin table. A module's open calls this
    // first, then reports its output statuses and installs its process function.
    virtual void open();
    virtual void close();
    virtual void spareHook(int32_t a, int32_t b);
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(int32_t size);
    virtual float getSampleRate();
    virtual int32_t getBlockSize();
    // Acts on one event by type: 0 pin status, 2 data, 3 deferred call; others are ignored.
    virtual void handleEvent(ModuleEvent* event);
    // Dispatcher opcode 9; the texts must be static storage of the library.
    virtual bool getModuleProperties(ModuleProperties* props);
    // Dispatcher opcode 6 and open: false ends the pin descriptions.
    virtual bool getPinProperties(int32_t index, PinProperties* props);
    virtual bool answerQuery5(void* ptr);
    virtual bool answerQuery4(void* ptr);
    // Dispatcher opcode 8: re-reads the host's sample position and moves overdue events to it.
    virtual void resume();
    virtual void onDataEvent(int32_t time, int32_t data1, int16_t data2);

    // ---- Non-virtual operations ----

    intptr_t callHost(host_protocol::HostOpcode opcode, int32_t index = 0, int32_t value = 0,
                      int32_t data = 0, float opt = 0.0f);
    // False when the host gave a null callback: every host call then answers 0.
    bool hasHostCallback() const { return hostCallback != nullptr; }

    // The Pin at `index`, or null when the index lies outside the pin table.
    Pin* getPin(int32_t index);
    int32_t getPinCount() const { return pinCount; }

    // The position of the next sample to process; during handleEvent, the event's position.
    // Never asks the host.
    uint32_t sampleClock() const { return samplePosition; }

    // Takes effect from the next sub-block; the host is not told.
    void setProcessFunction(ProcessFunction routine) { processFunction = routine; }
    // Convenience for a module's own routine: setProcessFunction(&ClockModule::processSamples).
    template <class Module>
    requires std::is_base_of_v<BasicModuleBase, Module>
    void setProcessFunction(void (Module::*routine)(int32_t, int32_t)) {
        processFunction = static_cast<ProcessFunction>(routine);
    }

    // Clears all of props, then asks getPinProperties.
    bool readPinProperties(int32_t index, PinProperties* props);

    bool eventsPending() const { return !eventQueue.empty(); }

    // Links a node allocated with new into the queue in time order; the instance owns it from
    // here on.
    void insertEvent(ModuleEvent* node);
    // Dispatcher opcode 7: queues a copy of the host's event. The host keeps its record. An
    // event of type 3 is dropped: only scheduleCall makes those.
    void queueHostEvent(const ModuleEvent* event);
    // Runs `routine` on this instance when the clock reaches `time`. Dropped if memory runs out.
    void scheduleCall(uint32_t time, DeferredRoutine routine);
    template <class Module>
    requires std::is_base_of_v<BasicModuleBase, Module>
    void scheduleCall(uint32_t time, void (Module::*routine)()) {
        scheduleCall(time, static_cast<DeferredRoutine>(routine));
    }

    // What the export hands to the host.
    ModuleRecord* getRecord() { return &record; }

  protected:
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;

  private:
    static intptr_t PROTOCOL_CALL dispatcherEntry(ModuleRecord* record, int32_t opcode,
                                                  int32_t index, int32_t value, void* ptr,
                                                  float opt);
    static void PROTOCOL_CALL processEntry(ModuleRecord* record, int32_t start, int32_t count);

    void processNothing(int32_t start, int32_t count);
    void buildPinTable();
    bool describePin(int32_t index, PinProperties* props);
    void bindPin(int32_t index, const PinProperties& props);
    void bindRepeatedPins(int32_t described, int32_t hostPins, const PinProperties& last);
    static void releaseNode(ModuleEvent* node);

    host_protocol::HostCallback hostCallback;
    ModuleRecord record{};
    Pin* pins = nullptr;
    int32_t pinCount = 0;
    uint32_t samplePosition = 0;  // the sample clock
    ProcessFunction processFunction = &BasicModuleBase::processNothing;
    EventQueue eventQueue;
};

}  // namespace trigger_framework
