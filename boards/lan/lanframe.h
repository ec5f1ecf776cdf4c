// Where an answer over a raw SCPI socket ends: at LF (the end of a response message), but not at
// an LF inside a definite-length block (#<n><length><bytes>), whose bytes are counted instead; a
// block that makes up the whole answer ends after its stated length even without LF. Pure.
#pragma once
#include <stddef.h>
#include <string>

enum { LAN_BLOCK_LENGTH_DIGITS_MAX = 9 };

// The length of the complete answer at the front of bytes; 0 while it is not complete.
inline size_t LanSocketAnswerEnd(const std::string& bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\n') return i + 1;
        if (c == '#' && i + 1 < bytes.size() && bytes[i + 1] >= '1' && bytes[i + 1] <= '9') {
            size_t digits = static_cast<size_t>(bytes[i + 1] - '0');
            if (bytes.size() < i + 2 + digits) return 0;
            size_t length = 0;
            for (size_t k = 0; k < digits; k++) {
                char d = bytes[i + 2 + k];
                if (d < '0' || d > '9') { length = 0; digits = k; break; }
                length = length * 10 + static_cast<size_t>(d - '0');
            }
            size_t end = i + 2 + digits + length;
            if (bytes.size() < end) return 0;
            if (i == 0 && (end == bytes.size())) return end;   // a block alone: complete at its length
            i = end;
            continue;
        }
        if (c == '#' && i + 1 == bytes.size()) return 0;   // the block's digit count may follow
        i++;
    }
    return 0;
}
