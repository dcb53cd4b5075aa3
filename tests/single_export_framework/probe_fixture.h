// Loads a probe plug-in through the host library, configures it and reads back its log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/single_export_host.h"
#include "host_protocol/module_event.h"
#include "host_protocol/pin_properties.h"
#include "tests/single_export_framework/probe_protocol.h"

namespace probe {

// The two probe libraries, one per copy of the framework.
struct Variant {
    const char* name;
    const char* path;
    bool clockCopy;
};

inline const Variant kStandard{"Standard", PROBE_STANDARD_PATH, false};
inline const Variant kClock{"Clock", PROBE_CLOCK_PATH, true};

inline std::string variantName(const testing::TestParamInfo<Variant>& info) {
    return info.param.name;
}

inline PinDescription pinOf(host_protocol::PinDataType type, int32_t flags = 0,
                            bool withVariable = true) {
    return PinDescription{static_cast<int32_t>(type), flags, withVariable};
}

inline std::vector<PinDescription> integerPins(int count) {
    return std::vector<PinDescription>(static_cast<size_t>(count),
                                       pinOf(host_protocol::PinDataType::Integer));
}

// The configuration and log outlive the instance, so the probe's destructor can still log.
class Probe {
  public:
    explicit Probe(const Variant& variant, const std::vector<PinDescription>& pins,
                   const host::InstanceOptions& options = {})
        : plugin(variant.path) {
        config.log = &log;
        config.describedPins = static_cast<int32_t>(pins.size());
        for (size_t i = 0; i < pins.size(); ++i) {
            config.pins[i] = pins[i];
        }
        instance = plugin.create(options);
        instance->dispatch(host_protocol::DispatcherOpcode::Query4, 0, 0, &config);
    }

    // Closes explicitly: the host's Instance closes from its base destructor, where its
    // dispatch is no longer reachable.
    ~Probe() {
        if (!instance->isClosed()) {
            instance->close();
        }
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    host::SingleExportInstance& host() { return *instance; }

    // Queues a copy of an event through dispatcher opcode 7.
    void queue(uint32_t time, host_protocol::EventType type, int32_t data1, int32_t data2,
               intptr_t data3) {
        host_protocol::ModuleEvent event{};
        event.time = time;
        event.type = static_cast<int32_t>(type);
        event.data1 = data1;
        event.data2 = data2;
        event.data3 = data3;
        instance->deliverEvent(event);
    }

    bool queueEmpty() {
        return instance->dispatch(host_protocol::DispatcherOpcode::QueueEmpty) == 1;
    }

    std::vector<Entry> entries(Kind kind) const {
        std::vector<Entry> found;
        for (int32_t i = 0; i < log.count; ++i) {
            if (log.entries[i].kind == kind) {
                found.push_back(log.entries[i]);
            }
        }
        return found;
    }

    // Process calls and handled events in order: "P<start>+<count>@<clock>" for the first
    // routine, "Q..." for the second, "E<pin>@<clock>" for a pin change, "D@<clock>" for a
    // deferred call, "T<time>,<data1>,<data2>" for a data event.
    std::string trace() const {
        std::string text;
        for (int32_t i = 0; i < log.count; ++i) {
            const Entry& e = log.entries[i];
            std::string item;
            switch (e.kind) {
                case Kind::Process:
                    item = (e.c == 0 ? "P" : "Q") + std::to_string(e.a) + "+" +
                           std::to_string(e.b) + "@" + std::to_string(e.clock);
                    break;
                case Kind::PinChanged:
                    item = "E" + std::to_string(e.a) + "@" + std::to_string(e.clock);
                    break;
                case Kind::DeferredCall:
                    item = "D@" + std::to_string(e.clock);
                    break;
                case Kind::DataEvent:
                    item = "T" + std::to_string(e.a) + "," + std::to_string(e.b) + "," +
                           std::to_string(e.c);
                    break;
                default:
                    continue;
            }
            text += (text.empty() ? "" : " ") + item;
        }
        return text;
    }

    void clearLog() { log.count = 0; }

    Config config;
    Log log;

  private:
    host::SingleExportPlugin plugin;
    std::unique_ptr<host::SingleExportInstance> instance;
};

}  // namespace probe
