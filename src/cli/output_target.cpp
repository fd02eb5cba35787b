#include "cli/output_target.h"

#include "audio/wav_formats.h"
#include "audio/wav_writer.h"

#include <QFileInfo>

namespace sayvell::app::cli {

namespace {

// Something there that a file written through a temporary name and a rename must not replace.
bool notAPlainFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
}

}  // namespace

std::optional<OutputTarget> outputTarget(const QString& given, QString* error) {
    // "dir/" would otherwise become the hidden "dir/.wav", "/dev/null" a new "/dev/null.wav".
    if (given.endsWith(u'/') || QFileInfo(given).isDir()) {
        *error = QStringLiteral("輸出檔不能是資料夾：%1").arg(given);
        return std::nullopt;
    }
    if (notAPlainFile(given)) {
        *error = QStringLiteral("輸出檔不能是裝置或其他特殊檔案：%1").arg(given);
        return std::nullopt;
    }
    OutputTarget target;
    target.path = given;
    const QString suffix = QFileInfo(given).suffix().toLower();
    if (suffix.isEmpty()) {
        target.path = audio::withExtension(given, QStringLiteral(".wav"));
        if (QFileInfo(target.path).isDir() || notAPlainFile(target.path)) {
            *error = QStringLiteral("輸出檔不能是資料夾或特殊檔案：%1").arg(target.path);
            return std::nullopt;
        }
        return target;
    }
    if (const std::optional<audio::FileKind> kind = audio::soundKindOf(given)) {
        target.wav = *kind == audio::FileKind::Wav;
        return target;
    }
    *error = QStringLiteral("輸出檔須是 %1：%2").arg(audio::soundExtensions(QStringLiteral(".%1")), given);
    return std::nullopt;
}

}  // namespace sayvell::app::cli
