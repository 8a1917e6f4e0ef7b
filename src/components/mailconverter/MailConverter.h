#pragma once

#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/MailReader.h"
#include "components/mailconverter/MailRenderer.h"

namespace velmora::mailconverter {

// Reads the message with GMime, paints it with Qt into an archival PDF and puts
// it in place with one rename, so that the PDF appears whole or not at all.
class MailConverter : public MailConverterX {
  public:
    explicit MailConverter(ReaderLimits limits = {}, RenderOptions options = {});

    void Convert(const QString& emlPath, const QString& pdfPath, const QString& switches) override;

  private:
    MailReader m_reader;
    MailRenderer m_renderer;
};

}  // namespace velmora::mailconverter
