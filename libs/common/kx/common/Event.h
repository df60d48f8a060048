#pragma once

namespace kx {
namespace common {

// Event without a name. A manual-reset event stays signalled from Set until Reset and releases
// every waiter meanwhile; an auto-reset event releases one waiter per Set, whose wait takes the
// signal, so a consumer thread that waits for work needs no Reset (a kernel call each where the
// event is a kernel object). Set, Reset and the waits may be called on any threads at once;
// Close and destruction only when no other thread uses the event any more.
class Event {
public:
    enum Mode { kManualReset, kAutoReset };

    // Creates the event, not signalled. The platform object may be created only when first
    // set or waited on (Windows does so). A creation failure is not reported here; the first
    // wait (or, for an object created on first use, the first set) then stops the process.
    explicit Event(Mode mode = kManualReset);

    // Closes the event.
    ~Event() { Close(); }

    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Releases the platform event; later calls do nothing.
    void Close();

    // Signals the event.
    void Set();

    // Makes the event non-signalled.
    void Reset();

    // Waits without a time limit until the event is signalled. Any other outcome stops the
    // process (contract).
    void Wait();

    // Waits at most `milliseconds`; `signalled` becomes true when the event was signalled and
    // false on time-out. Any other outcome stops the process (contract).
    void Wait(unsigned milliseconds, bool& signalled);

private:
    void* handle_;
    // Read where the platform object is created on first use (Windows); POSIX creates it at
    // once and keeps the mode in it.
    [[maybe_unused]] const Mode mode_;
};

}  // namespace common
}  // namespace kx
