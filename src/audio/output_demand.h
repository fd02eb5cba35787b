#pragma once
// Optional side channel between the engine and an output that can rest while nothing plays.
// An output that implements it asks the probe before pulling and may sleep (or pause the
// device) while there is nothing to do; the engine calls workArrived() when that changes.
#include <functional>

namespace sayvell::audio {

enum class Demand {
    None,    // every channel empty and nobody listening
    Listen,  // only silence, but a tap records it: a real-time output keeps going
    Sound,   // something is queued
};

class DemandAware {
public:
    virtual ~DemandAware() = default;
    // Set before start(); called from the output's thread, must be cheap and non-blocking.
    virtual void setDemandProbe(std::function<Demand()> probe) = 0;
    // Any thread; never called with the engine's lock held.
    virtual void workArrived() = 0;
};

}  // namespace sayvell::audio
