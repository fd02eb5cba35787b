#pragma once
// The memory figures of the about window: total physical memory and the share in use.
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace sayvell::info {

struct MemoryStatus {
    quint64 totalBytes = 0;
    int loadPercent = 0;  // 0..100, physical memory in use
};

// From the text of /proc/meminfo: MemTotal and MemAvailable (or, on old kernels, MemFree plus
// Buffers and Cached). Nothing when MemTotal is missing or zero.
std::optional<MemoryStatus> parseMeminfo(QByteArrayView text);
// /proc/meminfo, else sysinfo(2); zeros when neither answers.
MemoryStatus systemMemory();

// Kibibytes, rounded, with thousands separators: "2,097,152 KB".
QString physMemText(quint64 totalBytes);
// "45 %".
QString memoryLoadText(int percent);

}  // namespace sayvell::info
