#pragma once
// A main window on fakes, in a private folder with its own draft.dat and setinfo.ini.
#include "reading/tts.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "support/fakes.h"
#include "text/byte_text.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/common/services.h"
#include "ui/document/documents_controller.h"
#include "ui/document/find_controller.h"
#include "ui/reading/date_controller.h"
#include "ui/reading/loop_controller.h"
#include "ui/reading/reading_commands.h"
#include "ui/shell/tf_speaker.h"

#include <QAction>
#include <QToolButton>

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace sayvell::testing {

// The controls a reading disables, as the user finds them: by their accessible names.
inline const QStringList kReadingControlNames{QStringLiteral("新建"),
                                              QStringLiteral("打開文件"),
                                              QStringLiteral("保存"),
                                              QStringLiteral("輸出WAV聲音文件"),
                                              QStringLiteral("輸出帶音樂背景的WAV文件"),
                                              QStringLiteral("從最面前始朗讀"),
                                              QStringLiteral("當前位置朗讀"),
                                              QStringLiteral("全文循環朗讀"),
                                              QStringLiteral("選擇范圍循環朗讀"),
                                              QStringLiteral("移到文章最前面"),
                                              QStringLiteral("移到文章最後面"),
                                              QStringLiteral("插入日期時間"),
                                              QStringLiteral("系統設置"),
                                              QStringLiteral("設為默認"),
                                              QStringLiteral("循環次數"),
                                              QStringLiteral("間隔秒數")};

// Those controls of the main window itself (not of the windows it owns); a name that finds
// nothing fails the test.
inline std::vector<QWidget*> readingControlsOf(QWidget& window) {
    std::vector<QWidget*> found;
    for (const QString& name : kReadingControlNames) {
        bool any = false;
        for (QWidget* w : window.findChildren<QWidget*>())
            if (w->accessibleName() == name && w->window() == &window) {
                found.push_back(w);
                any = true;
            }
        EXPECT_TRUE(any) << "no control named " << name.toStdString();
    }
    return found;
}

class RecordingDialogs : public ui::Dialogs {
public:
    void warning(const QString& text) override { shown << "warning:" + text; }
    bool confirm(const QString& text) override {
        shown << "confirm:" + text;
        if (!confirmAnswers.isEmpty()) return confirmAnswers.takeFirst();
        return confirmAnswer;
    }
    std::optional<bool> ask(const QString& text) override {
        if (!putOff) return confirm(text);
        shown << "confirm:" + text;
        return std::nullopt;
    }
    void information(const QString& text) override { shown << "information:" + text; }
    void error(const QString& text) override { shown << "error:" + text; }
    QString openFileName(const QString&, const QString&) override { return openAnswer; }
    QString saveFileName(const QString& caption, const QString&) override {
        shown << "save:" + caption;
        return saveAnswer;
    }
    // Documents and editor
    void message(const QString& text) override { shown << "plain:" + text; }
    QString openDocumentName(const QString& caption, const QString& filter, const QString& folder) override {
        shown << "open:" + caption;
        openFilter = filter;
        openFolder = folder;
        return openAnswer;
    }
    QString saveDocumentName(const QString& caption, const QString&) override {
        shown << "save:" + caption;
        return saveAnswer;
    }
    bool chooseFont(ui::FontChoice* choice) override {
        shown << "font:" + choice->font.family();
        if (!fontAnswer) return false;
        *choice = *fontAnswer;
        return true;
    }
    bool chooseColor(QColor* color) override {
        shown << "color:" + color->name();
        if (!colorAnswer.isValid()) return false;
        *color = colorAnswer;
        return true;
    }
    // The shown list without the given kinds ("save:", "open:", ...).
    QStringList without(const QStringList& kinds) const {
        QStringList out;
        for (const QString& s : shown) {
            bool skip = false;
            for (const QString& k : kinds) skip = skip || s.startsWith(k);
            if (!skip) out << s;
        }
        return out;
    }

    QStringList shown;
    bool confirmAnswer = false;
    QList<bool> confirmAnswers;  // answered in turn, then confirmAnswer
    bool putOff = false;         // questions that may be put off are (Escape)
    QString openAnswer;
    QString openFilter;
    QString openFolder;
    QString saveAnswer;
    std::optional<ui::FontChoice> fontAnswer;
    QColor colorAnswer;  // invalid: cancelled
};

struct WindowRig {
    QTemporaryDir dir;
    FakeClock clock;
    FakeSpeechEngine engine{nullptr, &clock};
    RecordingDialogs dialogs;
    std::unique_ptr<store::TDM> dm;
    std::unique_ptr<ui::Tf_speaker> window;
    int exitCode = -1;
    // Set before open(): the real message boxes instead of the recorded ones, a power control.
    ui::Dialogs* otherDialogs = nullptr;
    platform::PowerControl* power = nullptr;
    platform::MediaPlayerFactory mediaPlayers;  // none unless a test puts one here before open()
    bool completeAtOnce = true;  // false: the rest of the start waits for the first frame, as in the program

    // settingsText: the setinfo.ini to start with (none when empty).
    explicit WindowRig(const QByteArray& settingsText = {}, bool start = true) {
        store::setAppDirForTesting(dir.path());
        QFile::copy(QStringLiteral(SAYVELL_BIN_DIR "/draft.dat"), path("draft.dat"));
        QFile::setPermissions(path("draft.dat"), QFile::ReadOwner | QFile::WriteOwner);
        if (!settingsText.isEmpty()) {
            QFile f(path("setinfo.ini"));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(settingsText);
        }
        if (start) open();
    }
    void open() {
        dm = store::TDM::open(path("draft.dat"));
        ASSERT_TRUE(dm);
        ui::Services services{engine, *dm, otherDialogs ? *otherDialogs : dialogs, clock};
        services.power = power;
        services.mediaPlayers = mediaPlayers;
        window = std::make_unique<ui::Tf_speaker>(services);
        if (completeAtOnce) window->completeStart();
        QObject::connect(window.get(), &ui::Tf_speaker::exitRequested, [this](int code) { exitCode = code; });
        auto* port = &window->memoPort();
        engine.setSelectionProbe([port] {
            const int start = port->selStart();
            return std::pair<int, int>(start, text::byteLength(port->selText()));
        });
    }
    ~WindowRig() {
        window.reset();
        store::setAppDirForTesting(QString());
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString settings() const {
        QFile f(path("setinfo.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QPlainTextEdit* memo() const { return window->ui.Memo1; }
    // As if typed or pasted: the text counts as changed; the caret goes back to the top.
    void type(const QString& text) {
        memo()->selectAll();
        memo()->insertPlainText(text);
        memo()->moveCursor(QTextCursor::Start);
    }
    bool waitIdle() {
        return waitFor([this] { return !window->runner().busy(); }, 10000);
    }
};

}  // namespace sayvell::testing
