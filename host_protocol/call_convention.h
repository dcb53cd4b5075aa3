// The one calling convention of the protocol: every export, record entry point and host callback
// takes its arguments on the stack, pushed right to left and removed by the caller (C convention).
#pragma once

#if defined(__i386__) || defined(_M_IX86)
#define PROTOCOL_CALL __attribute__((cdecl))
#else
// On 64-bit targets (our own test builds) there is a single C convention per platform.
#define PROTOCOL_CALL
#endif

#if defined(_WIN32)
#define PROTOCOL_EXPORT extern "C" __declspec(dllexport)
#else
#define PROTOCOL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// True on the 32-bit targets whose layout the host loads; the layout asserts apply there.
#if defined(__i386__) || defined(_M_IX86)
#define PROTOCOL_LAYOUT_32 1
#else
#define PROTOCOL_LAYOUT_32 0
#endif
