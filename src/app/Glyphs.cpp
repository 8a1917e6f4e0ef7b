#include "app/Glyphs.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace velmora::app::Glyphs {

namespace {

// One family of colours for every picture, so that icons look like a set.
const QColor kInk(0x2b, 0x4a, 0x6b);
const QColor kPaperEdge(0x6d, 0x84, 0x9b);
const QColor kPaperFold(0xd3, 0xdf, 0xeb);
const QColor kTextLine(0x9f, 0xb4, 0xc8);
const QColor kFolder(0xf2, 0xbd, 0x4f);
const QColor kFolderEdge(0xa8, 0x72, 0x1a);
const QColor kEnvelopeEdge(0x3a, 0x6e, 0xa5);
const QColor kEnvelopeFlap(0x9f, 0xbf, 0xe0);
const QColor kBlue(0x2f, 0x7f, 0xc1);
const QColor kGreen(0x3d, 0x9b, 0x4b);
const QColor kRed(0xd9, 0x44, 0x3a);
const QColor kOrange(0xf2, 0x9f, 0x3d);
const QColor kGold(0xf0, 0xc0, 0x3a);
const QColor kSteel(0xaa, 0xb9, 0xc8);
const QColor kNavy(0x16, 0x3a, 0x5f);
const QColor kTeal(0x1f, 0x6f, 0x8b);

QColor Pick(const QColor& tint, const QColor& fallback) {
    return tint.isValid() ? tint : fallback;
}

QPen Stroke(const QColor& color, qreal width = 1.0) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// A top-to-bottom shine: the colour lightened above, darkened below.
QLinearGradient Shine(const QColor& color, qreal top, qreal bottom) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, color.lighter(135));
    g.setColorAt(1, color.darker(108));
    return g;
}

// Whether the painter draws at least size device pixels per glyph; fine detail such as letters
// only reads from there on.
bool DrawsAtLeast(const QPainter& p, qreal size) {
    return p.transform().m11() * 16.0 >= size;
}

void Letter(QPainter& p, const QRectF& box, const QString& text, qreal height,
            const QColor& color) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height * p.transform().m11()))));
    p.save();
    // Letters are sized in device pixels to stay crisp; draw them untransformed.
    const QRectF device = p.transform().mapRect(box);
    p.resetTransform();
    p.setFont(font);
    p.setPen(color);
    p.drawText(device, Qt::AlignCenter, text);
    p.restore();
}

void PageShape(QPainter& p, qreal left = 3.5, qreal top = 1.5, qreal right = 13.5,
               qreal bottom = 14.5) {
    const qreal fold = 3.0;
    QPainterPath page;
    page.moveTo(left, top);
    page.lineTo(right - fold, top);
    page.lineTo(right, top + fold);
    page.lineTo(right, bottom);
    page.lineTo(left, bottom);
    page.closeSubpath();
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(0xe6, 0xee, 0xf6));
    p.setBrush(g);
    p.setPen(Stroke(kPaperEdge));
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    p.setBrush(kPaperFold);
    p.drawPath(corner);
}

void TextLines(QPainter& p, qreal left, qreal right, qreal top, int count) {
    p.setPen(Stroke(kTextLine));
    for (int i = 0; i < count; ++i) {
        const qreal y = top + 2.0 * i;
        p.drawLine(QPointF(left, y), QPointF(i == count - 1 ? (left + right) / 2 : right, y));
    }
}

void DrawPdfPage(QPainter& p) {
    PageShape(p);
    TextLines(p, 5.5, 11.5, 5.5, 2);
    const QRectF band(1.5, 8.5, 10, 5);
    p.setPen(Stroke(kRed.darker(140)));
    p.setBrush(Shine(kRed, band.top(), band.bottom()));
    p.drawRoundedRect(band, 1, 1);
    if (DrawsAtLeast(p, 24)) {
        Letter(p, band.adjusted(0, -0.5, 0, 0.5), QStringLiteral("PDF"), 4.2, Qt::white);
    } else {
        p.setPen(Stroke(Qt::white));
        p.drawLine(QPointF(3.5, 11), QPointF(9.5, 11));
    }
}

