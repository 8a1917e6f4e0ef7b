#include "app/Artwork.h"

#include "util/ProductNames.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <array>
#include <cmath>

// A static library's resources are only linked in when something names them; this does, and it
// must stand outside every namespace.
static void RegisterArtworkResources() {
    Q_INIT_RESOURCE(artwork);
}

namespace velmora::app::Artwork {

namespace {

const QColor kNavy(0x10, 0x30, 0x4f);
const QColor kSubtitle(0xbf, 0xe0, 0xf2);

struct SmallIconEntry {
    const char* file;  // under artwork/small/, without ".svg"
    const char* key;   // the name a window asks for it by, if any
};

// Position -> picture. The positions the windows address (see SmallIconPosition and the toolbar)
// carry the pictures their use calls for; the rest form a general-purpose set.
constexpr std::array<SmallIconEntry, kSmallIconCount> kSmallIcons = {{
    {"page", nullptr},
    {"text-page", nullptr},
    {"pdf-page", nullptr},
    {"folder", nullptr},
    {"open-folder-blue", nullptr},
    {"open-envelope", nullptr},
    {"disk", nullptr},
    {"printer", nullptr},
    {"magnifier", nullptr},
    {"refresh", nullptr},
    {"arrow-left", nullptr},
    {"arrow-right", nullptr},
    {"arrow-up", nullptr},
    {"arrow-down", nullptr},
    {"plus", nullptr},
    {"minus", nullptr},
    {"check", nullptr},
    {"cross", nullptr},
    {"info", nullptr},
    {"warning", nullptr},
    {"gear", nullptr},
    {"clock", nullptr},
    {"calendar", nullptr},
    {"person", nullptr},
    {"people", nullptr},
    {"star", nullptr},
    {"lock", nullptr},
    {"key", nullptr},
    {"paper-clip", nullptr},
    {"bell", nullptr},
    {"home", nullptr},
    {"globe", nullptr},
    {"database", nullptr},
    {"tag", nullptr},
    {"note", nullptr},
    {"chart", nullptr},
    {"arrow-right-green", nullptr},
    {"export-pdf", nullptr},
    {"folder-green", nullptr},
    {"folder-blue", nullptr},
    {"folder-red", nullptr},
    {"flag-green", nullptr},
    {"flag-blue", nullptr},
    {"flag-orange", nullptr},
    {"tag-green", nullptr},
    {"tag-blue", nullptr},
    {"star-blue", nullptr},
    {"help", nullptr},
    {"gear-blue", nullptr},
    {"lock-steel", nullptr},
    {"calendar-green", nullptr},
    {"database-blue", nullptr},
    {"person-green", nullptr},
    {"note-blue", nullptr},
    {"bell-orange", nullptr},
    {"disk-green", nullptr},
    {"mail", "mail"},
    {"refresh-blue", nullptr},
    {"home-green", nullptr},
    {"globe-green", nullptr},
    {"chart-green", nullptr},
    {"load", "Load"},
    {"key-blue", nullptr},
    {"preview", "Preview"},
    {"clock-green", nullptr},
    {"drafts", "drafts"},
    {"trash", "trash"},
    {"inbox", "inbox"},
    {"junk", "junk"},
    {"outbox", "outbox"},
    {"email", "email"},
    {"follow-up", "follow-up"},
}};

qreal Ratio(qreal devicePixelRatio) {
    if (devicePixelRatio > 0) {
        return devicePixelRatio;
    }
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

QSize DeviceSize(const QSize& size, qreal ratio) {
    return {static_cast<int>(std::lround(size.width() * ratio)),
            static_cast<int>(std::lround(size.height() * ratio))};
}

QPixmap Picture(const QString& file, const QSize& size, qreal devicePixelRatio) {
    return QPixmap::fromImage(RenderSvg(file, size, devicePixelRatio));
}

// Draws the SVG afresh for every size and ratio it is asked for, so that a 2x screen gets a
// picture drawn at 2x instead of an enlarged 1x one.
class SvgIconEngine final : public QIconEngine {
  public:
    explicit SvgIconEngine(QString file) : m_file(std::move(file)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(DeviceSize(rect.size(), ratio), mode, state, ratio));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // size is in device pixels; scale only labels the result.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const QString cacheKey =
            QStringLiteral("%1x%2/%3").arg(size.width()).arg(size.height()).arg(int(mode));
        QPixmap pixmap = m_cache.value(cacheKey);
        if (pixmap.isNull()) {
            pixmap = Picture(m_file, size, 1.0);
            if (mode != QIcon::Normal && qobject_cast<QApplication*>(qApp) != nullptr) {
                // Disabled and selected looks come from the style, as for any other icon.
                QStyleOption option;
                option.palette = QApplication::palette();
                pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
            }
            m_cache.insert(cacheKey, pixmap);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(32, 32)};
    }

    QString key() const override { return QStringLiteral("VelmoraSvgIconEngine"); }

    QIconEngine* clone() const override { return new SvgIconEngine(*this); }

  private:
    QString m_file;
    QHash<QString, QPixmap> m_cache;
};

QIcon SvgIcon(const QString& file) {
    return QIcon(new SvgIconEngine(file));
}

QFont ArtFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The texts stay in code, over the SVG ground, so that they use the theme's font fallbacks.
class TextPainter {
  public:
    explicit TextPainter(QImage& image) : m_painter(&image) {
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }

