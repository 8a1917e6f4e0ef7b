#include "export/FileNames.h"

#include "notes/FolderNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

using namespace velmora::exporting;
using velmora::filenames::EncodedLength;
using velmora::filenames::kMaxNameBytes;

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
        {u" Spaced  out ", u"Spaced  out"},
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

TEST(FileNamesTest, safeFolderName_hostileNamesStayBelowTheDestinationWhateverCleansThemLater) {
    // Whatever order the export's own steps run in, before or after, a name never becomes
    // one that climbs or vanishes, and a cleaned name is left as it is.
    using Step = std::function<QString(const QString&)>;
    const Step stripControls = [](const QString& text) {
        QString out;
        for (QChar c : text) {
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F) {
                out += c;
            }
        }
        return out;
    };
    const Step replaceSeparators = [](QString text) {
        return text.replace(QLatin1Char('/'), QLatin1Char('-')).replace(u'\\', u'-');
    };
    const Step trim = [](const QString& text) { return velmora::notes::TrimBlanks(text); };
    const char16_t* hostile[] = {
        u"\t ..", u" ..", u".. ",   u"\x01.\x02.\x03", u" . ",    u"\n\r",
        u"   ",   u"\t",  u". \t.", u"..\x7F",         u" \x1B.", u"\x1F..\x1F",
    };
    std::array<int, 3> order = {0, 1, 2};
    const Step steps[] = {stripControls, replaceSeparators, trim};
    do {
        for (const char16_t* raw : hostile) {
            const QString name = S(raw);
            QString before = name;
            for (int step : order) {
                before = steps[step](before);
            }
            const QString safe = SafeFolderName(name);
            QString after = safe;
            for (int step : order) {
                after = steps[step](after);
            }
            const QString label = QString::fromLatin1(name.toUtf8().toPercentEncoding());
            EXPECT_EQ(after, safe) << label.toStdString();
            for (const QString& result : {safe, SafeFolderName(before)}) {
                EXPECT_NE(result, QStringLiteral("..")) << label.toStdString();
                EXPECT_NE(result, QStringLiteral(".")) << label.toStdString();
                EXPECT_FALSE(result.isEmpty()) << label.toStdString();
            }
        }
    } while (std::next_permutation(order.begin(), order.end()));
    // A long name whose cut falls just after a blank loses the blank too.
    const QString longName = QString(kMaxNameBytes - 1, QLatin1Char('a')) + QStringLiteral(" b");
    EXPECT_EQ(SafeFolderName(longName), QString(kMaxNameBytes - 1, QLatin1Char('a')));
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
}
