#include "fuzz/protocol/host_actions.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz/protocol/byte_reader.h"
#include "host_protocol/dispatcher_opcodes.h"
#include "host_protocol/module_event.h"
#include "host_protocol/pin_properties.h"
#include "host_protocol/single_export_record.h"
#include "host_protocol/two_export_record.h"

namespace protocol_fuzz {

namespace {

using host_protocol::DispatcherOpcode;
using host_protocol::ModuleEvent;
using host_protocol::PinDataType;
using host_protocol::PinDirection;
using host_protocol::PinProperties;

enum class HostAction : uint8_t {
    SetSampleRate,
    SetBlockSize,
    Open,
    SendEvent,
    WriteFunctionText,
    Process,
    ProcessNegativeCount,
    FillInput,
    Resume,
    ProcessFunctionInfo,
    OtherOpcode,
    WriteEnumeration,
    QueryPin,
    Recreate,
    Count
};

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// A selector byte below the table's size picks a listed value; any other reads raw bits.
constexpr std::array<float, 14> kSpecialFloats = {
    0.0f,          -0.0f,    1.0f,        -1.0f,      0.1f,
    0.5f,          44100.0f, kInfinity,   -kInfinity, std::numeric_limits<float>::quiet_NaN(),
    3.4028235e38f, 1e-45f,   16777216.0f, 1.6f};

constexpr std::array<int32_t, 9> kSpecialIntegers = {0,
                                                     -1,
                                                     1,
                                                     64,
                                                     1024,
                                                     std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max(),
                                                     std::numeric_limits<int32_t>::max() - 1,
                                                     100000000};

// The evaluator reads at most this many characters of a Function text.
constexpr std::size_t kBoundedTextSize = 299;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "protocol fuzzer: %s\n", what);
        __builtin_trap();
    }
}

float readFloat(ByteReader& in) {
    const uint8_t selector = in.u8();
    return selector < kSpecialFloats.size() ? kSpecialFloats[selector] : in.f32();
}

int32_t readInteger(ByteReader& in) {
    const uint8_t selector = in.u8();
    return selector < kSpecialIntegers.size() ? kSpecialIntegers[selector] : in.i32();
}

class HostDriver {
  public:
    HostDriver(const PluginUnderTest& plugin, ByteReader& in)
        : plugin_(plugin), in_(in), boundedText_(kBoundedTextSize, 'a') {}

    void run() {
        recreate();
        while (!in_.atEnd()) {
            perform(static_cast<HostAction>(in_.u8() % static_cast<uint8_t>(HostAction::Count)));
        }
        close();
    }

  private:
    void perform(HostAction action) {
        switch (action) {
            case HostAction::SetSampleRate:
                instance_->setSampleRate(readFloat(in_));
                break;
            case HostAction::SetBlockSize:
                instance_->setBlockSize(readInteger(in_));
                break;
            case HostAction::Open:
                instance_->open();
                break;
            case HostAction::SendEvent:
                sendEvent();
                break;
            case HostAction::WriteFunctionText:
                writeFunctionText();
                break;
            case HostAction::Process:
                process();
                break;
            case HostAction::ProcessNegativeCount:
                processNegativeCount();
                break;
            case HostAction::FillInput:
                fillInput();
                break;
            case HostAction::Resume:
                resume();
                break;
            case HostAction::ProcessFunctionInfo:
                processFunctionInfo();
                break;
            case HostAction::OtherOpcode:
                otherOpcode();
                break;
            case HostAction::WriteEnumeration:
                writeEnumeration();
                break;
            case HostAction::QueryPin: {
                PinProperties props;
                instance_->pinProperties(in_.i32(), props);
                break;
            }
            case HostAction::Recreate:
                close();
                recreate();
                break;
            case HostAction::Count:
                break;
        }
    }

