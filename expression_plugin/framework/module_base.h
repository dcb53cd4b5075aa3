// The base of every two-export module: owns the record handed to the host, answers the
// dispatcher, keeps one Pin per host pin, routes events to virtual operations and switches the
// process function the host calls.
#pragma once

#include <cstdint>
#include <memory>

#include "expression_plugin/framework/pin.h"
#include "expression_plugin/framework/process_function.h"
#include "host_protocol/dispatcher_opcodes.h"
#include "host_protocol/host_callback.h"
#include "host_protocol/module_event.h"
#include "host_protocol/pin_properties.h"
#include "host_protocol/two_export_record.h"

namespace two_export_framework {

// A module class derives from ModuleBase, overrides what it needs, and provides
//   static bool getProperties(host_protocol::ModuleProperties* props);
// which fills name, id and about (static texts) for the export getModuleProperties. Its
// constructor takes (HostCallback, void* hostData) and passes them on. The host holds the
// address of `record`, so an instance is neither copyable nor movable.
class ModuleBase {
  public:
    ModuleBase(host_protocol::HostCallback hostCallback, void* hostData);
    // Destroys the Pin objects.
    virtual ~ModuleBase();
    ModuleBase(const ModuleBase&) = delete;
    ModuleBase& operator=(const ModuleBase&) = delete;

    // ---- Virtual operations, in slot order ---------------------------------------------------

    // Who calls: Pin::onStatusEvent, after the pin's status has been stored.
    virtual void pinChanged(Pin* pin);
    // Who calls: the record's eventHandler. Type 0: status of pin data3 becomes data1; type 2:
    // onDataEvent; type 21: runs the ModuleRoutine at code address data3; others: nothing.
    virtual void handleEvent(host_protocol::ModuleEvent* event);
    // Who calls: the record's dispatcher. Answers per opcode; 0 for opcodes this form ignores.
    // Opcode 13 rewrites the one ProcessFunctionInfo that all instances of the library share:
    // the host reads it before asking again and never sends opcode 13 from two threads at once.
    virtual intptr_t dispatch(int32_t opcode, int32_t index, int32_t value, void* ptr, float opt);
    // Who calls: dispatcher opcode 0. The default builds the pin table.
    virtual void open();
    // Who calls: dispatcher opcode 1, right before the instance is destroyed.
    virtual void close();
    virtual void spareHook(int32_t first, int32_t second);
    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(int32_t blockSize);
    virtual float getSampleRate();
    virtual int32_t getBlockSize();
    // Fills the description of pin `index`; false past the last pin (and for negative indices).
    virtual bool getPinProperties(int32_t index, host_protocol::PinProperties* props);
    virtual bool spareQueryA(void* ptr);
    virtual bool spareQueryB(void* ptr);
    // Who calls: dispatcher opcode 8; resumeWith follows when its index is greater than 0.
    virtual void resume();
    virtual void resumeWith(int32_t index);
    // Who calls: handleEvent for a type-2 event.
    virtual void onDataEvent(int32_t time, int32_t data1, int16_t data2);
    // Who calls: dispatcher opcode 12.
    virtual void handleOpcode12(int32_t value, int32_t index, void* ptr);

    // ---- Framework operations ----------------------------------------------------------------

    // Calls the host; answers 0 without calling when the host gave no callback.
    intptr_t callHost(host_protocol::HostOpcode opcode, int32_t index = 0, int32_t value = 0,
                      int32_t data = 0, float opt = 0.0f);
    // The Pin at that place, or null when the place is outside the table of the last open.
    Pin* getPin(int32_t index);
    int32_t pinCount() const { return pinCount_; }
    // The host's current sample position (host opcode 3).
    int32_t sampleClock();
    // Installs fn as the process function the host calls; tells the host (opcode 22) only when
    // the code address really changes. Use processTrampoline<&Module::routine>.
    void setProcessFunction(ProcessFunction fn);
    // Zeroes props, then answers getPinProperties(index, props).
    bool readPinProperties(int32_t index, host_protocol::PinProperties* props);

    host_protocol::two_export::ModuleRecord* moduleRecord() { return &record_; }
    ProcessFunction processFunction() const { return processFunction_.function; }

  protected:
    // Builds one Pin per host pin from the module's descriptions (the default open). A second
    // call replaces the first table. Answers false, leaving the old table, when the table
    // cannot be allocated.
    bool buildPinTable();

  private:
    host_protocol::HostCallback hostCallback_;
    host_protocol::two_export::ModuleRecord record_;
    float sampleRate_ = 44100.0f;
    int32_t blockSize_ = 1024;
    std::unique_ptr<Pin[]> pins_;
    int32_t pinCount_ = 0;
    host_protocol::two_export::ProcessFunctionSlot processFunction_;
};

}  // namespace two_export_framework
