#include "components/mailconverter/MailReader.h"

#include "components/mailconverter/LibraryMessages.h"
#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/MailReaderParts.h"
#include "components/mailconverter/MailReaderWalker.h"
#include "components/mime/GMimeStart.h"
#include "util/GObjectPtr.h"

#include <QFile>
#include <QFileInfo>

#include <gmime/gmime.h>

#include <fcntl.h>

#include <functional>

namespace velmora::mailconverter {

namespace {

MailContent ReadStream(GMimeStream* stream, const ReaderLimits& limits,
                       const std::function<QByteArray()>& original) {
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    GMimeParserOptions* options = g_mime_parser_options_new();
    static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), options));
    g_mime_parser_options_free(options);
    if (message) {
        return ReadParsedMessage(message.get(), limits);
    }
    // Not a message at all: show what the file holds and keep the file itself.
    MailContent content;
    const QByteArray bytes = original();
    QString readAs;
    QString text = DecodeText(bytes, QByteArray(), readAs);
    content.notices << QStringLiteral(
        "The file is not an Internet message; its content is shown as text and the file is "
        "attached as \"original-message.eml\".");
    if (text.size() > limits.maxPartChars) {
        text.truncate(limits.maxPartChars);
        content.notices
            << QStringLiteral("Only the first %1 characters are shown.").arg(limits.maxPartChars);
    }
    for (const char* label : {"From", "To", "Date", "Subject"}) {
        content.fields.push_back({QString::fromLatin1(label), QString()});
    }
    content.body.push_back({MailBodyPart::Kind::PlainText, std::move(text)});
    content.attachments.push_back(
        {QStringLiteral("original-message.eml"), QStringLiteral("message/rfc822"), bytes});
    return content;
}

}  // namespace

MailReader::MailReader(ReaderLimits limits) : m_limits(limits) {
    RouteLibraryMessages();
    mime::EnsureGMimeStarted();
}

MailContent MailReader::ReadFile(const QString& path) const {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw ConversionError(QStringLiteral("The message file \"%1\" does not exist.").arg(path));
    }
    if (!info.isFile()) {
        throw ConversionError(QStringLiteral("\"%1\" is not a file.").arg(path));
    }
    if (info.size() == 0) {
        throw ConversionError(
            QStringLiteral("The message file \"%1\" is empty; there is no message to convert.")
                .arg(path));
    }
    if (info.size() > m_limits.maxFileBytes) {
        throw ConversionError(QStringLiteral("The message file \"%1\" is larger than %2 MB.")
                                  .arg(path)
                                  .arg(m_limits.maxFileBytes / (1024 * 1024)));
    }
    GError* error = nullptr;
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_fs_open(QFile::encodeName(path).constData(), O_RDONLY, 0, &error));
    if (!stream) {
        const QString reason = error ? FromUtf8(error->message) : QStringLiteral("unknown error");
        if (error) {
            g_error_free(error);
        }
        throw ConversionError(
            QStringLiteral("The message file \"%1\" cannot be read: %2").arg(path, reason));
    }
    return ReadStream(stream.get(), m_limits, [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    });
}

MailContent MailReader::ReadBytes(const QByteArray& bytes) const {
    if (bytes.isEmpty()) {
        throw ConversionError(QStringLiteral("The message is empty; there is nothing to convert."));
    }
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    return ReadStream(stream.get(), m_limits, [&bytes] { return bytes; });
}

}  // namespace velmora::mailconverter
