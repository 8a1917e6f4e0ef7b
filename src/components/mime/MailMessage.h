#pragma once

#include "automation/Automation.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace velmora::mime {

// One Internet message being put together. Address texts hold entries separated by ";";
// each entry is an Internet address ("Jane Roe <jane@x.example>", "jane@x.example") or a
// Notes name ("Jane Roe/Sales/Acme"), kept exactly as written. Empty entries add nothing.
// A failing call throws MailError and leaves the message as it was.
class MailMessage : public automation::AutomationObject {
  public:
    // `names` holds display names for the entries of `addresses`, by position; when it is the
    // same text as `addresses` (as callers usually pass it) it is ignored.
    virtual void AddTo(const QString& addresses, const QString& names) = 0;
    virtual void AddCc(const QString& addresses, const QString& names) = 0;
    virtual void AddBcc(const QString& addresses, const QString& names) = 0;
    virtual void SetFrom(const QString& addresses) = 0;
    virtual void SetSubject(const QString& subject) = 0;
    virtual void SetBody(const QString& plainText) = 0;
    // The body as the document holds it: a MIME entity (headers, then content with any child
    // parts). The message carries its parts (HTML with inline images, attachments, charsets),
    // with the plain text of SetBody as the text alternative where the entity has none.
    // Throws MailError when the bytes are not a MIME entity.
    virtual void SetMimeBody(const QByteArray& entity) = 0;
    // The Date header keeps the offset from UTC that the value carries.
    virtual void SetDate(const QDateTime& date) = 0;
    // Reads the whole file now (the caller may delete it right after); answers the
    // attachment's file name.
    virtual QString AddAttachment(const QString& path) = 0;
};

}  // namespace velmora::mime
