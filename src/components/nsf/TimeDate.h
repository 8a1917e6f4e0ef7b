#pragma once

// The two-word TIMEDATE of Notes: hundredths of a second since midnight GMT, and the
// Julian day with the writer's zone and daylight-saving flags in the high byte.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace velmora::nsf {

struct TimeDate {
    std::uint32_t time = 0;  // hundredths since midnight GMT; all ones: no time
    std::uint32_t date = 0;  // Julian day in the low 24 bits, zone in the high byte

    bool HasTime() const { return time != 0xFFFFFFFFu; }
    bool HasDate() const { return (date & 0x00FFFFFFu) != 0x00FFFFFFu; }
    // The writer's standard offset from GMT, east positive.
    int ZoneSeconds() const;
    bool ObservesDaylightSaving() const { return (date & 0x80000000u) != 0; }
};

// The moment in the writer's zone, daylight saving applied where the zone observes it
// and the date falls in its season (northern rules: the US ones west of GMT, the European
// ones east of it, as the flags carry no rule). A value without a time is midnight of
// its day; a value without a date (or of day 0, the least value) gives nothing. A value that makes no sense (no such
// day or zone, a time beyond one day) gives nothing too, with the reason in damage.
std::optional<QDateTime> ToDateTime(const TimeDate& value, QString* damage = nullptr);

}  // namespace velmora::nsf
