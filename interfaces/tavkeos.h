// The end-of-string of TavkSetEos(mode, flag), the same for every driver and its simulation:
// mode 0 with flag 0 CR+LF, 1 CR, 2 LF, 3 (or mode 0 with flag 1) EOI alone. Pure.
#pragma once
#include <stdint.h>
#include <string>

enum TavkEos { TAVK_EOS_CRLF = 0, TAVK_EOS_CR = 1, TAVK_EOS_LF = 2, TAVK_EOS_EOI = 3 };

// Which end-of-string the mode and flag select.
inline TavkEos TavkEosOf(uint32_t mode, uint32_t flag)
{
    if (mode == TAVK_EOS_CRLF) return flag == 0 ? TAVK_EOS_CRLF : TAVK_EOS_EOI;
    if (mode == TAVK_EOS_CR || mode == TAVK_EOS_LF) return static_cast<TavkEos>(mode);
    return TAVK_EOS_EOI;
}

// The bytes sent after a message (EOI goes with the last of them, or with the message's last byte).
inline std::string TavkEosBytes(uint32_t mode, uint32_t flag)
{
    switch (TavkEosOf(mode, flag)) {
    case TAVK_EOS_CRLF: return "\r\n";
    case TAVK_EOS_CR: return "\r";
    case TAVK_EOS_LF: return "\n";
    default: return std::string();
    }
}

// Does this byte end a message received under that end-of-string? previous: the byte before it,
// first: it is the message's first byte (CR+LF needs the CR before it). EOI ends every message.
inline bool TavkEosEnds(uint32_t mode, uint32_t flag, uint8_t byte, uint8_t previous, bool first)
{
    switch (TavkEosOf(mode, flag)) {
    case TAVK_EOS_CRLF: return !first && previous == '\r' && byte == '\n';
    case TAVK_EOS_CR: return byte == '\r';
    case TAVK_EOS_LF: return byte == '\n';
    default: return false;
    }
}
