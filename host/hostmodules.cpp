// Module classes and instances of the stand-in host: registration records, the blocks of every
// instance, output and input sample blocks, module messages and host actions.
#include <stdlib.h>
#include <string.h>
#include "host/hostinternal.h"

namespace standin {
namespace {

const char UNKNOWN_OUTPUT[] = "output block service with an unknown output record";

std::string CopyText(const char* text, size_t limit)
{
    if (!text) return std::string();
    size_t n = strnlen(text, limit);
    return std::string(text, n);
}

// The module's own blocks carry guard bytes too, so CheckHeap sees writes beyond them.
void* ZeroedBlock(size_t size) { return GuardedAlloc(size ? size : 1); }

void FreeModuleBlocks(HostModule* m)
{
    GuardedFree(m->record->params);
    GuardedFree(m->record->runtime);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) GuardedFree(m->record->channel[ch]);
    for (HostOutput& out : m->outputs) {
        GuardedFree(out.offered);
        GuardedFree(out.spare);
    }
    for (HostInput& in : m->inputs) GuardedFree(in.handedOut);
    free(m->record);
}

size_t SampleBlockBytes(size_t samples) { return offsetof(SampleBlock, samples) + samples * sizeof(float); }

HostInput* FindInput(ModuleRecord* module, int channel)
{
    HostModule* m = FindModule(module);
    if (!m || channel < 0 || channel >= GPIB_CHANNELS) {
        HostError("input block service with an unknown module or input " + std::to_string(channel));
        return nullptr;
    }
    return &m->inputs[channel];
}

const std::vector<ReleasedBlock> NO_BLOCKS;

}  // namespace

HostModule* FindModule(ModuleRecord* record)
{
    for (HostModule* m : g_host.modules)
        if (m->record == record) return m;
    return nullptr;
}

HostOutput* FindOutput(void* outputRecord)
{
    for (HostModule* m : g_host.modules)
        for (HostOutput& out : m->outputs)
            if (&out == outputRecord) return &out;
    return nullptr;
}

// ---- classes ----

void WINAPI HostRegisterModuleClass(ModuleClassRecord* record)
{
    if (!record) {
        HostError("RegisterModuleClass without a record");
        return;
    }
    g_host.classes.emplace_back();
    ModuleClass& c = g_host.classes.back();
    c.record = *record;
    c.className = CopyText(record->className, 256);
    c.displayName = CopyText(record->displayName, 256);
    c.longName = CopyText(record->longName, 256);
    c.record.className = c.className.c_str();
    c.record.displayName = c.displayName.c_str();
    c.record.longName = c.longName.c_str();
}

const std::vector<ModuleClass>& ModuleClasses()
{
    static std::vector<ModuleClass> view;
    view.assign(g_host.classes.begin(), g_host.classes.end());
    for (ModuleClass& c : view) {
        c.record.className = c.className.c_str();
        c.record.displayName = c.displayName.c_str();
        c.record.longName = c.longName.c_str();
    }
    return view;
}

const ModuleClass* FindClass(const char* className)
{
    for (const ModuleClass& c : g_host.classes)
        if (c.className == className) return &c;
    return nullptr;
}

const ModuleClass* ClassOf(ModuleRecord* module)
{
    HostModule* m = FindModule(module);
    return m ? m->cls : nullptr;
}

void ClearClasses() { g_host.classes.clear(); }

// ---- instances ----

ModuleRecord* AddModule(const char* className)
{
    const ModuleClass* cls = FindClass(className);
    if (!cls) {
        HostError(std::string("no module class ") + className);
        return nullptr;
    }
    HostModule* m = new HostModule();
    ModuleRecord* r = static_cast<ModuleRecord*>(ZeroedBlock(sizeof(ModuleRecord)));
    m->record = r;
    m->cls = cls;
    r->ownerWindow = g_host.window;
    r->isActive = 1;
    snprintf(r->moduleName, sizeof r->moduleName, "%s", cls->displayName.c_str());
    r->params = static_cast<GpibModuleParams*>(ZeroedBlock(cls->record.paramsSize));
    r->runtime = static_cast<GpibModuleRuntime*>(ZeroedBlock(cls->record.runtimeSize));
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        r->channel[ch] = static_cast<GpibChannelRuntime*>(ZeroedBlock(cls->record.channelStateSize));
        m->outputs[ch].module = r;
        m->outputs[ch].index = ch;
        r->outputChannel[ch] = &m->outputs[ch];
    }
    g_host.modules.push_back(m);
    g_host.currentModule = r;
    return r;
}

ModuleRecord* CreateModule(const char* className, int32_t* result)
{
    ModuleRecord* r = AddModule(className);
    if (!r) {
        if (result) *result = 0;
        return nullptr;
    }
    int32_t created = SendToModule(r, MM_CREATE);
    if (result) *result = created;
    if (created) return r;
    RemoveModule(r);
    return nullptr;
}

