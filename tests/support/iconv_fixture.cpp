#include "support/iconv_fixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace sayvell::testing {

QByteArray iconvBytes(const QString& text, const char* charset) {
    QTemporaryDir dir;
    const QString inPath = dir.filePath("in.txt"), outPath = dir.filePath("out.txt");
    QFile in(inPath);
    if (!in.open(QIODevice::WriteOnly) || in.write(text.toUtf8()) < 0) {
        ADD_FAILURE() << "cannot write " << qPrintable(inPath);
        return {};
    }
    in.close();
    // posix_spawn, not QProcess: a forked child shares the test's memory until it execs.
    QByteArray inName = QFile::encodeName(inPath), outName = QFile::encodeName(outPath), to(charset);
    char iconv[] = "iconv", from[] = "-f", utf8[] = "UTF-8", toFlag[] = "-t", outFlag[] = "-o";
    char* argv[] = {iconv, from, utf8, toFlag, to.data(), outFlag, outName.data(), inName.data(), nullptr};
    pid_t pid = -1;
    int status = 0;
    const bool ok = posix_spawnp(&pid, iconv, nullptr, nullptr, argv, environ) == 0 &&
                    waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    QFile out(outPath);
    if (!ok || !out.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "iconv could not write " << charset << ": " << qPrintable(text.left(20));
        return {};
    }
    return out.readAll();
}

}  // namespace sayvell::testing
