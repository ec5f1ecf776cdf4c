// Exports kept for callers of an older function set: each takes a fixed number of 32-bit
// arguments (the callee removes them from the stack), ignores them and returns 0. The .def file
// names every export after the body of its argument count.
#include <windows.h>
#include <stdint.h>

extern "C" {
short WINAPI GpibStub1(int32_t) { return 0; }
short WINAPI GpibStub2(int32_t, int32_t) { return 0; }
short WINAPI GpibStub3(int32_t, int32_t, int32_t) { return 0; }
short WINAPI GpibStub4(int32_t, int32_t, int32_t, int32_t) { return 0; }
int32_t WINAPI GpibStub5(int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
int32_t WINAPI GpibStub6(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
}