void RemoveModule(ModuleRecord* module)
{
    for (size_t i = 0; i < g_host.modules.size(); i++) {
        HostModule* m = g_host.modules[i];
        if (m->record != module) continue;
        if (g_host.currentModule == module) g_host.currentModule = nullptr;
        FreeModuleBlocks(m);
        delete m;
        g_host.modules.erase(g_host.modules.begin() + i);
        return;
    }
}

void RemoveAllModules()
{
    while (!g_host.modules.empty()) RemoveModule(g_host.modules.back()->record);
}

std::vector<ModuleRecord*> Modules()
{
    std::vector<ModuleRecord*> out;
    for (HostModule* m : g_host.modules) out.push_back(m->record);
    return out;
}

void SetCurrentModule(ModuleRecord* module) { g_host.currentModule = module; }
ModuleRecord* CurrentModule() { return g_host.currentModule; }

int32_t SendToModule(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    HostModule* m = FindModule(module);
    if (!m) {
        HostError("message " + std::to_string(message) + " to an unknown module");
        return 0;
    }
    if (message == MM_CREATE || message == MM_SETTINGS) g_host.currentModule = module;
    return m->cls->record.moduleProc(module, message, wParam, lParam);
}

int32_t OpenSettings(ModuleRecord* module) { return SendToModule(module, MM_SETTINGS); }

int32_t Process(ModuleRecord* module)
{
    HostModule* m = FindModule(module);
    if (!m) {
        HostError("processing of an unknown module");
        return 0;
    }
    return m->cls->record.processProc(module);
}

GpibModuleParams* Params(ModuleRecord* module) { return module ? module->params : nullptr; }

void WriteParams(ModuleRecord* module, const GpibModuleParams& stored)
{
    if (module && module->params) memcpy(module->params, &stored, sizeof stored);
}

OutputChannelHeader* OutputRecord(ModuleRecord* module, int output)
{
    if (!module || output < 0 || output >= GPIB_CHANNELS) return nullptr;
    return static_cast<OutputChannelHeader*>(module->outputChannel[output]);
}

void WINAPI HostChangeModuleSize(ModuleRecord* module, int inputs, int outputs)
{
    g_host.sizeChanges.push_back({module, inputs, outputs});
    if (!FindModule(module)) {
        HostError("ChangeModuleSize of an unknown module");
        return;
    }
    if (inputs < 0 || inputs > GPIB_CHANNELS || outputs < 0 || outputs > GPIB_CHANNELS)
        HostError("ChangeModuleSize to " + std::to_string(inputs) + " inputs, " + std::to_string(outputs) + " outputs");
    module->inputCount = inputs;
    module->outputCount = outputs;
}

int32_t WINAPI HostPerformDefaultAction(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    g_host.defaultActions.push_back({module, message, wParam, lParam});
    return g_host.defaultActionResult;
}

// ---- output blocks ----

// A zeroed block of the current block size: the last released one again when its size fits, as a
// host's block ring hands out the same memory, so that a cycle takes nothing from the heap.
static SampleBlock* FreshOutputBlock(HostOutput* out)
{
    const size_t bytes = SampleBlockBytes(g_host.blockSize);
    SampleBlock* b = out->spare;
    out->spare = nullptr;
    if (b && GuardedSize(b) == bytes) {
        GuardedRenew(b);
        return b;
    }
    GuardedFree(b);
    return static_cast<SampleBlock*>(GuardedAlloc(bytes));
}

SampleBlock* WINAPI HostGetCurrentOutputBlock(void* output)
{
    g_host.outputBlockCalls++;
    HostOutput* out = FindOutput(output);
    if (!out) {
        HostError(UNKNOWN_OUTPUT);
        return nullptr;
    }
    bool skip = g_host.noOutputBlock;
    if (g_host.noOutputBlockAt > 0 && --g_host.noOutputBlockAt == 0) skip = true;
    if (skip) return nullptr;
    if (!out->offered) out->offered = FreshOutputBlock(out);
    return out->offered;
}

void WINAPI HostNewReleaseOutputBlock(void* output, const char* file, int line)
{
    HostOutput* out = FindOutput(output);
    if (!out) {
        HostError(UNKNOWN_OUTPUT);
        return;
    }
    if (!out->offered) {
        HostError("NewReleaseOutputBlock without an offered block at " + std::string(file ? file : "") + ":" + std::to_string(line));
        return;
    }
    SampleBlock* b = out->offered;
    out->offered = nullptr;
    out->spare = b;
    if (!GuardedIntact(b)) HostError("output block written outside its bounds");
    int n = b->sampleCount;
    if (n < 0 || (uint32_t)n > g_host.blockSize) {
        HostError("output block released with " + std::to_string(n) + " samples");
        n = n < 0 ? 0 : (int)g_host.blockSize;
    }
    if (!g_host.recordReleases) return;
    ReleasedBlock r;
    r.startTime = b->startTime;
    r.sampleDistance = b->sampleDistance;
    r.sampleCount = b->sampleCount;
    r.file = file ? file : "(null)";
    r.line = line;
    r.samples.assign(b->samples, b->samples + n);
    out->released.push_back(std::move(r));
}

