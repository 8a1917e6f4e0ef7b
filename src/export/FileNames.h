#pragma once

#include "util/FileNames.h"

#include <QString>

namespace velmora::exporting {

// A folder name fit for one directory level: each of : ? \ / * " < > | becomes "-",
// control characters and outer blanks go, and a name that would then climb or vanish
// ("", ".", "..") becomes standIn. Over-long names are shortened at a character boundary.
QString SafeFolderName(const QString& name, const QString& standIn = QStringLiteral("Unnamed"));

// The subject as the start of a file name: the nine characters above and control
// characters removed, nothing else changed.
QString SanitizeSubject(const QString& subject);

// An attachment's name as a file name: its last path component ("..\..\x.exe" gives
// "x.exe"), without control characters or "|"; "attachment" when nothing usable is left.
QString SafeAttachmentName(const QString& name);

}  // namespace velmora::exporting
