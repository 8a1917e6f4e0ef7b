#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

// The program's pictures, all drawn here in code. Every function needs a running
// QGuiApplication; the small-icon list is built once and kept until the application ends.
namespace velmora::app::Artwork {

QPixmap Splash();           // 347 x 180, product name, version and vendor
QPixmap Banner();           // 947 x 87, across the top of the main window
QPixmap Rule();             // 497 x 2, the line under the banner; meant to be stretched
QPixmap AboutBackground();  // 347 x 180, light at the bottom where the About texts sit
QIcon WindowIcon();         // 16 x 16 and 32 x 32
QPixmap StepArrow();        // 10 x 16 scan step marker
QPixmap FolderArrow();      // 16 x 16 folder step marker
QPixmap SupportIcon();      // 16 x 16 mark beside the supported-versions line
QIcon BrowseIcon();
QIcon ScanIcon();
QIcon PreviewTabIcon();
QIcon OpenMenuIcon();
QIcon HelpMenuIcon();
QIcon AboutMenuIcon();

inline constexpr int kSmallIconCount = 72;
inline constexpr int kSmallIconSize = 16;

// Exactly kSmallIconCount pictures of 16 x 16 in 32-bit colour, addressed by position.
const QList<QPixmap>& SmallIcons();

// Position of the small icon that carries key (keys are case-sensitive); -1 for any other key.
int SmallIconPosition(const QString& key);

}  // namespace velmora::app::Artwork
