#include "RecordingUserInterface.h"

namespace velmora::testing {

namespace {
template <class T>
T TakeFront(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
        return fallback;
    }
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}
}  // namespace

MsgAnswer RecordingUserInterface::MessageBox(const QString& text, const QString& title,
                                             MsgIcon icon, MsgButtons buttons) {
    calls << QStringLiteral("MessageBox:") + title;
    messages.push_back(MessageCall{text, title, icon, buttons});
    const MsgAnswer fallback = buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    return TakeFront(answers, fallback);
}

QString RecordingUserInterface::OpenFileDialog(const QString& filter, const QString& startFolder) {
    calls << QStringLiteral("OpenFileDialog:") + filter;
    openFileStartFolders << startFolder;
    return TakeFront(openFileResults, QString());
}

QString RecordingUserInterface::BrowseFolderDialog(const QString& title) {
    calls << QStringLiteral("BrowseFolderDialog:") + title;
    return TakeFront(folderResults, QString());
}

void RecordingUserInterface::Pause(int milliseconds) {
    calls << QStringLiteral("Pause:%1").arg(milliseconds);
    totalPauseMs += milliseconds;
}

void RecordingUserInterface::DoEvents() {
    calls << QStringLiteral("DoEvents");
}

}  // namespace velmora::testing
