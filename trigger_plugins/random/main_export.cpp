// The library's one export, main.
#include "trigger_plugins/random/seeded_random_module.h"

TRIGGER_MODULE_MAIN(kesh_rnd::SeededRandomModule)