void DrawEnvelope(QPainter& p, const QRectF& r) {
    p.setPen(Stroke(kEnvelopeEdge));
    QLinearGradient g(0, r.top(), 0, r.bottom());
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(0xdc, 0xe8, 0xf5));
    p.setBrush(g);
    p.drawRoundedRect(r, 1, 1);
    const QPointF middle(r.center().x(), r.top() + r.height() * 0.58);
    p.setPen(Stroke(kEnvelopeFlap));
    p.drawLine(QPointF(r.left() + 0.5, r.bottom() - 0.5),
               QPointF(r.center().x() - 1.5, middle.y() - 1));
    p.drawLine(QPointF(r.right() - 0.5, r.bottom() - 0.5),
               QPointF(r.center().x() + 1.5, middle.y() - 1));
    p.setPen(Stroke(kEnvelopeEdge));
    p.setBrush(Qt::NoBrush);
    QPainterPath flap;
    flap.moveTo(r.left() + 0.3, r.top() + 0.5);
    flap.lineTo(middle);
    flap.lineTo(r.right() - 0.3, r.top() + 0.5);
    p.drawPath(flap);
}

void DrawFolder(QPainter& p, const QColor& tint, bool open) {
    const QColor color = Pick(tint, kFolder);
    const QColor edge = tint.isValid() ? tint.darker(175) : kFolderEdge;
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(13.5, 5);
    back.lineTo(13.5, 13.5);
    back.closeSubpath();
    p.setPen(Stroke(edge));
    p.setBrush(color.darker(118));
    p.drawPath(back);
    QPainterPath front;
    if (open) {
        front.moveTo(4, 7.5);
        front.lineTo(15.5, 7.5);
        front.lineTo(13, 13.5);
        front.lineTo(1.5, 13.5);
    } else {
        front.moveTo(1.5, 6.5);
        front.lineTo(14.5, 6.5);
        front.lineTo(14.5, 13.5);
        front.lineTo(1.5, 13.5);
    }
    front.closeSubpath();
    p.setBrush(Shine(color, 6.5, 13.5));
    p.drawPath(front);
}

void DrawMagnifier(QPainter& p, const QPointF& centre, qreal radius) {
    const QPointF handleStart = centre + QPointF(radius * 0.72, radius * 0.72);
    p.setPen(Stroke(kInk, radius * 0.55));
    p.drawLine(handleStart, handleStart + QPointF(radius * 0.75, radius * 0.75));
    QRadialGradient lens(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    lens.setColorAt(0, Qt::white);
    lens.setColorAt(1, QColor(0xa9, 0xd0, 0xf0));
    p.setBrush(lens);
    p.setPen(Stroke(kInk, std::max(1.0, radius * 0.28)));
    p.drawEllipse(centre, radius, radius);
}

void DrawTray(QPainter& p) {
    QPainterPath tray;
    tray.moveTo(1.5, 9.5);
    tray.lineTo(3.5, 6.5);
    tray.lineTo(12.5, 6.5);
    tray.lineTo(14.5, 9.5);
    tray.lineTo(14.5, 14.5);
    tray.lineTo(1.5, 14.5);
    tray.closeSubpath();
    p.setPen(Stroke(kInk));
    p.setBrush(Shine(QColor(0xc7, 0xd9, 0xeb), 6.5, 14.5));
    p.drawPath(tray);
    QPainterPath slot;
    slot.moveTo(1.5, 9.5);
    slot.lineTo(5, 9.5);
    slot.lineTo(6, 11.5);
    slot.lineTo(10, 11.5);
    slot.lineTo(11, 9.5);
    slot.lineTo(14.5, 9.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(slot);
}

// An arrow pointing right, filling the grid; other directions rotate it.
void DrawArrow(QPainter& p, const QColor& color, qreal degrees) {
    p.save();
    p.translate(8, 8);
    p.rotate(degrees);
    p.translate(-8, -8);
    QPainterPath arrow;
    arrow.moveTo(1.5, 6);
    arrow.lineTo(8.5, 6);
    arrow.lineTo(8.5, 2.5);
    arrow.lineTo(14.5, 8);
    arrow.lineTo(8.5, 13.5);
    arrow.lineTo(8.5, 10);
    arrow.lineTo(1.5, 10);
    arrow.closeSubpath();
    p.setPen(Stroke(color.darker(150)));
    p.setBrush(Shine(color, 2.5, 13.5));
    p.drawPath(arrow);
    p.restore();
}

// A small arrow for badges: shaft from (x, top) to the head at bottom when down.
void DrawBadgeArrow(QPainter& p, const QColor& color, bool down) {
    QPainterPath a;
    if (down) {
        a.moveTo(6.5, 0.5);
        a.lineTo(9.5, 0.5);
        a.lineTo(9.5, 4.5);
        a.lineTo(12, 4.5);
        a.lineTo(8, 8.5);
        a.lineTo(4, 4.5);
        a.lineTo(6.5, 4.5);
    } else {
        a.moveTo(6.5, 8.5);
        a.lineTo(9.5, 8.5);
        a.lineTo(9.5, 4.5);
        a.lineTo(12, 4.5);
        a.lineTo(8, 0.5);
        a.lineTo(4, 4.5);
        a.lineTo(6.5, 4.5);
    }
    a.closeSubpath();
    p.setPen(Stroke(color.darker(150)));
    p.setBrush(Shine(color, 0.5, 8.5));
    p.drawPath(a);
}

void DrawDisc(QPainter& p, const QColor& color) {
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, color.lighter(150));
    g.setColorAt(1, color.darker(110));
    p.setBrush(g);
    p.setPen(Stroke(color.darker(150)));
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
}

void DrawPerson(QPainter& p, const QPointF& at, qreal scale, const QColor& color) {
    p.save();
    p.translate(at);
    p.scale(scale, scale);
    p.setPen(Stroke(color.darker(150)));
    p.setBrush(Shine(color, 8, 15));
    QPainterPath body;
    body.moveTo(1.5, 15);
    body.cubicTo(1.5, 9, 14.5, 9, 14.5, 15);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(Shine(QColor(0xf5, 0xd0, 0xa9), 1, 8));
    p.setPen(Stroke(QColor(0xa0, 0x70, 0x48)));
    p.drawEllipse(QPointF(8, 5), 3.5, 3.5);
    p.restore();
}

void DrawLogo(QPainter& p) {
    QLinearGradient back(0, 0, 16, 16);
    back.setColorAt(0, kTeal.lighter(120));
    back.setColorAt(1, kNavy);
    p.setPen(Stroke(kNavy.darker(130)));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.2, 3.2);
    DrawEnvelope(p, QRectF(2.5, 3.5, 11, 7.5));
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawRoundedRect(QRectF(2.5, 12, 11, 1.8), 0.6, 0.6);
}

