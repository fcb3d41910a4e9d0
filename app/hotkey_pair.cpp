#include "hotkey_pair.h"

namespace kestrel::app {

namespace {

// Floor division, so that times before 1970 still give fields in range.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

struct ClockFields {
    std::int64_t hour, minute, second;
};

ClockFields fieldsOf(std::int64_t utcMs) {
    const std::int64_t seconds = floorDiv(utcMs, 1000);
    const std::int64_t minutes = floorDiv(seconds, 60);
    const std::int64_t hours = floorDiv(minutes, 60);
    return {hours - floorDiv(hours, 24) * 24, minutes - hours * 60, seconds - minutes * 60};
}

} // namespace

HotkeyPress HotkeyPair::press(std::int64_t utcMs) {
    if (m_count == 0) {
        m_count = 1;
        m_first = utcMs;
        return HotkeyPress::Stored;
    }
    m_count = 0;
    const ClockFields now = fieldsOf(utcMs);
    const ClockFields first = fieldsOf(m_first);
    if (now.hour > first.hour || now.minute > first.minute || now.second > first.second + 1)
        return HotkeyPress::Dropped;
    // The gap is taken from the full times, so a pair across midnight is measured correctly and a
    // press a day later with the same clock fields is not mistaken for a partner.
    const std::int64_t gap = utcMs - m_first;
    if (gap > kMinGapMs && gap < kMaxGapMs)
        return HotkeyPress::Toggle;
    m_count = 1;
    m_first = utcMs;
    return HotkeyPress::Restored;
}

} // namespace kestrel::app
