#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

// The program's pictures, drawn from the SVG files under artwork/ (see ARTWORK.md). Every function
// needs a running QGuiApplication. A devicePixelRatio of 0 means the application's, so that the
// pictures are drawn at the screen's resolution rather than enlarged from 1x; the small-icon list
// is built once, at that ratio, and kept until the application ends.
namespace velmora::app::Artwork {

// 347 x 180, product name, version, vendor. At 1x unless asked: the splash window sizes its
// picture by the pixmap's height in pixels.
QPixmap Splash(qreal devicePixelRatio = 1);
QPixmap Banner(qreal devicePixelRatio = 0);           // 947 x 87, across the top of the main window
QPixmap Rule(qreal devicePixelRatio = 0);             // 497 x 2, under the banner; meant to stretch
QPixmap AboutBackground(qreal devicePixelRatio = 0);  // 347 x 180, light at the bottom for texts
QIcon WindowIcon();                                   // 16 x 16 and 32 x 32
QPixmap StepArrow(qreal devicePixelRatio = 0);        // 10 x 16 scan step marker
QPixmap FolderArrow(qreal devicePixelRatio = 0);      // 16 x 16 folder step marker
QPixmap SupportIcon(qreal devicePixelRatio = 0);      // 16 x 16 mark beside the versions line
QIcon BrowseIcon();
QIcon ScanIcon();
QIcon PreviewTabIcon();
QIcon OpenMenuIcon();
QIcon HelpMenuIcon();
QIcon AboutMenuIcon();
QIcon TitleMinimizeIcon();  // white, for the dark title strip
QIcon TitleCloseIcon();

inline constexpr int kSmallIconCount = 72;
inline constexpr int kSmallIconSize = 16;

// Exactly kSmallIconCount pictures of 16 x 16 in 32-bit colour, addressed by position.
const QList<QPixmap>& SmallIcons();

// Position of the small icon that carries key (keys are case-sensitive); -1 for any other key.
int SmallIconPosition(const QString& key);

// The SVG file behind the small icon at position, as a path under artwork/ for RenderSvg; empty
// outside the list.
QString SmallIconFile(int position);

// file (a path under artwork/, e.g. "small/inbox.svg") drawn at size x devicePixelRatio pixels,
// transparent where the picture is; an invalid size means the picture's own. A null image when the
// file is missing or not valid SVG.
QImage RenderSvg(const QString& file, const QSize& size, qreal devicePixelRatio = 0);

}  // namespace velmora::app::Artwork
