#include "host/single_export_host.h"

namespace host {

using host_protocol::single_export::MainExport;

SingleExportPlugin::SingleExportPlugin(const std::string& path)
    : library_(std::make_shared<const PluginLibrary>(path)),
      main_(library_->requireExport<MainExport>("main")) {}

std::unique_ptr<SingleExportInstance> SingleExportPlugin::create(
    const InstanceOptions& options) const {
    std::unique_ptr<SingleExportInstance> instance(new SingleExportInstance(library_, options));
    {
        SingleExportInstance::CreationScope scope(*instance);
        instance->record_ = main_(instance->callbackForModule());
    }
    instance->attach(instance->record_, "main");
    return instance;
}

SingleExportInstance::~SingleExportInstance() {
    closeIfOpen();
}

intptr_t SingleExportInstance::dispatch(int32_t opcode, int32_t index, int32_t value, void* ptr,
                                        float opt) {
    return record_->dispatcher(record_, opcode, index, value, ptr, opt);
}

void SingleExportInstance::deliverEvent(const host_protocol::ModuleEvent& event) {
    host_protocol::ModuleEvent copy = event;
    dispatch(host_protocol::DispatcherOpcode::QueueEvent, 0, 0, &copy);
}

bool SingleExportInstance::moduleProperties(host_protocol::ModuleProperties& props) {
    props = host_protocol::ModuleProperties{};
    return dispatch(host_protocol::DispatcherOpcode::GetModuleProperties, 0, 0, &props) != 0;
}

void SingleExportInstance::runBlock(int32_t start, int32_t count) {
    record_->process(record_, start, count);
}

}  // namespace host
