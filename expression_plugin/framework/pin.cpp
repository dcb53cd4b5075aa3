#include "expression_plugin/framework/pin.h"

#include "expression_plugin/framework/module_base.h"

namespace two_export_framework {

using host_protocol::HostOpcode;
using host_protocol::PinDataType;
using host_protocol::PinStatus;

void Pin::init(ModuleBase* owner, int32_t index, int32_t dataType, void* variable) {
    owner_ = owner;
    index_ = index;
    dataType_ = dataType;
    variable_ = variable;
    status_ = static_cast<int32_t>(PinStatus::Static);
    storage_.address = 0;
    if (variable != nullptr) return;

    switch (static_cast<PinDataType>(dataType)) {
        case PinDataType::Enumeration:
            storage_.enumeration = 0;
            variable_ = &storage_.enumeration;
            break;
        case PinDataType::Boolean:
            storage_.boolean = 0;
            variable_ = &storage_.boolean;
            break;
        case PinDataType::Integer:
        case PinDataType::Word:
            storage_.word = 0;
            variable_ = &storage_.word;
            break;
        case PinDataType::Stream:
            storage_.address = owner->callHost(HostOpcode::PinValue, index);
            variable_ = &storage_.address;
            break;
        default:
            break;
    }
}

void Pin::onStatusEvent(int32_t status) {
    if (owner_ == nullptr) return;
    status_ = status;
    owner_->pinChanged(this);
    if (status == static_cast<int32_t>(PinStatus::OneShot)) {
        status_ = static_cast<int32_t>(PinStatus::Static);
    }
}

void Pin::transmitStatus(int32_t sampleClock, int32_t status) {
    if (owner_ == nullptr) return;
    owner_->callHost(HostOpcode::TransmitStatus, index_, status, sampleClock);
}

}  // namespace two_export_framework
