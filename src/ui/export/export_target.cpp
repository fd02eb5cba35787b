#include "ui/export/export_target.h"

#include "audio/wav_writer.h"
#include "ui/common/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace sayvell::ui {

QString defaultSoundFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return QDir::cleanPath(music);
    return QDir::homePath();
}

QString exportSoundPath(const QString& typed, const QString& folder) {
    QString name = typed;
    if (name == QLatin1String("~") || name.startsWith(QLatin1String("~/"))) name = QDir::homePath() + name.mid(1);
    if (!audio::soundKindOf(name)) name += QStringLiteral(".wav");
    return QDir::cleanPath(QDir(folder).absoluteFilePath(name));
}

QStringList exportFiles(const QString& soundPath, bool subtitles) {
    QStringList files{soundPath};
    if (subtitles) {
        const QFileInfo info(soundPath);
        const QString base = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
        files << base + QStringLiteral(".srt") << base + QStringLiteral(".lrc");
    }
    return files;
}

bool mayReplace(Dialogs& dialogs, const QStringList& files) {
    QStringList there;
    for (const QString& f : files)
        if (QFileInfo::exists(f)) there << f;
    if (there.isEmpty()) return true;
    const QString question = there.size() == 1
                                 ? QStringLiteral("該文件: %1 已存在，要覆蓋它嗎？").arg(there.first())
                                 : QStringLiteral("這些文件已存在，要覆蓋它們嗎？\n%1").arg(there.join(u'\n'));
    return dialogs.ask(question).value_or(false);
}

}  // namespace sayvell::ui
