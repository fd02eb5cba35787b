#include "reading/tts.h"

#include "reading/piece_walk.h"

#include <chrono>

namespace sayvell::reading {

Tts::Tts(ReadingState& state, EditorPort& editor, SpeechEngine& engine, Clock& clock, const DateSubstitution& date,
         const LexiconSource& lexicon, std::shared_ptr<RunToken> token, RunRequest request)
    : state_(state), editor_(editor), engine_(engine), clock_(clock), date_(date), lexicon_(lexicon),
      token_(std::move(token)), request_(std::move(request)), language_(languageOfVoice(request_.voiceId)) {}

namespace {

// The editor as the walk's text: the caret, not the walk, says where the next piece starts,
// and each look is one call to the editor. Also keeps the lines the worker scrolls by.
class EditorSource final : public TextSource {
public:
    EditorSource(EditorPort& editor, ReadingState& state) : editor_(editor), state_(state) {}

    TextView viewAt(int offset) override {
        (void)offset;
        const EditorLook look = editor_.look(moveTo_, previousStart_, kReadWindowBytes);
        moveTo_ = -1;
        window_ = look.window;
        TextView view;
        view.offset = look.selStart;
        if (afterPiece_) {
            afterPiece_ = false;
            // Lines deleted meanwhile below the last piece's line end the run.
            if (look.lineCount < readingLine) {
                linesGone_ = true;
                view.stepEnds = true;
                return view;
            }
            readingLine = look.previousLine;
            if (readingLine == look.lineCount - 1) ++readingLine;
        }
        view.window = window_;
        view.stepOffset = look.stepOffset;
        stepLine_ = look.stepLine;
        view.stepEnds = look.stepLine >= look.lineCount - 1;
        return view;
    }

    void stepped(const TextView& view) override {
        if (linesGone_) return;
        editor_.moveCaret(view.stepOffset);
        state_.caretLine = stepLine_;
    }

    // The piece has been heard: the caret goes after it with the next look.
    void pieceDone(const WalkPiece& piece) {
        moveTo_ = piece.start + piece.length;
        previousStart_ = piece.start;
        afterPiece_ = true;
    }
    // The run ends: a caret move still owed is made.
    void finish() {
        if (moveTo_ >= 0) editor_.moveCaret(moveTo_);
        moveTo_ = -1;
    }

    int readingLine = 0;  // the line on which the last spoken piece started

private:
    EditorPort& editor_;
    ReadingState& state_;
    QString window_;
    int moveTo_ = -1;
    int previousStart_ = 0;
    int stepLine_ = 0;
    bool afterPiece_ = false;
    bool linesGone_ = false;
};

}  // namespace

RunSettings Tts::settingsNow() const {
    RunSettings settings;
    settings.delimiters = state_.delimiterTable();
    settings.symbolDelayMs = state_.symbolDelayMs.load();
    settings.dateFormatType = state_.dateFormatType.load();
    settings.now = clock_.now();
    settings.date = date_;
    settings.language = language_;
    // A table edited meanwhile counts from the next piece.
    settings.lexicon = lexicon_ ? lexicon_() : nullptr;
    return settings;
}

void Tts::speakPiece(const WalkPiece& piece) {
    if (piece.written.contains(QChar(kDelaySymbol))) clock_.sleepMs(piece.pauseBeforeMs);
    if (cut()) return;
    engine_.speak(piece.spoken, SpeechEngine::PurgeBeforeSpeak);
    if (cut()) return;
    if (piece.pauseAfterMs > 0) clock_.sleepMs(piece.pauseAfterMs);
}

void Tts::editorLoop() {
    EditorSource source(editor_, state_);
    PieceWalk walk(source, request_.selStart, WalkMode::FromCaret, settingsNow());
    int scrolledLine = 0;
    while (!stopped()) {
        walk.setSettings(settingsNow());
        const std::optional<WalkPiece> piece = walk.next();
        if (!piece) break;
        const bool scroll = source.readingLine != scrolledLine;
        scrolledLine = source.readingLine;
        editor_.showPiece(piece->start, piece->length, scroll);
        if (stopped()) break;
        if (piece->speaks) speakPiece(*piece);
        source.pieceDone(*piece);
    }
    source.finish();
}

void Tts::rangeLoop(int rangeStart, const QString& rangeText) {
    MemoryText range(rangeText);
    PieceWalk walk(range, 0, WalkMode::Range, settingsNow());
    while (!stopped()) {
        walk.setSettings(settingsNow());
        const std::optional<WalkPiece> piece = walk.next();
        if (!piece || stopped()) return;
        editor_.showPiece(rangeStart + piece->start, piece->length, false);
        speakPiece(*piece);
    }
}

void Tts::Execute() {
    // The run's end steps must happen however the loop ends.
    try {
        editor_.setSelStart(request_.selStart);
        if (request_.mode == RunMode::Range) {
            editor_.setSelLength(request_.selLength);
            const int rangeStart = editor_.selStart();
            rangeLoop(rangeStart, editor_.selText());
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

bool TtsRunner::rangeRunning() const {
    std::lock_guard lock(mutex_);
    if (pending_) return pending_->mode == RunMode::Range;
    return running_ && runningMode_ == RunMode::Range;
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
        bool single = false;
        DateSubstitution date;
        LexiconSource lexicon;
        {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [this] { return quit_ || (pending_.has_value() && !holdPending_); });
            if (quit_) return;
            request = *pending_;
            single = request.mode == RunMode::Single;
            runningMode_ = request.mode;
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
            if (!superseded && single && !quitting) {
                try {
                    editor_.runFinished();
                } catch (const std::exception&) {}
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
