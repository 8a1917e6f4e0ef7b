#include "notes/FolderNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using namespace velmora::notes;

namespace {

// Pieces chosen so that random names collide, differ only in case, nest as prefixes
// ("Projects" / "Projects\2010") and include empties and non-ASCII code units.
QString RandomName(std::mt19937& random) {
    static const QStringList kPieces = {
        QString(),
        QStringLiteral("a"),
        QStringLiteral("A"),
        QStringLiteral("Projects"),
        QStringLiteral("projects"),
        QStringLiteral("\\"),
        QStringLiteral("2010"),
        QStringLiteral(" "),
        QStringLiteral("Z"),
        QStringLiteral("zeta"),
        QString::fromUtf8("\xc3\xa9"),
        QString(QChar(0xFFFF)),
        QString::fromUtf8("\xf0\x9f\x93\xa7"),  // one character, two code units
    };
    std::uniform_int_distribution<int> length(0, 3);
    std::uniform_int_distribution<int> piece(0, static_cast<int>(kPieces.size()) - 1);
    QString name;
    for (int n = length(random); n > 0; --n) {
        name += kPieces[piece(random)];
    }
    return name;
}

QStringList RandomNames(std::mt19937& random, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << RandomName(random);
    }
    return names;
}

// The reference order: std::u16string compares char16_t code units.
bool ReferenceLess(const QString& a, const QString& b) {
    return a.toStdU16String() < b.toStdU16String();
}

QStringList ReferenceRemoveDuplicates(QStringList names) {
    names.erase(std::unique(names.begin(), names.end()), names.end());
    names.removeAll(QString());
    return names;
}

}  // namespace

TEST(FolderNames, ordinalOrderIsByCodeUnitAndCaseSensitive) {
    EXPECT_TRUE(OrdinalLess(QStringLiteral("Z"), QStringLiteral("a")));
    EXPECT_TRUE(OrdinalLess(QStringLiteral("Projects"), QStringLiteral("Projects\\2010")));
    EXPECT_TRUE(OrdinalLess(QString(), QStringLiteral(" ")));
    EXPECT_FALSE(OrdinalLess(QStringLiteral("a"), QStringLiteral("a")));
    // A surrogate pair sorts by its first code unit, below U+FFFF.
    EXPECT_TRUE(OrdinalLess(QString::fromUtf8("\xf0\x9f\x93\xa7"), QString(QChar(0xFFFF))));
}

TEST(FolderNames, middleIndexRoundsHalvesToEven) {
    EXPECT_EQ(MiddleIndex(0, 0), 0);
    EXPECT_EQ(MiddleIndex(0, 1), 0);
    EXPECT_EQ(MiddleIndex(1, 2), 2);
    EXPECT_EQ(MiddleIndex(0, 3), 2);
    EXPECT_EQ(MiddleIndex(2, 3), 2);
    EXPECT_EQ(MiddleIndex(4, 5), 4);
    EXPECT_EQ(MiddleIndex(5, 6), 6);
    EXPECT_EQ(MiddleIndex(0, 4), 2);
    EXPECT_EQ(MiddleIndex(32765, 32766), 32766);
}

TEST(FolderNames, quickSortMatchesReferenceOnRandomLists) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 2000; ++round) {
        const int size = std::uniform_int_distribution<int>(1, 60)(random);
        QStringList names = RandomNames(random, size);
        QStringList expected = names;
        std::stable_sort(expected.begin(), expected.end(), ReferenceLess);
        QuickSort(names, 0, static_cast<std::int16_t>(size - 1));
        ASSERT_EQ(names, expected) << "round " << round;
    }
}

TEST(FolderNames, quickSortTouchesOnlyItsRange) {
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        const int size = std::uniform_int_distribution<int>(2, 40)(random);
        const int low = std::uniform_int_distribution<int>(0, size - 1)(random);
        const int high = std::uniform_int_distribution<int>(low, size - 1)(random);
        QStringList names = RandomNames(random, size);
        QStringList expected = names;
        std::stable_sort(expected.begin() + low, expected.begin() + high + 1, ReferenceLess);
        QuickSort(names, static_cast<std::int16_t>(low), static_cast<std::int16_t>(high));
        ASSERT_EQ(names, expected) << "round " << round << " range " << low << ".." << high;
    }
}

TEST(FolderNames, quickSortHandlesTheLargest16BitRange) {
    // Indices whose sum passes 32,767 must not wrap.
    std::mt19937 random(11);
    QStringList names = RandomNames(random, 32767);
    QStringList expected = names;
    std::stable_sort(expected.begin() + 20000, expected.end(), ReferenceLess);
    QuickSort(names, 20000, 32766);
    EXPECT_EQ(names, expected);
}

TEST(FolderNames, quickSortIgnoresEmptyAndOutOfRangeSpans) {
    QStringList names = {QStringLiteral("b"), QStringLiteral("a")};
    QuickSort(names, 1, 0);
    QuickSort(names, 0, 5);
    QuickSort(names, -1, 1);
    EXPECT_EQ(names, (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    QStringList empty;
    QuickSort(empty, 0, 0);
    EXPECT_TRUE(empty.isEmpty());
}

TEST(FolderNames, removeDuplicatesMatchesReferenceOnSortedAndUnsortedLists) {
    std::mt19937 random(99);
    for (int round = 0; round < 2000; ++round) {
        const int size = std::uniform_int_distribution<int>(1, 50)(random);
        QStringList names = RandomNames(random, size);
        if (round % 2 == 0) {
            std::sort(names.begin(), names.end(), ReferenceLess);
        }
        const QStringList expected = ReferenceRemoveDuplicates(names);
        RemoveDuplicates(names);
        ASSERT_EQ(names, expected) << "round " << round;
    }
}

TEST(FolderNames, sortThenRemoveGivesDistinctNamesInOrder) {
    QStringList names = {QStringLiteral("zeta"),     QStringLiteral("Projects"),
                         QStringLiteral("Zeta"),     QString(),
                         QStringLiteral("Projects"), QStringLiteral("Projects\\2010"),
                         QStringLiteral("zeta")};
    QuickSort(names, 0, static_cast<std::int16_t>(names.size() - 1));
    RemoveDuplicates(names);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Projects"), QStringLiteral("Projects\\2010"),
                                  QStringLiteral("Zeta"), QStringLiteral("zeta")}));
}

TEST(FolderNames, removeDuplicatesKeepsSeparatedEqualsAndDropsEmpties) {
    QStringList names = {QStringLiteral("a"), QString(), QStringLiteral("a"), QStringLiteral("a"),
                         QString()};
    RemoveDuplicates(names);
    EXPECT_EQ(names, (QStringList{QStringLiteral("a"), QStringLiteral("a")}));
    QStringList onlyEmpty = {QString(), QString()};
    RemoveDuplicates(onlyEmpty);
    EXPECT_TRUE(onlyEmpty.isEmpty());
}

TEST(FolderNames, trimBlanksRemovesSpacesOnly) {
    EXPECT_EQ(TrimBlanks(QStringLiteral("  Projects \\ 2010  ")),
              QStringLiteral("Projects \\ 2010"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("\tTabbed\t")), QStringLiteral("\tTabbed\t"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("   ")), QString());
}
