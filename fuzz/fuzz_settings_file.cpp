// setinfo.ini of any content: reads never fail, and a write is read back as written.
#include "fuzz_input.h"
#include "store/settings_file.h"

#include <QDir>
#include <QFile>

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path = QDir::tempPath() + QStringLiteral("/sayvell-fuzz-%1.ini").arg(getpid());
    fuzz::Input in(data, size);
    // A write costs a safe replace of the file (temporary file, sync, rename): one input in two.
    const bool tryWrite = in.byte() & 1;
    const QString section = in.text().left(40);
    const QString key = in.text().left(40);
    const QString value = in.text().left(200);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(in.rest());
    }
    store::SettingsFile ini(path);
    (void)ini.readString(section, key, QStringLiteral("d"));
    (void)ini.readInteger(section, key, 7);
    (void)ini.readBool(section, key, true);
    (void)store::parseWholeNumber(value);
    for (const auto& k : {store::keys::Yinping, store::keys::Readtimes}) (void)ini.read(k);

    // A key name a file can hold: not blank, no '=', no brackets, no line break, nothing the
    // reader trims away.
    const bool plainName =
        [](const QString& s) {
            if (s.trimmed().isEmpty() || s.trimmed() != s) return false;
            for (QChar c : s)
                if (c == u'=' || c == u'[' || c == u']' || c == u';' || c.unicode() < 0x20 || c.isSpace()) return false;
            return true;
        }(key) &&
        !section.contains(u']') && !section.isEmpty() && section.trimmed() == section;
    for (QChar c : section)
        if (c.unicode() < 0x20) return 0;
    if (!plainName || !tryWrite) return 0;
    try {
        ini.writeInteger(section, key, int(size) - 500);
        FUZZ_REQUIRE(ini.readInteger(section, key, 12345) == int(size) - 500);
    } catch (const store::SettingsWriteError&) {
        // A file too large to be taken as settings refuses writes; that is the promise.
    }
    return 0;
}
