#include "reading/tts.h"

#include "reading/piece_cutter.h"
#include "text/byte_text.h"

#include <chrono>

namespace sayvell::reading {

Tts::Tts(ReadingState& state, EditorPort& editor, SpeechEngine& engine, Clock& clock,
         const DateSubstitution& date, const LexiconSource& lexicon, std::shared_ptr<RunToken> token,
         RunRequest request)
    : state_(state), editor_(editor), engine_(engine), clock_(clock), date_(date), lexicon_(lexicon),
      token_(std::move(token)), request_(std::move(request)), language_(languageOfVoice(request_.voiceId)) {}

void Tts::speakPiece(const QString& piece, int delayMs) {
    // A table edited meanwhile counts from the next piece.
    const std::shared_ptr<const PronunciationLexicon> lexicon = lexicon_ ? lexicon_() : nullptr;
    SpokenSettings settings;
    settings.language = language_;
    settings.dateFormatType = state_.dateFormatType.load();
    settings.now = clock_.now();
    settings.date = &date_;
    settings.lexicon = lexicon.get();
    const QString spoken = spokenCopy(piece, settings);
    if (piece.contains(QChar(kDelaySymbol))) clock_.sleepMs(state_.symbolDelayMs.load());
    if (cut()) return;
    engine_.speak(spoken, SpeechEngine::PurgeBeforeSpeak);
    if (cut()) return;
    if (delayMs > 0) clock_.sleepMs(delayMs);
}

void Tts::editorLoop() {
    while (!stopped()) {
        pieceStart_ = editor_.selStart();
        const QString window = editor_.textWindow(pieceStart_, kReadWindowBytes);
        if (!hasText(window)) {
            editor_.setSelStart(pieceStart_ + kReadWindowBytes);
            const int caretLine = editor_.lineOfOffset(editor_.selStart());
            state_.caretLine = caretLine;
            if (caretLine >= editor_.lineCount() - 1) return;
            continue;
        }
        const Piece piece = cutSpokenPiece(window, state_.delimiterTable(), language_);
        pieceLength_ = text::byteLength(piece.text);
        editor_.setSelLength(pieceLength_);
        if (readingLine_ != scrolledLine_) {
            editor_.scrollOneLine();
            scrolledLine_ = readingLine_;
        }
        if (stopped()) return;
        if (hasText(piece.text)) speakPiece(piece.text, piece.delayMs);
        const int lines = editor_.lineCount();
        if (lines < readingLine_) return;
        readingLine_ = editor_.lineOfOffset(editor_.selStart());
        if (readingLine_ == lines - 1) ++readingLine_;
        editor_.setSelStart(pieceStart_ + pieceLength_);
    }
}

void Tts::rangeLoop() {
    const text::ByteText range(state_.rangeText());
    while (!stopped()) {
        const int offset = state_.rangeOffset.load();
        const QString window = range.window(offset, kReadWindowBytes);
        const Piece piece = cutSpokenPiece(window, state_.delimiterTable(), language_);
        if (window.isEmpty()) return;
        if (stopped()) return;
        const int length = text::byteLength(piece.text);
        editor_.setSelStart(state_.rangeStart.load() + offset);
        editor_.setSelLength(length);
        state_.rangeOffset = offset + length;
        speakPiece(piece.text, piece.delayMs);
    }
}

void Tts::Execute() {
    // The run's end steps must happen however the loop ends.
    try {
        editor_.setSelStart(request_.selStart);
        if (state_.rangeMode.load()) {
            editor_.setSelLength(request_.selLength);
            state_.rangeOffset = 0;
            state_.rangeStart = editor_.selStart();
            state_.setRangeText(editor_.selText());
            rangeLoop();
        } else {
            editorLoop();
        }
    } catch (const std::exception&) {
        // An engine or editor failure ends the run; nothing to tell the user mid-run.
    }
}

TtsRunner::TtsRunner(ReadingState& state, EditorPort& editor, SpeechEngine& engine, Clock& clock)
    : state_(state), editor_(editor), engine_(engine), clock_(clock) {
    state_.readingWorker = this;
    thread_ = std::thread([this] { threadMain(); });
}

TtsRunner::~TtsRunner() { shutdown(); }

void TtsRunner::setDateSubstitution(DateSubstitution date) {
    std::lock_guard lock(mutex_);
    date_ = std::move(date);
}

void TtsRunner::setLexiconSource(LexiconSource lexicon) {
    std::lock_guard lock(mutex_);
    lexicon_ = std::move(lexicon);
}

void TtsRunner::start(RunRequest request) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        if (currentToken_) currentToken_->stop = true;
        pending_ = std::move(request);
        pendingToken_ = std::make_shared<RunToken>();
    }
    cv_.notify_all();
}

void TtsRunner::skipTo(RunRequest request) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        if (currentToken_) {
            currentToken_->cut = true;
            currentToken_->stop = true;
        }
        pending_ = std::move(request);
        pendingToken_ = std::make_shared<RunToken>();
        // Held back until the old run's piece has been silenced, so the purge cannot reach
        // the new run's first piece.
        holdPending_ = true;
    }
    engine_.speak(QString(), SpeechEngine::PurgeBeforeSpeak);
    {
        std::lock_guard lock(mutex_);
        holdPending_ = false;
    }
    cv_.notify_all();
}

void TtsRunner::requestStop() {
    state_.stopRequested = true;
    std::lock_guard lock(mutex_);
    if (currentToken_) currentToken_->stop = true;
    pending_.reset();
    pendingToken_.reset();
    cv_.notify_all();
}

bool TtsRunner::busy() const {
    std::lock_guard lock(mutex_);
    return running_ || pending_.has_value();
}

bool TtsRunner::waitIdle(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [this] { return !running_ && !pending_.has_value(); });
}

void TtsRunner::abort() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        if (currentToken_) currentToken_->stop = true;
        pending_.reset();
    }
    cv_.notify_all();
    clock_.interrupt();
    engine_.speak(QString(), SpeechEngine::PurgeBeforeSpeak);
}

void TtsRunner::shutdown() {
    if (!thread_.joinable()) return;
    abort();
    thread_.join();
    clock_.resume();
}

void TtsRunner::threadMain() {
    for (;;) {
        RunRequest request;
        std::shared_ptr<RunToken> token;
        DateSubstitution date;
        LexiconSource lexicon;
        {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [this] { return quit_ || (pending_.has_value() && !holdPending_); });
            if (quit_) return;
            request = *pending_;
            token = pendingToken_;
            pending_.reset();
            pendingToken_.reset();
            currentToken_ = token;
            running_ = true;
            date = date_;
            lexicon = lexicon_;
        }
        {
            std::lock_guard runLock(readingLock);
            Tts(state_, editor_, engine_, clock_, date, lexicon, token, std::move(request)).Execute();
            bool superseded = false;
            bool quitting = false;
            {
                std::lock_guard lock(mutex_);
                superseded = pending_.has_value();
                quitting = quit_;
            }
            // The end time first: the loop timer measures its interval once readingActive drops.
            state_.setLastRunEndTime(clock_.now());
            if (!superseded) state_.readingActive = false;
            if (!superseded && state_.singleRun.load() && !quitting) {
                try {
                    editor_.runFinished();
                } catch (const std::exception&) {
                }
            }
        }
        {
            std::lock_guard lock(mutex_);
            running_ = false;
            currentToken_.reset();
        }
        cv_.notify_all();
    }
}

}  // namespace sayvell::reading
