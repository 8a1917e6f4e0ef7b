#include "notes/NotesTrap.h"
#include "notes/NotesValue.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmora::notes;

TEST(ValueToText, numbersArePlainDecimals) {
    EXPECT_EQ(ValueToText(42.0), QStringLiteral("42"));
    EXPECT_EQ(ValueToText(-7.0), QStringLiteral("-7"));
    EXPECT_EQ(ValueToText(3.5), QStringLiteral("3.5"));
    EXPECT_EQ(ValueToText(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(ValueToText(1e12), QStringLiteral("1000000000000"));
    EXPECT_EQ(ValueToText(QStringLiteral(" text ")), QStringLiteral(" text "));
}

TEST(ValueToText, dateLeavesOutMidnightAndUsesLocalTime) {
    // TZ=UTC in the test environment.
    const QDateTime noonInBerlin(QDate(2010, 3, 4), QTime(13, 5, 9), QTimeZone("Europe/Berlin"));
    const QString text = ValueToText(noonInBerlin);
    EXPECT_TRUE(text.endsWith(QStringLiteral(" 12:05:09"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2010"))) << text.toStdString();

    const QDateTime midnight(QDate(2011, 12, 31), QTime(0, 0), Qt::LocalTime);
    const QString dateOnly = FormatGeneralDate(midnight);
    EXPECT_FALSE(dateOnly.contains(QLatin1Char(':'))) << dateOnly.toStdString();
    EXPECT_TRUE(dateOnly.contains(QStringLiteral("2011")));
}

TEST(GeneralDate, roundTripsThroughText) {
    const QDateTime samples[] = {
        QDateTime(QDate(1999, 1, 2), QTime(3, 4, 5), Qt::LocalTime),
        QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::LocalTime),
        QDateTime(QDate(2030, 10, 1), QTime(0, 0), Qt::LocalTime),
        QDateTime(QDate(1905, 6, 7), QTime(12, 0), Qt::LocalTime),
    };
    for (const QDateTime& sample : samples) {
        const auto parsed = ParseGeneralDate(FormatGeneralDate(sample));
        ASSERT_TRUE(parsed.has_value()) << FormatGeneralDate(sample).toStdString();
        EXPECT_EQ(*parsed, sample) << FormatGeneralDate(sample).toStdString();
    }
    EXPECT_FALSE(ParseGeneralDate(QStringLiteral("yesterday")).has_value());
    EXPECT_FALSE(ParseGeneralDate(QString()).has_value());
    EXPECT_EQ(FormatGeneralDate(QDateTime()), QString());
}

TEST(FirstValueText, emptyListGivesEmptyText) {
    EXPECT_EQ(FirstValueText({}), QString());
    EXPECT_EQ(FirstValueText({QStringLiteral("a"), QStringLiteral("b")}), QStringLiteral("a"));
}

TEST(Trap, tolerantStepSkipsOnlyTheFailingStep) {
    int done = 0;
    EXPECT_FALSE(TolerantStep([&] {
        throw std::runtime_error("boom");
        ++done;
    }));
    EXPECT_TRUE(TolerantStep([&] { ++done; }));
    EXPECT_EQ(done, 1);
}

TEST(Trap, trappedBlockEndsAtFirstFailureAndReports) {
    QStringList trace;
    const bool ok = TrappedBlock(
        [&] {
            trace << "one";
            throw std::runtime_error("boom");
            trace << "two";
        },
        [&] { trace << "failed"; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(trace, (QStringList{"one", "failed"}));
    EXPECT_TRUE(TrappedBlock([&] { trace << "three"; }, [&] { trace << "never"; }));
    EXPECT_EQ(trace.last(), QStringLiteral("three"));
}
