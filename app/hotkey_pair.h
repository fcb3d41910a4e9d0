// The double-Ctrl hot key of the compact window: two Ctrl presses in quick succession show or hide
// the box. This is the press-pair rule alone, over press times, so that it can be checked to the
// millisecond without a keyboard. Qt-free.
#pragma once

#include <cstdint>

namespace kestrel::app {

// What one press did.
enum class HotkeyPress {
    Stored,   // no press was waiting: this one waits for a partner
    Dropped,  // the waiting press was too old by the clock fields: both are forgotten
    Toggle,   // the pair is a double press: show or hide the window
    Restored, // the pair was too quick or too slow: this press waits for a partner instead
};

// The press-pair state (HotkeyCount and FirstHotkeyTime of the compact window). A press time is UTC in
// milliseconds since 1970-01-01. The caller feeds only presses that count: none while the
// "StartHotkey" switch is off, so the state does not change then. UI thread; no allocation.
//
// The second press of a pair is first compared by its clock fields with the waiting one: a later hour,
// a later minute, or a second more than one past the waiting press's second drops the pair. Otherwise
// the gap decides: more than 100 ms and less than 300 ms toggles; anything else (also a clock that went
// back) makes this press the waiting one.
class HotkeyPair {
public:
    static constexpr std::int64_t kMinGapMs = 100; // a gap must be more than this
    static constexpr std::int64_t kMaxGapMs = 300; // and less than this

    HotkeyPress press(std::int64_t utcMs);

    // HotkeyCount: 1 while a press waits for a partner, else 0.
    int count() const { return m_count; }
    // FirstHotkeyTime: the waiting press's time; meaningful while count() is 1.
    std::int64_t firstTime() const { return m_first; }

private:
    int m_count = 0;
    std::int64_t m_first = 0;
};

} // namespace kestrel::app
