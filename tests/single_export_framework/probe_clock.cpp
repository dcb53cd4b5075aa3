// Probe plug-in over the Kesh Clock copy of the framework.
#include "tests/single_export_framework/probe_module.h"
#include "trigger_plugins/framework/clock_framework.h"

TRIGGER_MODULE_MAIN(probe::ProbeModule<trigger_framework::clock_form::ModuleBase>)
