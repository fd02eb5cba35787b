#pragma once
// What a feature may know of the reading in progress and of the controls it locks.
namespace sayvell::ui {

class ReadingGate {
public:
    virtual ~ReadingGate() = default;
    virtual bool readingActive() const = 0;
    // Asks the worker to end after the piece it is speaking (documents do this before a change).
    virtual void requestStop() = 0;
    // The fixed list of 16 controls that are disabled while a reading runs.
    virtual void disableControls() = 0;
    virtual void enableControls() = 0;
};

}  // namespace sayvell::ui
