#pragma once

#include "components/mime/AddressList.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace velmora::mime::test {

struct ParsedAttachment {
    QString fileName;
    QString mediaType;
    QByteArray bytes;
};

// A composed message as an independent reader (GMime's parser) sees it.
struct ParsedMessage {
    bool parsed = false;
    std::vector<Mailbox> from, to, cc, bcc;
    QString subject;
    QDateTime date;  // with the offset the Date header gave; invalid when there is none
    QString dateHeader;
    QString messageId;
    QString mimeVersion;
    QString body;  // the first text/plain part, decoded
    std::vector<ParsedAttachment> attachments;
};

ParsedMessage ParseMessage(const QString& text);

}  // namespace velmora::mime::test
