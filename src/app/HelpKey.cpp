#include "app/HelpKey.h"

#include <QShortcut>
#include <QWidget>

namespace velmora::app {

QShortcut* InstallHelpKey(QWidget* window, std::function<void()> open) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setObjectName(QStringLiteral("HelpKey"));
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, std::move(open));
    return key;
}

}  // namespace velmora::app
