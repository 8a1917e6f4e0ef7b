#pragma once

#include <QString>

#include <stdexcept>

namespace velmora::notes {

// A Notes member call that failed: the database cannot be opened, is encrypted or damaged,
// an item cannot be read, an extraction cannot be written.
class NotesError : public std::runtime_error {
  public:
    explicit NotesError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

}  // namespace velmora::notes
