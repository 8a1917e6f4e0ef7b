#pragma once

// What the reader sees of a real database, printed for people and tests.

#include <QString>
#include <QTextStream>

namespace velmora::nsf {

// One JSON object per line for every document (data note) of the file: note ID, class,
// every item with its name, stored type, flags and values, and the attachments with name,
// size and whether they can be extracted (and why not). A note that cannot be read gives
// its ID and the reason. Fails with NotesError when the file cannot be opened.
void DumpAllJson(const QString& path, QTextStream& out);

}  // namespace velmora::nsf
