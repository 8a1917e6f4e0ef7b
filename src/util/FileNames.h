#pragma once

#include <QString>

#include <functional>
#include <utility>

// One set of rules for every name we give a file or folder, so the export, the converter and
// the importer agree on what a name may hold and how long it may be.
namespace velmora::filenames {

// The longest file or folder name the file system takes, in bytes of its encoding.
inline constexpr int kMaxNameBytes = 255;

// U+0000..U+001F and U+007F.
bool IsControl(QChar c);

// One of : ? \ / * " < > |, which a file name on some system cannot hold.
bool IsReservedChar(QChar c);

// "", "." and "..": names that would vanish or climb as a level of a path.
bool IsNoName(const QString& name);

// text without control characters, each reserved character replaced by reservedBecomes or,
// when that is null, dropped.
QString CleanChars(const QString& text, QChar reservedBecomes = QChar());

// text without control characters; reserved characters stay.
QString WithoutControls(const QString& text);

// Blanks (U+0020) trimmed from both ends; other white space stays.
QString TrimBlanks(const QString& text);

// A name for one directory level: CleanChars, blanks trimmed, cut to maxBytes and trimmed again.
// "" when that leaves no name (see IsNoName); each step leaves the result as it is, so no later
// cleaning or trimming can make it climb.
QString SafeLevelName(const QString& name, QChar reservedBecomes, int maxBytes = kMaxNameBytes);

// Bytes that text takes as a file name.
int EncodedLength(const QString& text);

// text cut at a grapheme boundary so that its encoded name takes at most maxBytes.
QString FitToBytes(const QString& text, int maxBytes);

// "report.tar.gz" -> {"report", ".tar.gz"}; a long or spaced "extension" is part of the stem.
std::pair<QString, QString> SplitExtension(const QString& name);

// stem cut at a grapheme boundary (trailing blanks dropped) so that stem + tail fits maxBytes.
QString FitWithTail(const QString& stem, const QString& tail, int maxBytes = kMaxNameBytes);

// name within maxBytes, shortened in its stem so that its extension stays.
QString CapName(const QString& name, int maxBytes = kMaxNameBytes);

// The first of stem + extension, stem + " (n)" + extension for n = firstNumber, firstNumber + 1,
// ... that isTaken refuses, each within maxBytes. Returns the number used through usedNumber
// (0 when the plain name was free), so a caller can go on counting from there.
QString FirstFreeName(const QString& stem, const QString& extension,
                      const std::function<bool(const QString&)>& isTaken, int firstNumber = 2,
                      int maxBytes = kMaxNameBytes, int* usedNumber = nullptr);

}  // namespace velmora::filenames
