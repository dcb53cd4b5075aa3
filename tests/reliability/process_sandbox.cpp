#include "tests/reliability/process_sandbox.h"

#include <cstddef>
#include <cstdint>

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define PROCESS_SANDBOX 1
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {
volatile int32_t allocationCount = 0;
}

extern "C" {
void* malloc(size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** pointer, size_t alignment, size_t size) {
    allocationCount = allocationCount + 1;
    *pointer = __libc_memalign(alignment, size);
    return *pointer != nullptr ? 0 : 12;  // ENOMEM
}
void free(void* pointer) {
    __libc_free(pointer);
}
}
#endif

namespace reliability {

#if defined(PROCESS_SANDBOX)

bool processSandboxAvailable(std::string& why) {
    const pid_t child = fork();
    if (child == 0) {
        syscall(SYS_exit, prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    why = "seccomp strict mode is refused here (an emulator such as qemu-user)";
    return false;
}

testing::AssertionResult inProcessSandbox(void (*code)(void*), void* context) {
    const pid_t child = fork();
    if (child == 0) {
        allocationCount = 0;
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT);
        code(context);
        syscall(SYS_exit, allocationCount < 100 ? allocationCount : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        return testing::AssertionFailure()
               << "made a system call (ended by signal " << WTERMSIG(status) << ")";
    }
    const int allocations = WEXITSTATUS(status);
    if (allocations != 0) return testing::AssertionFailure() << allocations << " allocations";
    return testing::AssertionSuccess();
}

#else

bool processSandboxAvailable(std::string& why) {
    why = "a sanitizer build keeps its own malloc";
    return false;
}

testing::AssertionResult inProcessSandbox(void (*)(void*), void*) {
    return testing::AssertionFailure() << "no sandbox here";
}

#endif

}  // namespace reliability
