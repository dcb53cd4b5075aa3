// Probe plug-in over the Kesh-Rnd copy of the framework.
#include "tests/single_export_framework/probe_module.h"
#include "trigger_plugins/framework/standard_framework.h"

TRIGGER_MODULE_MAIN(probe::ProbeModule<trigger_framework::standard_form::ModuleBase>)
