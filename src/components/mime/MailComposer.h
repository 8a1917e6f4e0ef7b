#pragma once

#include "automation/Automation.h"
#include "components/mime/MailMessage.h"

#include <QString>

namespace velmora::mime {

// Writes a MailMessage as Internet message text (RFC 5322 with MIME). The text is pure 7-bit
// ASCII, so it may be saved in any 8-bit code page without loss.
class MailComposer : public automation::AutomationObject {
  public:
    virtual QString ComposeText(MailMessage& message) = 0;
};

}  // namespace velmora::mime
