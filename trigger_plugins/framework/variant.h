// The two copies of the single-export framework. Kesh-Rnd carries the standard one; Kesh Clock
// carries a copy whose Pin keeps no value of its own and whose extra pins repeat the last
// described pin without asking the host. Everything else is one body of code.
#pragma once

namespace trigger_framework {

enum class Variant {
    Standard,  // Kesh-Rnd
    Clock,     // Kesh Clock
};

}  // namespace trigger_framework
