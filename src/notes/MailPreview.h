#pragma once

#include "notes/MailboxState.h"
#include "notes/MailboxView.h"
#include "util/UserInterface.h"

#include <QString>

#include <cstdint>

namespace velmora::notes {

// The view a tree node's view name is previewed from: the six standard folders map to
// their hidden "($...)" views, everything else is a view of that name.
QString PreviewViewName(const QString& nodeViewName);

// "0 KB", "2 KB": bytes / 1024 rounded half to even.
QString SizeText(std::int64_t bytes);

// The first e-mails of a folder in the preview list.
class MailPreview {
  public:
    static constexpr int kMaxRows = 16;

    MailPreview(MailboxState& state, MailboxView& view, PreviewList& list, UserInterface& ui)
        : m_state(state), m_view(view), m_list(list), m_ui(ui) {}

    // node is the selected node's number; 0 when none is selected.
    void ContactsTreeView_Click(int node);
    // namesake, when not -1, picks one of the folders that carry viewName (FolderNamesakes).
    void EnumerateEmails(const QString& viewName, int namesake = -1);

  private:
    MailboxState& m_state;
    MailboxView& m_view;
    PreviewList& m_list;
    UserInterface& m_ui;
};

}  // namespace velmora::notes
