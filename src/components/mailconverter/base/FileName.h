#pragma once

#include <QString>

#include <utility>

namespace velmora::mailconverter {

// The longest file name most file systems can store, in bytes of UTF-8.
inline constexpr int kMaxFileNameBytes = 255;

// "report.tar.gz" -> {"report", ".tar.gz"}; a long or spaced "extension" is part of the stem.
std::pair<QString, QString> SplitExtension(const QString& name);

// `stem` cut between characters so that stem + tail fits in `maxBytes` of UTF-8.
QString FitFileName(const QString& stem, const QString& tail, int maxBytes = kMaxFileNameBytes);

// `name` at most `maxBytes` of UTF-8 long, cut between characters, its extension kept.
QString CapFileName(const QString& name, int maxBytes = kMaxFileNameBytes);

}  // namespace velmora::mailconverter
