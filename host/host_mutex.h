// A plain lock for the host's shared records. The 32-bit Windows toolchain uses the win32
// thread model, which has no std::mutex, so Windows gets a slim reader/writer lock instead.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <mutex>
#endif

namespace host {

#if defined(_WIN32)
class HostMutex {
  public:
    HostMutex() = default;
    HostMutex(const HostMutex&) = delete;
    HostMutex& operator=(const HostMutex&) = delete;
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
#else
using HostMutex = std::mutex;
#endif

}  // namespace host
