#pragma once

#include "automation/Automation.h"
#include "components/mailconverter/base/ConversionError.h"

#include <QString>

namespace velmora::mailconverter {

// The e-mail-to-PDF converter, created by the name "MailConverter.MailConverterX".
class MailConverterX : public automation::AutomationObject {
  public:
    // Renders the message file at emlPath as a PDF at pdfPath; switches must be "-c PDF".
    // Returns once the PDF is complete; throws ConversionError otherwise.
    virtual void Convert(const QString& emlPath, const QString& pdfPath,
                         const QString& switches) = 0;
};

// Registers the converter under "MailConverter.MailConverterX".
void RegisterComponent();

}  // namespace velmora::mailconverter
