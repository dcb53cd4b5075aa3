// What the host keeps for one module instance, whichever protocol form it speaks: the answers
// to the module's host calls, the call log, the sample buffers and the pin variables it writes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/call_log.h"
#include "host/plugin_library.h"
#include "host_protocol/dispatcher_opcodes.h"
#include "host_protocol/host_callback.h"
#include "host_protocol/module_event.h"
#include "host_protocol/module_properties.h"
#include "host_protocol/pin_properties.h"

namespace host {

struct InstanceOptions {
    // False: the module is created with a null host callback (it then gets 0 for every call,
    // and nothing is logged).
    bool withCallback = true;
    // Two-export form: the fourth argument of makeModule, stored in the record unchanged.
    void* hostData = nullptr;
    // Samples per host buffer; 0 means the block size at the time a buffer is first needed.
    int32_t bufferCapacity = 0;
};

// The host's side of one instance. Created by TwoExportPlugin::create or
// SingleExportPlugin::create; closes the instance (dispatcher opcode 1) on destruction unless
// close() already did. One instance must be driven from one thread at a time; different
// instances may run on different threads at once.
class Instance {
  public:
    virtual ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // ---- Dispatcher (host to module) -------------------------------------------------------

    // Calls the record's dispatcher and returns its answer. Not valid after close().
    virtual intptr_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0,
                              void* ptr = nullptr, float opt = 0.0f) = 0;
    intptr_t dispatch(host_protocol::DispatcherOpcode opcode, int32_t index = 0, int32_t value = 0,
                      void* ptr = nullptr, float opt = 0.0f) {
        return dispatch(static_cast<int32_t>(opcode), index, value, ptr, opt);
    }

    // Reads the pin descriptions afresh (dispatcher opcode 6 from index 0 until it answers 0),
    // writes the host's pin variables (buffer addresses into Stream pins, the default text into
    // Text pins) and sends dispatcher opcode 0.
    void open();
    // Sends dispatcher opcode 1 and returns its answer; the record is invalid from then on.
    intptr_t close();
    bool isClosed() const { return closed_; }

    void setSampleRate(float rate);
    // Also the capacity of buffers created later, unless InstanceOptions chose one.
    void setBlockSize(int32_t size);

    // Dispatcher opcode 6 into a zeroed record; true when the module describes that index.
    bool pinProperties(int32_t index, host_protocol::PinProperties& props);
    // The descriptions read by the last open() (or read now if none were read yet).
    const std::vector<host_protocol::PinProperties>& describedPins();

    // ---- Answers to host calls --------------------------------------------------------------

    // Host opcode 14. Default: the number of pins the module describes.
    void setPinCount(int32_t count) { pinCount_ = count; }
    // Host opcode 7 for one pin. Default: for a Stream pin (a described one, or one past the
    // descriptions while the last description is a Stream) the address of its host buffer,
    // otherwise 0.
    void setPinValue(int32_t pin, intptr_t value) { pinValues_[pin] = value; }
    // The host's sample clock, answered to host opcode 3. It advances by count after every
    // process() call. Default 0.
    void setSamplePosition(uint32_t position) { clock_ = position; }
    uint32_t samplePosition() const { return clock_; }
    // Host opcode 8 (single-export). Default: the position of element 0 of the buffers for the
    // block being processed (the clock at the block's start minus start); outside a block the
    // clock itself.
    void setBufferPosition(std::optional<uint32_t> position) { bufferPosition_ = position; }

    // ---- Buffers and pin variables ----------------------------------------------------------

    // The host's sample buffer for a pin, zero-filled, created on first use; its address never
    // changes while the instance lives.
    std::span<float> buffer(int32_t pin);
    void fill(int32_t pin, float value);

    // Write a described pin's variable directly, as the host does. The text is copied into host
    // storage and the variable gets its address. Writing to a pin without a variable does
    // nothing.
    void writeText(int32_t pin, const std::string& text);
    void writeEnumeration(int32_t pin, int16_t value);
    void writeInteger(int32_t pin, int32_t value);
    void writeBoolean(int32_t pin, bool value);
    // Stores the address of each described Stream pin's buffer in the pin's variable.
    void connectStreams();

    // ---- Running ----------------------------------------------------------------------------

    // Two-export: through the record's eventHandler at once. Single-export: a copy is queued
    // through dispatcher opcode 7.
    virtual void deliverEvent(const host_protocol::ModuleEvent& event) = 0;
    // A type-0 event at `time` (default: the clock) for `pin`. `value` is the new value in the
    // single-export form; in the two-export form write the variable first.
    void sendStatus(int32_t pin, host_protocol::PinStatus status, int32_t value = 0,
                    std::optional<uint32_t> time = std::nullopt);
    // One block through the record's process entry, then the clock advances by count.
    void process(int32_t start, int32_t count);

    // ---- Observation ------------------------------------------------------------------------

    CallLog& calls() { return calls_; }
    const CallLog& calls() const { return calls_; }
    // The record the module handed out (a two_export or single_export ModuleRecord).
    virtual void* recordAddress() const = 0;
    // The instance pointer stored in the record.
    virtual void* moduleInstance() const = 0;

    // The host's answer to one call of the module; used by the protocol callback.
    intptr_t answer(const HostCall& call);

  protected:
    Instance(std::shared_ptr<const PluginLibrary> library, const InstanceOptions& options);

    // Binds the record to this object so the protocol callback finds it; null records are
    // refused with LoadError naming the export.
    void attach(void* record, const char* exportName);
    // Called by each form's destructor, while dispatch still reaches the form's record.
    void closeIfOpen();
    virtual void runBlock(int32_t start, int32_t count) = 0;

    // While one exists on a thread, host calls from records not yet attached (calls made from
    // inside the creating export) are answered by this instance.
    class CreationScope {
      public:
        explicit CreationScope(Instance& instance);
        ~CreationScope();
        CreationScope(const CreationScope&) = delete;
        CreationScope& operator=(const CreationScope&) = delete;
    };

    host_protocol::HostCallback callbackForModule() const;
    const InstanceOptions& options() const { return options_; }

  private:
    int32_t pinDataType(int32_t pin);
    void* pinVariable(int32_t pin);

    std::shared_ptr<const PluginLibrary> library_;
    InstanceOptions options_;
    bool closed_ = false;
    void* attachedRecord_ = nullptr;
    int32_t blockSize_ = 1024;
    std::vector<host_protocol::PinProperties> descriptions_;
    bool described_ = false;
    std::optional<int32_t> pinCount_;
    std::map<int32_t, intptr_t> pinValues_;
    uint32_t clock_ = 0;
    std::optional<uint32_t> bufferPosition_;
    bool inBlock_ = false;
    uint32_t blockBufferPosition_ = 0;
    std::map<int32_t, std::vector<float>> buffers_;
    std::map<int32_t, std::string> texts_;
    CallLog calls_;
};

}  // namespace host
