#include "components/mailconverter/layout/PlainTextLayout.h"

#include "components/mailconverter/pdf/PdfCanvas.h"
#include "components/mailconverter/pdf/PdfFont.h"
#include "components/mailconverter/pdf/QtTextAdapter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace velmora::mailconverter {

namespace {

// Letters whose lines break at spaces and which no shaping changes.
bool SimpleScript(QChar::Script script) {
    switch (script) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
        case QChar::Script_Armenian:
        case QChar::Script_Georgian:
            return true;
        default:
            return false;
    }
}

bool SimpleCharacter(QChar c) {
    const char16_t u = c.unicode();
    if (u == u' ' || u == 0xA0) {
        return true;
    }
    if (u < 0x20 || c.isSurrogate()) {
        return false;
    }
    switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
    }
    switch (c.direction()) {
        case QChar::DirL:
        case QChar::DirEN:
        case QChar::DirES:
        case QChar::DirET:
        case QChar::DirCS:
        case QChar::DirON:
            return SimpleScript(c.script());
        default:
            return false;
    }
}

// Scripts whose lines may break between any two letters.
bool BreaksAround(QChar c) {
    switch (c.script()) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
        case QChar::Script_Bopomofo:
        case QChar::Script_Yi:
            return true;
        default:
            return false;
    }
}

}  // namespace

PlainTextLayout::PlainTextLayout(const QString& text, const QFont& font, qreal width,
                                 QPaintDevice* device, qsizetype piece)
    : m_text(text),
      m_font(font, device),
      m_device(device),
      m_width(width),
      m_piece(std::max<qsizetype>(64, piece)) {
    const QFontMetricsF metrics(m_font, device);
    m_ascent = metrics.ascent();
    // Whole points, as Qt's own lines are high.
    m_lineHeight = std::ceil(metrics.ascent() + metrics.descent());
    m_pixelSize = m_font.pointSizeF() * device->logicalDpiY() / 72.0;
    const auto [file, index] = PrimaryFace(m_font);
    if (!file.isEmpty() && m_pixelSize > 0) {
        m_face = LoadFontFace(file, index & 0xFFFF);
        m_faceFile = file;
        m_faceIndex = index;
    }
    if (m_face) {
        m_glyphs.resize(size_t(m_text.size()));
        m_kerning.resize(size_t(m_text.size()));
    }
    qreal y = 0;
    qsizetype start = 0;
    while (start <= m_text.size()) {
        qsizetype end = m_text.indexOf(QLatin1Char('\n'), start);
        if (end < 0) {
            end = m_text.size();
        }
        if (Simple(start, end)) {
            BreakSimple(start, end, y);
        } else {
            LayOutWithQt(start, end, y);
        }
        start = end + 1;
    }
    m_height = y;
}

PlainTextLayout::~PlainTextLayout() = default;

bool PlainTextLayout::Simple(qsizetype from, qsizetype to) {
    if (!m_face) {
        return false;
    }
    const QChar* chars = m_text.constData();
    for (qsizetype i = from; i < to; ++i) {
        if (!SimpleCharacter(chars[i])) {
            return false;
        }
        const uint32_t glyph = FaceGlyph(*m_face, chars[i].unicode());
        if (glyph == 0) {
            return false;
        }
        m_glyphs[size_t(i)] = glyph;
        if (i > from) {
            m_kerning[size_t(i - 1)] = FaceKerning(*m_face, m_glyphs[size_t(i - 1)], glyph);
        }
    }
    return true;
}

namespace {

// An e-mail address or a URL: its hyphens are part of a name a reader searches for whole.
bool AddressLike(const QChar* chars, qsizetype from, qsizetype to) {
    const QStringView token(chars + from, to - from);
    return token.contains(u'@') || token.contains(u"://") || token.startsWith(u"www.");
}

}  // namespace

