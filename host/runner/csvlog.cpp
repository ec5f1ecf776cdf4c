// The CSV file of a run (declared in csvlog.h).
#include "host/runner/csvlog.h"
#include "host/standin_host.h"

bool CsvLog::Open(const std::string& path)
{
    Close();
    failed = false;
    rows = 0;
    file = fopen(path.c_str(), "wb");
    if (!file) return false;
    failed = fprintf(file, "time,output,value\n") < 0 || fflush(file) != 0;
    return !failed;
}

void CsvLog::AddOutput(ModuleRecord* module, int channel, const std::string& label)
{
    outputs.push_back({module, channel, label, 0});
}

bool CsvLog::Append()
{
    if (!file) return false;
    for (Output& o : outputs) {
        const auto& blocks = standin::ReleasedBlocks(o.module, o.channel);
        for (; o.written < blocks.size(); ++o.written) {
            const standin::ReleasedBlock& b = blocks[o.written];
            for (int k = 0; k < b.sampleCount && k < static_cast<int>(b.samples.size()); ++k, ++rows)
                if (fprintf(file, "%.6f,%s,%.9g\n", b.startTime + k * b.sampleDistance, o.label.c_str(), b.samples[k]) < 0)
                    failed = true;
        }
    }
    if (fflush(file) != 0) failed = true;
    return !failed;
}

bool CsvLog::Close()
{
    if (!file) return !failed;
    if (fclose(file) != 0) failed = true;
    file = nullptr;
    return !failed;
}
