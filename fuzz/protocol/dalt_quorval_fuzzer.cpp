// Host actions on Dalt Quorval through its real exports (getModuleProperties, makeModule).
#include <cstddef>
#include <cstdint>

#include "fuzz/protocol/host_actions.h"
#include "host/two_export_host.h"

namespace {

class DaltQuorval : public protocol_fuzz::PluginUnderTest {
  public:
    std::unique_ptr<host::Instance> create(const host::InstanceOptions& options) const override {
        return plugin_.create(options);
    }
    bool twoExportForm() const override { return true; }
    // Any value is a possible expression result.
    bool outputsValid(host::Instance&, int32_t, int32_t) const override { return true; }

  private:
    host::TwoExportPlugin plugin_{DALT_QUORVAL_PATH};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const DaltQuorval plugin;
    protocol_fuzz::runHostActions(plugin, data, size);
    return 0;
}
