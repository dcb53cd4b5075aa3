// The samples a trigger module still processes, once it has nothing to stream, before it asks
// the host to let it sleep: one block's worth after the pin change that stopped its streams.
#pragma once

#include <cstdint>

namespace trigger_framework {

class SleepCountdown {
  public:
    // At the pin change: the countdown starts over from the host's block size.
    void start(int32_t blockSize) { remaining_ = blockSize; }

    // After each process call of `count` samples. True once the countdown has run out, and at
    // every call after that, so the request is repeated while the host keeps calling. Only
    // counted down to 0, so a host that keeps calling cannot overflow it.
    bool countDown(int32_t count) {
        if (count > 0 && remaining_ > 0) {
            remaining_ = remaining_ > count ? remaining_ - count : 0;
        }
        return remaining_ <= 0;
    }

  private:
    int32_t remaining_ = 0;
};

}  // namespace trigger_framework
