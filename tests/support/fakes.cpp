#include "support/fakes.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>

namespace sayvell::testing {

void FakeEditor::setText(const QString& text) {
    std::lock_guard lock(mutex_);
    text_.setText(text);
    selStart_ = std::min(selStart_, text_.byteLength());
    selLength_ = 0;
}

void FakeEditor::setSelection(int start, int length) {
    std::lock_guard lock(mutex_);
    selStart_ = std::clamp(start, 0, text_.byteLength());
    selLength_ = std::clamp(length, 0, text_.byteLength() - selStart_);
}

QString FakeEditor::text() const {
    std::lock_guard lock(mutex_);
    return text_.text();
}

int FakeEditor::selStartNow() const {
    std::lock_guard lock(mutex_);
    return selStart_;
}

int FakeEditor::selLengthNow() const {
    std::lock_guard lock(mutex_);
    return selLength_;
}

int FakeEditor::scrolls() const {
    std::lock_guard lock(mutex_);
    return scrolls_;
}

int FakeEditor::selStart() { return selStartNow(); }

void FakeEditor::setSelStart(int offset) { setSelection(offset, 0); }

void FakeEditor::setSelLength(int length) {
    std::lock_guard lock(mutex_);
    selLength_ = std::clamp(length, 0, text_.byteLength() - selStart_);
}

QString FakeEditor::selText() {
    std::lock_guard lock(mutex_);
    return text_.window(selStart_, selLength_);
}

QString FakeEditor::textWindow(int offset, int maxBytes) {
    std::lock_guard lock(mutex_);
    return text_.window(offset, maxBytes);
}

int FakeEditor::lineCount() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(text_.text().count(u'\n')) + 1;
}

int FakeEditor::lineOfOffset(int offset) {
    std::lock_guard lock(mutex_);
    const qsizetype pos = text_.posOfByte(offset);
    return static_cast<int>(QStringView(text_.text()).left(pos).count(u'\n'));
}

void FakeEditor::scrollOneLine() {
    std::lock_guard lock(mutex_);
    ++scrolls_;
}

void FakeEditor::runFinished() { ++finished_; }

FakeClock::FakeClock(QDateTime start) : now_(std::move(start)) {}

QDateTime FakeClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void FakeClock::sleepMs(int ms) {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(ms);
    if (ms > 0) now_ = now_.addMSecs(ms);
}

void FakeClock::advance(int ms) {
    std::lock_guard lock(mutex_);
    now_ = now_.addMSecs(ms);
}

std::vector<int> FakeClock::sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
}

FakeSpeechEngine::FakeSpeechEngine(FakeEditor* editor, FakeClock* clock) : editor_(editor), clock_(clock) {}

QList<reading::Voice> FakeSpeechEngine::voices() {
    std::lock_guard lock(mutex_);
    return voices_;
}

void FakeSpeechEngine::setVoices(QList<reading::Voice> voices) {
    std::lock_guard lock(mutex_);
    voices_ = std::move(voices);
}

void FakeSpeechEngine::setVoice(const reading::Voice& voice) {
    std::lock_guard lock(mutex_);
    voiceId_ = voice.id;
}

bool FakeSpeechEngine::speak(const QString& text, int flags) {
    std::pair<int, int> selection{0, 0};
    if (editor_)
        selection = {editor_->selStartNow(), editor_->selLengthNow()};
    else if (probe_ && !text.isEmpty())
        selection = probe_();
    std::unique_lock lock(mutex_);
    if (flags & PurgeBeforeSpeak) {
        ++purges_;
        ++purgeGeneration_;
        cv_.notify_all();
    }
    if (text.isEmpty()) return true;
    Spoken s{text, flags, selection.first, selection.second, clock_ ? clock_->now() : QDateTime()};
    spoken_.push_back(s);
    cv_.notify_all();
    const int generation = purgeGeneration_;
    cv_.wait(lock, [&] { return !held_ || purgeGeneration_ != generation; });
    if (clock_ && pieceMs_ > 0) clock_->advance(pieceMs_);
    return purgeGeneration_ == generation;
}

std::vector<FakeSpeechEngine::Spoken> FakeSpeechEngine::spoken() const {
    std::lock_guard lock(mutex_);
    return spoken_;
}

QStringList FakeSpeechEngine::texts() const {
    QStringList out;
    for (const auto& s : spoken()) out << s.text;
    return out;
}

int FakeSpeechEngine::purges() const {
    std::lock_guard lock(mutex_);
    return purges_;
}

QString FakeSpeechEngine::voiceId() const {
    std::lock_guard lock(mutex_);
    return voiceId_;
}

void FakeSpeechEngine::hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

void FakeSpeechEngine::release() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    cv_.notify_all();
}

bool FakeSpeechEngine::waitSpoken(int count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return static_cast<int>(spoken_.size()) >= count; });
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace sayvell::testing
