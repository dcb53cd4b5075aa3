// The framework as Kesh-Rnd carries it. Link target: single_export_framework.
#pragma once

#include "trigger_plugins/framework/module_base.h"
#include "trigger_plugins/framework/module_main.h"

namespace trigger_framework {

extern template class BasicPin<Variant::Standard>;
extern template class BasicModuleBase<Variant::Standard>;

namespace standard_form {
using ModuleBase = BasicModuleBase<Variant::Standard>;
using Pin = BasicPin<Variant::Standard>;
}  // namespace standard_form

}  // namespace trigger_framework
