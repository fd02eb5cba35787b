#pragma once
// The about window: version, the memory figures of the moment the program started, the
// maker's mail and home page, and the sample of the voices.
#include "info/memory_info.h"

#include <QDialog>
#include <QLabel>
#include <QUrl>

#include <functional>

namespace sayvell::ui {

class Dialogs;

// A label that acts when clicked, or when Enter or Space is pressed while it has the focus.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class Tf_about : public QDialog {
    Q_OBJECT
public:
    // Plays an MP3 file from its start without blocking; false with *error when it cannot.
    using SamplePlayer = std::function<bool(const QString& path, QString* error)>;
    using UrlOpener = std::function<bool(const QUrl&)>;

    // memory: the figures to show (the system's at this moment when not given).
    Tf_about(Dialogs& dialogs, QWidget* parent = nullptr, std::optional<info::MemoryStatus> memory = std::nullopt);

    // Without a player the sample click does nothing, as for a missing file.
    void setSamplePlayer(SamplePlayer player) { player_ = std::move(player); }
    // QDesktopServices::openUrl unless replaced.
    void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

    static QUrl mailUrl();
    static QUrl homeUrl();

    QLabel* Label1 = nullptr;  // "SayvellV2.60"
    QLabel* PhysMem = nullptr;
    QLabel* FreeRes = nullptr;
    ClickLabel* Label6 = nullptr;  // the mail address
    ClickLabel* Label7 = nullptr;  // "Sayvell主頁"
    ClickLabel* Label8 = nullptr;  // "聲音效果 ( 男女音 )"

public slots:
    void Label6Click();
    void Label7Click();
    void Label8Click();

private:
    Dialogs& dialogs_;
    SamplePlayer player_;
    UrlOpener openUrl_;
};

}  // namespace sayvell::ui
