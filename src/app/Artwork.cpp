#include "app/Artwork.h"

#include "app/Glyphs.h"

#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>

namespace velmora::app::Artwork {

namespace {

using Glyphs::Glyph;

const QColor kNavy(0x10, 0x30, 0x4f);
const QColor kTeal(0x1f, 0x6f, 0x8b);
const QColor kSky(0x2a, 0x86, 0xa6);
const QColor kOrange(0xf2, 0x9f, 0x3d);
const QColor kSubtitle(0xbf, 0xe0, 0xf2);
const QColor kMist(0xf7, 0xfa, 0xfd);
const QColor kMistDeep(0xe4, 0xec, 0xf4);

const QColor kGreen(0x3d, 0x9b, 0x4b);
const QColor kBlue(0x2f, 0x7f, 0xc1);
const QColor kRed(0xd9, 0x44, 0x3a);
const QColor kOrangeTint(0xf2, 0x9f, 0x3d);
const QColor kSteel(0x8a, 0x9b, 0xab);

struct IconDrawing {
    Glyph glyph;
    QColor tint;
};

// Position -> picture. The positions the windows address (see SmallIconPosition and the toolbar)
// carry the pictures their use calls for; the rest form a general-purpose set.
std::array<IconDrawing, kSmallIconCount> IconTable() {
    return {{
        {Glyph::Page, {}},           {Glyph::TextPage, {}},
        {Glyph::PdfPage, {}},        {Glyph::Folder, {}},
        {Glyph::OpenFolder, kBlue},  {Glyph::OpenEnvelope, {}},
        {Glyph::Disk, {}},           {Glyph::Printer, {}},
        {Glyph::Magnifier, {}},      {Glyph::Refresh, {}},
        {Glyph::ArrowLeft, {}},      {Glyph::ArrowRight, {}},
        {Glyph::ArrowUp, {}},        {Glyph::ArrowDown, {}},
        {Glyph::Plus, {}},           {Glyph::Minus, {}},
        {Glyph::Check, {}},          {Glyph::Cross, {}},
        {Glyph::Info, {}},           {Glyph::Warning, {}},
        {Glyph::Gear, {}},           {Glyph::Clock, {}},
        {Glyph::Calendar, {}},       {Glyph::Person, {}},
        {Glyph::People, {}},         {Glyph::Star, {}},
        {Glyph::Lock, {}},           {Glyph::Key, {}},
        {Glyph::PaperClip, {}},      {Glyph::Bell, {}},
        {Glyph::Home, {}},           {Glyph::Globe, {}},
        {Glyph::Database, {}},       {Glyph::Tag, {}},
        {Glyph::Note, {}},           {Glyph::Chart, {}},
        {Glyph::ArrowRight, kGreen}, {Glyph::ExportPdf, {}},
        {Glyph::Folder, kGreen},     {Glyph::Folder, kBlue},
        {Glyph::Folder, kRed},       {Glyph::Flag, kGreen},
        {Glyph::Flag, kBlue},        {Glyph::Flag, kOrangeTint},
        {Glyph::Tag, kGreen},        {Glyph::Tag, kBlue},
        {Glyph::Star, kBlue},        {Glyph::Help, {}},
        {Glyph::Gear, kBlue},        {Glyph::Lock, kSteel},
        {Glyph::Calendar, kGreen},   {Glyph::Database, kBlue},
        {Glyph::Person, kGreen},     {Glyph::Note, kBlue},
        {Glyph::Bell, kOrangeTint},  {Glyph::Disk, kGreen},
        {Glyph::Envelope, {}},       {Glyph::Refresh, kBlue},
        {Glyph::Home, kGreen},       {Glyph::Globe, kGreen},
        {Glyph::Chart, kGreen},      {Glyph::OpenFolder, {}},
        {Glyph::Key, kBlue},         {Glyph::PreviewPage, {}},
        {Glyph::Clock, kGreen},      {Glyph::Draft, {}},
        {Glyph::Trash, {}},          {Glyph::Inbox, {}},
        {Glyph::Junk, {}},           {Glyph::Outbox, {}},
        {Glyph::MailFolder, {}},     {Glyph::Flag, {}},
    }};
}

QPixmap Picture(Glyph glyph, int size, const QColor& tint = QColor()) {
    return QPixmap::fromImage(Glyphs::Render(glyph, size, tint));
}

QIcon TwoSizeIcon(Glyph glyph) {
    QIcon icon;
    icon.addPixmap(Picture(glyph, 16));
    icon.addPixmap(Picture(glyph, 32));
    return icon;
}

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
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

void Text(QPainter& p, const QPointF& baseline, const QString& text, int pixelSize, bool bold,
          const QColor& color) {
    p.setFont(ArtFont(pixelSize, bold));
    p.setPen(color);
    p.drawText(baseline, text);
}

// Deep blue sky with two soft light discs: the ground of the splash, banner and About pictures.
void Backdrop(QPainter& p, const QRectF& area, bool horizontal) {
    QLinearGradient sky = horizontal ? QLinearGradient(area.left(), 0, area.right(), 0)
                                     : QLinearGradient(area.topLeft(), area.bottomRight());
    sky.setColorAt(0, kNavy);
    sky.setColorAt(0.7, kTeal);
    sky.setColorAt(1, kSky);
    p.fillRect(area, sky);

    p.save();
    p.setClipRect(area);
    p.setPen(Qt::NoPen);
    const qreal reach = area.height() * 1.6;
    for (const auto& [centre, radius, alpha] :
         {std::tuple{QPointF(area.right() - reach * 0.35, area.top() - reach * 0.2), reach, 26},
          std::tuple{QPointF(area.right() - reach * 0.05, area.bottom() + reach * 0.3), reach * 0.8,
                     20}}) {
        QRadialGradient glow(centre, radius);
        glow.setColorAt(0, QColor(255, 255, 255, alpha));
        glow.setColorAt(0.8, QColor(255, 255, 255, alpha / 2));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(glow);
        p.drawEllipse(centre, radius, radius);
    }
    // A gentle swell across the lower part gives the flat gradient some depth.
    QPainterPath swell;
    swell.moveTo(area.left(), area.bottom() - area.height() * 0.22);
    swell.cubicTo(area.left() + area.width() * 0.35, area.bottom() - area.height() * 0.42,
                  area.left() + area.width() * 0.65, area.bottom() - area.height() * 0.02,
                  area.right(), area.bottom() - area.height() * 0.30);
    swell.lineTo(area.bottomRight());
    swell.lineTo(area.bottomLeft());
    swell.closeSubpath();
    p.setBrush(QColor(255, 255, 255, 14));
    p.drawPath(swell);
    p.restore();
}

void OrangeLine(QPainter& p, const QRectF& line) {
    QLinearGradient g(line.left(), 0, line.right(), 0);
    g.setColorAt(0, kOrange.darker(110));
    g.setColorAt(0.5, kOrange.lighter(125));
    g.setColorAt(1, kOrange.darker(110));
    p.fillRect(line, g);
}

void VersionBadge(QPainter& p, const QRectF& box) {
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    p.setFont(ArtFont(static_cast<int>(box.height() * 0.62), true));
    p.setPen(kNavy);
    p.drawText(box, Qt::AlignCenter, QStringLiteral("v2.0"));
}

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

QPixmap Splash() {
    QImage image = Canvas(347, 180);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Backdrop(p, QRectF(0, 0, 347, 180), false);

    Glyphs::Paint(p, Glyph::Logo, QRectF(26, 38, 64, 64));
    Text(p, QPointF(106, 76), QStringLiteral("Velmora"), 36, true, Qt::white);
    Text(p, QPointF(108, 96), QStringLiteral("Notes mail to PDF, folder by folder"), 12, false,
         kSubtitle);
    VersionBadge(p, QRectF(108, 106, 42, 18));

    p.fillRect(QRectF(0, 146, 347, 34), QColor(0, 0, 0, 46));
    OrangeLine(p, QRectF(0, 146, 347, 2));
    Text(p, QPointF(26, 168), QStringLiteral("Quarnix"), 13, true, Qt::white);
    p.setFont(ArtFont(11, false));
    p.setPen(kSubtitle);
    p.drawText(QRectF(180, 150, 141, 26), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Starting\u2026"));
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap Banner() {
    // The window shows columns 8 to 704 and rows 6 to 76 of it above the rule, and rows 78 to 86
    // between the rule and the menu bar; everything that matters sits there.
    QImage image = Canvas(947, 87);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Backdrop(p, QRectF(0, 0, 947, 77), true);

    // Faint envelopes drifting to the right, the program's subject.
    p.setOpacity(0.16);
    // They stay clear of the vendor name and badge at the right end of the visible part.
    const std::array<std::pair<QPointF, qreal>, 5> drift = {{
        {{392, 16}, 30},
        {{446, 44}, 22},
        {{492, 8}, 36},
        {{548, 42}, 24},
        {{590, 14}, 18},
    }};
    for (const auto& [at, size] : drift) {
        Glyphs::Paint(p, Glyph::Envelope, QRectF(at, QSizeF(size, size)));
    }
    p.setOpacity(1.0);

    Glyphs::Paint(p, Glyph::Logo, QRectF(22, 17, 46, 46));
    Text(p, QPointF(80, 44), QStringLiteral("Velmora"), 30, true, Qt::white);
    Text(p, QPointF(82, 64), QStringLiteral("Lotus Notes mail to PDF documents, folder by folder"),
         12, false, kSubtitle);

    p.setFont(ArtFont(12, true));
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(QRectF(520, 20, 176, 18), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Quarnix"));
    VersionBadge(p, QRectF(654, 44, 42, 18));

    QLinearGradient mist(0, 77, 0, 87);
    mist.setColorAt(0, kMist);
    mist.setColorAt(1, kMistDeep);
    p.fillRect(QRectF(0, 77, 947, 10), mist);
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap Rule() {
    QImage image = Canvas(497, 2);
    QPainter p(&image);
    OrangeLine(p, QRectF(0, 0, 497, 1));
    p.fillRect(QRectF(0, 1, 497, 1), kOrange.darker(140));
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap AboutBackground() {
    QImage image = Canvas(347, 180);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Backdrop(p, QRectF(0, 0, 347, 134), false);

    Glyphs::Paint(p, Glyph::Logo, QRectF(28, 30, 56, 56));
    Text(p, QPointF(98, 62), QStringLiteral("Velmora"), 32, true, Qt::white);
    Text(p, QPointF(100, 82), QStringLiteral("Notes mail to PDF, folder by folder"), 12, false,
         kSubtitle);
    Text(p, QPointF(100, 112), QStringLiteral("Quarnix"), 12, true, QColor(255, 255, 255, 220));

    // The version and web address are written over this light part by the About window.
    QLinearGradient mist(0, 134, 0, 180);
    mist.setColorAt(0, kMist);
    mist.setColorAt(1, kMistDeep);
    p.fillRect(QRectF(0, 134, 347, 46), mist);
    OrangeLine(p, QRectF(0, 132, 347, 2));
    p.end();
    return QPixmap::fromImage(image);
}

QIcon WindowIcon() {
    return TwoSizeIcon(Glyph::Logo);
}

QPixmap StepArrow() {
    QImage image = Canvas(10, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath marker;
    marker.moveTo(1.5, 3.5);
    marker.lineTo(8.5, 8);
    marker.lineTo(1.5, 12.5);
    marker.closeSubpath();
    QLinearGradient g(0, 3.5, 0, 12.5);
    g.setColorAt(0, kOrange.lighter(130));
    g.setColorAt(1, kOrange.darker(110));
    p.setBrush(g);
    p.setPen(QPen(kOrange.darker(150), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(marker);
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap FolderArrow() {
    // A blue folder, so that the orange step marker on it stands out as on the plain steps.
    QImage image = Glyphs::Render(Glyph::Folder, 16, kBlue.lighter(130));
    QPainter p(&image);
    Glyphs::Paint(p, Glyph::StepMarker, QRectF(5, 5, 11, 11));
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap SupportIcon() {
    return Picture(Glyph::Check, 16);
}

QIcon BrowseIcon() {
    return TwoSizeIcon(Glyph::OpenFolder);
}

QIcon ScanIcon() {
    return TwoSizeIcon(Glyph::Magnifier);
}

QIcon PreviewTabIcon() {
    return TwoSizeIcon(Glyph::OpenEnvelope);
}

QIcon OpenMenuIcon() {
    return TwoSizeIcon(Glyph::OpenFolder);
}

QIcon HelpMenuIcon() {
    return TwoSizeIcon(Glyph::Help);
}

QIcon AboutMenuIcon() {
    return TwoSizeIcon(Glyph::Info);
}

const QList<QPixmap>& SmallIcons() {
    QList<QPixmap>& icons = SmallIconStore();
    if (icons.isEmpty()) {
        icons.reserve(kSmallIconCount);
        for (const IconDrawing& drawing : IconTable()) {
            icons.append(Picture(drawing.glyph, kSmallIconSize, drawing.tint));
        }
        qAddPostRoutine(ClearSmallIcons);
    }
    return icons;
}

int SmallIconPosition(const QString& key) {
    static const QHash<QString, int> positions = {
        {QStringLiteral("mail"), 56},    {QStringLiteral("Load"), 61},
        {QStringLiteral("Preview"), 63}, {QStringLiteral("drafts"), 65},
        {QStringLiteral("trash"), 66},   {QStringLiteral("inbox"), 67},
        {QStringLiteral("junk"), 68},    {QStringLiteral("outbox"), 69},
        {QStringLiteral("email"), 70},   {QStringLiteral("follow-up"), 71},
    };
    return positions.value(key, -1);
}

}  // namespace velmora::app::Artwork