void Draw(QPainter& p, Glyph glyph, const QColor& tint) {
    switch (glyph) {
        case Glyph::Page:
            PageShape(p);
            break;
        case Glyph::TextPage:
            PageShape(p);
            TextLines(p, 5.5, 11.5, 6.5, 4);
            break;
        case Glyph::PdfPage:
            DrawPdfPage(p);
            break;
        case Glyph::ExportPdf:
            p.save();
            p.translate(-1.5, 0);
            DrawPdfPage(p);
            p.restore();
            p.save();
            p.translate(8, 8);
            p.scale(0.5, 0.5);
            DrawArrow(p, Pick(tint, kGreen), 0);
            p.restore();
            break;
        case Glyph::Envelope:
            DrawEnvelope(p, QRectF(1.5, 3.5, 13, 9));
            break;
        case Glyph::OpenEnvelope: {
            QPainterPath flap;
            flap.moveTo(1.5, 7);
            flap.lineTo(8, 2);
            flap.lineTo(14.5, 7);
            flap.closeSubpath();
            p.setPen(Stroke(kEnvelopeEdge));
            p.setBrush(kEnvelopeFlap);
            p.drawPath(flap);
            p.setBrush(Qt::white);
            p.setPen(Stroke(kPaperEdge));
            p.drawRect(QRectF(4, 3.5, 8, 6));
            TextLines(p, 5.5, 10.5, 5.5, 2);
            DrawEnvelope(p, QRectF(1.5, 7, 13, 7.5));
            break;
        }
        case Glyph::Folder:
            DrawFolder(p, tint, false);
            break;
        case Glyph::OpenFolder:
            DrawFolder(p, tint, true);
            break;
        case Glyph::MailFolder:
            DrawFolder(p, tint, false);
            DrawEnvelope(p, QRectF(6.5, 8.5, 9, 6.5));
            break;
        case Glyph::Magnifier:
            DrawMagnifier(p, QPointF(6.5, 6.5), 4.5);
            break;
        case Glyph::PreviewPage:
            PageShape(p, 1.5, 1.5, 11.5, 14.5);
            TextLines(p, 3.5, 9.5, 5.5, 3);
            DrawMagnifier(p, QPointF(9.5, 9.5), 3.2);
            break;
        case Glyph::Draft: {
            PageShape(p, 1.5, 1.5, 11.5, 14.5);
            TextLines(p, 3.5, 9.5, 5.5, 4);
            p.save();
            p.translate(10.5, 8.5);
            p.rotate(-45);
            QPainterPath tip;
            tip.moveTo(-6.5, 0);
            tip.lineTo(-4, -1.6);
            tip.lineTo(-4, 1.6);
            tip.closeSubpath();
            p.setPen(Stroke(QColor(0x8a, 0x6a, 0x3a), 0.8));
            p.setBrush(QColor(0xf3, 0xd9, 0xa8));
            p.drawPath(tip);
            p.setPen(Stroke(kOrange.darker(160), 0.8));
            p.setBrush(Shine(Pick(tint, kGold), -1.6, 1.6));
            p.drawRect(QRectF(-4, -1.6, 8, 3.2));
            p.setBrush(QColor(0xe8, 0x8a, 0x9a));
            p.drawRect(QRectF(4, -1.6, 2, 3.2));
            p.restore();
            break;
        }
        case Glyph::Trash: {
            p.setPen(Stroke(kInk));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(6, 0.8, 4, 2.2), 0.8, 0.8);
            QPainterPath body;
            body.moveTo(3.5, 4.5);
            body.lineTo(4.5, 14.5);
            body.lineTo(11.5, 14.5);
            body.lineTo(12.5, 4.5);
            body.closeSubpath();
            QLinearGradient g(3.5, 0, 12.5, 0);
            g.setColorAt(0, QColor(0xe9, 0xef, 0xf5));
            g.setColorAt(1, kSteel);
            p.setBrush(g);
            p.drawPath(body);
            p.setPen(Stroke(QColor(0x7a, 0x8d, 0xa1)));
            for (qreal x : {6.5, 8.0, 9.5}) {
                p.drawLine(QPointF(x, 6.5), QPointF(x, 12.5));
            }
            p.setPen(Stroke(kInk));
            p.setBrush(Shine(kSteel, 2.5, 4.5));
            p.drawRoundedRect(QRectF(2, 2.5, 12, 2), 0.8, 0.8);
            break;
        }
        case Glyph::Inbox:
            DrawTray(p);
            DrawBadgeArrow(p, Pick(tint, kGreen), true);
            break;
        case Glyph::Outbox:
            DrawTray(p);
            DrawBadgeArrow(p, Pick(tint, kOrange), false);
            break;
        case Glyph::Junk:
            DrawEnvelope(p, QRectF(0.5, 2.5, 12, 8.5));
            p.setPen(Stroke(kRed, 1.6));
            p.setBrush(QColor(255, 255, 255, 230));
            p.drawEllipse(QPointF(11, 11), 3.7, 3.7);
            p.drawLine(QPointF(8.6, 13.4), QPointF(13.4, 8.6));
            break;
        case Glyph::Flag: {
            const QColor color = Pick(tint, kRed);
            p.setPen(Stroke(kInk, 1.2));
            p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 15));
            QPainterPath flag;
            flag.moveTo(4, 2);
            flag.cubicTo(7, 0.5, 9, 3.5, 13.5, 2);
            flag.lineTo(13.5, 9);
            flag.cubicTo(9, 10.5, 7, 7.5, 4, 9);
            flag.closeSubpath();
            p.setPen(Stroke(color.darker(150)));
            p.setBrush(Shine(color, 1, 10));
            p.drawPath(flag);
            break;
        }
        case Glyph::Help:
            DrawDisc(p, Pick(tint, kBlue));
            Letter(p, QRectF(1.5, 1.5, 13, 13), QStringLiteral("?"), 10.5, Qt::white);
            break;
        case Glyph::Info:
            DrawDisc(p, Pick(tint, kBlue));
            Letter(p, QRectF(1.5, 1.5, 13, 13), QStringLiteral("i"), 10.5, Qt::white);
            break;
        case Glyph::Check: {
            DrawDisc(p, Pick(tint, kGreen));
            QPainterPath tick;
            tick.moveTo(4.5, 8.5);
            tick.lineTo(7, 11);
            tick.lineTo(11.5, 5.5);
            p.setPen(Stroke(Qt::white, 2));
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
            break;
        }
        case Glyph::Cross:
            DrawDisc(p, Pick(tint, kRed));
            p.setPen(Stroke(Qt::white, 2));
            p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
            break;
        case Glyph::Plus:
            DrawDisc(p, Pick(tint, kGreen));
            p.setPen(Stroke(Qt::white, 2));
            p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
            p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
            break;
        case Glyph::Minus:
            DrawDisc(p, Pick(tint, kRed));
            p.setPen(Stroke(Qt::white, 2));
            p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
            break;
        case Glyph::ArrowRight:
            DrawArrow(p, Pick(tint, kBlue), 0);
            break;
        case Glyph::ArrowDown:
            DrawArrow(p, Pick(tint, kBlue), 90);
            break;
        case Glyph::ArrowLeft:
            DrawArrow(p, Pick(tint, kBlue), 180);
            break;
        case Glyph::ArrowUp:
            DrawArrow(p, Pick(tint, kBlue), 270);
            break;
        case Glyph::Refresh: {
            const QColor color = Pick(tint, kGreen);
            p.setPen(Stroke(color.darker(130), 2));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
            QPainterPath head;
            head.moveTo(9, 0.5);
            head.lineTo(13.5, 3.5);
            head.lineTo(9, 6.5);
            head.closeSubpath();
            p.setPen(Stroke(color.darker(150)));
            p.setBrush(color);
            p.drawPath(head);
            break;
        }
        case Glyph::Disk:
            p.setPen(Stroke(kNavy));
            p.setBrush(Shine(Pick(tint, kBlue), 1.5, 14.5));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 1.5, 8, 5));
            p.setBrush(kSteel);
            p.drawRect(QRectF(4.5, 9.5, 7, 5));
            break;
        case Glyph::Printer:
            p.setPen(Stroke(kPaperEdge));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 1.5, 8, 5));
            p.setPen(Stroke(kInk));
            p.setBrush(Shine(kSteel, 6, 12.5));
            p.drawRoundedRect(QRectF(1.5, 6, 13, 6.5), 1.2, 1.2);
            p.setPen(Stroke(kPaperEdge));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 10.5, 8, 4));
            p.setPen(Stroke(kGreen, 1.2));
            p.drawPoint(QPointF(12.5, 8));
            break;
        case Glyph::Gear: {
            const QColor color = Pick(tint, QColor(0x8a, 0x9b, 0xab));
            p.save();
            p.translate(8, 8);
            p.setPen(Stroke(color.darker(160)));
            p.setBrush(color);
            for (int i = 0; i < 8; ++i) {
                p.drawRect(QRectF(-1.3, -7.3, 2.6, 3));
                p.rotate(45);
            }
            p.setBrush(Shine(color, -5.5, 5.5));
            p.drawEllipse(QPointF(0, 0), 5.2, 5.2);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(0, 0), 2, 2);
            p.restore();
            break;
        }
        case Glyph::Clock:
            p.setPen(Stroke(kInk, 1.2));
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
            p.setPen(Stroke(Pick(tint, kBlue), 1.4));
            p.drawLine(QPointF(8, 8), QPointF(8, 3.8));
            p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
            break;
        case Glyph::Calendar:
            p.setPen(Stroke(kInk));
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(1.5, 2.5, 13, 12), 1, 1);
            p.setBrush(Pick(tint, kRed));
            p.drawRect(QRectF(1.5, 2.5, 13, 3));
            p.setPen(Qt::NoPen);
            p.setBrush(kTextLine);
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 4; ++col) {
                    p.drawRect(QRectF(3 + col * 2.8, 7 + row * 2.4, 1.6, 1.4));
                }
            }
            break;
        case Glyph::Person:
            DrawPerson(p, QPointF(0, 0), 1.0, Pick(tint, kBlue));
            break;
        case Glyph::People:
            DrawPerson(p, QPointF(5, 0), 0.7, Pick(tint, kGreen));
            DrawPerson(p, QPointF(0, 4), 0.75, Pick(tint, kBlue));
            break;
        case Glyph::Star: {
            QPolygonF star;
            for (int i = 0; i < 10; ++i) {
                const qreal r = (i % 2 == 0) ? 7.0 : 3.0;
                const qreal a = -M_PI / 2 + i * M_PI / 5;
                star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
            }
            const QColor color = Pick(tint, kGold);
            p.setPen(Stroke(color.darker(160)));
            p.setBrush(Shine(color, 1.5, 15));
            p.drawPolygon(star);
            break;
        }
        case Glyph::Lock:
            p.setPen(Stroke(kInk, 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
            p.drawLine(QPointF(4.5, 6), QPointF(4.5, 7.5));
            p.drawLine(QPointF(11.5, 6), QPointF(11.5, 7.5));
            p.setPen(Stroke(kFolderEdge));
            p.setBrush(Shine(Pick(tint, kGold), 7, 14.5));
            p.drawRoundedRect(QRectF(2.5, 7, 11, 7.5), 1.2, 1.2);
            p.setPen(Stroke(kFolderEdge, 1.4));
            p.drawLine(QPointF(8, 9.5), QPointF(8, 11.5));
            break;
        case Glyph::Key: {
            const QColor color = Pick(tint, kGold);
            p.setPen(Stroke(color.darker(170), 2.6));
            p.drawLine(QPointF(7, 9), QPointF(14, 2));
            p.drawLine(QPointF(12, 4), QPointF(14, 6));
            p.setPen(Stroke(color, 1.4));
            p.drawLine(QPointF(7, 9), QPointF(14, 2));
            p.setPen(Stroke(color.darker(170)));
            p.setBrush(Shine(color, 7, 15));
            p.drawEllipse(QPointF(5, 11), 3.6, 3.6);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(4.3, 11.7), 1, 1);
            break;
        }
        case Glyph::PaperClip: {
            QPainterPath clip;
            clip.moveTo(10.5, 5);
            clip.lineTo(10.5, 11.5);
            clip.cubicTo(10.5, 15.5, 4.5, 15.5, 4.5, 11.5);
            clip.lineTo(4.5, 3.5);
            clip.cubicTo(4.5, 0.5, 8.5, 0.5, 8.5, 3.5);
            clip.lineTo(8.5, 10.5);
            clip.cubicTo(8.5, 12, 6.5, 12, 6.5, 10.5);
            clip.lineTo(6.5, 5);
            p.setPen(Stroke(Pick(tint, QColor(0x6d, 0x7f, 0x92)), 1.3));
            p.setBrush(Qt::NoBrush);
            p.drawPath(clip);
            break;
        }
        case Glyph::Bell: {
            const QColor color = Pick(tint, kGold);
            QPainterPath bell;
            bell.moveTo(2, 12.5);
            bell.cubicTo(4, 11, 3.5, 9, 3.8, 6.5);
            bell.cubicTo(4.2, 1.5, 11.8, 1.5, 12.2, 6.5);
            bell.cubicTo(12.5, 9, 12, 11, 14, 12.5);
            bell.closeSubpath();
            p.setPen(Stroke(color.darker(170)));
            p.setBrush(Shine(color, 2, 12.5));
            p.drawPath(bell);
            p.drawEllipse(QPointF(8, 13.8), 1.5, 1.5);
            break;
        }
        case Glyph::Home: {
            QPainterPath roof;
            roof.moveTo(1, 8.5);
            roof.lineTo(8, 1.5);
            roof.lineTo(15, 8.5);
            p.setPen(Stroke(kInk));
            p.setBrush(Shine(QColor(0xf6, 0xf0, 0xe0), 6, 14.5));
            p.drawRect(QRectF(3.5, 7, 9, 7.5));
            p.setBrush(Pick(tint, kRed));
            p.drawRect(QRectF(6.5, 9.5, 3, 5));
            p.setPen(Stroke(Pick(tint, kRed).darker(140), 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawPath(roof);
            break;
        }
        case Glyph::Globe:
            DrawDisc(p, Pick(tint, kBlue));
            p.setPen(Stroke(QColor(255, 255, 255, 190), 0.9));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(8, 8), 3, 6.5);
            p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
            p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
            break;
        case Glyph::Database: {
            const QColor color = Pick(tint, kSteel);
            p.setPen(Stroke(kInk));
            QLinearGradient g(2, 0, 14, 0);
            g.setColorAt(0, color.lighter(125));
            g.setColorAt(1, color.darker(115));
            p.setBrush(g);
            QPainterPath body;
            body.moveTo(2.5, 3.5);
            body.lineTo(2.5, 12.5);
            body.arcTo(QRectF(2.5, 10.5, 11, 4), 180, 180);
            body.lineTo(13.5, 3.5);
            p.drawPath(body);
            p.setBrush(color.lighter(140));
            p.drawEllipse(QRectF(2.5, 1.5, 11, 4));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 6.5, 11, 4), 180 * 16, 180 * 16);
            break;
        }
        case Glyph::Tag: {
            QPainterPath tag;
            tag.moveTo(1.5, 2.5);
            tag.lineTo(8, 2.5);
            tag.lineTo(14.5, 9);
            tag.lineTo(9, 14.5);
            tag.lineTo(1.5, 8);
            tag.closeSubpath();
            const QColor color = Pick(tint, kOrange);
            p.setPen(Stroke(color.darker(160)));
            p.setBrush(Shine(color, 2.5, 14.5));
            p.drawPath(tag);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(5, 5.5), 1.2, 1.2);
            break;
        }
        case Glyph::Note: {
            QPainterPath note;
            note.moveTo(1.5, 1.5);
            note.lineTo(14.5, 1.5);
            note.lineTo(14.5, 10.5);
            note.lineTo(10.5, 14.5);
            note.lineTo(1.5, 14.5);
            note.closeSubpath();
            const QColor color = Pick(tint, QColor(0xfb, 0xe3, 0x7c));
            p.setPen(Stroke(color.darker(170)));
            p.setBrush(Shine(color, 1.5, 14.5));
            p.drawPath(note);
            p.setBrush(color.darker(120));
            QPainterPath corner;
            corner.moveTo(14.5, 10.5);
            corner.lineTo(10.5, 10.5);
            corner.lineTo(10.5, 14.5);
            p.drawPath(corner);
            p.setPen(Stroke(color.darker(150)));
            p.drawLine(QPointF(4, 5), QPointF(12, 5));
            p.drawLine(QPointF(4, 7.5), QPointF(10, 7.5));
            break;
        }
        case Glyph::Chart: {
            p.setPen(Stroke(kInk));
            p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 14.5));
            p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
            const QColor colors[] = {kBlue, kGreen, Pick(tint, kOrange)};
            const qreal heights[] = {6, 10, 8};
            for (int i = 0; i < 3; ++i) {
                p.setPen(Stroke(colors[i].darker(150)));
                p.setBrush(Shine(colors[i], 14 - heights[i], 14));
                p.drawRect(QRectF(3.5 + i * 3.8, 14 - heights[i], 2.6, heights[i]));
            }
            break;
        }
        case Glyph::Warning: {
            QPainterPath tri;
            tri.moveTo(8, 1.2);
            tri.lineTo(15, 14.5);
            tri.lineTo(1, 14.5);
            tri.closeSubpath();
            const QColor color = Pick(tint, kGold);
            p.setPen(Stroke(color.darker(180)));
            p.setBrush(Shine(color, 1, 14.5));
            p.drawPath(tri);
            Letter(p, QRectF(4, 4.5, 8, 10), QStringLiteral("!"), 9, kInk);
            break;
        }
        case Glyph::Logo:
            DrawLogo(p);
            break;
        case Glyph::StepMarker: {
            QPainterPath tri;
            tri.moveTo(4.5, 2.5);
            tri.lineTo(12.5, 8);
            tri.lineTo(4.5, 13.5);
            tri.closeSubpath();
            const QColor color = Pick(tint, kOrange);
            p.setPen(Stroke(color.darker(150)));
            p.setBrush(Shine(color, 2.5, 13.5));
            p.drawPath(tri);
            break;
        }
        case Glyph::WindowMinimize:
            p.setPen(Stroke(Pick(tint, Qt::white), 1.8));
            p.drawLine(QPointF(4.5, 11), QPointF(11.5, 11));
            break;
        case Glyph::WindowClose:
            p.setPen(Stroke(Pick(tint, Qt::white), 1.6));
            p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
            p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
            break;
    }
}

}  // namespace

void Paint(QPainter& painter, Glyph glyph, const QRectF& target, const QColor& tint) {
    const qreal side = std::min(target.width(), target.height());
    if (side <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.translate(target.center().x() - side / 2, target.center().y() - side / 2);
    painter.scale(side / 16.0, side / 16.0);
    Draw(painter, glyph, tint);
    painter.restore();
}

QImage Render(Glyph glyph, int size, const QColor& tint) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Paint(painter, glyph, QRectF(0, 0, size, size), tint);
    painter.end();
    return image;
}

}  // namespace velmora::app::Glyphs
