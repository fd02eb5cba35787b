#include "info/memory_info.h"

#include <QFile>
#include <QList>

#include <sys/sysinfo.h>

#include <algorithm>

namespace sayvell::info {

namespace {

int loadOf(quint64 total, quint64 available) {
    if (total == 0) return 0;
    const quint64 used = total - std::min(available, total);
    return int((used * 100 + total / 2) / total);
}

}  // namespace

std::optional<MemoryStatus> parseMeminfo(QByteArrayView text) {
    std::optional<quint64> total, available, free, buffers, cached;
    for (const QByteArray& line : text.toByteArray().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        const QByteArray key = line.left(colon);
        // "MemTotal:       16314412 kB"
        const QList<QByteArray> parts = line.mid(colon + 1).simplified().split(' ');
        bool ok = false;
        const quint64 kib = parts.value(0).toULongLong(&ok);
        if (!ok) continue;
        const quint64 bytes = kib * 1024;
        if (key == "MemTotal")
            total = bytes;
        else if (key == "MemAvailable")
            available = bytes;
        else if (key == "MemFree")
            free = bytes;
        else if (key == "Buffers")
            buffers = bytes;
        else if (key == "Cached")
            cached = bytes;
    }
    if (!total || *total == 0) return std::nullopt;
    const quint64 avail = available ? *available : free.value_or(0) + buffers.value_or(0) + cached.value_or(0);
    return MemoryStatus{*total, loadOf(*total, avail)};
}

MemoryStatus systemMemory() {
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly)) {
        // A proc file has no size: read until the end.
        if (const auto status = parseMeminfo(f.readAll())) return *status;
    }
    struct sysinfo si {};
    if (sysinfo(&si) != 0 || si.totalram == 0) return {};
    const quint64 unit = si.mem_unit ? si.mem_unit : 1;
    const quint64 total = quint64(si.totalram) * unit;
    return {total, loadOf(total, (quint64(si.freeram) + quint64(si.bufferram)) * unit)};
}

QString physMemText(quint64 totalBytes) {
    QString digits = QString::number((totalBytes + 512) / 1024);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, u',');
    return digits + QStringLiteral(" KB");
}

QString memoryLoadText(int percent) { return QString::asprintf("%d %%", percent); }

}  // namespace sayvell::info