    // A fresh instance: mostly with the host's callback, sometimes without; the pin count the
    // host keeps and its sample position are chosen too, wrap-around of the clock included.
    void recreate() {
        const uint8_t flags = in_.u8();
        host::InstanceOptions options;
        options.withCallback = (flags & 0x7) != 0;
        options.bufferCapacity = kBufferCapacity;
        instance_ = plugin_.create(options);
        if ((flags & 0x8) != 0) {
            instance_->setPinCount(static_cast<int32_t>(in_.u8() % 24) - 3);
        }
        if ((flags & 0x10) != 0) {
            instance_->setSamplePosition(in_.u32());
        }
    }

    void close() {
        if (instance_ != nullptr && !instance_->isClosed()) {
            require(instance_->close() == 1, "close did not answer 1");
        }
        instance_.reset();
    }

    int32_t describedCount() { return static_cast<int32_t>(instance_->describedPins().size()); }

    // Mostly a pin near the described range (out-of-range ones included), sometimes any index.
    int32_t choosePin() {
        const uint8_t selector = in_.u8();
        if (selector < 0xf0) return static_cast<int32_t>(selector % (describedCount() + 4)) - 2;
        return in_.i32();
    }

    // Pins of one data type and direction, by described index; -1 when there is none.
    int32_t choosePinOf(PinDataType type, std::optional<PinDirection> direction) {
        std::vector<int32_t> candidates;
        const auto& pins = instance_->describedPins();
        for (int32_t pin = 0; pin < static_cast<int32_t>(pins.size()); ++pin) {
            if (pins[pin].dataType != static_cast<int32_t>(type)) continue;
            if (direction && pins[pin].direction != static_cast<int32_t>(*direction)) continue;
            candidates.push_back(pin);
        }
        const uint8_t selector = in_.u8();
        return candidates.empty() ? -1 : candidates[selector % candidates.size()];
    }

    // Any type, any pin, any status and value, at any time relative to the host's clock. Type 21
    // names a module routine by its code address, which no host can make up: it gets none.
    void sendEvent() {
        ModuleEvent event{};
        const uint8_t typeSelector = in_.u8();
        switch (typeSelector % 5) {
            case 0:
                event.type = 0;
                break;
            case 1:
                event.type = 2;
                break;
            case 2:
                event.type = 3;
                break;
            case 3:
                event.type = 21;
                break;
            default:
                event.type = in_.i32();
                break;
        }
        event.data3 = choosePin();
        if (event.type == 3) event.data3 = static_cast<intptr_t>(in_.u32());
        if (event.type == 21) event.data3 = 0;
        const uint8_t statusSelector = in_.u8();
        event.data1 = statusSelector < 3 ? statusSelector : in_.i32();
        event.data2 = in_.i32();
        const uint8_t timeSelector = in_.u8();
        event.time = instance_->samplePosition() +
                     (timeSelector < 0xc0 ? static_cast<uint32_t>(timeSelector) - 16u : in_.u32());
        instance_->deliverEvent(event);
    }

    // Host text (long, binary, embedded zeros), a text that fills the bounded buffer with no
    // terminator, or a null pointer.
    void writeFunctionText() {
        const int32_t pin = choosePinOf(PinDataType::Text, std::nullopt);
        const uint8_t mode = in_.u8() % 3;
        if (pin < 0) return;
        void* variable = instance_->describedPins()[pin].variable;
        if (mode == 0) {
            std::string text(in_.u16() % 2048, '\0');
            for (char& c : text) c = static_cast<char>(in_.u8());
            instance_->writeText(pin, text);
        } else if (mode == 1) {
            for (char& c : boundedText_) {
                const char next = static_cast<char>(in_.u8());
                c = next != '\0' ? next : '1';
            }
            const char* address = boundedText_.data();
            if (variable != nullptr) std::memcpy(variable, &address, sizeof address);
        } else {
            const char* address = nullptr;
            if (variable != nullptr) std::memcpy(variable, &address, sizeof address);
        }
    }

