// Calling convention of every call that crosses a library or host boundary.
#pragma once
#if defined(_WIN32)
#  define GPIB_CALL __stdcall
#elif defined(__i386__)
#  define GPIB_CALL __attribute__((stdcall))
#else
#  define GPIB_CALL
#endif
// Fixed record layouts assume 4-byte pointers; a 64-bit build of a pure unit skips those checks.
#define GPIB_LAYOUT_CHECK(cond, what) static_assert(sizeof(void*) != 4 || (cond), what)
