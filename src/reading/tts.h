#pragma once
// The reading worker. One run reads the editor from the caret (editor mode) or a captured
// selection (range mode) piece by piece, as the walk of reading/piece_walk.h cuts them:
// highlight, speak and wait until heard, pause, move on. Runs never overlap: they execute one
// after another on the runner's thread, holding readingLock.
//
// The editor lives on the UI thread. Per piece the worker makes one call that waits (the look:
// caret, window, lines) and one that does not (the highlight); a range pass reads a copy of its
// range taken at its start, so that edits made meanwhile do not change what it says.
//
// A new start supersedes the run in progress: that run ends after its current piece and the
// new one begins from the caret and selection its command left, whatever the old run's last
// caret move did.
#include "reading/clock.h"
#include "reading/editor_port.h"
#include "reading/piece_walk.h"
#include "reading/reading_state.h"
#include "reading/speech_engine.h"
#include "reading/spoken_text.h"

#include <QDateTime>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace sayvell::reading {

// The pronunciation table as it is now; may be called on the worker's thread.
using LexiconSource = std::function<std::shared_ptr<const PronunciationLexicon>()>;

struct RunRequest {
    int selStart = 0;  // the caret (and selection, for range mode) the command left
    int selLength = 0;
    QString voiceId;  // the voice the run speaks with; its language decides how numbers are said
    RunMode mode = RunMode::Single;
};

struct RunToken {
    std::atomic<bool> stop{false};
    // Also cut the piece being spoken and its pause short (skipTo).
    std::atomic<bool> cut{false};
};

// One run. Created and executed by TtsRunner.
class Tts {
public:
    Tts(ReadingState& state, EditorPort& editor, SpeechEngine& engine, Clock& clock, const DateSubstitution& date,
        const LexiconSource& lexicon, std::shared_ptr<RunToken> token, RunRequest request);
    // The body of the run; returns when the run has ended and its end steps are done.
    void Execute();

private:
    bool stopped() const { return token_->stop.load(); }
    bool cut() const { return token_->cut.load(); }
    void editorLoop();
    void rangeLoop(int rangeStart, const QString& rangeText);
    RunSettings settingsNow() const;
    void speakPiece(const WalkPiece& piece);

    ReadingState& state_;
    EditorPort& editor_;
    SpeechEngine& engine_;
    Clock& clock_;
    const DateSubstitution& date_;
    const LexiconSource& lexicon_;
    std::shared_ptr<RunToken> token_;
    RunRequest request_;
    SpeechLanguage language_;
};

class TtsRunner {
public:
    TtsRunner(ReadingState& state, EditorPort& editor, SpeechEngine& engine, Clock& clock);
    ~TtsRunner();
    TtsRunner(const TtsRunner&) = delete;
    TtsRunner& operator=(const TtsRunner&) = delete;

    void setDateSubstitution(DateSubstitution date);
    // Where each run takes the pronunciation table from; none: no word is replaced.
    void setLexiconSource(LexiconSource lexicon);

    // Starts a run; the run in progress, if any, ends after its current piece.
    void start(RunRequest request);
    // As start(), but the run in progress does not finish its piece: the piece is silenced and
    // its pause skipped, so the new run is heard at once (the media keys' Next and Previous).
    void skipTo(RunRequest request);
    // Asks the run in progress to end after its current piece (the stop command).
    void requestStop();
    // True while a run is executing or waiting to execute.
    bool busy() const;
    // True while the run executing or waiting is one pass of a loop over a range.
    bool rangeRunning() const;
    // Waits until no run is executing or waiting, at most timeoutMs; true when idle.
    bool waitIdle(int timeoutMs);
    // Ends the run in progress at once (silences the engine, cuts pauses short) and accepts no
    // more runs; does not wait. The worker may still need the editor to finish its step.
    void abort();
    // abort(), then joins the thread. Callers whose thread serves the editor must first let
    // busy() become false while serving it.
    void shutdown();

    std::timed_mutex readingLock;

private:
    void threadMain();

    ReadingState& state_;
    EditorPort& editor_;
    SpeechEngine& engine_;
    Clock& clock_;
    DateSubstitution date_;
    LexiconSource lexicon_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<RunRequest> pending_;
    std::shared_ptr<RunToken> pendingToken_;
    std::shared_ptr<RunToken> currentToken_;
    bool running_ = false;
    RunMode runningMode_ = RunMode::Single;
    bool quit_ = false;
    bool holdPending_ = false;
    std::thread thread_;
};

}  // namespace sayvell::reading
