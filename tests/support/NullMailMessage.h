#pragma once

#include "components/mime/MailMessage.h"

namespace velmora::testing {

// A message that keeps nothing: for tests where only the calls around it matter.
class NullMailMessage : public mime::MailMessage {
  public:
    void AddTo(const QString&, const QString&) override {}
    void AddCc(const QString&, const QString&) override {}
    void AddBcc(const QString&, const QString&) override {}
    void SetFrom(const QString&) override {}
    void SetSubject(const QString&) override {}
    void SetBody(const QString&) override {}
    void SetMimeBody(const QByteArray&) override {}
    void SetDate(const QDateTime&) override {}
    QString AddAttachment(const QString&) override { return {}; }
};

}  // namespace velmora::testing
