#include "components/mime/QuotedPrintable.h"

#include <QList>
#include <QRandomGenerator>

#include <gmime/gmime.h>
#include <gtest/gtest.h>

using velmora::mime::EncodeQuotedPrintable;

namespace {

QByteArray Decode(const QByteArray& encoded) {
    QByteArray out(encoded.size() + 16, Qt::Uninitialized);
    int state = 0;
    guint32 save = 0;
    const size_t length = g_mime_encoding_quoted_decode_step(
        reinterpret_cast<const unsigned char*>(encoded.constData()), size_t(encoded.size()),
        reinterpret_cast<unsigned char*>(out.data()), &state, &save);
    out.truncate(qsizetype(length));
    return out;
}

}  // namespace

TEST(QuotedPrintable, anyTextDecodesBackWithShortLines) {
    QRandomGenerator generator(5);
    for (int round = 0; round < 200; ++round) {
        QByteArray text;
        const int size = int(generator.bounded(400));
        for (int i = 0; i < size; ++i) {
            // Mostly text, with line ends, blanks and every other byte now and then.
            const quint32 pick = generator.bounded(10);
            text += pick < 5   ? char('a' + generator.bounded(26))
                    : pick < 7 ? ' '
                    : pick < 8 ? '\n'
                               : char(generator.bounded(256));
        }
        const QByteArray encoded = EncodeQuotedPrintable(text);
        ASSERT_EQ(Decode(encoded), text) << text.toHex().toStdString();
        for (const QByteArray& line : encoded.split('\n')) {
            ASSERT_LE(line.size(), 76);
            ASSERT_FALSE(line.endsWith(' ') || line.endsWith('\t'));
            for (const char c : line) {
                ASSERT_TRUE((c >= 0x20 && c < 0x7f) || c == '\t');
            }
        }
    }
}

TEST(QuotedPrintable, finalLineEndOnlyWhenTheTextHasOne) {
    EXPECT_EQ(EncodeQuotedPrintable("a\nb"), QByteArray("a\nb=\n"));
    EXPECT_EQ(EncodeQuotedPrintable("a\nb\n"), QByteArray("a\nb\n"));
    EXPECT_EQ(EncodeQuotedPrintable(""), QByteArray(""));
}

TEST(QuotedPrintable, transportSensitiveLinesAreGuarded) {
    EXPECT_EQ(EncodeQuotedPrintable(".\nFrom me\n..\n a=b \n"),
              QByteArray("=2E\n=46rom me\n..\n a=3Db=20\n"));
}
