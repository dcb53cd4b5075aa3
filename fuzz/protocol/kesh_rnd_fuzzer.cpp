// Host actions on Kesh-Rnd through its real export (main).
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz/protocol/host_actions.h"
#include "host/single_export_host.h"
#include "trigger_plugins/random/random_pins.h"

namespace {

using kesh_rnd::RandomPin;

class KeshRnd : public protocol_fuzz::PluginUnderTest {
  public:
    std::unique_ptr<host::Instance> create(const host::InstanceOptions& options) const override {
        return plugin_.create(options);
    }
    bool twoExportForm() const override { return false; }
    // Output is a held value in [-0.5, 0.5) times Level, sample by sample.
    bool outputsValid(host::Instance& instance, int32_t start, int32_t count) const override {
        const auto output = instance.buffer(static_cast<int32_t>(RandomPin::Output));
        const auto level = instance.buffer(static_cast<int32_t>(RandomPin::Level));
        for (int32_t i = start; i < start + count; ++i) {
            if (std::fabs(output[i]) > 0.5f * std::fabs(level[i])) return false;
        }
        return true;
    }

  private:
    host::SingleExportPlugin plugin_{KESH_RND_PATH};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const KeshRnd plugin;
    protocol_fuzz::runHostActions(plugin, data, size);
    return 0;
}
