// A plug-in whose set-up entry faults on purpose: the crash that the suite must survive.
#include <windows.h>
#include <stdint.h>

// Read at run time, so the compiler cannot turn the fault into a trap instruction.
static volatile uintptr_t nowhere = 0;

extern "C" int WINAPI SetupVrelDLL(HWND)
{
    return *reinterpret_cast<volatile int*>(nowhere);
}
