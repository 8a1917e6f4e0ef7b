#pragma once

#include "components/notesstore/StoreWriter.h"
#include "notes/MemoryNotes.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace velmora::notesstore::test {

// Writes the in-memory database as a store at path, views in order, documents filed
// as they are there.
void WriteStore(const QString& path, const notes::MemoryDatabaseData& data);

// A small database with every kind of value, duplicate and case-variant views, a hidden
// view, a document filed twice and embedded objects of every type.
notes::MemoryDatabaseData SampleData();

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);
qint64 ModifiedNs(const QString& path);

// Both values as a comparable text that keeps the type and, for date-times, the offset.
QString Describe(const notes::NotesValues& values);

}  // namespace velmora::notesstore::test
