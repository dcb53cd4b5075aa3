// The framework test plug-in as the tests reach it: through the host, plus its test-only
// exports.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/two_export_host.h"
#include "tests/two_export_framework/test_module_api.h"

namespace framework_test {

// Names parameterised cases after their `name` field.
struct CaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

class TestPlugin {
  public:
    static const TestPlugin& get();

    const host::TwoExportPlugin& plugin() const { return plugin_; }

    // An instance describing `specs`, created but not opened.
    std::unique_ptr<host::TwoExportInstance> create(
        const std::vector<TestPinSpec>& specs, const host::InstanceOptions& options = {}) const;
    // The same, opened with the host keeping `hostPins` pins (default: as many as described).
    std::unique_ptr<host::TwoExportInstance> open(const std::vector<TestPinSpec>& specs,
                                                  std::optional<int32_t> hostPins = std::nullopt,
                                                  const host::InstanceOptions& options = {}) const;

    std::optional<TestPinInfo> pin(host::TwoExportInstance& instance, int32_t place) const;
    TestTrace trace(host::TwoExportInstance& instance) const;
    void setProcess(host::TwoExportInstance& instance, int32_t which) const {
        setProcess_(instance.record(), which);
    }

    host_protocol::two_export::ProcessFunction processAddress(int32_t which) const {
        return processAddress_(which);
    }
    intptr_t routineAddress() const { return routineAddress_(); }
    void* lastCreated() const { return lastCreated_(); }
    int32_t constructedCount() const { return constructedCount_(); }

  private:
    TestPlugin();

    host::TwoExportPlugin plugin_;
    SetPinsExport setPins_;
    PinInfoExport pinInfo_;
    TraceExport trace_;
    SetProcessExport setProcess_;
    ProcessAddressExport processAddress_;
    RoutineAddressExport routineAddress_;
    LastCreatedExport lastCreated_;
    ConstructedCountExport constructedCount_;
};

}  // namespace framework_test
