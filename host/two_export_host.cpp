#include "host/two_export_host.h"

namespace host {

using host_protocol::two_export::GetModulePropertiesExport;
using host_protocol::two_export::MakeModuleExport;

TwoExportPlugin::TwoExportPlugin(const std::string& path)
    : library_(std::make_shared<const PluginLibrary>(path)),
      getModuleProperties_(
          library_->requireExport<GetModulePropertiesExport>("getModuleProperties")),
      makeModule_(library_->requireExport<MakeModuleExport>("makeModule")) {}

std::unique_ptr<TwoExportInstance> TwoExportPlugin::create(const InstanceOptions& options) const {
    std::unique_ptr<TwoExportInstance> instance(new TwoExportInstance(library_, options));
    {
        TwoExportInstance::CreationScope scope(*instance);
        instance->record_ = makeModule_(0, 1, instance->callbackForModule(), options.hostData);
    }
    instance->attach(instance->record_, "makeModule");
    return instance;
}

TwoExportInstance::~TwoExportInstance() {
    closeIfOpen();
}

intptr_t TwoExportInstance::dispatch(int32_t opcode, int32_t index, int32_t value, void* ptr,
                                     float opt) {
    return record_->dispatcher(record_, opcode, index, value, ptr, opt);
}

void TwoExportInstance::deliverEvent(const host_protocol::ModuleEvent& event) {
    host_protocol::ModuleEvent copy = event;
    record_->eventHandler(record_->instance, &copy);
}

void TwoExportInstance::runBlock(int32_t start, int32_t count) {
    record_->process(record_->instance, start, count);
}

}  // namespace host