const std::vector<ReleasedBlock>& ReleasedBlocks(ModuleRecord* module, int output)
{
    HostModule* m = FindModule(module);
    if (!m || output < 0 || output >= GPIB_CHANNELS) return NO_BLOCKS;
    return m->outputs[output].released;
}

std::vector<float> ReleasedSamples(ModuleRecord* module, int output)
{
    std::vector<float> all;
    for (const ReleasedBlock& b : ReleasedBlocks(module, output)) all.insert(all.end(), b.samples.begin(), b.samples.end());
    return all;
}

void ClearReleasedBlocks()
{
    for (HostModule* m : g_host.modules)
        for (HostOutput& out : m->outputs) out.released.clear();
}

void RecordReleasedBlocks(bool on) { g_host.recordReleases = on; }
void OfferNoOutputBlock(bool none) { g_host.noOutputBlock = none; }
void OfferNoOutputBlockAtCall(int n) { g_host.noOutputBlockAt = n; }
int OutputBlockCalls() { return g_host.outputBlockCalls; }

// ---- input blocks ----

void QueueInputBytes(ModuleRecord* module, int input, const void* data, size_t bytes, int16_t sampleCount)
{
    HostInput* in = FindInput(module, input);
    if (!in) return;
    QueuedInput q;
    q.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + bytes);
    q.sampleCount = sampleCount;
    in->queue.push_back(q);
}

void QueueInputSamples(ModuleRecord* module, int input, const std::vector<float>& samples)
{
    QueueInputBytes(module, input, samples.data(), samples.size() * sizeof(float), (int16_t)samples.size());
}

size_t QueuedInputBlocks(ModuleRecord* module, int input)
{
    HostModule* m = FindModule(module);
    return m && input >= 0 && input < GPIB_CHANNELS ? m->inputs[input].queue.size() : 0;
}

int ReleasedInputBlocks(ModuleRecord* module, int input)
{
    HostModule* m = FindModule(module);
    return m && input >= 0 && input < GPIB_CHANNELS ? m->inputs[input].released : 0;
}

SampleBlock* WINAPI HostGetInputBlock(ModuleRecord* module, int channel)
{
    HostInput* in = FindInput(module, channel);
    if (!in || in->queue.empty()) return nullptr;
    if (in->handedOut) {
        HostError("GetInputBlock before the last input block was released");
        return in->handedOut;
    }
    const QueuedInput& q = in->queue.front();
    SampleBlock* b = static_cast<SampleBlock*>(GuardedAlloc(offsetof(SampleBlock, samples) + q.data.size()));
    b->sampleCount = q.sampleCount;
    b->sampleDistance = g_host.samplePeriodMs / 1000.0;
    if (!q.data.empty()) memcpy(b->samples, q.data.data(), q.data.size());
    in->queue.pop_front();
    in->handedOut = b;
    return b;
}

void WINAPI HostNewReleaseInputBlock(ModuleRecord* module, int channel, const char* file, int line)
{
    HostInput* in = FindInput(module, channel);
    if (!in) return;
    if (!in->handedOut) {
        HostError("NewReleaseInputBlock without a block at " + std::string(file ? file : "") + ":" + std::to_string(line));
        return;
    }
    if (!GuardedIntact(in->handedOut)) HostError("input block written outside its bounds");
    GuardedFree(in->handedOut);
    in->handedOut = nullptr;
    in->released++;
}

// ---- host actions ----

void SetActions(ModuleRecord* module, const std::vector<HostAction>& actions)
{
    GpibModuleRuntime* rt = module ? module->runtime : nullptr;
    if (!rt) return;
    size_t n = actions.size() < (size_t)GPIB_ACTIONS ? actions.size() : (size_t)GPIB_ACTIONS;
    memset(rt->actionTable, 0, sizeof rt->actionTable);
    rt->actionCount = (int32_t)n;
    for (size_t i = 0; i < n; i++) {
        rt->actionTable[i][GPIB_ACTION_BUSY_WORD] = actions[i].busy;
        rt->actionTable[i][GPIB_ACTION_MASK_WORD] = actions[i].mask;
    }
}

int32_t ArmAction(ModuleRecord* module, int32_t mask, int32_t kind)
{
    int32_t record[4] = {kind, 0, 0, 0};
    return SendToModule(module, MM_ACTION_ARM, mask, reinterpret_cast<intptr_t>(record));
}

int32_t RunAction(ModuleRecord* module, int32_t mask, int32_t kind)
{
    int32_t record[4] = {kind, 0, 0, 0};
    return SendToModule(module, MM_ACTION_RUN, mask, reinterpret_cast<intptr_t>(record));
}

int32_t ResetActions(ModuleRecord* module) { return SendToModule(module, MM_ACTION_RESET); }

int32_t DescribeAction(ModuleRecord* module, int32_t mask, ActionDescription* desc)
{
    return SendToModule(module, MM_ACTION_DESCRIBE, mask, reinterpret_cast<intptr_t>(desc));
}

}  // namespace standin
