// The simulated bus (simbus.cpp): addressing, bus commands, data transfers with end-of-string
// handling, polls, and the record of what went over it.
#pragma once
#include <stdint.h>
#include "boardsim/simstate.h"

// Each returns the entry point's result and sets board.lastError.
int32_t BusInit(uint32_t address, uint32_t mode, uint32_t bufferSize);
int32_t BusSetTime(uint32_t time);
int32_t BusSetEos(uint32_t mode, uint32_t flag);
int32_t BusSendCmd(const uint8_t* cmd, uint32_t length);
int32_t BusIfc();
int32_t BusRen(uint32_t on);
int32_t BusDcl();
int32_t BusSdc(uint32_t address);
int32_t BusSendDataC(const int16_t* list, uint32_t count, const char* data, uint32_t length);
int32_t BusSendDataS(const char* data, uint32_t length);
int32_t BusRecvDataC(uint32_t address, char* buffer, uint32_t* length);
int32_t BusRecvDataS(char* buffer, uint32_t* length);
int32_t BusTransData(uint32_t first, const int16_t* list, uint32_t count);
int32_t BusSetSrqLine(uint32_t statusByte);
int32_t BusGetSrqLine(int16_t* line);
int32_t BusSpoll(uint32_t address, int16_t* statusByte);
int32_t BusPpoll(uint8_t* response);
int32_t BusPpollConfig(uint32_t address, uint32_t line, uint32_t sense);
int32_t BusPpollUnConfig(uint32_t address);
int32_t BusPpollUnConfigAll();
int32_t BusPpollRespModeSet(uint32_t mode);
int32_t BusStatusWord();
bool BusSrqLine();
// The bus record: one line per bus event (commands under ATN, a message, IFC, REN, polls), without
// times or driver calls, so that two drivers over the same bench can be compared line by line.
void BusOpenRecord(const char* path);
void BusUnaddressAll();
