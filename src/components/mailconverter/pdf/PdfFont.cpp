#include "components/mailconverter/pdf/PdfFont.h"

#include "components/mailconverter/base/ConversionError.h"
#include "components/mailconverter/pdf/PdfObjects.h"

#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>

namespace velmora::mailconverter {

namespace {

constexpr char32_t kNoSingle = 0xFFFFFFFF;
constexpr int kMaxCodes = 65535;
// A glyph's text in the text map; a run of marks on one base stays readable without
// making the map unbounded.
constexpr int kMaxTextUnits = 128;

template <typename T, void (*Destroy)(T*)>
struct HbDestroyer {
    void operator()(T* p) const { Destroy(p); }
};
using BlobPtr = std::unique_ptr<hb_blob_t, HbDestroyer<hb_blob_t, hb_blob_destroy>>;
using FacePtr = std::unique_ptr<hb_face_t, HbDestroyer<hb_face_t, hb_face_destroy>>;
using FontPtr = std::unique_ptr<hb_font_t, HbDestroyer<hb_font_t, hb_font_destroy>>;
using SetPtr = std::unique_ptr<hb_set_t, HbDestroyer<hb_set_t, hb_set_destroy>>;
using InputPtr =
    std::unique_ptr<hb_subset_input_t, HbDestroyer<hb_subset_input_t, hb_subset_input_destroy>>;
using PlanPtr =
    std::unique_ptr<hb_subset_plan_t, HbDestroyer<hb_subset_plan_t, hb_subset_plan_destroy>>;

QByteArray TableData(hb_face_t* face, hb_tag_t tag) {
    BlobPtr blob(hb_face_reference_table(face, tag));
    unsigned int length = 0;
    const char* data = hb_blob_get_data(blob.get(), &length);
    return QByteArray(data, static_cast<qsizetype>(length));
}

int ReadS16(const QByteArray& data, qsizetype at) {
    if (at + 2 > data.size()) {
        return 0;
    }
    return static_cast<int16_t>((uint8_t(data[at]) << 8) | uint8_t(data[at + 1]));
}

uint32_t ReadU(const QByteArray& data, qsizetype at, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        if (at + i >= data.size()) {
            return 0;
        }
        value = (value << 8) | uint8_t(data[at + i]);
    }
    return value;
}

// CFF: the CID of every glyph of a CID-keyed font, from its charset; empty for a font
// that is not CID-keyed (its glyph numbers are its CIDs). Nothing when the table is not
// what it should be.
std::optional<std::vector<uint16_t>> CffCids(const QByteArray& cff) {
    struct Index {
        qsizetype end = -1;
        qsizetype firstData = 0;  // where the first entry starts
        std::vector<uint32_t> offsets;
    };
    auto readIndex = [&cff](qsizetype at) {
        Index index;
        const uint32_t count = ReadU(cff, at, 2);
        if (count == 0) {
            index.end = at + 2;
            return index;
        }
        const int offSize = static_cast<int>(ReadU(cff, at + 2, 1));
        if (offSize < 1 || offSize > 4 || at + 3 + qsizetype(count + 1) * offSize > cff.size()) {
            return index;
        }
        for (uint32_t i = 0; i <= count; ++i) {
            index.offsets.push_back(ReadU(cff, at + 3 + qsizetype(i) * offSize, offSize));
        }
        index.firstData = at + 3 + qsizetype(count + 1) * offSize - 1;
        index.end = index.firstData + index.offsets.back();
        return index.end <= cff.size() ? index : Index{};
    };
    if (cff.size() < 4) {
        return std::nullopt;
    }
    const Index names = readIndex(uint8_t(cff[2]));
    if (names.end < 0) {
        return std::nullopt;
    }
    const Index tops = readIndex(names.end);
    if (tops.end < 0 || tops.offsets.size() < 2) {
        return std::nullopt;
    }
    // The top dictionary: operands, then their operator.
    bool cidKeyed = false;
    qsizetype charset = 0;
    qsizetype charStrings = 0;
    std::vector<double> operands;
    qsizetype at = tops.firstData + tops.offsets[0];
    const qsizetype end = tops.firstData + tops.offsets[1];
    while (at < end) {
        const uint8_t b0 = uint8_t(cff[at]);
        if (b0 <= 21) {
            int op = b0;
            ++at;
            if (b0 == 12) {
                op = 1200 + int(ReadU(cff, at, 1));
                ++at;
            }
            if (op == 1230) {
                cidKeyed = true;
            } else if (op == 15 && !operands.empty()) {
                charset = qsizetype(operands.back());
            } else if (op == 17 && !operands.empty()) {
                charStrings = qsizetype(operands.back());
            }
            operands.clear();
        } else if (b0 == 28) {
            operands.push_back(ReadS16(cff, at + 1));
            at += 3;
        } else if (b0 == 29) {
            operands.push_back(static_cast<int32_t>(ReadU(cff, at + 1, 4)));
            at += 5;
        } else if (b0 == 30) {
            ++at;  // a real: nibbles up to an end nibble; never an offset
            while (at < end && (uint8_t(cff[at]) & 0x0F) != 0x0F &&
                   (uint8_t(cff[at]) & 0xF0) != 0xF0) {
                ++at;
            }
            ++at;
            operands.push_back(0);
        } else if (b0 >= 32 && b0 <= 246) {
            operands.push_back(b0 - 139);
            ++at;
        } else if (b0 >= 247 && b0 <= 250) {
            operands.push_back((b0 - 247) * 256 + int(ReadU(cff, at + 1, 1)) + 108);
            at += 2;
        } else if (b0 >= 251 && b0 <= 254) {
            operands.push_back(-(b0 - 251) * 256 - int(ReadU(cff, at + 1, 1)) - 108);
            at += 2;
        } else {
            return std::nullopt;
        }
    }
    if (!cidKeyed) {
        return std::vector<uint16_t>();
    }
    const Index glyphs = readIndex(charStrings);
    if (charStrings <= 0 || glyphs.end < 0 || charset <= 2 || charset >= cff.size()) {
        return std::nullopt;
    }
    const size_t count = glyphs.offsets.empty() ? 0 : glyphs.offsets.size() - 1;
    std::vector<uint16_t> cids(count, 0);
    const int format = int(ReadU(cff, charset, 1));
    qsizetype p = charset + 1;
    size_t gid = 1;
    if (format == 0) {
        for (; gid < count; ++gid, p += 2) {
            cids[gid] = uint16_t(ReadU(cff, p, 2));
        }
    } else if (format == 1 || format == 2) {
        const int leftBytes = format == 1 ? 1 : 2;
        while (gid < count && p + 2 + leftBytes <= cff.size()) {
            const uint32_t first = ReadU(cff, p, 2);
            const uint32_t left = ReadU(cff, p + 2, leftBytes);
            p += 2 + leftBytes;
            for (uint32_t i = 0; i <= left && gid < count; ++i) {
                cids[gid++] = uint16_t(first + i);
            }
        }
    } else {
        return std::nullopt;
    }
    return cids;
}

// The horizontal pairs of a 'kern' table in its first (Microsoft) version, as Qt's own
// unshaped text applies them.
std::vector<std::pair<uint32_t, int16_t>> KernPairs(const QByteArray& kern) {
    std::vector<std::pair<uint32_t, int16_t>> pairs;
    if (ReadU(kern, 0, 2) != 0) {
        return pairs;
    }
    const uint32_t tables = ReadU(kern, 2, 2);
    qsizetype at = 4;
    for (uint32_t t = 0; t < tables && at + 6 <= kern.size(); ++t) {
        const uint32_t length = ReadU(kern, at + 2, 2);
        const uint32_t coverage = ReadU(kern, at + 4, 2);
        // Format 0, horizontal, neither minimum values nor across the line.
        if ((coverage & 0xFF07) == 0x0001) {
            const uint32_t count = ReadU(kern, at + 6, 2);
            for (uint32_t i = 0; i < count && at + 14 + qsizetype(i + 1) * 6 <= kern.size(); ++i) {
                const qsizetype p = at + 14 + qsizetype(i) * 6;
                pairs.emplace_back(ReadU(kern, p, 4), int16_t(ReadS16(kern, p + 4)));
            }
        }
        if (length < 6) {
            break;
        }
        at += length;
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
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

}  // namespace

class FontFace {
  public:
    BlobPtr blob;
    FacePtr face;
    // For the subsetter. Preparing a face pays back only over many documents: the first
    // subset of a face is made from the face itself, later ones from the prepared face.
    // A large CFF face (a CJK one, 65,000 glyphs) is never prepared: that takes 340 MB and
    // seconds, kept for the life of the process, while subsetting it unprepared takes a
    // fraction of both.
    hb_face_t* SubsetSource() const {
        if (!m_preparable || m_subsets.fetch_add(1, std::memory_order_relaxed) == 0) {
            return face.get();
        }
        std::call_once(m_prepareOnce,
                       [this] { m_prepared.reset(hb_subset_preprocess(face.get())); });
        return m_prepared ? m_prepared.get() : face.get();
    }
    void SetPreparable(bool preparable) { m_preparable = preparable; }

  private:
    bool m_preparable = true;
    mutable std::atomic<int> m_subsets{0};
    mutable std::once_flag m_prepareOnce;
    mutable FacePtr m_prepared;

  public:
    FontPtr font;
    unsigned int upem = 1000;
    unsigned int glyphCount = 0;
    bool cff = false;
    std::vector<uint16_t> cids;  // CFF, CID-keyed: by glyph
    QByteArray postscriptName;
    int bbox[4] = {0, 0, 0, 0};
    double ascent = 0;
    double descent = 0;
    double capHeight = 0;
    double italicAngle = 0;
    bool fixedPitch = false;

    double Thousandths(double units) const { return units * 1000.0 / upem; }

    double Advance(uint32_t glyph) const { return glyph < advances.size() ? advances[glyph] : 0; }

    uint32_t Glyph(char32_t c) const {
        if (c < m_bmp.size()) {
            const uint32_t known = m_bmp[c].load(std::memory_order_relaxed);
            if (known != kUnknownGlyph) {
                return known;
            }
        }
        hb_codepoint_t glyph = 0;
        if (!hb_font_get_nominal_glyph(font.get(), c, &glyph)) {
            glyph = 0;
        }
        if (c < m_bmp.size()) {
            m_bmp[c].store(glyph, std::memory_order_relaxed);
        }
        return glyph;
    }

    std::vector<double> advances;  // by glyph, in thousandths of the em

    // The pair adjustment of the face's 'kern' table, in thousandths of the em.
    double Kerning(uint32_t left, uint32_t right) const {
        if (kerning.empty() || left > 0xFFFF || right > 0xFFFF) {
            return 0;
        }
        const uint32_t key = (left << 16) | right;
        const auto it =
            std::lower_bound(kerning.begin(), kerning.end(), key,
                             [](const auto& pair, uint32_t k) { return pair.first < k; });
        return it != kerning.end() && it->first == key ? Thousandths(it->second) : 0;
    }
    std::vector<std::pair<uint32_t, int16_t>> kerning;  // sorted by left << 16 | right

    uint16_t Cid(uint32_t glyph) const {
        if (cids.empty()) {
            return uint16_t(std::min<uint32_t>(glyph, 0xFFFF));
        }
        return glyph < cids.size() ? cids[glyph] : 0;
    }

    // The first character the face maps to `glyph`, or U+200B (which shows nothing) for
    // glyphs no character maps to, such as the second half of a split character.
    char32_t CharacterOf(uint32_t glyph) const {
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

  private:
    static constexpr uint32_t kUnknownGlyph = 0xFFFFFFFF;
    mutable std::once_flag m_reverseOnce;
    mutable std::vector<char32_t> m_reverse;
    // The basic plane's glyphs, looked up once each.
    mutable std::vector<std::atomic<uint32_t>> m_bmp = std::vector<std::atomic<uint32_t>>(0x10000);

  public:
    FontFace() {
        for (auto& glyph : m_bmp) {
            glyph.store(kUnknownGlyph, std::memory_order_relaxed);
        }
    }
};

namespace {

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

PdfFont::PdfFont(std::shared_ptr<const FontFace> face, int objectId)
    : m_face(std::move(face)), m_objectId(objectId) {
    m_first.assign(m_face->glyphCount, 0);
    Add(0, QString(QChar(u'\u200B')), U'\u200B');  // .notdef holds entry 0
}

PdfFont::~PdfFont() = default;

PdfFont::Shown PdfFont::Add(uint32_t glyph, QString text, char32_t single) {
    const uint16_t code = m_face->cff ? m_face->Cid(glyph) : uint16_t(m_code.size());
    m_code.push_back(code);
    m_glyph.push_back(glyph);
    m_text.push_back(std::move(text));
    m_width.push_back(m_face->Advance(glyph));
    m_single.push_back(single);
    if (glyph < m_first.size() && m_first[glyph] == 0) {
        m_first[glyph] = uint32_t(m_code.size());
    }
    return {code, m_width.back()};
}

PdfFont::Shown PdfFont::Code(uint32_t glyph, const QChar* chars, int count) {
    if (glyph >= m_face->glyphCount) {
        glyph = 0;
    }
    char32_t single = kNoSingle;
    if (count == 1 && !chars[0].isSurrogate()) {
        single = chars[0].unicode();
    } else if (count == 2 && chars[0].isHighSurrogate() && chars[1].isLowSurrogate()) {
        single = QChar::surrogateToUcs4(chars[0], chars[1]);
    } else if (count == 0) {
        single = m_face->CharacterOf(glyph);
    }
    if (const uint32_t first = m_first[glyph]) {
        if (m_face->cff || (single != kNoSingle && m_single[first - 1] == single)) {
            return {m_code[first - 1], m_width[first - 1]};
        }
    }
    QString text;
    if (count > 0) {
        text = QString(chars, std::min(count, kMaxTextUnits));
    } else {
        text = QString::fromUcs4(&single, 1);
    }
    QString key;
    key.reserve(text.size() + 2);
    key.append(QChar(char16_t(glyph >> 16))).append(QChar(char16_t(glyph & 0xFFFF))).append(text);
    if (const auto it = m_more.constFind(key); it != m_more.constEnd()) {
        return {m_code[*it], m_width[*it]};
    }
    if (m_code.size() >= size_t(kMaxCodes)) {
        return {};
    }
    m_more.insert(key, uint32_t(m_code.size()));
    return Add(glyph, std::move(text), single == kNoSingle || count > 2 ? kNoSingle : single);
}

namespace {

QByteArray Hex16(uint32_t value) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out(4, '0');
    for (int i = 3; i >= 0; --i) {
        out[i] = hex[value & 0xF];
        value >>= 4;
    }
    return out;
}

QByteArray ToUnicodeMap(const std::vector<uint16_t>& codes, const std::vector<QString>& texts) {
    QByteArray map(
        "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
        "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n");
    std::map<uint16_t, const QString*> entries;
    for (size_t i = 1; i < codes.size(); ++i) {
        entries.emplace(codes[i], &texts[i]);  // the first text of a code stays
    }
    auto it = entries.begin();
    while (it != entries.end()) {
        const size_t block = std::min<size_t>(100, size_t(std::distance(it, entries.end())));
        map.append(QByteArray::number(qulonglong(block))).append(" beginbfchar\n");
        for (size_t i = 0; i < block; ++i, ++it) {
            map.append('<').append(Hex16(it->first)).append("><");
            for (const QChar c : *it->second) {
                map.append(Hex16(c.unicode()));
            }
            map.append(">\n");
        }
        map.append("endbfchar\n");
    }
    map.append("endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n");
    return map;
}

}  // namespace

void PdfFont::Write(PdfObjects& objects) const {
    InputPtr input(hb_subset_input_create_or_fail());
    if (!input) {
        throw ConversionError(QStringLiteral("Out of memory while embedding a font."));
    }
    hb_set_t* glyphs = hb_subset_input_glyph_set(input.get());
    for (const uint32_t glyph : m_glyph) {
        hb_set_add(glyphs, glyph);
    }
    hb_set_t* drop = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
    // A PDF shapes nothing and needs no character map: only outlines and metrics stay.
    for (const char* tag :
         {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "morx", "mort", "kerx",
          "feat", "trak", "DSIG", "LTSH", "VDMX", "hdmx", "gasp", "vhea", "vmtx", "VORG",
          "COLR", "CPAL", "SVG ", "sbix", "CBDT", "CBLC", "EBDT", "EBLC", "EBSC", "cmap",
          "name", "meta", "STAT", "fvar", "gvar", "avar", "HVAR", "MVAR", "cvar"}) {
        hb_set_add(drop, HB_TAG(tag[0], tag[1], tag[2], tag[3]));
    }
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_NO_HINTING |
                                               HB_SUBSET_FLAGS_NOTDEF_OUTLINE |
                                               (m_face->cff ? HB_SUBSET_FLAGS_RETAIN_GIDS : 0));
    PlanPtr plan(hb_subset_plan_create_or_fail(m_face->SubsetSource(), input.get()));
    FacePtr subset(plan ? hb_subset_plan_execute_or_fail(plan.get()) : nullptr);
    if (!subset) {
        throw ConversionError(QStringLiteral("A font could not be embedded."));
    }
    BlobPtr blob(hb_face_reference_blob(subset.get()));
    unsigned int length = 0;
    const char* data = hb_blob_get_data(blob.get(), &length);
    const QByteArray program(data, static_cast<qsizetype>(length));

    // Six letters from the glyphs, as PDF names a subset.
    size_t hash = 0;
    for (const uint32_t glyph : m_glyph) {
        hash = hash * 1000003u + glyph;
    }
    QByteArray baseName;
    for (int i = 0; i < 6; ++i, hash /= 26) {
        baseName.append(char('A' + hash % 26));
    }
    baseName.append('+').append(m_face->postscriptName);
    const QByteArray name = pdf::Name(baseName);

    const int cidFont = objects.Reserve();
    const int descriptor = objects.Reserve();
    const int file = objects.Reserve();
    const int toUnicode = objects.Reserve();
    const int cidToGid = m_face->cff ? 0 : objects.Reserve();

    objects.Write(m_objectId, "<</Type/Font/Subtype/Type0/BaseFont" + name +
                                  "/Encoding/Identity-H/DescendantFonts[" +
                                  QByteArray::number(cidFont) + " 0 R]/ToUnicode " +
                                  QByteArray::number(toUnicode) + " 0 R>>");

    // Widths by code, in runs of consecutive codes.
    std::map<uint16_t, double> widths;
    for (size_t i = 0; i < m_code.size(); ++i) {
        widths.emplace(m_code[i], m_width[i]);
    }
    QByteArray w("[");
    int previous = -2;
    for (const auto& [code, width] : widths) {
        if (code != previous + 1) {
            w.append(previous >= 0 ? "]" : "").append(QByteArray::number(code)).append('[');
        } else {
            w.append(' ');
        }
        w.append(pdf::Number(width));
        previous = code;
    }
    w.append(previous >= 0 ? "]]" : "]");

    QByteArray cid = "<</Type/Font/Subtype/" +
                     QByteArray(m_face->cff ? "CIDFontType0" : "CIDFontType2") + "/BaseFont" +
                     name +
                     "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                     "/FontDescriptor " +
                     QByteArray::number(descriptor) + " 0 R/DW 1000/W" + w;
    if (!m_face->cff) {
        cid += "/CIDToGIDMap " + QByteArray::number(cidToGid) + " 0 R";
    }
    objects.Write(cidFont, cid + ">>");

    int flags = 4;  // symbolic: the codes are not a standard encoding
    if (m_face->fixedPitch) {
        flags |= 1;
    }
    if (m_face->italicAngle != 0) {
        flags |= 64;
    }
    objects.Write(
        descriptor,
        "<</Type/FontDescriptor/FontName" + name + "/Flags " + QByteArray::number(flags) +
            "/FontBBox[" + QByteArray::number(m_face->bbox[0]) + ' ' +
            QByteArray::number(m_face->bbox[1]) + ' ' + QByteArray::number(m_face->bbox[2]) + ' ' +
            QByteArray::number(m_face->bbox[3]) + "]/ItalicAngle " +
            pdf::Number(m_face->italicAngle) + "/Ascent " + pdf::Number(m_face->ascent) +
            "/Descent " + pdf::Number(m_face->descent) + "/CapHeight " +
            pdf::Number(m_face->capHeight) + "/StemV 80" +
            (m_face->cff ? "/FontFile3 " : "/FontFile2 ") + QByteArray::number(file) + " 0 R>>");
    if (m_face->cff) {
        objects.WriteStream(file, "/Subtype/OpenType", program);
    } else {
        objects.WriteStream(file, "/Length1 " + QByteArray::number(program.size()), program);
        const hb_map_t* oldToNew = hb_subset_plan_old_to_new_glyph_mapping(plan.get());
        QByteArray map(qsizetype(m_code.size()) * 2, '\0');
        for (size_t code = 0; code < m_code.size(); ++code) {
            const hb_codepoint_t mapped = hb_map_get(oldToNew, m_glyph[code]);
            const uint32_t gid = mapped == HB_MAP_VALUE_INVALID ? 0 : mapped;
            map[qsizetype(code) * 2] = char(gid >> 8);
            map[qsizetype(code) * 2 + 1] = char(gid & 0xFF);
        }
        objects.WriteStream(cidToGid, QByteArray(), map);
    }
    objects.WriteStream(toUnicode, QByteArray(), ToUnicodeMap(m_code, m_text));
}

}  // namespace velmora::mailconverter