    void At(const QPointF& baseline, const QString& text, int pixelSize, bool bold,
            const QColor& color) {
        m_painter.setFont(ArtFont(pixelSize, bold));
        m_painter.setPen(color);
        m_painter.drawText(baseline, text);
    }

    void In(const QRectF& box, Qt::Alignment alignment, const QString& text, int pixelSize,
            bool bold, const QColor& color) {
        m_painter.setFont(ArtFont(pixelSize, bold));
        m_painter.setPen(color);
        m_painter.drawText(box, alignment, text);
    }

    // The version on the orange badge the SVG draws in box.
    void Badge(const QRectF& box) {
        In(box, Qt::AlignCenter, QStringLiteral("v2.0"), static_cast<int>(box.height() * 0.62),
           true, kNavy);
    }

  private:
    QPainter m_painter;
};

void ClearSmallIcons();

QList<QPixmap>& SmallIconStore() {
    static QList<QPixmap> icons;
    return icons;
}

void ClearSmallIcons() {
    // Pixmaps must not outlive the application that made them.
    SmallIconStore().clear();
}

}  // namespace

QImage RenderSvg(const QString& file, const QSize& size, qreal devicePixelRatio) {
    static const bool registered = (RegisterArtworkResources(), true);
    Q_UNUSED(registered);
    QSvgRenderer renderer(QStringLiteral(":/velmora/artwork/") + file);
    if (!renderer.isValid()) {
        qWarning("Artwork: cannot draw %s", qPrintable(file));
        return {};
    }
    const qreal ratio = Ratio(devicePixelRatio);
    const QSize logical = size.isValid() ? size : renderer.defaultSize();
    QImage image(DeviceSize(logical, ratio), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    image.setDevicePixelRatio(ratio);
    return image;
}

QPixmap Splash(qreal devicePixelRatio) {
    QImage image = RenderSvg(QStringLiteral("splash.svg"), QSize(347, 180), devicePixelRatio);
    {
        TextPainter text(image);
        text.At(QPointF(106, 76), QLatin1String(kAppTitle), 36, true, Qt::white);
        text.At(QPointF(108, 96), QStringLiteral("Notes mail to PDF, folder by folder"), 12, false,
                kSubtitle);
        text.Badge(QRectF(108, 106, 42, 18));
        text.At(QPointF(26, 168), QLatin1String(kVendorName), 13, true, Qt::white);
        text.In(QRectF(180, 150, 141, 26), Qt::AlignRight | Qt::AlignVCenter,
                QStringLiteral("Starting\u2026"), 11, false, kSubtitle);
    }
    return QPixmap::fromImage(image);
}

QPixmap Banner(qreal devicePixelRatio) {
    // The window shows columns 8 to 704 and rows 6 to 76 of it above the rule, and rows 78 to 86
    // between the rule and the menu bar; everything that matters sits there.
    QImage image = RenderSvg(QStringLiteral("banner.svg"), QSize(947, 87), devicePixelRatio);
    {
        TextPainter text(image);
        text.At(QPointF(80, 44), QLatin1String(kAppTitle), 30, true, Qt::white);
        text.At(QPointF(82, 64),
                QStringLiteral("Lotus Notes mail to PDF documents, folder by folder"), 12, false,
                kSubtitle);
        text.In(QRectF(520, 20, 176, 18), Qt::AlignRight | Qt::AlignVCenter,
                QLatin1String(kVendorName), 12, true, QColor(255, 255, 255, 220));
        text.Badge(QRectF(654, 44, 42, 18));
    }
    return QPixmap::fromImage(image);
}

QPixmap Rule(qreal devicePixelRatio) {
    return Picture(QStringLiteral("rule.svg"), QSize(497, 2), devicePixelRatio);
}

QPixmap AboutBackground(qreal devicePixelRatio) {
    QImage image = RenderSvg(QStringLiteral("about.svg"), QSize(347, 180), devicePixelRatio);
    {
        TextPainter text(image);
        text.At(QPointF(98, 62), QLatin1String(kAppTitle), 32, true, Qt::white);
        text.At(QPointF(100, 82), QStringLiteral("Notes mail to PDF, folder by folder"), 12, false,
                kSubtitle);
        text.At(QPointF(100, 112), QLatin1String(kVendorName), 12, true,
                QColor(255, 255, 255, 220));
        // The version and web address are written over the light part by the About window.
    }
    return QPixmap::fromImage(image);
}

QIcon WindowIcon() {
    return SvgIcon(QStringLiteral("logo.svg"));
}

QPixmap StepArrow(qreal devicePixelRatio) {
    return Picture(QStringLiteral("step-arrow.svg"), QSize(10, 16), devicePixelRatio);
}

QPixmap FolderArrow(qreal devicePixelRatio) {
    return Picture(QStringLiteral("folder-arrow.svg"), QSize(16, 16), devicePixelRatio);
}

QPixmap SupportIcon(qreal devicePixelRatio) {
    return Picture(QStringLiteral("small/check.svg"), QSize(16, 16), devicePixelRatio);
}

QIcon BrowseIcon() {
    return SvgIcon(QStringLiteral("small/load.svg"));
}

QIcon ScanIcon() {
    return SvgIcon(QStringLiteral("small/magnifier.svg"));
}

QIcon PreviewTabIcon() {
    return SvgIcon(QStringLiteral("small/open-envelope.svg"));
}

QIcon OpenMenuIcon() {
    return SvgIcon(QStringLiteral("small/load.svg"));
}

QIcon HelpMenuIcon() {
    return SvgIcon(QStringLiteral("small/help.svg"));
}

QIcon AboutMenuIcon() {
    return SvgIcon(QStringLiteral("small/info.svg"));
}

QIcon TitleMinimizeIcon() {
    return SvgIcon(QStringLiteral("title-minimize.svg"));
}

QIcon TitleCloseIcon() {
    return SvgIcon(QStringLiteral("title-close.svg"));
}

const QList<QPixmap>& SmallIcons() {
    QList<QPixmap>& icons = SmallIconStore();
    if (icons.isEmpty()) {
        icons.reserve(kSmallIconCount);
        for (int position = 0; position < kSmallIconCount; ++position) {
            icons.append(
                Picture(SmallIconFile(position), QSize(kSmallIconSize, kSmallIconSize), 0));
        }
        qAddPostRoutine(ClearSmallIcons);
    }
    return icons;
}

int SmallIconPosition(const QString& key) {
    for (int position = 0; position < kSmallIconCount; ++position) {
        const char* own = kSmallIcons[position].key;
        if (own != nullptr && key == QLatin1String(own)) {
            return position;
        }
    }
    return -1;
}

QString SmallIconFile(int position) {
    if (position < 0 || position >= kSmallIconCount) {
        return {};
    }
    return QStringLiteral("small/%1.svg").arg(QLatin1String(kSmallIcons[position].file));
}

}  // namespace velmora::app::Artwork
