#pragma once

#include <QString>

#include <stdexcept>

namespace velmora::mime {

// A message call that could not be carried out (a file that cannot be read, a value the
// message cannot hold). The message stays as it was before the failed call.
class MailError : public std::runtime_error {
  public:
    explicit MailError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

}  // namespace velmora::mime
