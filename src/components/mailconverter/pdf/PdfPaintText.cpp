#include "components/mailconverter/pdf/PdfFont.h"
#include "components/mailconverter/pdf/PdfPaintEngine.h"

#include <QtGui/private/qfontengine_p.h>
#include <QtGui/private/qtextengine_p.h>
#include <QPainterPath>

#include <cmath>

namespace velmora::mailconverter {

void PdfPaintEngine::drawTextItem(const QPointF& p, const QTextItem& textItem) {
    const auto& ti = static_cast<const QTextItemInt&>(textItem);
    const int count = ti.glyphs.numGlyphs;
    if (count <= 0 || !ti.fontEngine || m_pen.style() == Qt::NoPen) {
        return;
    }
    // The characters each glyph stands for: a cluster's text goes with its first glyph.
    m_textStart.assign(size_t(count), -1);
    m_textCount.assign(size_t(count), 0);
    if (ti.chars && ti.logClusters && ti.num_chars > 0) {
        int base = ti.logClusters[0];
        for (int c = 1; c < ti.num_chars; ++c) {
            base = std::min<int>(base, ti.logClusters[c]);
        }
        for (int c = 0; c < ti.num_chars; ++c) {
            const int g = ti.logClusters[c] - base;
            if (g >= 0 && g < count) {
                if (m_textStart[size_t(g)] < 0) {
                    m_textStart[size_t(g)] = c;
                }
                ++m_textCount[size_t(g)];
            }
        }
    }
    // Positions as Qt's own engines place the glyphs.
    const QGlyphLayout& glyphs = ti.glyphs;
    const bool rtl = ti.flags & QTextItem::RightToLeft;
    QFixed x = QFixed::fromReal(p.x());
    const QFixed y = QFixed::fromReal(p.y());
    if (rtl) {
        for (int i = 0; i < count; ++i) {
            if (!glyphs.attributes[i].dontPrint) {
                x += glyphs.advances[i] + QFixed::fromFixed(glyphs.justifications[i].space_18d6);
            }
        }
    }
    m_run.clear();
    for (int i = 0; i < count; ++i) {
        if (glyphs.attributes[i].dontPrint) {
            continue;
        }
        if (rtl) {
            x -= glyphs.advances[i];
        }
        Glyph glyph;
        glyph.index = i;
        glyph.x = (x + glyphs.offsets[i].x).toReal();
        glyph.y = (y + glyphs.offsets[i].y).toReal();
        m_run.push_back(glyph);
        const QFixed space = QFixed::fromFixed(glyphs.justifications[i].space_18d6);
        x += rtl ? -space : glyphs.advances[i] + space;
    }
    ApplyClip();
    ApplyAlpha(m_pen.color().alphaF(), m_pen.color().alphaF());
    SetFill(m_pen.color());

    // Runs of one face each.
    size_t start = 0;
    while (start < m_run.size()) {
        const glyph_t first = glyphs.glyphs[m_run[start].index];
        const int which = ti.fontEngine->type() == QFontEngine::Multi ? int(first >> 24) : 0;
        size_t end = start + 1;
        while (end < m_run.size() && (ti.fontEngine->type() != QFontEngine::Multi ||
                                      int(glyphs.glyphs[m_run[end].index] >> 24) == which)) {
            ++end;
        }
        QFontEngine* engine = ti.fontEngine;
        if (engine->type() == QFontEngine::Multi) {
            auto* multi = static_cast<QFontEngineMulti*>(engine);
            multi->ensureEngineAt(which);
            engine = multi->engine(which);
        }
        DrawRun(ti, engine, start, end);
        start = end;
    }
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

void PdfPaintEngine::DrawRun(const QTextItemInt& ti, QFontEngine* engine, size_t start,
                             size_t end) {
    if (!engine) {
        return;
    }
    PdfFont* font = FontFor(engine);
    const qreal size = engine->fontDef.pixelSize;
    if (!font || size <= 0) {
        DrawOutlines(ti, engine, start, end);
        return;
    }
    const int synthesized = engine->synthesized();
    const qreal stretch = engine->fontDef.stretch > 0 && engine->fontDef.stretch != 100
                              ? engine->fontDef.stretch / 100.0
                              : 1.0;
    const qreal slant = (synthesized & QFontEngine::SynthesizedItalic) ? 0.2 : 0.0;
    m_content << "BT/F" << font->ObjectId() << ' ' << size << " Tf\n";
    if (synthesized & QFontEngine::SynthesizedBold) {
        SetStroke(m_pen.color());
        const qreal scale = std::sqrt(std::abs(m_matrix.determinant()));
        m_content << "2 Tr " << size * scale / 30 << " w\n";
        m_lineWidth.reset();
    }
    const QGlyphLayout& glyphs = ti.glyphs;
    const qreal unit = size * stretch / 1000;  // device-free width of one thousandth
    bool open = false;
    qreal penX = 0;
    qreal lineY = 0;
    for (size_t i = start; i < end; ++i) {
        const Glyph& g = m_run[i];
        const glyph_t id = glyphs.glyphs[g.index] & 0xFFFFFF;
        const int from = m_textStart[size_t(g.index)];
        const QChar* chars = from >= 0 ? ti.chars + from : nullptr;
        PdfFont::Shown shown = font->Code(id, chars, chars ? m_textCount[size_t(g.index)] : 0);
        if (shown.code == 0 && id != 0) {
            // This font has no code left: go on in a fresh copy of the face.
            if (open) {
                m_content << ")]TJ\n";
                open = false;
            }
            font = AnotherFont(engine);
            m_content << "/F" << font->ObjectId() << ' ' << size << " Tf\n";
            shown = font->Code(id, chars, chars ? m_textCount[size_t(g.index)] : 0);
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
    if (synthesized & QFontEngine::SynthesizedBold) {
        m_content << "0 Tr\n";
    }
    m_content << "ET\n";
}

void PdfPaintEngine::DrawOutlines(const QTextItemInt& ti, QFontEngine* engine, size_t start,
                                  size_t end) {
    std::vector<glyph_t> ids;
    std::vector<QFixedPoint> positions;
    for (size_t i = start; i < end; ++i) {
        ids.push_back(ti.glyphs.glyphs[m_run[i].index] & 0xFFFFFF);
        positions.push_back(QFixedPoint::fromPointF(QPointF(m_run[i].x, m_run[i].y)));
    }
    QPainterPath path;
    engine->addGlyphsToPath(ids.data(), positions.data(), int(ids.size()), &path, ti.flags);
    if (path.isEmpty()) {
        return;
    }
    path.setFillRule(Qt::WindingFill);
    AppendPath(m_matrix.map(path));
    m_content << "f\n";
}

PdfFont* PdfPaintEngine::FontFor(QFontEngine* engine) {
    const QFontEngine::FaceId face = engine->faceId();
    return FontForFace(face.filename, face.index);
}

PdfFont* PdfPaintEngine::AnotherFont(QFontEngine* engine) {
    const QFontEngine::FaceId face = engine->faceId();
    return AnotherFace(face.filename, face.index);
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
