#include "audio/wav_formats.h"

#include <QHash>

namespace sayvell::audio {

const std::array<WavFormatEntry, kWavFormatCount>& wavFormats() {
    static const std::array<WavFormatEntry, kWavFormatCount> table{{
        {"SAFT8kHz8BitMono", "8kHz 8Bit Mono", 8000, 8, 1},
        {"SAFT8kHz8BitStereo", "8kHz 8Bit Stereo", 8000, 8, 2},
        {"SAFT8kHz16BitMono", "8kHz 16Bit Mono", 8000, 16, 1},
        {"SAFT8kHz16BitStereo", "8kHz 16Bit Stereo", 8000, 16, 2},
        {"SAFT11kHz8BitMono", "11kHz 8Bit Mono", 11025, 8, 1},
        {"SAFT11kHz8BitStereo", "11kHz 8Bit   Stereo", 11025, 8, 2},
        {"SAFT11kHz16BitMono", "11kHz 16Bit Mono", 11025, 16, 1},
        {"SAFT11kHz16BitStereo", "11kHz 16Bit Stereo", 11025, 16, 2},
        {"SAFT12kHz8BitMono", "12kHz 8Bit   Mono", 12000, 8, 1},
        {"SAFT12kHz8BitStereo", "12kHz 8Bit   Stereo", 12000, 8, 2},
        {"SAFT12kHz16BitMono", "12kHz 16Bit Mono", 12000, 16, 1},
        {"SAFT12kHz16BitStereo", "12kHz 16Bit Stereo", 12000, 16, 2},
        {"SAFT16kHz8BitMono", "16kHz 8Bit   Mono", 16000, 8, 1},
        {"SAFT16kHz8BitStereo", "16kHz 8Bit   Stereo", 16000, 8, 2},
        {"SAFT16kHz16BitMono", "16kHz 16Bit Mono", 16000, 16, 1},
        {"SAFT16kHz16BitStereo", "16kHz 16Bit Stereo", 16000, 16, 2},
        {"SAFT22kHz8BitMono", "22kHz 8Bit   Mono", 22050, 8, 1},
        {"SAFT22kHz8BitStereo", "22kHz 8Bit   Stereo", 22050, 8, 2},
        {"SAFT22kHz16BitMono", "22kHz 16Bit Mono", 22050, 16, 1},
        {"SAFT22kHz16BitStereo", "22kHz 16Bit Stereo", 22050, 16, 2},
        {"SAFT24kHz8BitMono", "24kHz 8Bit   Mono", 24000, 8, 1},
        {"SAFT24kHz8BitStereo", "24kHz 8Bit   Stereo", 24000, 8, 2},
        {"SAFT24kHz16BitMono", "24kHz 16Bit Mono", 24000, 16, 1},
        {"SAFT24kHz16BitStereo", "24kHz 16Bit Stereo", 24000, 16, 2},
        {"SAFT32kHz8BitMono", "32kHz 8Bit   Mono", 32000, 8, 1},
        {"SAFT32kHz8BitStereo", "32kHz 8Bit   Stereo", 32000, 8, 2},
        {"SAFT32kHz16BitMono", "32kHz 16Bit Mono", 32000, 16, 1},
        {"SAFT32kHz16BitStereo", "32kHz 16Bit Stereo", 32000, 16, 2},
        {"SAFT44kHz8BitMono", "44kHz 8Bit   Mono", 44100, 8, 1},
        {"SAFT44kHz8BitStereo", "44kHz 8Bit   Stereo", 44100, 8, 2},
        {"SAFT44kHz16BitMono", "44kHz 16Bit Mono", 44100, 16, 1},
        {"SAFT44kHz16BitStereo", "44kHz 16Bit Stereo", 44100, 16, 2},
        {"SAFT48kHz8BitMono", "48kHz 8Bit   Mono", 48000, 8, 1},
        {"SAFT48kHz8BitStereo", "48kHz 8Bit   Stereo", 48000, 8, 2},
        {"SAFT48kHz16BitMono", "48kHz 16Bit  Mono", 48000, 16, 1},
        {"SAFT48kHz16BitStereo", "48kHz 16Bit  Stereo", 48000, 16, 2},
    }};
    return table;
}

PcmFormat pcmFormatOf(int index) {
    if (index < 0 || index >= kWavFormatCount) index = kDefaultWavFormat;
    const WavFormatEntry& e = wavFormats()[static_cast<std::size_t>(index)];
    return {e.rate, e.bits, e.channels};
}

ExportEstimate estimateFor(std::int64_t textBytes) {
    ExportEstimate e;
    e.seconds = ((textBytes / 2) * 6) / 1000;
    e.minutes = e.seconds / 60;
    return e;
}

QString estimateMessage(std::int64_t textBytes) {
    const ExportEstimate e = estimateFor(textBytes);
    return QStringLiteral("轉換可能要花%1秒（-%2分）鐘,轉換時請耐心等待！").arg(e.seconds).arg(e.minutes);
}

QString languageCodeOf(const QString& voiceId) {
    // espeak-ng language names against the locale codes the engine's markup takes.
    static const QHash<QString, QString> codes{
        {QStringLiteral("cmn"), QStringLiteral("804")},
        {QStringLiteral("cmn-latn-pinyin"), QStringLiteral("804")},
        {QStringLiteral("zh"), QStringLiteral("804")},
        {QStringLiteral("zh-cn"), QStringLiteral("804")},
        {QStringLiteral("cmn-tw"), QStringLiteral("404")},
        {QStringLiteral("zh-tw"), QStringLiteral("404")},
        {QStringLiteral("zh-hant"), QStringLiteral("404")},
        {QStringLiteral("yue"), QStringLiteral("C04")},
        {QStringLiteral("zh-yue"), QStringLiteral("C04")},
        {QStringLiteral("zh-hk"), QStringLiteral("C04")},
        {QStringLiteral("en"), QStringLiteral("409")},
        {QStringLiteral("en-us"), QStringLiteral("409")},
        {QStringLiteral("en-gb"), QStringLiteral("809")},
        {QStringLiteral("en-gb-x-rp"), QStringLiteral("809")},
        {QStringLiteral("en-gb-scotland"), QStringLiteral("809")},
        {QStringLiteral("ja"), QStringLiteral("411")},
        {QStringLiteral("ko"), QStringLiteral("412")},
        {QStringLiteral("de"), QStringLiteral("407")},
        {QStringLiteral("fr"), QStringLiteral("40C")},
        {QStringLiteral("fr-fr"), QStringLiteral("40C")},
        {QStringLiteral("fr-be"), QStringLiteral("80C")},
        {QStringLiteral("es"), QStringLiteral("C0A")},
        {QStringLiteral("it"), QStringLiteral("410")},
        {QStringLiteral("pt"), QStringLiteral("816")},
        {QStringLiteral("pt-br"), QStringLiteral("416")},
        {QStringLiteral("ru"), QStringLiteral("419")},
        {QStringLiteral("nl"), QStringLiteral("413")},
        {QStringLiteral("sv"), QStringLiteral("41D")},
        {QStringLiteral("nb"), QStringLiteral("414")},
        {QStringLiteral("da"), QStringLiteral("406")},
        {QStringLiteral("fi"), QStringLiteral("40B")},
        {QStringLiteral("pl"), QStringLiteral("415")},
        {QStringLiteral("cs"), QStringLiteral("405")},
        {QStringLiteral("el"), QStringLiteral("408")},
        {QStringLiteral("tr"), QStringLiteral("41F")},
        {QStringLiteral("hu"), QStringLiteral("40E")},
        {QStringLiteral("vi"), QStringLiteral("42A")},
        {QStringLiteral("th"), QStringLiteral("41E")},
        {QStringLiteral("id"), QStringLiteral("421")},
        {QStringLiteral("ms"), QStringLiteral("43E")},
        {QStringLiteral("ar"), QStringLiteral("401")},
        {QStringLiteral("he"), QStringLiteral("40D")},
        {QStringLiteral("hi"), QStringLiteral("439")},
        {QStringLiteral("uk"), QStringLiteral("422")},
    };
    // The variant ("+f3") does not change the language.
    QString language = voiceId.section(QLatin1Char('+'), 0, 0).section(QLatin1Char('/'), -1).trimmed().toLower();
    while (!language.isEmpty()) {
        const auto it = codes.constFind(language);
        if (it != codes.constEnd()) return it.value();
        const qsizetype dash = language.lastIndexOf(QLatin1Char('-'));
        if (dash < 0) break;
        language.truncate(dash);
    }
    return {};
}

QString languageTag(const QString& code) { return QStringLiteral("<LANG LANGID=\"%1\">").arg(code); }

QString withExtension(const QString& name, const QString& extension) {
    if (name.endsWith(extension, Qt::CaseInsensitive)) return name;
    return name + extension;
}

}  // namespace sayvell::audio
