#pragma once

#include <QtGlobal>

// The machine's memory as the about window shows it.
struct MemoryStatus
{
    qint64 totalKb = 0; // physical memory in kilobytes
    int loadPercent = 0; // share of it in use
};

MemoryStatus memoryStatus();
