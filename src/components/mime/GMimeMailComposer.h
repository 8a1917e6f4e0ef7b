#pragma once

#include "components/mime/MailComposer.h"

namespace velmora::mime {

// Writes messages made by GMimeMailMessage: a text/plain UTF-8 body alone, or followed by the
// attachments in a multipart/mixed; CRLF line ends throughout.
class GMimeMailComposer : public MailComposer {
  public:
    GMimeMailComposer();

    // Throws MailError for a message this component did not make.
    QString ComposeText(MailMessage& message) override;
};

}  // namespace velmora::mime
