#include "components/mailconverter/pdf/PdfFont.h"

#include "components/mailconverter/base/ConversionError.h"
#include "components/mailconverter/pdf/FontFace.h"
#include "components/mailconverter/pdf/PdfObjects.h"

#include <algorithm>
#include <map>

namespace velmora::mailconverter {

namespace {

constexpr char32_t kNoSingle = 0xFFFFFFFF;
constexpr int kMaxCodes = 65535;
// A glyph's text in the text map; a run of marks on one base stays readable without
// making the map unbounded.
constexpr int kMaxTextUnits = 128;

}  // namespace

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

// The subset of `face` with `glyphs`, and the plan that made it (which maps the old glyph
// numbers to the new). Throws ConversionError.
struct Subset {
    PlanPtr plan;
    QByteArray program;
};

Subset MakeSubset(const FontFace& face, const std::vector<uint32_t>& shown) {
    InputPtr input(hb_subset_input_create_or_fail());
    if (!input) {
        throw ConversionError(QStringLiteral("Out of memory while embedding a font."));
    }
    hb_set_t* glyphs = hb_subset_input_glyph_set(input.get());
    for (const uint32_t glyph : shown) {
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
                                               (face.cff ? HB_SUBSET_FLAGS_RETAIN_GIDS : 0));
    PlanPtr plan(hb_subset_plan_create_or_fail(face.SubsetSource(drop), input.get()));
    FacePtr subset(plan ? hb_subset_plan_execute_or_fail(plan.get()) : nullptr);
    if (!subset) {
        throw ConversionError(QStringLiteral("A font could not be embedded."));
    }
    BlobPtr blob(hb_face_reference_blob(subset.get()));
    unsigned int length = 0;
    const char* data = hb_blob_get_data(blob.get(), &length);
    return {std::move(plan), QByteArray(data, static_cast<qsizetype>(length))};
}

// Six letters from the glyphs, as PDF names a subset, before the face's name.
QByteArray SubsetName(const std::vector<uint32_t>& glyphs, const QByteArray& postscriptName) {
    size_t hash = 0;
    for (const uint32_t glyph : glyphs) {
        hash = hash * 1000003u + glyph;
    }
    QByteArray baseName;
    for (int i = 0; i < 6; ++i, hash /= 26) {
        baseName.append(char('A' + hash % 26));
    }
    baseName.append('+').append(postscriptName);
    return baseName;
}

// Widths by code, in runs of consecutive codes.
QByteArray WidthArray(const std::vector<uint16_t>& codes, const std::vector<double>& advances) {
    std::map<uint16_t, double> widths;
    for (size_t i = 0; i < codes.size(); ++i) {
        widths.emplace(codes[i], advances[i]);
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
    return w;
}

QByteArray Descriptor(const FontFace& face, const QByteArray& name, int file) {
    int flags = 4;  // symbolic: the codes are not a standard encoding
    if (face.fixedPitch) {
        flags |= 1;
    }
    if (face.italicAngle != 0) {
        flags |= 64;
    }
    return "<</Type/FontDescriptor/FontName" + name + "/Flags " + QByteArray::number(flags) +
           "/FontBBox[" + QByteArray::number(face.bbox[0]) + ' ' +
           QByteArray::number(face.bbox[1]) + ' ' + QByteArray::number(face.bbox[2]) + ' ' +
           QByteArray::number(face.bbox[3]) + "]/ItalicAngle " + pdf::Number(face.italicAngle) +
           "/Ascent " + pdf::Number(face.ascent) + "/Descent " + pdf::Number(face.descent) +
           "/CapHeight " + pdf::Number(face.capHeight) + "/StemV 80" +
           (face.cff ? "/FontFile3 " : "/FontFile2 ") + QByteArray::number(file) + " 0 R>>";
}

// CIDToGIDMap: by code, the glyph's number in the subset.
QByteArray CidToGidMap(hb_subset_plan_t* plan, const std::vector<uint32_t>& glyphs) {
    const hb_map_t* oldToNew = hb_subset_plan_old_to_new_glyph_mapping(plan);
    QByteArray map(qsizetype(glyphs.size()) * 2, '\0');
    for (size_t code = 0; code < glyphs.size(); ++code) {
        const hb_codepoint_t mapped = hb_map_get(oldToNew, glyphs[code]);
        const uint32_t gid = mapped == HB_MAP_VALUE_INVALID ? 0 : mapped;
        map[qsizetype(code) * 2] = char(gid >> 8);
        map[qsizetype(code) * 2 + 1] = char(gid & 0xFF);
    }
    return map;
}

}  // namespace

void PdfFont::Write(PdfObjects& objects) const {
    const Subset subset = MakeSubset(*m_face, m_glyph);
    const QByteArray name = pdf::Name(SubsetName(m_glyph, m_face->postscriptName));

    const int cidFont = objects.Reserve();
    const int descriptor = objects.Reserve();
    const int file = objects.Reserve();
    const int toUnicode = objects.Reserve();
    const int cidToGid = m_face->cff ? 0 : objects.Reserve();

    objects.Write(m_objectId, "<</Type/Font/Subtype/Type0/BaseFont" + name +
                                  "/Encoding/Identity-H/DescendantFonts[" +
                                  QByteArray::number(cidFont) + " 0 R]/ToUnicode " +
                                  QByteArray::number(toUnicode) + " 0 R>>");
    QByteArray cid =
        "<</Type/Font/Subtype/" + QByteArray(m_face->cff ? "CIDFontType0" : "CIDFontType2") +
        "/BaseFont" + name +
        "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
        "/FontDescriptor " +
        QByteArray::number(descriptor) + " 0 R/DW 1000/W" + WidthArray(m_code, m_width);
    if (!m_face->cff) {
        cid += "/CIDToGIDMap " + QByteArray::number(cidToGid) + " 0 R";
    }
    objects.Write(cidFont, cid + ">>");
    objects.Write(descriptor, Descriptor(*m_face, name, file));
    if (m_face->cff) {
        objects.WriteStream(file, "/Subtype/OpenType", subset.program);
    } else {
        objects.WriteStream(file, "/Length1 " + QByteArray::number(subset.program.size()),
                            subset.program);
        objects.WriteStream(cidToGid, QByteArray(), CidToGidMap(subset.plan.get(), m_glyph));
    }
    objects.WriteStream(toUnicode, QByteArray(), ToUnicodeMap(m_code, m_text));
}

}  // namespace velmora::mailconverter
