// READ: one answer received, decoded into the channel's ring, and the ring's values delivered as
// a time-stamped block on the channel's output.
#include "extavik/script/cmdrun.h"
#include "extavik/data/gpibconvert.h"
#include "extavik/data/gpibring.h"
#include "extavik/module/gpibboard.h"
#include "extavik/module/gpibbuffers.h"
#include "extavik/module/gpibbus.h"
#include "extavik/texts/cmdtexts.h"

// Block sample counts are 16-bit.
enum { MAX_BLOCK_SAMPLES = 32767 };

static DecodeSettings ChannelDecodeSettings(const GpibModuleParams* params, int channel)
{
    DecodeSettings s;
    s.headerSize = params->headerSize[channel];
    s.valueCount = params->recvBlockLength[channel];
    s.invalidHead = params->invalid[channel].invalidHead;
    s.invalidTail = params->invalid[channel].invalidTail;
    s.dataType = params->dataType[channel];
    s.mask = ParseMaskText(params->maskText[channel], GPIB_MASK_TEXT_SIZE);
    return s;
}

// Values the ring lost (an overflow) or refused (corrupt indexes).
static RunResult ReportLostValues()
{
    HOST_CALL(ShowWarning)(CMD_TITLE_READ, CMD_TEXT_RING_OVERFLOW);
    return RUN_FAILED;
}

// Receives one answer and stores its values in the ring. *deliver tells whether READ goes on
// to the delivery; otherwise the result is final.
static RunResult ReceiveAnswer(ModuleRecord* module, int channel, bool* deliver)
{
    GpibModuleParams* params = module->params;
    GpibChannelRuntime* c = module->channel[channel];
    uint8_t* buffer = module->runtime->transferBuffer;
    uint64_t capacity = TransferBufferBytes(module);
    *deliver = false;
    if (!buffer || capacity == 0) {
        HOST_CALL(ShowWarning)(CMD_TITLE_READ, CMD_TEXT_READ_NO_BUFFER);
        return RUN_FAILED;
    }
    // A stored size beyond the buffer must not let the driver write past it.
    uint64_t maxBytes = uint64_t(params->recvBufferKB[channel]) * 1024;
    if (maxBytes > capacity)
        maxBytes = capacity;
    if (maxBytes > 0x7FFFFFFF)
        maxBytes = 0x7FFFFFFF;
    short status = 0;
    int32_t n = g_board.GpibRecv(PrimaryAddress(params, channel), int(maxBytes), reinterpret_cast<char*>(buffer),
                                 TerminatorCode(params, channel), &status);
    if (status != 0)
        return ReportBusError(params, CMD_TITLE_READ, status, channel);
    if (n <= 0) {
        HOST_CALL(ShowWarning)(CMD_TITLE_READ, CMD_TEXT_READ_NOTHING);
        return RUN_FAILED;
    }
    if (uint64_t(n) > maxBytes)
        n = int32_t(maxBytes);
    DecodeSettings settings = ChannelDecodeSettings(params, channel);
    uint32_t stored = 0;
    if (!DecodeIntoRing(c, buffer, size_t(n), &settings, &stored))
        return ReportLostValues();
    if (stored > 0)
        c->dataReady = 1;
    *deliver = true;
    return RUN_DONE;
}

static double BlockStartTime(ModuleRecord* module, int channel)
{
    GpibModuleParams* params = module->params;
    GpibChannelRuntime* c = module->channel[channel];
    BusSlot slot;
    if (FindChannelSlot(params, channel, &slot) && RequestTickOf(slot) != 0) {
        // Requested by a host action: the time since the experiment started.
        double start = double(uint32_t(RequestTickOf(slot) - dwExperimentStartTimeTicks)) * 0.001;
        StampRequest(slot, 0);
        c->requestCount--;
        return start;
    }
    uint32_t samplesBefore = uint32_t(c->requestCount - 1) * params->recvBlockLength[channel];
    return double(samplesBefore) * fGlobalMilliSecondsPerSample * 0.001;
}

static RunResult DeliverSamples(ModuleRecord* module, int channel)
{
    GpibChannelRuntime* c = module->channel[channel];
    if (c->dataReady != 1 || bExperimentIsPaused)
        return RUN_SUSPENDED;
    if (RingStateOf(c) == RING_CORRUPT)
        return ReportLostValues();   // the stored values cannot be drained
    void* output = module->outputChannel[channel];
    SampleBlock* block = output ? HOST_CALL(GetCurrentOutputBlock)(output) : nullptr;
    if (!block)
        return RUN_DONE;   // the values wait in the ring for the next READ
    uint32_t most = uiGlobalBlockSize < uint32_t(MAX_BLOCK_SAMPLES) ? uiGlobalBlockSize : uint32_t(MAX_BLOCK_SAMPLES);
    int32_t full = 0;
    int32_t count = RingDrain(c, most, block->samples, &full);
    block->sampleCount = int16_t(count);
    block->startTime = BlockStartTime(module, channel);
    block->sampleDistance = fGlobalMilliSecondsPerSample * 0.001;
    static_cast<OutputChannelHeader*>(output)->deliveryMark = OUTPUT_MARK_DELIVERED;
    HOST_CALL(NewReleaseOutputBlock)(output, UNIT_GPIBCMD, __LINE__);
    c->dataReady = 0;
    return RUN_DONE;
}

CommandResult HandleRead(ModuleRecord* module, int channel, const char*)
{
    GpibChannelRuntime* c = module->channel[channel];
    if (!bExperimentIsPaused && c->dataReady != 1) {
        bool deliver;
        const RunResult r = ReceiveAnswer(module, channel, &deliver);
        if (!deliver)
            return Finished(r);
    }
    return Finished(DeliverSamples(module, channel));
}

