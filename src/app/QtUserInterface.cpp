#include "app/QtUserInterface.h"

#include "util/ProductNames.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace velmora::app {

MsgAnswer QtUserInterface::MessageBox(const QString& text, const QString& title, MsgIcon icon,
                                      MsgButtons buttons) {
    QMessageBox box(m_owner);
    box.setObjectName(QStringLiteral("VelmoraMessageBox"));
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kAppTitle) : title);
    box.setText(text);
    switch (icon) {
        case MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (buttons == MsgButtons::YesNo) {
        return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    return MsgAnswer::Ok;
}

QString QtUserInterface::QtFilterFromPairs(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (description.contains(QLatin1Char('(') + pattern + QLatin1Char(')'))
                        ? description
                        : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtUserInterface::OpenFileDialog(const QString& filter, const QString& startFolder) {
    return QFileDialog::getOpenFileName(m_owner, QString(), startFolder, QtFilterFromPairs(filter));
}

QString QtUserInterface::BrowseFolderDialog(const QString& title) {
    // A folder-only chooser without a new-folder button, as close as Qt's own dialog allows.
    QFileDialog dialog(nullptr, title);
    dialog.setObjectName(QStringLiteral("BrowseForFolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly |
                      QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void QtUserInterface::Pause(int milliseconds) {
    // Keeps the windows painted, but takes no user input, so nothing can re-enter the
    // handler that paused.
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents,
                                        static_cast<int>(deadline.remainingTime()));
        QThread::msleep(1);
    }
}

void QtUserInterface::DoEvents() {
    QCoreApplication::processEvents();
}

}  // namespace velmora::app
