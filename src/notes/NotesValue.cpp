#include "notes/NotesValue.h"

#include <QLocale>

#include <cmath>

namespace velmora::notes {

namespace {

// The locale's short date, widened to a four-digit year: a two-digit year would not
// survive the trip to text and back.
QString ShortDateFormat() {
    QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    if (!format.contains(QLatin1String("yyyy"))) {
        format = QStringLiteral("yyyy-MM-dd");
    }
    return format;
}

const QString kTimeFormat = QStringLiteral("HH:mm:ss");

QString NumberToText(double number) {
    if (!std::isfinite(number)) {
        return QString::number(number);
    }
    if (number == std::trunc(number) && std::fabs(number) < 1e15) {
        return QString::number(static_cast<qint64>(number));
    }
    QString text = QString::number(number, 'f', 15);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

}  // namespace

QString ValueToText(const NotesValue& value) {
    if (const auto* text = std::get_if<QString>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<double>(&value)) {
        return NumberToText(*number);
    }
    return FormatGeneralDate(std::get<QDateTime>(value));
}

QString FirstValueText(const NotesValues& values) {
    return values.empty() ? QString() : ValueToText(values.front());
}

QString FormatGeneralDate(const QDateTime& value) {
    if (!value.isValid()) {
        return {};
    }
    const QDateTime local = value.toLocalTime();
    const QLocale locale = QLocale::system();
    QString text = locale.toString(local.date(), ShortDateFormat());
    if (local.time() != QTime(0, 0)) {
        text += QLatin1Char(' ') + locale.toString(local.time(), kTimeFormat);
    }
    return text;
}

std::optional<QDateTime> ParseGeneralDate(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    const QLocale locale = QLocale::system();
    const QString dateFormat = ShortDateFormat();
    QDateTime parsed = locale.toDateTime(trimmed, dateFormat + QLatin1Char(' ') + kTimeFormat);
    if (!parsed.isValid()) {
        const QDate date = locale.toDate(trimmed, dateFormat);
        if (date.isValid()) {
            parsed = QDateTime(date, QTime(0, 0));
        }
    }
    if (!parsed.isValid()) {
        return std::nullopt;
    }
    parsed.setTimeSpec(Qt::LocalTime);
    return parsed;
}

}  // namespace velmora::notes
