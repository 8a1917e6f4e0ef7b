#include "util/FileNames.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmora::filenames;

namespace {

QString S(const char16_t* text) {
    return QString::fromUtf16(text);
}

}  // namespace

TEST(FileNames, splitExtension_keepsOnlyWhatLooksLikeOne) {
    const struct {
        const char16_t* name;
        const char16_t* stem;
        const char16_t* extension;
    } rows[] = {
        {u"report.pdf", u"report", u".pdf"},
        {u"backup.tar.gz", u"backup", u".tar.gz"},
        {u".profile", u".profile", u""},
        {u"no extension", u"no extension", u""},
        {u"trailing.", u"trailing.", u""},
        {u"meeting at 10.30 am", u"meeting at 10.30 am", u""},
        {u"a.verylongextensionpart", u"a.verylongextensionpart", u""},
        {u"tar.gz", u"tar", u".gz"},
    };
    for (const auto& row : rows) {
        const auto [stem, extension] = SplitExtension(S(row.name));
        EXPECT_EQ(stem, S(row.stem)) << S(row.name).toStdString();
        EXPECT_EQ(extension, S(row.extension)) << S(row.name).toStdString();
    }
}

TEST(FileNames, capAndFit_cutWholeGraphemesAndKeepTheExtension) {
    // Two bytes per "é", four per emoji, an accent after every "e", a blank where the cut falls.
    const struct {
        QString stem;
        QString extension;
    } rows[] = {
        {QString(300, QChar(0xE9)), QStringLiteral(".pdf")},
        {QString::fromUtf8("😀").repeated(100), QStringLiteral(".tar.gz")},
        {QStringLiteral("e\u0301").repeated(150), QString()},
        {QString(249, QLatin1Char('a')) + QStringLiteral("   bbbbbbbbbbb"), QStringLiteral(".txt")},
    };
    for (const auto& row : rows) {
        const QString capped = CapName(row.stem + row.extension);
        EXPECT_LE(EncodedLength(capped), kMaxNameBytes);
        EXPECT_GT(EncodedLength(capped), kMaxNameBytes - 8);
        ASSERT_TRUE(capped.endsWith(row.extension));
        const QString stem = capped.chopped(row.extension.size());
        EXPECT_TRUE(row.stem.startsWith(stem));
        EXPECT_FALSE(stem.back().isHighSurrogate());
        EXPECT_NE(stem.back(), QLatin1Char('e')) << "an accent is never cut from its letter";
        EXPECT_NE(stem.back(), QLatin1Char(' '));
    }
    EXPECT_EQ(CapName(QStringLiteral("short.pdf")), QStringLiteral("short.pdf"));
    EXPECT_EQ(FitToBytes(QStringLiteral("abcdef"), 3), QStringLiteral("abc"));
}

TEST(FileNames, safeLevelName_neverLeavesANameThatClimbsOrVanishes) {
    const struct {
        const char16_t* input;
        QChar reservedBecomes;
        const char16_t* expected;
    } rows[] = {
        {u"a/b:c", QLatin1Char('-'), u"a-b-c"},
        {u"a/b:c", QChar(), u"abc"},
        {u" \x01.\x02. ", QLatin1Char('-'), u""},
        {u"/.", QChar(), u""},
        {u"\t x \t", QChar(), u"x"},
        {u"...", QChar(), u"..."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SafeLevelName(S(row.input), row.reservedBecomes), S(row.expected));
    }
    EXPECT_TRUE(IsNoName(QStringLiteral("..")));
    EXPECT_FALSE(IsNoName(QStringLiteral(". .")));
}

TEST(FileNames, firstFreeName_countsOnWithoutOverwritingAndStaysWithinTheCap) {
    QSet<QString> taken = {QStringLiteral("x.pdf"), QStringLiteral("x (2).pdf"),
                           QStringLiteral("x (3).pdf")};
    auto isTaken = [&](const QString& name) { return taken.contains(name); };
    int used = -1;
    EXPECT_EQ(FirstFreeName(QStringLiteral("y"), QStringLiteral(".pdf"), isTaken, 2, kMaxNameBytes,
                            &used),
              QStringLiteral("y.pdf"));
    EXPECT_EQ(used, 0);
    EXPECT_EQ(FirstFreeName(QStringLiteral("x"), QStringLiteral(".pdf"), isTaken, 2, kMaxNameBytes,
                            &used),
              QStringLiteral("x (4).pdf"));
    EXPECT_EQ(used, 4);

    const QString longStem(300, QLatin1Char('z'));
    taken = {FitWithTail(longStem, QStringLiteral(".pdf"))};
    const QString numbered = FirstFreeName(longStem, QStringLiteral(".pdf"), isTaken);
    EXPECT_EQ(EncodedLength(numbered), kMaxNameBytes);
    EXPECT_TRUE(numbered.endsWith(QLatin1String("z (2).pdf")));
}
