// The framework as Kesh Clock carries it. Link target: single_export_framework_clock.
#pragma once

#include "trigger_plugins/framework/module_base.h"
#include "trigger_plugins/framework/module_main.h"

namespace trigger_framework {

extern template class BasicPin<Variant::Clock>;
extern template class BasicModuleBase<Variant::Clock>;

namespace clock_form {
using ModuleBase = BasicModuleBase<Variant::Clock>;
using Pin = BasicPin<Variant::Clock>;
}  // namespace clock_form

}  // namespace trigger_framework
