#pragma once

// What the three source files of TDeviceCommands share (transfers, write-script and reset,
// debug transfers); not for use outside them.
#include "link/LinkWait.h"

#include <QtGlobal>
#include <cstdint>

namespace DeviceCommandsShared {

constexpr char kCtrlP = 0x10; // a script follows
constexpr char kEsc = 0x1B;
constexpr uint16_t kScriptIdPos = 5;
constexpr uint16_t kKeptBytePos = 36; // binding must not change it
constexpr uint8_t kUniversalScriptId = 0x5C;
constexpr uint8_t kUserScriptId = 0x5A;

// Counts the end handlers that are still running (a sequence goes on from inside them).
struct DepthGuard {
    int &depth;
    explicit DepthGuard(int &d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

inline bool elapsedAtLeast(uint32_t since, int ms)
{
    return uint32_t(GetTickCount() - since) >= uint32_t(qMax(0, ms));
}

} // namespace DeviceCommandsShared