void PlainTextLayout::BreakSimple(qsizetype from, qsizetype to, qreal& y) {
    const QChar* chars = m_text.constData();
    const qreal unit = m_pixelSize / 1000;
    auto addLine = [&](qsizetype start, qsizetype end) {
        m_lines.push_back({y, start, end - start, -1, 0});
        m_spans.push_back({y, y + m_lineHeight});
        y += m_lineHeight;
    };
    if (from == to) {
        addLine(from, to);
        return;
    }
    qsizetype pos = from;
    // The word being measured, found once even when it spans many lines.
    qsizetype tokenStart = from;
    qsizetype tokenEnd = from;
    bool address = false;
    while (pos < to) {
        qreal width = 0;
        qsizetype breakAt = -1;  // the end of the line if it breaks at the last opportunity
        qsizetype i = pos;
        for (; i < to; ++i) {
            const qreal advance = FaceAdvance(*m_face, m_glyphs[size_t(i)]) * unit;
            const qreal kerning = m_kerning[size_t(i)] * unit;  // before the next glyph
            if (chars[i] == u' ') {
                width += advance + kerning;  // spaces may hang past the column
                breakAt = i + 1;
                continue;
            }
            if (width + advance > m_width && i > pos) {
                break;
            }
            width += advance + kerning;
            const bool candidate = chars[i] == u'-' || chars[i] == u'/' || chars[i] == u'.' ||
                                   (i + 1 < to && chars[i + 1] == u'@');
            if (!candidate || i == pos) {
                continue;
            }
            if (i < tokenStart || i >= tokenEnd) {  // the word around i, looked at once
                tokenStart = i;
                while (tokenStart > from && chars[tokenStart - 1] != u' ') {
                    --tokenStart;
                }
                tokenEnd = i;
                while (tokenEnd < to && chars[tokenEnd] != u' ') {
                    ++tokenEnd;
                }
                address = AddressLike(chars, tokenStart, tokenEnd);
            }
            if (i + 1 >= tokenEnd) {
                continue;
            }
            if (address) {
                // After "/" or ".", before "@"; never after a hyphen.
                if (chars[i] != u'-') {
                    breakAt = i + 1;
                }
            } else if (chars[i] == u'-' && chars[i - 1].isLetter() && chars[i + 1].isLetter()) {
                breakAt = i + 1;
            }
        }
        const qsizetype end = i >= to ? to : breakAt > pos ? breakAt : i;
        addLine(pos, end);
        pos = end;
    }
}

qsizetype PlainTextLayout::PieceEnd(qsizetype from, qsizetype to) const {
    // Qt's time grows with the square of a run it cannot break, so such a run is cut into
    // pieces of whole lines' worth; paragraphs that break anywhere else stay whole.
    const QChar* chars = m_text.constData();
    qsizetype runStart = from;
    for (qsizetype i = from; i < to; ++i) {
        const QChar c = chars[i];
        if (c.isSpace() || BreaksAround(c)) {
            runStart = i + 1;
        } else if (i - runStart >= m_piece) {
            return i;
        }
    }
    return to;
}

void PlainTextLayout::LayOutWithQt(qsizetype from, qsizetype to, qreal& y) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    // A paragraph that begins right to left (Hebrew, Arabic) reads from the right margin.
    const bool rightToLeft = QStringView(m_text).mid(from, to - from).isRightToLeft();
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(rightToLeft ? Qt::AlignRight : Qt::AlignLeft);
    qsizetype start = from;
    do {
        const qsizetype end = PieceEnd(start, to);
        auto layout =
            std::make_unique<QTextLayout>(m_text.mid(start, end - start), m_font, m_device);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);  // drawn from the glyphs of its layout
        layout->beginLayout();
        int number = 0;
        for (QTextLine line = layout->createLine(); line.isValid();
             line = layout->createLine(), ++number) {
            line.setLineWidth(m_width);
            line.setPosition(QPointF(0, y));
            m_lines.push_back(
                {y, start + line.textStart(), line.textLength(), int(m_layouts.size()), number});
            m_spans.push_back({y, y + line.height()});
            y += line.height();
        }
        layout->endLayout();
        m_layouts.push_back(std::move(layout));
        start = end;
    } while (start < to);
}

void PlainTextLayout::Paint(QPainter& painter, qreal top, qreal bottom,
                            const QColor& colour) const {
    auto it = std::lower_bound(m_lines.begin(), m_lines.end(), top,
                               [](const Line& line, qreal y) { return line.top < y; });
    auto* canvas = dynamic_cast<PdfCanvas*>(painter.device());
    painter.save();
    painter.setPen(colour);
    painter.setFont(m_font);
    for (; it != m_lines.end() && it->top < bottom; ++it) {
        if (it->layout >= 0) {
            m_layouts[size_t(it->layout)]->lineAt(it->lineInLayout).draw(&painter, QPointF(0, 0));
            continue;
        }
        if (it->length == 0) {
            continue;
        }
        const QPointF origin(0, it->top + m_ascent);
        const auto from = size_t(it->start);
        const auto length = size_t(it->length);
        const GlyphRun run{m_faceFile,
                           m_faceIndex,
                           m_pixelSize,
                           origin,
                           {m_glyphs.data() + from, length},
                           {m_kerning.data() + from, length},
                           {m_text.constData() + from, length}};
        if (!canvas || !canvas->ShowGlyphs(painter, run)) {
            painter.drawText(origin, m_text.mid(it->start, it->length));
        }
    }
    painter.restore();
}

}  // namespace velmora::mailconverter
