#pragma once

#include <QString>

namespace velmora::exporting {

// The longest file or folder name the file system takes, in bytes of its encoding.
inline constexpr int kMaxNameBytes = 255;

// A folder name fit for one directory level: each of : ? \ / * " < > | becomes "-",
// control characters and outer blanks go, and a name that would then climb or vanish
// ("", ".", "..") becomes standIn. Over-long names are shortened at a character boundary.
// The result is left as it is by each of these steps, so no later cleaning can make it climb.
QString SafeFolderName(const QString& name, const QString& standIn = QStringLiteral("Unnamed"));

// The subject as the start of a file name: the nine characters above and control
// characters removed, nothing else changed.
QString SanitizeSubject(const QString& subject);

// An attachment's name as a file name: its last path component ("..\..\x.exe" gives
// "x.exe"), without control characters or "|"; "attachment" when nothing usable is left.
QString SafeAttachmentName(const QString& name);

// text cut at a character boundary so that its encoded file name takes at most maxBytes.
QString FitToBytes(const QString& text, int maxBytes);

// Bytes that text takes as a file name.
int EncodedLength(const QString& text);

}  // namespace velmora::exporting
