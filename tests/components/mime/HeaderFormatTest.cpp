#include "components/mime/HeaderFormat.h"
#include "components/mime/MailError.h"

#include <QStringDecoder>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace header = velmora::mime::header;
using velmora::mime::MailError;

namespace {

// Decodes one Q-encoded word on its own; empty optional when it is not valid UTF-8 by itself.
std::optional<QString> DecodeWordAlone(const QByteArray& word) {
    if (!word.startsWith("=?UTF-8?Q?") || !word.endsWith("?=")) {
        return std::nullopt;
    }
    const QByteArray payload = word.mid(10, word.size() - 12);
    QByteArray bytes;
    for (qsizetype i = 0; i < payload.size(); ++i) {
        if (payload[i] == '_') {
            bytes += ' ';
        } else if (payload[i] == '=') {
            bytes += char(payload.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            bytes += payload[i];
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

QList<QByteArray> Lines(const QByteArray& raw) {
    return raw.chopped(1).split('\n');
}

}  // namespace

TEST(HeaderFormat, encodeWords_shortWholeCharactersSafeLiterals) {
    QString text;
    for (int i = 0; i < 40; ++i) {
        text += QStringLiteral("日本語 😀 é_=?\t");
    }
    QString decoded;
    for (const QByteArray& word : header::EncodeWords(text)) {
        EXPECT_LE(word.size(), 75);
        for (const char c : word.mid(10, word.size() - 12)) {
            EXPECT_TRUE(QByteArrayView("=_!*+-/").contains(c) || QChar(c).isLetterOrNumber())
                << word.toStdString();
        }
        const auto piece = DecodeWordAlone(word);
        ASSERT_TRUE(piece.has_value()) << word.toStdString();
        decoded += *piece;
    }
    EXPECT_EQ(decoded, text);
}

TEST(HeaderFormat, unstructured_plainAsciiStaysReadableAndFolds) {
    const QString subject = QStringLiteral(
        "Quarterly figures for the northern region, "
        "second draft with comments from finance and legal");
    const QByteArray raw = header::FormatUnstructured("Subject", subject);
    const QList<QByteArray> lines = Lines(raw);
    EXPECT_GT(lines.size(), 1);
    EXPECT_LE(qsizetype(QByteArray("Subject:").size()) + lines[0].size(), 78);
    for (const QByteArray& line : lines) {
        EXPECT_LE(line.size(), 78);
    }
    EXPECT_EQ(QString::fromLatin1(raw.trimmed().replace("\n ", " ")), subject);
}

TEST(HeaderFormat, date_writesEnglishWithTheValuesOffset) {
    const QDate day(2026, 12, 8);
    const QTime time(14, 42, 39);
    EXPECT_EQ(header::FormatDate(QDateTime(day, time, QTimeZone::utc())),
              QByteArray(" Tue, 08 Dec 2026 14:42:39 +0000\n"));
    EXPECT_EQ(header::FormatDate(QDateTime(day, time, QTimeZone(5 * 3600 + 1800))),
              QByteArray(" Tue, 08 Dec 2026 14:42:39 +0530\n"));
    EXPECT_EQ(header::FormatDate(
                  QDateTime(QDate(2027, 1, 1), QTime(0, 0), QTimeZone(-(3 * 3600 + 1800)))),
              QByteArray(" Fri, 01 Jan 2027 00:00:00 -0330\n"));
}

TEST(HeaderFormat, date_unwritableValuesThrow) {
    EXPECT_THROW(header::FormatDate(QDateTime()), MailError);
    EXPECT_THROW(header::FormatDate(QDateTime(QDate(1850, 1, 1), QTime(0, 0), QTimeZone::utc())),
                 MailError);
}

TEST(HeaderFormat, parameter_shortAsciiQuotedElseUtf8Segments) {
    EXPECT_EQ(header::EncodeParameter("filename", QStringLiteral("report 2024.pdf")),
              QList<QByteArray>({"filename=\"report 2024.pdf\""}));
    EXPECT_EQ(header::EncodeParameter("filename", QStringLiteral("a\"b.txt")),
              QList<QByteArray>({"filename*=UTF-8''a%22b.txt"}));
    const QString longName = QString(30, QChar(0x65e5)) + QStringLiteral(".pdf");
    const QList<QByteArray> tokens = header::EncodeParameter("filename", longName);
    ASSERT_GT(tokens.size(), 1);
    QByteArray joined;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QByteArray prefix = "filename*" + QByteArray::number(i) + "*=";
        ASSERT_TRUE(tokens[i].startsWith(prefix)) << tokens[i].toStdString();
        const QByteArray value = tokens[i].mid(prefix.size());
        EXPECT_LE(value.size(), 60);
        // Every segment holds whole characters, so a reader decoding them one by one is right.
        const QByteArray decoded = QByteArray::fromPercentEncoding(
            i == 0 ? value.mid(QByteArray("UTF-8''").size()) : value);
        QStringDecoder decoder(QStringDecoder::Utf8);
        decoder(decoded);
        EXPECT_FALSE(decoder.hasError());
        joined += decoded;
    }
    EXPECT_EQ(QString::fromUtf8(joined), longName);
}
