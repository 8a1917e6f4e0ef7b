#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace velmora::mailconverter {

// One file carried by the message, embedded in the PDF as it came.
struct MailAttachment {
    QString name;
    QString mimeType;
    QByteArray data;
};

// A piece of the message body, in reading order.
struct MailBodyPart {
    enum class Kind { PlainText, Html };
    Kind kind = Kind::PlainText;
    QString text;
};

// An image or other resource that an HTML part refers to by cid: or location.
struct MailResource {
    QString mimeType;
    QByteArray data;
    QString name;  // file name to use when it has to be attached instead
};

// What the PDF shows of one message, decoded and ready to lay out.
struct MailContent {
    struct Field {
        QString label;  // "From", "To", ...
        QString value;
    };
    std::vector<Field> fields;
    QString subject;
    QString sender;  // for the document metadata
    QDateTime date;  // invalid when the message has none or it does not parse
    std::vector<MailBodyPart> body;
    std::vector<MailAttachment> attachments;
    QHash<QString, MailResource> resources;  // keyed by "cid:<id>" and by location
    std::vector<MailContent> attachedMessages;
    QStringList notices;  // what the reader had to shorten or could not decode
};

}  // namespace velmora::mailconverter
