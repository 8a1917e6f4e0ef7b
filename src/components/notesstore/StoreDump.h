#pragma once

// A store printed for people and tests, read through the Notes object model.

#include "notes/NotesObjects.h"

#include <QTextStream>

namespace velmora::notesstore {

// Title, then one line per view: position, "folder" or "view", entry count, name.
void DumpViews(notes::NotesDatabase& database, QTextStream& out);

// One line per document of the view: position, size in bytes, Subject.
void DumpDocuments(notes::NotesView& view, QTextStream& out);

// Every item of the document: name, type and all values; embedded objects of rich-text
// items with type, name and size. Dates are written in ISO 8601 with their offset, so the
// output does not depend on the locale.
void DumpDocument(notes::NotesDocument& document, QTextStream& out);

// Every document of the store at path as one JSON object a line, in the form the dump of a
// real Notes database takes: its id, class, items with their types and values, and the
// embedded objects of its rich-text items as attachments. Throws notes::NotesError with the
// reason when path is no store.
void DumpAllJson(const QString& path, QTextStream& out);

}  // namespace velmora::notesstore
