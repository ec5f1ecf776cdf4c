// The samples of a run as CSV (time, output, value), written as the blocks are released: a live
// run appends and flushes after every cycle, so an interrupted or crashed run keeps every value
// it read; an offline run appends once at the end.
#pragma once
#include <stdio.h>
#include <string>
#include <vector>
#include "extavik/host/hostservices.h"

class CsvLog {
public:
    ~CsvLog() { Close(); }
    bool Open(const std::string& path);   // writes the header line
    // One output: a GPIB-IN module's channel, labelled module/channel (UTF-8).
    void AddOutput(ModuleRecord* module, int channel, const std::string& label);
    // Writes the blocks released since the last call, output by output, and flushes. False when
    // the file could not be written.
    bool Append();
    bool Close();                         // false when a write or the close failed
    uint64_t Rows() const { return rows; }

private:
    struct Output {
        ModuleRecord* module;
        int channel;
        std::string label;
        size_t written;   // blocks already in the file
    };
    FILE* file = nullptr;
    bool failed = false;
    uint64_t rows = 0;
    std::vector<Output> outputs;
};
