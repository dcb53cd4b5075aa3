// Host actions on Kesh Clock through its real export (main).
#include <cstddef>
#include <cstdint>

#include "fuzz/protocol/host_actions.h"
#include "host/single_export_host.h"
#include "trigger_plugins/clock/clock_pins.h"

namespace {

using kesh_clock::ClockPin;

bool isLogicLevel(float sample) {
    return sample == 0.0f || sample == 0.5f;
}

class KeshClock : public protocol_fuzz::PluginUnderTest {
  public:
    std::unique_ptr<host::Instance> create(const host::InstanceOptions& options) const override {
        return plugin_.create(options);
    }
    bool twoExportForm() const override { return false; }
    // Clock and Impulse are logic outputs: 0 V or 5 V, whatever the inputs.
    bool outputsValid(host::Instance& instance, int32_t start, int32_t count) const override {
        const auto clock = instance.buffer(static_cast<int32_t>(ClockPin::Clock));
        const auto impulse = instance.buffer(static_cast<int32_t>(ClockPin::Impulse));
        for (int32_t i = start; i < start + count; ++i) {
            if (!isLogicLevel(clock[i]) || !isLogicLevel(impulse[i])) return false;
        }
        return true;
    }

  private:
    host::SingleExportPlugin plugin_{KESH_CLOCK_PATH};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const KeshClock plugin;
    protocol_fuzz::runHostActions(plugin, data, size);
    return 0;
}
