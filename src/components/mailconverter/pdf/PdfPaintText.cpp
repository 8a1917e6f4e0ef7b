#include "components/mailconverter/pdf/PdfFont.h"
#include "components/mailconverter/pdf/PdfPaintEngine.h"
#include "components/mailconverter/pdf/TextRecorder.h"

#include <QPainterPath>

#include <cmath>

namespace velmora::mailconverter {

void PdfPaintEngine::drawTextItem(const QPointF& p, const QTextItem& textItem) {
    if (m_pen.style() == Qt::NoPen || !m_text.Read(textItem, p)) {
        return;
    }
    ApplyClip();
    ApplyAlpha(m_pen.color().alphaF(), m_pen.color().alphaF());
    SetFill(m_pen.color());
    for (const ShapedRun& run : m_text.Runs()) {
        DrawRun(run);
    }
}

// The same content drawTextItem writes for the items Qt handed the recorder.
bool PdfPaintEngine::ShowRecorded(const RecordedText& text, const QPointF& origin) {
    for (const RecordedText::Run& run : text.runs) {
        if (!FontForFace(run.face.file, run.face.index) || run.pixelSize <= 0) {
            return false;  // its outlines need Qt's engine for the face
        }
    }
    if (m_pen.style() == Qt::NoPen) {
        return true;
    }
    size_t next = 0;
    for (const size_t end : text.itemEnds) {
        ApplyClip();
        ApplyAlpha(m_pen.color().alphaF(), m_pen.color().alphaF());
        SetFill(m_pen.color());
        for (; next < end; ++next) {
            const RecordedText::Run& recorded = text.runs[next];
            m_replayed.clear();
            for (const RecordedText::Glyph& g : recorded.glyphs) {
                const QChar* chars = g.from >= 0 ? text.chars.constData() + g.from : nullptr;
                m_replayed.push_back(
                    {g.id, origin.x() + g.x, origin.y() + g.y, chars, chars ? g.count : 0});
            }
            DrawRun({recorded.face, recorded.pixelSize, recorded.stretch, recorded.syntheticBold,
                     recorded.syntheticItalic, m_replayed});
        }
    }
    return true;
}

bool PdfPaintEngine::ShowGlyphs(const GlyphRun& run) {
    const int count = int(std::min(run.glyphs.size(), run.chars.size()));
    const qreal size = run.pixelSize;
    PdfFont* font = FontForFace(run.file, run.index);
    if (!font) {
        return false;
    }
    if (count <= 0 || m_pen.style() == Qt::NoPen) {
        return true;
    }
    ApplyClip();
    ApplyAlpha(m_pen.color().alphaF(), m_pen.color().alphaF());
    SetFill(m_pen.color());
    m_content << "BT/F" << font->ObjectId() << ' ' << size << " Tf\n"
              << QTransform(1, 0, 0, -1, run.origin.x(), run.origin.y()) * m_matrix << " Tm[(";
    for (int i = 0; i < count; ++i) {
        const uint32_t glyph = run.glyphs[size_t(i)];
        PdfFont::Shown shown = font->Code(glyph, &run.chars[size_t(i)], 1);
        if (shown.code == 0 && glyph != 0) {
            font = AnotherFace(run.file, run.index);
            m_content << ")]TJ/F" << font->ObjectId() << ' ' << size << " Tf[(";
            shown = font->Code(glyph, &run.chars[size_t(i)], 1);
        }
        m_content.Code(shown.code);
        const double kern = size_t(i) < run.kerning.size() ? run.kerning[size_t(i)] : 0;
        if (kern != 0 && i + 1 < count) {
            m_content << ')' << -std::round(kern * 10) / 10 << '(';
        }
    }
    m_content << ")]TJ\nET\n";
    return true;
}

void PdfPaintEngine::DrawRun(const ShapedRun& run) {
    PdfFont* font = FontForFace(run.face.file, run.face.index);
    const qreal size = run.pixelSize;
    if (!font || size <= 0) {
        DrawOutlines(run);
        return;
    }
    const qreal stretch = run.stretch;
    const qreal slant = run.syntheticItalic ? 0.2 : 0.0;
    m_content << "BT/F" << font->ObjectId() << ' ' << size << " Tf\n";
    if (run.syntheticBold) {
        SetStroke(m_pen.color());
        const qreal scale = std::sqrt(std::abs(m_matrix.determinant()));
        m_content << "2 Tr " << size * scale / 30 << " w\n";
        m_lineWidth.reset();
    }
    const qreal unit = size * stretch / 1000;  // device-free width of one thousandth
    bool open = false;
    qreal penX = 0;
    qreal lineY = 0;
    for (const ShapedGlyph& g : run.glyphs) {
        PdfFont::Shown shown = font->Code(g.id, g.chars, g.charCount);
        if (shown.code == 0 && g.id != 0) {
            // This font has no code left: go on in a fresh copy of the face.
            if (open) {
                m_content << ")]TJ\n";
                open = false;
            }
            font = AnotherFace(run.face.file, run.face.index);
            m_content << "/F" << font->ObjectId() << ' ' << size << " Tf\n";
            shown = font->Code(g.id, g.chars, g.charCount);
        }
        if (!open || std::abs(g.y - lineY) > 0.001) {
            if (open) {
                m_content << ")]TJ\n";
            }
            const QTransform text(stretch, 0, slant, -1, g.x, g.y);
            m_content << text * m_matrix << " Tm[(";
            open = true;
            penX = g.x;
            lineY = g.y;
        } else {
            const qreal adjust = (penX - g.x) / unit;
            // Qt rounds advances to 1/64 pixel; drift below 0.4 % of the size is left.
            if (std::abs(adjust) >= 4) {
                m_content << ')' << std::round(adjust * 10) / 10 << '(';
                penX = g.x;
            }
        }
        m_content.Code(shown.code);
        penX += shown.width * unit;
    }
    if (open) {
        m_content << ")]TJ\n";
    }
    if (run.syntheticBold) {
        m_content << "0 Tr\n";
    }
    m_content << "ET\n";
}

void PdfPaintEngine::DrawOutlines(const ShapedRun& run) {
    QPainterPath path = m_text.Outlines(run);
    if (path.isEmpty()) {
        return;
    }
    path.setFillRule(Qt::WindingFill);
    AppendPath(m_matrix.map(path));
    m_content << "f\n";
}

PdfFont* PdfPaintEngine::FontForFace(const QByteArray& file, int index) {
    const auto key = std::make_pair(file, index);
    auto it = m_fonts.find(key);
    if (it == m_fonts.end()) {
        std::vector<std::unique_ptr<PdfFont>> list;
        if (!file.isEmpty()) {
            if (auto loaded = LoadFontFace(file, index & 0xFFFF)) {
                list.push_back(std::make_unique<PdfFont>(loaded, m_objects.Reserve()));
            }
        }
        it = m_fonts.emplace(key, std::move(list)).first;
    }
    return it->second.empty() ? nullptr : it->second.back().get();
}

PdfFont* PdfPaintEngine::AnotherFace(const QByteArray& file, int index) {
    auto& list = m_fonts[std::make_pair(file, index)];
    list.push_back(
        std::make_unique<PdfFont>(LoadFontFace(file, index & 0xFFFF), m_objects.Reserve()));
    return list.back().get();
}

}  // namespace velmora::mailconverter
