// Calling convention of every call that crosses a library or host boundary, and the layout
// checks of the records that do.
#pragma once
#if defined(_WIN32)
#  define GPIB_CALL __stdcall
#elif defined(__i386__)
#  define GPIB_CALL __attribute__((stdcall))
#else
#  define GPIB_CALL
#endif
// The plug-in's own run-time records assume 4-byte pointers; a 64-bit build skips those checks.
#define GPIB_LAYOUT_CHECK(cond, what) static_assert(sizeof(void*) != 4 || (cond), what)
// The host records keep their members in the same order, packed, in both widths: only the
// pointer-sized members (window, bitmap, instance, pointer, function pointer) grow from 4 to 8
// bytes. GPIB_HOST_OFFSET(o32, o64) is the offset of a member in this build (docs/host-records.md).
#define GPIB_HOST_OFFSET(o32, o64) (sizeof(void*) == 4 ? (o32) : (o64))
