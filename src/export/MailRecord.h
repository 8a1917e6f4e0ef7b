#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmora::exporting {

// The nine texts read from one document, in the order the message file takes them.
struct MailRecord {
    QString FolderName;
    QString eFrom;
    QString eSubject;
    QString eTo;
    QString eCC;
    QString eBCC;
    QString eDate;
    QString eBody;
    // "|" before each extracted attachment's path; empty without attachments.
    QString eAttachFileName;

    // The Body as a MIME entity (MIME mail as stored, rich text rendered as HTML with its
    // pictures); empty when the document holds only plain text.
    QByteArray mimeBody;

    // Attachments whose bytes could not be written out; their messages go without them.
    QStringList missingAttachments;
    // Why each of them could not, in the same order.
    QStringList missingReasons;
};

}  // namespace velmora::exporting
