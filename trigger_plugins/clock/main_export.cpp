// The library's one export, main.
#include "trigger_plugins/clock/clock_module.h"

TRIGGER_MODULE_MAIN(kesh_clock::ClockModule)
