#include "components/mailconverter/pdf/QtTextAdapter.h"

#include <QtGui/private/qfont_p.h>
#include <QtGui/private/qfontengine_p.h>
#include <QtGui/private/qtextengine_p.h>

#include <algorithm>

namespace velmora::mailconverter {

namespace {

QtFace FaceOf(QFontEngine* engine) {
    const QFontEngine::FaceId id = engine->faceId();
    return {id.filename, id.index};
}

}  // namespace

QtFace PrimaryFace(const QFont& font) {
    QFontEngine* engine = QFontPrivate::get(font)->engineForScript(QChar::Script_Latin);
    if (engine && engine->type() == QFontEngine::Multi) {
        auto* multi = static_cast<QFontEngineMulti*>(engine);
        multi->ensureEngineAt(0);
        engine = multi->engine(0);
    }
    return engine ? FaceOf(engine) : QtFace{};
}

bool QtTextReader::Read(const QTextItem& item, const QPointF& origin) {
    const auto& ti = static_cast<const QTextItemInt&>(item);
    const int count = ti.glyphs.numGlyphs;
    m_item = &item;
    m_glyphs.clear();
    m_raw.clear();
    m_runs.clear();
    m_engines.clear();
    if (count <= 0 || !ti.fontEngine) {
        return false;
    }
    ReadClusters(item, count);
    // Positions as Qt's own engines place the glyphs.
    const QGlyphLayout& glyphs = ti.glyphs;
    const bool rtl = ti.flags & QTextItem::RightToLeft;
    QFixed x = QFixed::fromReal(origin.x());
    const QFixed y = QFixed::fromReal(origin.y());
    if (rtl) {
        for (int i = 0; i < count; ++i) {
            if (!glyphs.attributes[i].dontPrint) {
                x += glyphs.advances[i] + QFixed::fromFixed(glyphs.justifications[i].space_18d6);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        if (glyphs.attributes[i].dontPrint) {
            continue;
        }
        if (rtl) {
            x -= glyphs.advances[i];
        }
        const int from = m_textStart[size_t(i)];
        ShapedGlyph glyph;
        glyph.id = glyphs.glyphs[i] & 0xFFFFFF;
        glyph.x = (x + glyphs.offsets[i].x).toReal();
        glyph.y = (y + glyphs.offsets[i].y).toReal();
        glyph.chars = from >= 0 ? ti.chars + from : nullptr;
        glyph.charCount = glyph.chars ? m_textCount[size_t(i)] : 0;
        m_glyphs.push_back(glyph);
        m_raw.push_back(glyphs.glyphs[i]);
        const QFixed space = QFixed::fromFixed(glyphs.justifications[i].space_18d6);
        x += rtl ? -space : glyphs.advances[i] + space;
    }
    SplitByFace(item);
    return true;
}

// The characters each glyph stands for: a cluster's text goes with its first glyph.
void QtTextReader::ReadClusters(const QTextItem& item, int count) {
    const auto& ti = static_cast<const QTextItemInt&>(item);
    m_textStart.assign(size_t(count), -1);
    m_textCount.assign(size_t(count), 0);
    if (!ti.chars || !ti.logClusters || ti.num_chars <= 0) {
        return;
    }
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

// A fallback font keeps the face of each glyph in its number's top byte.
void QtTextReader::SplitByFace(const QTextItem& item) {
    QFontEngine* const itemEngine = static_cast<const QTextItemInt&>(item).fontEngine;
    const bool multi = itemEngine->type() == QFontEngine::Multi;
    size_t start = 0;
    while (start < m_glyphs.size()) {
        const int which = multi ? int(m_raw[start] >> 24) : 0;
        size_t end = start + 1;
        while (end < m_glyphs.size() && (!multi || int(m_raw[end] >> 24) == which)) {
            ++end;
        }
        QFontEngine* engine = itemEngine;
        if (multi) {
            auto* fallbacks = static_cast<QFontEngineMulti*>(engine);
            fallbacks->ensureEngineAt(which);
            engine = fallbacks->engine(which);
        }
        if (engine) {
            ShapedRun run;
            run.face = FaceOf(engine);
            run.pixelSize = engine->fontDef.pixelSize;
            run.stretch = engine->fontDef.stretch > 0 && engine->fontDef.stretch != 100
                              ? engine->fontDef.stretch / 100.0
                              : 1.0;
            run.syntheticBold = engine->synthesized() & QFontEngine::SynthesizedBold;
            run.syntheticItalic = engine->synthesized() & QFontEngine::SynthesizedItalic;
            run.glyphs = std::span<const ShapedGlyph>(m_glyphs).subspan(start, end - start);
            m_runs.push_back(run);
            m_engines.push_back(engine);
        }
        start = end;
    }
}

QPainterPath QtTextReader::Outlines(const ShapedRun& run) const {
    QPainterPath path;
    const auto which = size_t(&run - m_runs.data());
    if (!m_item || which >= m_runs.size()) {
        return path;
    }
    std::vector<glyph_t> ids;
    std::vector<QFixedPoint> positions;
    for (const ShapedGlyph& glyph : run.glyphs) {
        ids.push_back(glyph.id);
        positions.push_back(QFixedPoint::fromPointF(QPointF(glyph.x, glyph.y)));
    }
    const auto& ti = static_cast<const QTextItemInt&>(*m_item);
    m_engines[which]->addGlyphsToPath(ids.data(), positions.data(), int(ids.size()), &path,
                                      ti.flags);
    return path;
}

}  // namespace velmora::mailconverter
