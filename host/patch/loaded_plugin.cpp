#include "loaded_plugin.h"

#include "host/plugin_library.h"

namespace patch {
namespace {

std::string text(const char* value) {
    return value != nullptr ? value : "";
}

std::optional<std::string> optionalText(const char* value) {
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

LoadedPlugin::LoadedPlugin(const std::string& path) : path_(path) {
    {
        host::PluginLibrary probe(path);
        bool hasTwoExports = probe.findExport("getModuleProperties") != nullptr &&
                             probe.findExport("makeModule") != nullptr;
        bool hasMain = probe.findExport("main") != nullptr;
        if (hasTwoExports) {
            twoExport_ = std::make_unique<host::TwoExportPlugin>(path);
        } else if (hasMain) {
            singleExport_ = std::make_unique<host::SingleExportPlugin>(path);
        } else {
            throw host::LoadError(path +
                                  ": not a module plug-in (exports neither getModuleProperties "
                                  "and makeModule nor main)");
        }
    }
    description_ = describe();
}

std::unique_ptr<host::Instance> LoadedPlugin::create() const {
    if (twoExport_) return twoExport_->create();
    return singleExport_->create();
}

ModuleDescription LoadedPlugin::describe() const {
    ModuleDescription description;
    host_protocol::ModuleProperties props{};
    std::unique_ptr<host::Instance> instance = create();
    bool described =
        twoExport_ ? twoExport_->getModuleProperties(0, &props) != 0
                   : static_cast<host::SingleExportInstance&>(*instance).moduleProperties(props);
    if (described) {
        description.name = text(props.name);
        description.id = text(props.id);
        description.about = text(props.about);
    }
    const auto& pins = instance->describedPins();
    for (size_t index = 0; index < pins.size(); ++index) {
        const host_protocol::PinProperties& pin = pins[index];
        description.pins.push_back(PinDescription{
            int32_t(index), text(pin.name), host_protocol::PinDirection(pin.direction),
            host_protocol::PinDataType(pin.dataType), optionalText(pin.defaultValue),
            optionalText(pin.listText), pin.flags});
    }
    instance->close();
    return description;
}

}  // namespace patch
