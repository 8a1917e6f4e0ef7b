#pragma once

#include <QColor>
#include <QImage>

class QPainter;
class QRectF;

namespace velmora::app::Glyphs {

// The drawn pictures every icon of the program is made of. Each is designed on a 16 x 16 grid and
// scales to any square.
enum class Glyph {
    Page,
    TextPage,
    PdfPage,
    ExportPdf,
    Envelope,
    OpenEnvelope,
    Folder,
    OpenFolder,
    MailFolder,
    Magnifier,
    PreviewPage,
    Draft,
    Trash,
    Inbox,
    Outbox,
    Junk,
    Flag,
    Help,
    Info,
    Check,
    Cross,
    Plus,
    Minus,
    ArrowRight,
    ArrowLeft,
    ArrowUp,
    ArrowDown,
    Refresh,
    Disk,
    Printer,
    Gear,
    Clock,
    Calendar,
    Person,
    People,
    Star,
    Lock,
    Key,
    PaperClip,
    Bell,
    Home,
    Globe,
    Database,
    Tag,
    Note,
    Chart,
    Warning,
    Logo,
    StepMarker,
    WindowMinimize,
    WindowClose,
};

// Draws glyph into target (a square; other shapes are centred). tint recolours the glyph's main
// colour where the glyph has one (folders, flags, arrows); an invalid colour keeps the default.
void Paint(QPainter& painter, Glyph glyph, const QRectF& target, const QColor& tint = QColor());

// A transparent 32-bit picture of size x size with glyph drawn on it.
QImage Render(Glyph glyph, int size, const QColor& tint = QColor());

}  // namespace velmora::app::Glyphs
