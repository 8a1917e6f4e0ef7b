#pragma once

#include "export/MailRecord.h"
#include "util/UserInterface.h"

#include <QString>

#include <functional>
#include <memory>

namespace velmora::mailconverter {
class MailConverterX;
}

namespace velmora::exporting {

// What became of one message.
struct MessageOutcome {
    bool written = false;
    QString pdfPath;  // where the PDF is, or would have been
    QString reason;   // why there is no PDF; empty when written
};

// Turns records into PDFs below one export root: composes the message file, converts it
// beside itself and removes it again, whatever happens.
class MessageFileWriter {
  public:
    // converter may be null (the component could not be created): no message converts.
    MessageFileWriter(UserInterface& ui, std::shared_ptr<mailconverter::MailConverterX> converter,
                      std::function<int()> drawNumber = {});

    // exportRoot ends with a separator; the record's folder below it exists.
    MessageOutcome CreateEmailItem(const QString& exportRoot, const MailRecord& record);

    // The numbered base name for the subject that no .eml or .pdf in folder uses yet.
    QString FreeBaseName(const QString& folder, const QString& sanitisedSubject);

  private:
    UserInterface& m_ui;
    std::shared_ptr<mailconverter::MailConverterX> m_converter;
    std::function<int()> m_drawNumber;
};

}  // namespace velmora::exporting
