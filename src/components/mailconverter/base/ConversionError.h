#pragma once

#include <QString>

#include <stdexcept>

namespace velmora::mailconverter {

// A conversion that did not produce its PDF. No file is left at the destination.
class ConversionError : public std::runtime_error {
  public:
    explicit ConversionError(const QString& what) : std::runtime_error(what.toStdString()) {}
};

}  // namespace velmora::mailconverter
