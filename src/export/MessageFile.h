#pragma once

#include "export/MailRecord.h"
#include "util/UserInterface.h"

#include <QSet>
#include <QString>

#include <functional>
#include <memory>

namespace velmora::mailconverter {
class MailConverterX;
}
namespace velmora::mime {
class MailMessage;
}

namespace velmora::exporting {

// What became of one message.
struct MessageOutcome {
    bool written = false;
    QString pdfPath;  // where the PDF is, or would have been
    QString reason;   // why there is no PDF; empty when written
};

// A message built and named on the reading thread, to be written and converted on any.
struct PreparedMessage {
    std::shared_ptr<mime::MailMessage> message;  // null: the component is not available
    QString emlPath;
    QString pdfPath;
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

    // CreateEmailItem in the steps of a run that converts on worker threads. Prepare builds
    // the message (reading its attachment files in and removing them) and reserves a name:
    // baseName when given and free, else a drawn one. Finish composes, writes the message
    // file, converts it and removes it again; it touches nothing of the writer, so any thread
    // may run it, and calls between after the writing and after the conversion. Release gives
    // the name back once the outcome is known.
    PreparedMessage Prepare(const QString& exportRoot, const MailRecord& record,
                            const QString& baseName = {});
    static MessageOutcome Finish(const PreparedMessage& prepared,
                                 mailconverter::MailConverterX* converter,
                                 const std::function<void()>& between = {});
    void Release(const PreparedMessage& prepared);

    // The numbered base name for the subject that no .eml or .pdf in folder uses yet.
    QString FreeBaseName(const QString& folder, const QString& sanitisedSubject);

  private:
    bool Taken(const QString& folder, const QString& base) const;

    UserInterface& m_ui;
    std::shared_ptr<mailconverter::MailConverterX> m_converter;
    std::function<int()> m_drawNumber;
    QSet<QString> m_reserved;  // folder and base name of every message prepared, not released
};

}  // namespace velmora::exporting
