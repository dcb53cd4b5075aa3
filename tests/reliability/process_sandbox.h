// Runs code in a sandbox that catches any heap allocation and any system call, to show that a
// process path is fit for the audio thread.
//
// How it works: the test forks. The child counts every heap allocation (the test program defines
// malloc and its relatives, which glibc's dynamic linker lets an executable do for every library
// it loads, the plug-ins included, since ELF resolves a plug-in's malloc to the first definition
// in load order), then puts itself in seccomp strict mode, where any system call other than
// read, write and exit kills it, runs the code and exits with the number of allocations. The
// parent expects a normal exit with status 0. Linux only; sanitizer builds keep their own
// allocator, and emulators such as qemu-user refuse strict mode: there the tests skip.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace reliability {

// True when the sandbox works here; otherwise false, with the reason in `why`.
bool processSandboxAvailable(std::string& why);

// Runs `code(context)` in the sandbox; fails with what the child did wrong.
testing::AssertionResult inProcessSandbox(void (*code)(void*), void* context);

template <class Code>
testing::AssertionResult inProcessSandbox(Code& code) {
    return inProcessSandbox([](void* context) { (*static_cast<Code*>(context))(); }, &code);
}

// For the set-up of a sandbox test: skips it where the sandbox does not work.
#define SKIP_WITHOUT_PROCESS_SANDBOX()                    \
    do {                                                  \
        std::string why;                                  \
        if (!reliability::processSandboxAvailable(why)) { \
            GTEST_SKIP() << why;                          \
        }                                                 \
    } while (false)

}  // namespace reliability
