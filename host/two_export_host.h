// The host side of the two-export form: exports getModuleProperties and makeModule; the host
// delivers events through the record's eventHandler and calls the record's process address.
#pragma once

#include <memory>
#include <string>

#include "host/instance.h"
#include "host/plugin_library.h"
#include "host_protocol/two_export_record.h"

namespace host {

class TwoExportInstance;

// A loaded two-export plug-in library.
class TwoExportPlugin {
  public:
    // Loads the library and finds both exports; throws LoadError for a missing file or export.
    explicit TwoExportPlugin(const std::string& path);

    // The exports themselves, called as the host would, with nothing added.
    int32_t getModuleProperties(int32_t index, host_protocol::ModuleProperties* props) const {
        return getModuleProperties_(index, props);
    }
    host_protocol::two_export::ModuleRecord* makeModule(int32_t index, int32_t kind,
                                                        host_protocol::HostCallback callback,
                                                        void* hostData) const {
        return makeModule_(index, kind, callback, hostData);
    }

    // makeModule(0, 1, the host's callback or null, options.hostData). Throws LoadError when
    // the export answers null.
    std::unique_ptr<TwoExportInstance> create(const InstanceOptions& options = {}) const;

    const PluginLibrary& library() const { return *library_; }

  private:
    std::shared_ptr<const PluginLibrary> library_;
    host_protocol::two_export::GetModulePropertiesExport getModuleProperties_;
    host_protocol::two_export::MakeModuleExport makeModule_;
};

class TwoExportInstance : public Instance {
  public:
    // Closes the instance unless close() already did.
    ~TwoExportInstance() override;

    intptr_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) override;
    using Instance::dispatch;

    // Through the record's eventHandler with the instance from offset 12; the event lives on
    // the host's stack for the duration of the call.
    void deliverEvent(const host_protocol::ModuleEvent& event) override;

    host_protocol::two_export::ModuleRecord* record() const { return record_; }
    void* recordAddress() const override { return record_; }
    void* moduleInstance() const override { return record_->instance; }

  private:
    friend class TwoExportPlugin;
    using Instance::Instance;
    void runBlock(int32_t start, int32_t count) override;

    host_protocol::two_export::ModuleRecord* record_ = nullptr;
};

}  // namespace host
