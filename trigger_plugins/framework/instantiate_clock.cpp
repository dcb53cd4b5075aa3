// The clock copy of the framework, compiled into its own static library.
#include "trigger_plugins/framework/clock_framework.h"
#include "trigger_plugins/framework/module_base_impl.h"

namespace trigger_framework {

template class BasicPin<Variant::Clock>;
template class BasicModuleBase<Variant::Clock>;

}  // namespace trigger_framework
