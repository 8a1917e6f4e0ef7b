#pragma once

#include "notes/NotesObjects.h"

namespace velmora::notes {

// The process's current Notes objects, shared by the main window and the export window.
// A scan or an export run replaces them as the Notes client would.
struct NotesContext {
    SessionPtr session;
    DatabasePtr database;
    ViewPtr view;
    DocumentPtr document;

    void ReleaseCurrent() {
        document.reset();
        view.reset();
        database.reset();
    }
    void Clear() {
        ReleaseCurrent();
        session.reset();
    }
};

}  // namespace velmora::notes
