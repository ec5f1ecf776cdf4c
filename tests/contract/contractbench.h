// The driver of the test configuration (EXTAVIK_DRIVER) called through its own Tavk* exports, with
// the simulated bench under it: the board open, initialised as controller at OWN with LF as its
// end-of-string. What reached the instruments is read off the bench, so every driver is checked
// by the same facts.
#pragma once
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "host/bindings.h"
#include "interfaces/tavkdrv.h"
#include "tests/tavkx/drvcaps.h"
#include "tests/tavkx/drvload.h"

struct TavkEntries {
    HOST_BINDINGS(TAVK_ENTRY_LIST)
};

constexpr uint32_t OWN = 30;          // the board's own address
constexpr uint32_t DMM = 22;          // the built-in bench's multimeter
constexpr uint32_t BINARY = 5;        // its binary source
constexpr uint32_t SRQ_DEVICE = 9;    // its device that requests service when triggered
constexpr uint32_t SILENT = 12;       // its device that never talks
constexpr uint32_t EMPTY = 7;         // an address without a device
constexpr char DMM_IDN[] = "TAVIK-SIM,DMM-22,0,1.0";

// What the bench shows of one device, to tell whether a call reached it.
struct DeviceMarks {
    std::string input;
    uint32_t clears = 0, triggers = 0, readings = 0, outputLength = 0;
    int32_t statusByte = 0;
    bool operator==(const DeviceMarks& o) const
    {
        return input == o.input && clears == o.clears && triggers == o.triggers && readings == o.readings &&
               outputLength == o.outputLength && statusByte == o.statusByte;
    }
};

inline std::ostream& operator<<(std::ostream& out, const DeviceMarks& m)
{
    return out << "{input \"" << m.input << "\", clears " << m.clears << ", triggers " << m.triggers << ", readings "
               << m.readings << ", output " << m.outputLength << ", status byte " << m.statusByte << "}";
}

class Contract : public ::testing::Test {
protected:
    DriverVariant variant;
    SimControl& sim = variant.sim;
    TavkEntries tavk;
    uint16_t board = 0;

    void SetUp() override
    {
        // Under Wine, sockets fail (WSAENOTSOCK) once ws2_32.dll was let go and loaded again, as
        // it is when the last socket driver and simulator of a test unload: it stays loaded.
        static HMODULE winsock = LoadLibraryA("ws2_32.dll");
        (void)winsock;
        ASSERT_TRUE(variant.SelectAndLoadDriver("default"));
        ASSERT_EQ(sim.SimReset(), 1) << sim.SimLastMessage();
        ASSERT_TRUE(tavk.Bind(variant.tavk));
        ASSERT_EQ(tavk.TavkCreate(&board), 1);
        ASSERT_EQ(tavk.TavkInit(board, OWN, 1, 0), 1);
        ASSERT_EQ(tavk.TavkSetEos(board, 2, 1), 1);
        ASSERT_EQ(tavk.TavkSetTime(board, 500), 1);
    }
    void TearDown() override
    {
        if (tavk.TavkClose && board) tavk.TavkClose(board);
        variant.Release();
    }

    int32_t LastError() { return tavk.TavkGetLastError(board); }
    // A refusal with the argument error, so that a later success shows it clears the error.
    void FailOnce()
    {
        ASSERT_EQ(tavk.TavkSetTime(board, TAVK_TIME_MAX_MS + 1), 0);
        ASSERT_EQ(LastError(), TAVK_ERR_ARGUMENT);
    }
    std::string DeviceInput(uint32_t address)
    {
        char buffer[4096];
        int32_t n = sim.SimGetDeviceInput(static_cast<int32_t>(address), buffer, sizeof buffer);
        return std::string(buffer, n < 0 ? 0 : n < static_cast<int32_t>(sizeof buffer) ? n : sizeof buffer);
    }
    DeviceMarks Marks(uint32_t address)
    {
        DeviceMarks m;
        SimDeviceInfo d;
        if (!sim.SimGetDevice(static_cast<int32_t>(address), &d)) return m;
        m.input = DeviceInput(address);
        m.clears = d.clears;
        m.triggers = d.triggers;
        m.readings = d.readings;
        m.outputLength = d.outputLength;
        m.statusByte = d.statusByte;
        return m;
    }
    // One query and its answer; the answer's bytes, empty when the receive failed.
    std::string Query(uint32_t address, const char* text, uint32_t max = 256)
    {
        if (tavk.TavkSendDataC(board, address, text, static_cast<uint32_t>(strlen(text))) != 1) return "(send failed)";
        std::string answer(max, '\0');
        uint32_t length = max;
        if (tavk.TavkRecvDataC(board, address, &answer[0], &length) != 1) return "(receive failed)";
        answer.resize(length);
        return answer;
    }
};
