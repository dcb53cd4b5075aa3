// The host side of the single-export form: one export, main; the module queues the events the
// host sends ahead of time and splits each block at their times.
#pragma once

#include <memory>
#include <string>

#include "host/instance.h"
#include "host/plugin_library.h"
#include "host_protocol/single_export_record.h"

namespace host {

class SingleExportInstance;

// A loaded single-export plug-in library.
class SingleExportPlugin {
  public:
    // Loads the library and finds its export "main"; throws LoadError for a missing file or
    // export.
    explicit SingleExportPlugin(const std::string& path);

    // The export itself, called as the host would, with nothing added.
    host_protocol::single_export::ModuleRecord* main(host_protocol::HostCallback callback) const {
        return main_(callback);
    }

    // main(the host's callback or null). Throws LoadError when the export answers null.
    std::unique_ptr<SingleExportInstance> create(const InstanceOptions& options = {}) const;

    const PluginLibrary& library() const { return *library_; }

  private:
    std::shared_ptr<const PluginLibrary> library_;
    host_protocol::single_export::MainExport main_;
};

class SingleExportInstance : public Instance {
  public:
    // Closes the instance unless close() already did.
    ~SingleExportInstance() override;

    intptr_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) override;
    using Instance::dispatch;

    // Queues a copy through dispatcher opcode 7; it takes effect at event.time.
    void deliverEvent(const host_protocol::ModuleEvent& event) override;

    // Dispatcher opcode 9 into a zeroed record; true when the module answered 1.
    bool moduleProperties(host_protocol::ModuleProperties& props);

    host_protocol::single_export::ModuleRecord* record() const { return record_; }
    void* recordAddress() const override { return record_; }
    void* moduleInstance() const override { return record_->instance; }

  private:
    friend class SingleExportPlugin;
    using Instance::Instance;
    void runBlock(int32_t start, int32_t count) override;

    host_protocol::single_export::ModuleRecord* record_ = nullptr;
};

}  // namespace host
