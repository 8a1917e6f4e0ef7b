#include "export/FileNames.h"

#include <gtest/gtest.h>

using namespace velmora::exporting;

namespace {

struct Row {
    const char16_t* input;
    const char16_t* expected;
};

QString S(const char16_t* text) {
    return QString::fromUtf16(text);
}

}  // namespace

TEST(FileNamesTest, safeFolderName_replacesReservedAndNeverClimbs) {
    const Row rows[] = {
        {u"Clients/Europe: 2011", u"Clients-Europe- 2011"},
        {u"Parent\\Child", u"Parent-Child"},
        {u"a?b*c\"d<e>f|g", u"a-b-c-d-e-f-g"},
        {u" Spaced ", u" Spaced "},
        {u"tab\there\nnew", u"tabherenew"},
        {u"///", u"---"},
        {u".", u"Unnamed"},
        {u"..", u"Unnamed"},
        {u"", u"Unnamed"},
        {u"\x01\x02", u"Unnamed"},
        {u"...", u"..."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SafeFolderName(S(row.input)), S(row.expected)) << S(row.input).toStdString();
    }
    EXPECT_EQ(SafeFolderName(QStringLiteral(".."), QStringLiteral("Untitled")),
              QStringLiteral("Untitled"));
}

TEST(FileNamesTest, subjectAndAttachmentNames_loseOnlyWhatIsUnsafe) {
    const Row subjects[] = {
        {u"R|e<a>d", u"Read"},
        {u"Re: offer?", u"Re offer"},
        {u"a/b\\c*d\"e", u"abcde"},
        {u"bell\x07 and\ttab", u"bell andtab"},
        {u"Ünïcödé 日本", u"Ünïcödé 日本"},
    };
    for (const Row& row : subjects) {
        EXPECT_EQ(SanitizeSubject(S(row.input)), S(row.expected));
    }
    const Row attachments[] = {
        {u"..\\..\\x.exe", u"x.exe"},
        {u"/etc/x", u"x"},
        {u"C:\\x", u"x"},
        {u"dir/", u"attachment"},
        {u"..", u"attachment"},
        {u"a|b.txt", u"a_b.txt"},
        {u"line\nbreak.txt", u"linebreak.txt"},
        {u"report.pdf ", u"report.pdf"},
        {u"report.pdf", u"report.pdf"},
    };
    for (const Row& row : attachments) {
        EXPECT_EQ(SafeAttachmentName(S(row.input)), S(row.expected));
    }
}

TEST(FileNamesTest, longNames_shortenedAtCharacterBoundariesWithinTheLimit) {
    // Two bytes per "é", four per emoji, a combining accent after every "e".
    const QString texts[] = {QString(300, QChar(0xE9)), QString::fromUtf8("😀").repeated(100),
                             QStringLiteral("e\u0301").repeated(150)};
    for (const QString& text : texts) {
        const QString folder = SafeFolderName(text);
        EXPECT_LE(EncodedLength(folder), kMaxNameBytes);
        EXPECT_GT(EncodedLength(folder), kMaxNameBytes - 4);
        EXPECT_TRUE(text.startsWith(folder));
        EXPECT_FALSE(folder.back().isHighSurrogate());
        EXPECT_NE(folder.back(), QChar(0x65)) << "an accent is never cut from its letter";
    }
    const QString attachment = SafeAttachmentName(QString(400, QLatin1Char('a')) + ".pdf");
    EXPECT_EQ(EncodedLength(attachment), kMaxNameBytes);
    EXPECT_TRUE(attachment.endsWith(QLatin1String(".pdf")));
    EXPECT_EQ(FitToBytes(QStringLiteral("short"), 10), QStringLiteral("short"));
}
