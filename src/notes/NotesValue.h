#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace velmora::notes {

// One value of a Notes item, with its Notes type: text, number or date-time
// (a date-time carries its own time zone or offset).
using NotesValue = std::variant<QString, double, QDateTime>;
using NotesValues = std::vector<NotesValue>;

// The only place where item values become text.
// Text as it is; numbers as plain decimals ("42", "3.5", never an exponent);
// date-times in the general date form (see FormatGeneralDate).
QString ValueToText(const NotesValue& value);

// Element 0 as text; "" when there is none.
QString FirstValueText(const NotesValues& values);

// The general date form: the local short date with a four-digit year, a blank and the
// 24-hour time with seconds, in local time; the time is left out when it is exactly
// midnight. ParseGeneralDate reads back exactly what FormatGeneralDate writes.
QString FormatGeneralDate(const QDateTime& value);
std::optional<QDateTime> ParseGeneralDate(const QString& text);

}  // namespace velmora::notes
