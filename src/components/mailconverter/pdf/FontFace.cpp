#include "components/mailconverter/pdf/FontFace.h"

#include "components/mailconverter/pdf/FontTables.h"
#include "components/mailconverter/pdf/PdfFont.h"

#include <hb-ot.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace velmora::mailconverter {

namespace {

QByteArray TableData(hb_face_t* face, hb_tag_t tag) {
    BlobPtr blob(hb_face_reference_table(face, tag));
    unsigned int length = 0;
    const char* data = hb_blob_get_data(blob.get(), &length);
    return QByteArray(data, static_cast<qsizetype>(length));
}

// A PostScript name as a PDF name may carry it.
QByteArray CleanName(const QByteArray& name) {
    QByteArray out;
    for (const char c : name) {
        if (c > 0x20 && c < 0x7F && !QByteArray("()<>[]{}/%#").contains(c)) {
            out.append(c);
        }
    }
    return out.isEmpty() ? QByteArray("Font") : out.left(100);
}

// `face` without the tables the subset drops. An unprepared face's plan otherwise walks its
// whole character map, which costs a one-message process more than copying the tables. The
// copy is laid out here: HarfBuzz's builder sums every table, which reads no checksum.
FacePtr KeptTables(hb_face_t* face, bool cff, const hb_set_t* drop) {
    std::vector<hb_tag_t> tags(hb_face_get_table_tags(face, 0, nullptr, nullptr));
    unsigned int count = static_cast<unsigned int>(tags.size());
    hb_face_get_table_tags(face, 0, &count, tags.data());
    std::vector<BlobPtr> tables;
    std::vector<hb_tag_t> kept;
    for (unsigned int i = 0; i < count; ++i) {
        if (!hb_set_has(drop, tags[i])) {
            tables.emplace_back(hb_face_reference_table(face, tags[i]));
            kept.push_back(tags[i]);
        }
    }
    const auto put32 = [](QByteArray& out, qsizetype at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out[at + i] = static_cast<char>(v >> (24 - 8 * i));
        }
    };
    const qsizetype header = 12 + 16 * static_cast<qsizetype>(kept.size());
    QByteArray file(header, '\0');
    if (kept.size() > 0xFFFF) {
        return nullptr;
    }
    put32(file, 0, cff ? HB_TAG('O', 'T', 'T', 'O') : 0x00010000u);
    file[4] = static_cast<char>(kept.size() >> 8);
    file[5] = static_cast<char>(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        unsigned int length = 0;
        const char* data = hb_blob_get_data(tables[i].get(), &length);
        const qsizetype entry = 12 + 16 * static_cast<qsizetype>(i);
        put32(file, entry, kept[i]);
        put32(file, entry + 8, static_cast<uint32_t>(file.size()));
        put32(file, entry + 12, length);
        file.append(data, static_cast<qsizetype>(length));
        file.append((4 - file.size() % 4) % 4, '\0');
    }
    auto* copy = new QByteArray(std::move(file));
    BlobPtr blob(hb_blob_create(copy->constData(), static_cast<unsigned int>(copy->size()),
                                HB_MEMORY_MODE_READONLY, copy,
                                [](void* data) { delete static_cast<QByteArray*>(data); }));
    return FacePtr(hb_face_create(blob.get(), 0));
}

constexpr unsigned int kMaxPreparedCffGlyphs = 10'000;

std::shared_ptr<FontFace> MakeFace(const QByteArray& file, int index) {
    auto face = std::make_shared<FontFace>();
    face->blob.reset(hb_blob_create_from_file_or_fail(file.constData()));
    if (!face->blob) {
        return nullptr;
    }
    face->face.reset(hb_face_create(face->blob.get(), static_cast<unsigned int>(index)));
    face->glyphCount = hb_face_get_glyph_count(face->face.get());
    face->upem = std::max(16u, hb_face_get_upem(face->face.get()));
    const bool glyf =
        hb_blob_get_length(
            BlobPtr(hb_face_reference_table(face->face.get(), HB_TAG('g', 'l', 'y', 'f'))).get()) >
        0;
    const QByteArray cff = TableData(face->face.get(), HB_TAG('C', 'F', 'F', ' '));
    if (face->glyphCount == 0 || (!glyf && cff.isEmpty())) {
        return nullptr;
    }
    if (!glyf) {
        const auto cids = CffCids(cff);
        if (!cids) {
            return nullptr;
        }
        face->cff = true;
        face->cids = *cids;
    }
    face->SetPreparable(!face->cff || face->glyphCount <= kMaxPreparedCffGlyphs);
    face->font.reset(hb_font_create(face->face.get()));
    std::vector<hb_codepoint_t> glyphs(face->glyphCount);
    std::vector<hb_position_t> advances(face->glyphCount);
    for (unsigned int i = 0; i < face->glyphCount; ++i) {
        glyphs[i] = i;
    }
    hb_font_get_glyph_h_advances(face->font.get(), face->glyphCount, glyphs.data(),
                                 sizeof(hb_codepoint_t), advances.data(), sizeof(hb_position_t));
    face->advances.reserve(face->glyphCount);
    for (const hb_position_t advance : advances) {
        face->advances.push_back(face->Thousandths(advance));
    }
    face->kerning = KernPairs(TableData(face->face.get(), HB_TAG('k', 'e', 'r', 'n')));

    char name[256];
    unsigned int length = sizeof name;
    length = hb_ot_name_get_utf8(face->face.get(), HB_OT_NAME_ID_POSTSCRIPT_NAME,
                                 HB_LANGUAGE_INVALID, &length, name)
                 ? length
                 : 0;
    face->postscriptName = CleanName(QByteArray(name, int(length)));

    const QByteArray head = TableData(face->face.get(), HB_TAG('h', 'e', 'a', 'd'));
    for (int i = 0; i < 4; ++i) {
        face->bbox[i] = int(std::lround(face->Thousandths(ReadS16(head, 36 + 2 * i))));
    }
    const QByteArray post = TableData(face->face.get(), HB_TAG('p', 'o', 's', 't'));
    face->italicAngle = static_cast<int32_t>(ReadU(post, 4, 4)) / 65536.0;
    face->fixedPitch = ReadU(post, 12, 4) != 0;
    auto metric = [&face](hb_ot_metrics_tag_t tag, double fallback) {
        hb_position_t value = 0;
        return hb_ot_metrics_get_position(face->font.get(), tag, &value) ? face->Thousandths(value)
                                                                         : fallback;
    };
    face->ascent = metric(HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, face->bbox[3]);
    face->descent = metric(HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, face->bbox[1]);
    face->capHeight = metric(HB_OT_METRICS_TAG_CAP_HEIGHT, face->ascent * 0.7);
    return face;
}

}  // namespace

