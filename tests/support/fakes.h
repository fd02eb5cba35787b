#pragma once
// Stand-ins for the editor, the speech engine and the clock, recording what the user would
// see (selection) and hear (spoken text, pauses).
#include "reading/clock.h"
#include "reading/editor_port.h"
#include "reading/speech_engine.h"
#include "text/byte_text.h"

#include <QDateTime>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace sayvell::testing {

// Lines are the text's '\n'-separated lines (no wrapping).
class FakeEditor : public reading::EditorPort {
public:
    explicit FakeEditor(const QString& text = {}) { setText(text); }
    void setText(const QString& text);
    void setSelection(int start, int length);
    QString text() const;
    int selStartNow() const;
    int selLengthNow() const;
    int scrolls() const;
    int finishedCount() const { return finished_.load(); }

    int selStart() override;
    void setSelStart(int offset) override;
    void setSelLength(int length) override;
    QString selText() override;
    QString textWindow(int offset, int maxBytes) override;
    int lineCount() override;
    int lineOfOffset(int offset) override;
    void scrollOneLine() override;
    void runFinished() override;

private:
    mutable std::mutex mutex_;
    text::ByteText text_;
    int selStart_ = 0;
    int selLength_ = 0;
    int scrolls_ = 0;
    std::atomic<int> finished_{0};
};

class FakeClock : public reading::Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2014, 4, 7), QTime(9, 5, 3)));
    QDateTime now() const override;
    void sleepMs(int ms) override;
    void interrupt() override {}
    void resume() override {}
    void advance(int ms);
    std::vector<int> sleeps() const;

private:
    mutable std::mutex mutex_;
    QDateTime now_;
    std::vector<int> sleeps_;
};

class FakeSpeechEngine : public reading::SpeechEngine {
public:
    struct Spoken {
        QString text;
        int flags = 0;
        int selStart = 0;  // the editor's selection while the text was spoken
        int selLength = 0;
        QDateTime at;
    };

    FakeSpeechEngine(FakeEditor* editor = nullptr, FakeClock* clock = nullptr);
    // Where the selection is read from while a text is spoken, when not from a FakeEditor.
    void setSelectionProbe(std::function<std::pair<int, int>()> probe) { probe_ = std::move(probe); }
    void setVoices(QList<reading::Voice> voices);

    QList<reading::Voice> voices() override;
    void setVoice(const reading::Voice& voice) override;
    int rate() const override { return rate_; }
    void setRate(int rate) override { rate_ = rate; }
    void setVolume(int volume) override { volume_ = volume; }
    bool speak(const QString& text, int flags) override;
    void waitUntilDone() override {}
    bool setOutputFile(const QString&, const reading::PcmFormat&, QString*) override { return true; }
    bool setOutputDefault(QString*) override { return true; }

    std::vector<Spoken> spoken() const;
    QStringList texts() const;
    int purges() const;
    QString voiceId() const;
    int volume() const { return volume_; }

    // While held, a non-empty speak() blocks until release() or a purge; lets a test act
    // "during" a piece.
    void hold();
    void release();
    // Blocks until `count` texts have been spoken (or started, when held); false on time-out.
    bool waitSpoken(int count, int timeoutMs = 5000) const;
    // Each piece takes this long on the fake clock.
    void setPieceMs(int ms) { pieceMs_ = ms; }

private:
    FakeEditor* editor_;
    FakeClock* clock_;
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<Spoken> spoken_;
    int purges_ = 0;
    bool held_ = false;
    int purgeGeneration_ = 0;
    QString voiceId_;
    std::atomic<int> rate_{0};
    std::atomic<int> volume_{100};
    int pieceMs_ = 0;
    std::function<std::pair<int, int>()> probe_;
    QList<reading::Voice> voices_{{"cmn-latn-pinyin", "普通話（男聲）"}, {"yue", "粵語（男聲）"}};
};

// Waits for a condition with a time limit, letting Qt events run meanwhile.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

}  // namespace sayvell::testing
