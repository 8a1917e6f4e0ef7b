#include "app/FrmAbout.h"

#include "app/Artwork.h"
#include "app/Theme.h"
#include "util/ProductNames.h"

#include <QLabel>

namespace velmora::app {

namespace {

QLabel* Line(QWidget* parent, const char* name, const QString& text, int y, bool bold,
             const QString& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(8, y, 329, 17);
    label->setAlignment(Qt::AlignCenter);
    QFont font = Theme::WindowFont();
    font.setBold(bold);
    label->setFont(font);
    label->setStyleSheet(
        QStringLiteral("QLabel { background: transparent; %1 }")
            .arg(colour.isEmpty() ? QString() : QStringLiteral("color: ") + colour + u';'));
    return label;
}

}  // namespace

FrmAbout::FrmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    Theme::Apply(this);

    // The picture is a few pixels off the client size; stretched, it leaves no bare edge.
    auto* background = new QLabel(this);
    background->setObjectName(QStringLiteral("ImgBackground"));
    background->setPixmap(Artwork::AboutBackground());
    background->setScaledContents(true);
    background->setGeometry(rect());

    Line(this, "Label2",
         QStringLiteral("Version : %1 Build %2").arg(QLatin1String(kVersion)).arg(kBuildNumber),
         144, true, QString());
    Line(this, "Label1", QStringLiteral("Website : ") + QLatin1String(kWebAddress), 160, false,
         QStringLiteral("#000080"));
}

}  // namespace velmora::app