std::shared_ptr<const FontFace> LoadFontFace(const QByteArray& file, int index) {
    static std::mutex mutex;
    static std::map<std::pair<QByteArray, int>, std::shared_ptr<const FontFace>> faces;
    const std::lock_guard lock(mutex);
    const auto key = std::make_pair(file, index);
    const auto it = faces.find(key);
    if (it != faces.end()) {
        return it->second;
    }
    std::shared_ptr<const FontFace> face = MakeFace(file, index);
    faces.emplace(key, face);  // a face that cannot be embedded is not tried again
    return face;
}

uint32_t FaceGlyph(const FontFace& face, char32_t c) {
    return face.Glyph(c);
}

double FaceAdvance(const FontFace& face, uint32_t glyph) {
    return face.Advance(glyph);
}

double FaceKerning(const FontFace& face, uint32_t left, uint32_t right) {
    return face.Kerning(left, right);
}

hb_face_t* FontFace::SubsetSource(const hb_set_t* drop) const {
    if (!m_preparable) {
        return face.get();
    }
    std::call_once(m_keptOnce, [this, drop] { m_kept = KeptTables(face.get(), cff, drop); });
    hb_face_t* base = m_kept ? m_kept.get() : face.get();
    if (m_subsets.fetch_add(1, std::memory_order_relaxed) == 0) {
        return base;
    }
    std::call_once(m_prepareOnce, [this, base] { m_prepared.reset(hb_subset_preprocess(base)); });
    return m_prepared ? m_prepared.get() : base;
}

uint32_t FontFace::Glyph(char32_t c) const {
    if (c < m_bmp.size()) {
        const uint32_t known = m_bmp[c].load(std::memory_order_relaxed);
        if (known != 0) {
            return known - 1;
        }
    }
    hb_codepoint_t glyph = 0;
    if (!hb_font_get_nominal_glyph(font.get(), c, &glyph)) {
        glyph = 0;
    }
    if (c < m_bmp.size()) {
        m_bmp[c].store(glyph + 1, std::memory_order_relaxed);
    }
    return glyph;
}

double FontFace::Kerning(uint32_t left, uint32_t right) const {
    if (kerning.empty() || left > 0xFFFF || right > 0xFFFF) {
        return 0;
    }
    const uint32_t key = (left << 16) | right;
    const auto it = std::lower_bound(kerning.begin(), kerning.end(), key,
                                     [](const auto& pair, uint32_t k) { return pair.first < k; });
    return it != kerning.end() && it->first == key ? Thousandths(it->second) : 0;
}

char32_t FontFace::CharacterOf(uint32_t glyph) const {
    std::call_once(m_reverseOnce, [this] {
        m_reverse.assign(glyphCount, 0);
        SetPtr unicodes(hb_set_create());
        hb_face_collect_unicodes(face.get(), unicodes.get());
        hb_codepoint_t u = HB_SET_VALUE_INVALID;
        while (hb_set_next(unicodes.get(), &u)) {
            hb_codepoint_t g = 0;
            if (hb_font_get_nominal_glyph(font.get(), u, &g) && g < glyphCount &&
                m_reverse[g] == 0) {
                m_reverse[g] = u;
            }
        }
    });
    const char32_t c = glyph < m_reverse.size() ? m_reverse[glyph] : 0;
    return c > 0x20 ? c : U'\u200B';
}

}  // namespace velmora::mailconverter
