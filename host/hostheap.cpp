// The host heap: every block carries guard bytes before and after it and is recorded with the
// caller's source file and line. Frees of unknown, already freed or damaged blocks become error
// records, never crashes.
#include <stdlib.h>
#include <string.h>
#include "host/hostinternal.h"

namespace standin {
namespace {

enum { GUARD_BYTES = 16 };
const uint8_t GUARD_FRONT = 0xA5;
const uint8_t GUARD_BACK = 0x5A;

struct Tracked {
    uint8_t* raw;      // GUARD_BYTES, the block, GUARD_BYTES
    size_t size;
    std::string file;
    int line;
};

struct Heap {
    std::map<void*, Tracked> live;
    std::set<void*> freed;          // addresses freed and not handed out again
    std::vector<std::string> errors;
    size_t allocations = 0;
    size_t frees = 0;
    int failCountdown = 0;
};
Heap g_heap;

std::string Where(const char* file, int line)
{
    return std::string(file ? file : "(null)") + ":" + std::to_string(line);
}

std::string Describe(void* address, const Tracked& t)
{
    char text[64];
    snprintf(text, sizeof text, "%p (%u bytes)", address, (unsigned)t.size);
    return std::string(text) + " from " + Where(t.file.c_str(), t.line);
}

bool GuardsIntact(const uint8_t* raw, size_t size)
{
    for (int i = 0; i < GUARD_BYTES; i++)
        if (raw[i] != GUARD_FRONT || raw[GUARD_BYTES + size + i] != GUARD_BACK) return false;
    return true;
}

// Writes the guards around size bytes at raw + GUARD_BYTES and fills those bytes.
void WriteGuarded(uint8_t* raw, size_t size, uint8_t fill)
{
    memset(raw, GUARD_FRONT, GUARD_BYTES);
    memset(raw + GUARD_BYTES, fill, size);
    memset(raw + GUARD_BYTES + size, GUARD_BACK, GUARD_BYTES);
}

uint8_t* NewGuarded(size_t size)
{
    uint8_t* raw = static_cast<uint8_t*>(malloc(size + 2 * GUARD_BYTES));
    if (raw) WriteGuarded(raw, size, 0xCD);   // fresh host memory is not zeroed
    return raw;
}

bool TakeFailure()
{
    if (g_heap.failCountdown <= 0) return false;
    return --g_heap.failCountdown == 0;
}

// Sample blocks: guarded the same way, their size kept in front of the front guard.
struct GuardedHeader {
    size_t size;
    uint32_t pad[3];
};

}  // namespace

void* WINAPI HostNewMemAlloc(DWORD size, const char* file, int line)
{
    g_heap.allocations++;
    if (TakeFailure()) return nullptr;
    uint8_t* raw = NewGuarded(size);
    if (!raw) return nullptr;
    void* block = raw + GUARD_BYTES;
    g_heap.live[block] = {raw, size, file ? file : "(null)", line};
    g_heap.freed.erase(block);
    return block;
}

void WINAPI HostNewDoMemFree(void* block, const char* file, int line)
{
    g_heap.frees++;
    auto it = g_heap.live.find(block);
    if (it == g_heap.live.end()) {
        char text[32];
        snprintf(text, sizeof text, "%p", block);
        const char* what = g_heap.freed.count(block) ? "double free of " : "free of a foreign pointer ";
        g_heap.errors.push_back(what + std::string(text) + " at " + Where(file, line));
        return;
    }
    if (!GuardsIntact(it->second.raw, it->second.size))
        g_heap.errors.push_back("guard bytes damaged: " + Describe(block, it->second) + ", freed at " + Where(file, line));
    free(it->second.raw);
    g_heap.live.erase(it);
    g_heap.freed.insert(block);
}

void ResetHeap()
{
    FreeAllBlocks();
    g_heap = Heap();
}

size_t LiveBlockCount() { return g_heap.live.size(); }

std::vector<HeapBlock> LiveBlocks()
{
    std::vector<HeapBlock> out;
    for (const auto& kv : g_heap.live) out.push_back({kv.first, kv.second.size, kv.second.file, kv.second.line});
    return out;
}

size_t AllocationCount() { return g_heap.allocations; }
size_t FreeCount() { return g_heap.frees; }
const std::vector<std::string>& HeapErrors() { return g_heap.errors; }
void ClearHeapErrors() { g_heap.errors.clear(); }
void FailAllocation(int n) { g_heap.failCountdown = n; }

int CheckHeap()
{
    int damaged = 0;
    for (const auto& kv : g_heap.live) {
        if (GuardsIntact(kv.second.raw, kv.second.size)) continue;
        damaged++;
        g_heap.errors.push_back("guard bytes damaged: " + Describe(kv.first, kv.second));
    }
    for (HostModule* m : g_host.modules) {
        std::vector<std::pair<const char*, void*>> blocks = {{"parameter", m->record->params}, {"run-time", m->record->runtime}};
        for (int ch = 0; ch < GPIB_CHANNELS; ch++) blocks.push_back({"channel", m->record->channel[ch]});
        for (const auto& b : blocks) {
            if (!b.second || GuardedIntact(b.second)) continue;
            damaged++;
            g_heap.errors.push_back(std::string("guard bytes damaged: ") + b.first + " block of " + std::string(m->record->moduleName, strnlen(m->record->moduleName, sizeof m->record->moduleName)));
        }
    }
    return damaged;
}

void ReportLeaks()
{
    for (const auto& kv : g_heap.live) g_heap.errors.push_back("leak: " + Describe(kv.first, kv.second));
}

void FreeAllBlocks()
{
    for (auto& kv : g_heap.live) free(kv.second.raw);
    g_heap.live.clear();
}

void* GuardedAlloc(size_t size)
{
    uint8_t* raw = static_cast<uint8_t*>(malloc(sizeof(GuardedHeader) + size + 2 * GUARD_BYTES));
    if (!raw) return nullptr;
    reinterpret_cast<GuardedHeader*>(raw)->size = size;
    uint8_t* guarded = raw + sizeof(GuardedHeader);
    WriteGuarded(guarded, size, 0);
    return guarded + GUARD_BYTES;
}

static uint8_t* GuardedRaw(void* block)
{
    return static_cast<uint8_t*>(block) - GUARD_BYTES - sizeof(GuardedHeader);
}

bool GuardedIntact(void* block)
{
    uint8_t* raw = GuardedRaw(block);
    return GuardsIntact(raw + sizeof(GuardedHeader), reinterpret_cast<GuardedHeader*>(raw)->size);
}

size_t GuardedSize(void* block)
{
    return reinterpret_cast<GuardedHeader*>(GuardedRaw(block))->size;
}

void GuardedRenew(void* block)
{
    WriteGuarded(static_cast<uint8_t*>(block) - GUARD_BYTES, GuardedSize(block), 0);
}

void GuardedFree(void* block)
{
    if (block) free(GuardedRaw(block));
}

}  // namespace standin
