#pragma once

#include "components/mime/AddressList.h"
#include "components/mime/MailMessage.h"
#include "util/GObjectPtr.h"

#include <gmime/gmime.h>

#include <optional>
#include <vector>

namespace velmora::mime {

// The message as its calls left it; attachments are complete MIME parts from the moment
// they are added, so nothing depends on their files afterwards.
class GMimeMailMessage : public MailMessage {
  public:
    // Composing holds an attachment about six times over (file, base64, text, the caller's
    // 8-bit copy); beyond this size that would exhaust memory and end the whole run.
    static constexpr qint64 kMaxAttachmentBytes = qint64(512) * 1024 * 1024;

    GMimeMailMessage();

    void AddTo(const QString& addresses, const QString& names) override;
    void AddCc(const QString& addresses, const QString& names) override;
    void AddBcc(const QString& addresses, const QString& names) override;
    void SetFrom(const QString& addresses) override;
    void SetSubject(const QString& subject) override;
    void SetBody(const QString& plainText) override;
    void SetMimeBody(const QByteArray& entity) override;
    void SetDate(const QDateTime& date) override;
    QString AddAttachment(const QString& path) override;

    const std::vector<Mailbox>& From() const { return m_from; }
    const std::vector<Mailbox>& To() const { return m_to; }
    const std::vector<Mailbox>& Cc() const { return m_cc; }
    const std::vector<Mailbox>& Bcc() const { return m_bcc; }
    const QString& Subject() const { return m_subject; }
    const QString& Body() const { return m_body; }
    const QByteArray& MimeBody() const { return m_mimeBody; }
    const std::optional<QDateTime>& Date() const { return m_date; }
    const std::vector<GObjectPtr<GMimePart>>& Attachments() const { return m_attachments; }
    qsizetype AttachmentBytes() const { return m_attachmentBytes; }

  private:
    std::vector<Mailbox> m_from;
    std::vector<Mailbox> m_to;
    std::vector<Mailbox> m_cc;
    std::vector<Mailbox> m_bcc;
    QString m_subject;
    QString m_body;
    QByteArray m_mimeBody;
    std::optional<QDateTime> m_date;
    std::vector<GObjectPtr<GMimePart>> m_attachments;
    qsizetype m_attachmentBytes = 0;
};

// Sets a header to a raw value made by HeaderFormat, replacing any header of that name.
void SetRawHeader(GMimeObject* object, const char* name, const QByteArray& rawValue);

}  // namespace velmora::mime
