#include "tests/two_export_framework/test_plugin.h"

namespace framework_test {

const TestPlugin& TestPlugin::get() {
    static const TestPlugin plugin;
    return plugin;
}

TestPlugin::TestPlugin()
    : plugin_(FRAMEWORK_TEST_PLUGIN_PATH),
      setPins_(plugin_.library().requireExport<SetPinsExport>("testSetPins")),
      pinInfo_(plugin_.library().requireExport<PinInfoExport>("testPinInfo")),
      trace_(plugin_.library().requireExport<TraceExport>("testTrace")),
      setProcess_(plugin_.library().requireExport<SetProcessExport>("testSetProcess")),
      processAddress_(plugin_.library().requireExport<ProcessAddressExport>("testProcessAddress")),
      routineAddress_(plugin_.library().requireExport<RoutineAddressExport>("testRoutineAddress")),
      lastCreated_(plugin_.library().requireExport<LastCreatedExport>("testLastCreated")),
      constructedCount_(
          plugin_.library().requireExport<ConstructedCountExport>("testConstructedCount")) {}

std::unique_ptr<host::TwoExportInstance> TestPlugin::create(
    const std::vector<TestPinSpec>& specs, const host::InstanceOptions& options) const {
    auto instance = plugin_.create(options);
    setPins_(instance->record(), specs.data(), static_cast<int32_t>(specs.size()));
    return instance;
}

std::unique_ptr<host::TwoExportInstance> TestPlugin::open(
    const std::vector<TestPinSpec>& specs, std::optional<int32_t> hostPins,
    const host::InstanceOptions& options) const {
    auto instance = create(specs, options);
    if (hostPins) instance->setPinCount(*hostPins);
    instance->open();
    return instance;
}

std::optional<TestPinInfo> TestPlugin::pin(host::TwoExportInstance& instance, int32_t place) const {
    TestPinInfo info{};
    if (pinInfo_(instance.record(), place, &info) == 0) return std::nullopt;
    return info;
}

TestTrace TestPlugin::trace(host::TwoExportInstance& instance) const {
    TestTrace trace{};
    trace_(instance.record(), &trace);
    return trace;
}

}  // namespace framework_test
