// The standard copy of the framework, compiled into its own static library.
#include "trigger_plugins/framework/module_base_impl.h"
#include "trigger_plugins/framework/standard_framework.h"

namespace trigger_framework {

template class BasicPin<Variant::Standard>;
template class BasicModuleBase<Variant::Standard>;

}  // namespace trigger_framework
