#pragma once

#include "notes/NotesError.h"

#include <QString>

namespace velmora::notes {

// "Nothing" where an object is needed fails the way a member call on nothing does.
template <class Pointer>
const Pointer& RequireObject(const Pointer& pointer, const char* what) {
    if (!pointer) {
        throw NotesError(QStringLiteral("No %1").arg(QLatin1String(what)));
    }
    return pointer;
}

}  // namespace velmora::notes
