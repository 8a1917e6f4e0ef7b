#include "app/FrmMain.h"

#include "util/UserInterface.h"

namespace velmora::app {

FrmMain::FrmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("%1 %2 v2.0").arg(QLatin1String(kVendorName), QLatin1String(kAppTitle)));
    setFixedSize(696, 622);
}

}  // namespace velmora::app
