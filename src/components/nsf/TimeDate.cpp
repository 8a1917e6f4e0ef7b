#include "components/nsf/TimeDate.h"

#include <QTimeZone>

namespace velmora::nsf {

namespace {

constexpr std::int64_t kHundredthsPerDay = 24LL * 60 * 60 * 100;
// No zone lies further from GMT than 14 hours.
constexpr int kMaxZoneSeconds = 14 * 3600;

// The n-th (1-based) or, with n == 0, the last given weekday of a month; a week holds
// every weekday, so seven steps always find it.
QDate Weekday(int year, int month, int weekday, int n) {
    const QDate first(year, month, 1);
    if (n == 0) {
        const QDate last(year, month, first.daysInMonth());
        return last.addDays(-((last.dayOfWeek() - weekday + 7) % 7));
    }
    return first.addDays((weekday - first.dayOfWeek() + 7) % 7 + 7 * (n - 1));
}

// Whether the standard-time moment (given as a local date and time) falls in summer time.
bool InSummerTime(const QDateTime& standard, bool east) {
    const int year = standard.date().year();
    QDateTime start;
    QDateTime end;
    if (east) {
        start = QDateTime(Weekday(year, 3, Qt::Sunday, 0), QTime(1, 0), QTimeZone::utc());
        end = QDateTime(Weekday(year, 10, Qt::Sunday, 0), QTime(1, 0), QTimeZone::utc());
        // European changes happen at 01:00 GMT; compare in GMT.
        const QDateTime utc = standard.toUTC();
        return utc >= start && utc < end;
    }
    if (year >= 2007) {
        start = QDateTime(Weekday(year, 3, Qt::Sunday, 2), QTime(2, 0), QTimeZone::utc());
        end = QDateTime(Weekday(year, 11, Qt::Sunday, 1), QTime(1, 0), QTimeZone::utc());
    } else {
        start = QDateTime(Weekday(year, 4, Qt::Sunday, 1), QTime(2, 0), QTimeZone::utc());
        end = QDateTime(Weekday(year, 10, Qt::Sunday, 0), QTime(1, 0), QTimeZone::utc());
    }
    // US changes happen at 02:00 local standard time (01:00 standard at the end).
    const QDateTime local(standard.date(), standard.time(), QTimeZone::utc());
    return local >= start && local < end;
}

}  // namespace

int TimeDate::ZoneSeconds() const {
    const std::uint32_t zone = date >> 24;
    const int hours = static_cast<int>(zone & 0x0F);
    const int quarters = static_cast<int>((zone >> 4) & 0x03);
    const int seconds = hours * 3600 + quarters * 900;
    return (zone & 0x40) != 0 ? seconds : -seconds;
}

std::optional<QDateTime> ToDateTime(const TimeDate& value, QString* damage) {
    const auto damaged = [&](const QString& why) -> std::optional<QDateTime> {
        if (damage != nullptr) {
            *damage = why;
        }
        return std::nullopt;
    };
    // No date, and day 0 (4713 BC), the least value Notes writes for "none".
    if (!value.HasDate() || (value.date & 0x00FFFFFFu) == 0) {
        return std::nullopt;
    }
    const QDate day = QDate::fromJulianDay(value.date & 0x00FFFFFFu);
    if (!day.isValid()) {
        return damaged(QStringLiteral("day %1 is no date").arg(value.date & 0x00FFFFFFu));
    }
    const int zone = value.ZoneSeconds();
    if (zone > kMaxZoneSeconds || zone < -kMaxZoneSeconds) {
        return damaged(QStringLiteral("its zone byte 0x%1 names no time zone")
                           .arg(value.date >> 24, 2, 16, QLatin1Char('0')));
    }
    if (!value.HasTime()) {
        return QDateTime(day, QTime(0, 0), QTimeZone(zone));
    }
    if (value.time >= kHundredthsPerDay) {
        return damaged(QStringLiteral("its time %1 lies beyond one day").arg(value.time));
    }
    const QDateTime gmt =
        QDateTime(day, QTime(0, 0), QTimeZone::utc()).addMSecs(std::int64_t{value.time} * 10);
    QDateTime standard = gmt.toTimeZone(QTimeZone(zone));
    if (value.ObservesDaylightSaving() && zone + 3600 <= kMaxZoneSeconds &&
        InSummerTime(standard, zone > 0)) {
        return gmt.toTimeZone(QTimeZone(zone + 3600));
    }
    return standard;
}

}  // namespace velmora::nsf
