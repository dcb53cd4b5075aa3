// The library's two exports, getModuleProperties and makeModule.
#include "expression_plugin/framework/module_exports.h"
#include "expression_plugin/module/expression_module.h"

TWO_EXPORT_MODULE(expression_module::ExpressionModule);