    // Within the host's buffers; a count of 0 included. The first element stays inside the
    // buffers even then, since a module may read the sample at the current position.
    void process() {
        const int32_t start = in_.u16() % kBufferCapacity;
        const int32_t count = in_.u16() % (kBufferCapacity - start + 1);
        instance_->process(start, count);
        require(plugin_.outputsValid(*instance_, start, count), "output breaks the module's rule");
    }

    // Straight through the record, so the host's clock stays where it is.
    void processNegativeCount() {
        const int32_t start = in_.u16() % kBufferCapacity;
        const int32_t count = in_.u8() == 0 ? std::numeric_limits<int32_t>::min()
                                            : -1 - static_cast<int32_t>(in_.u16());
        if (plugin_.twoExportForm()) {
            auto* record =
                static_cast<host_protocol::two_export::ModuleRecord*>(instance_->recordAddress());
            record->process(record->instance, start, count);
        } else {
            auto* record = static_cast<host_protocol::single_export::ModuleRecord*>(
                instance_->recordAddress());
            record->process(record, start, count);
        }
    }

    void fillInput() {
        const int32_t pin = choosePinOf(PinDataType::Stream, PinDirection::Input);
        const int32_t from = in_.u16() % kBufferCapacity;
        const int32_t length = in_.u16() % (kBufferCapacity - from + 1);
        const float value = readFloat(in_);
        if (pin < 0) return;
        std::span<float> samples = instance_->buffer(pin).subspan(from, length);
        std::fill(samples.begin(), samples.end(), value);
    }

    // The host's clock jumps (forwards, backwards or across 2^32), then it resumes the module,
    // as a host does after a sleep.
    void resume() {
        const uint8_t selector = in_.u8();
        uint32_t position = instance_->samplePosition();
        if (selector == 1) position += in_.u8();
        if (selector >= 2) position = in_.u32();
        instance_->setSamplePosition(position);
        instance_->dispatch(DispatcherOpcode::Resume, in_.i32());
    }

    // The shared record must describe this instance's current process function.
    void processFunctionInfo() {
        const intptr_t answer = instance_->dispatch(DispatcherOpcode::ProcessFunctionInfo);
        if (!plugin_.twoExportForm()) {
            require(answer == 0, "single-export form answered opcode 13");
            return;
        }
        require(answer != 0, "no ProcessFunctionInfo");
        const auto* info =
            reinterpret_cast<const host_protocol::two_export::ProcessFunctionInfo*>(answer);
        const auto* record =
            static_cast<const host_protocol::two_export::ModuleRecord*>(instance_->recordAddress());
        require(info->one == 1 && info->slotSize == 16 && info->zero == 0, "info record words");
        require(info->slot != nullptr && info->slot->function == record->process,
                "info slot is not this instance's process function");
    }

    // Opcodes either form leaves alone or does not know, with a valid scratch record; opcode 1
    // is left to close(), which destroys the instance.
    void otherOpcode() {
        constexpr std::array<int32_t, 7> kListed = {4, 5, 9, 10, 11, 12, 14};
        const uint8_t selector = in_.u8();
        int32_t opcode = selector < kListed.size() ? kListed[selector] : in_.i32();
        if (opcode == static_cast<int32_t>(DispatcherOpcode::Close)) opcode = 1001;
        alignas(16) std::array<uint8_t, 256> scratch{};
        const int32_t index = in_.i32();
        const int32_t value = in_.i32();
        instance_->dispatch(opcode, index, value, scratch.data(), readFloat(in_));
    }

    void writeEnumeration() {
        const int32_t pin = choosePinOf(PinDataType::Enumeration, std::nullopt);
        const auto value = static_cast<int16_t>(in_.u16());
        if (pin >= 0) instance_->writeEnumeration(pin, value);
    }

    const PluginUnderTest& plugin_;
    ByteReader& in_;
    // Outlives every instance, since a module may keep its address.
    std::vector<char> boundedText_;
    std::unique_ptr<host::Instance> instance_;
};

}  // namespace

void runHostActions(const PluginUnderTest& plugin, const uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    HostDriver driver(plugin, in);
    driver.run();
}

}  // namespace protocol_fuzz
