#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora::mailconverter {

class PdfObjects;

// One face of a font file, loaded once per process and shared by every conversion:
// what embedding needs (the subsetter's prepared face, advances, metrics).
class FontFace;

// The face at `index` of the font file, or null when the file cannot be read or holds no
// outlines a PDF can embed (bitmap-only faces, for instance). Thread-safe.
std::shared_ptr<const FontFace> LoadFontFace(const QByteArray& file, int index);

// What a text layout needs of a face: the glyph of a character (0 when the face has none),
// a glyph's advance, and the kerning between two glyphs (from the face's 'kern' table, as
// Qt applies it to unshaped text), in thousandths of the font size. Thread-safe.
uint32_t FaceGlyph(const FontFace& face, char32_t c);
double FaceAdvance(const FontFace& face, uint32_t glyph);
double FaceKerning(const FontFace& face, uint32_t left, uint32_t right);

// The glyphs one document shows in one face, embedded as a subset (CIDFontType2 for
// TrueType outlines, CIDFontType0 for CFF ones). A code stands for one glyph and the text
// it was shaped from, so that every code copies as exactly that text.
class PdfFont {
  public:
    PdfFont(std::shared_ptr<const FontFace> face, int objectId);
    ~PdfFont();
    PdfFont(const PdfFont&) = delete;
    PdfFont& operator=(const PdfFont&) = delete;

    // The object number of the font dictionary.
    int ObjectId() const { return m_objectId; }

    struct Shown {
        uint16_t code = 0;  // 0 when the font has no code left
        double width = 0;   // the advance, in thousandths of the font size
    };

    // The code for `glyph` standing for the text [chars, chars + count); without text, the
    // character the face maps to the glyph.
    Shown Code(uint32_t glyph, const QChar* chars, int count);

    // Writes the font dictionary and everything it refers to. Throws ConversionError when
    // the subset cannot be made.
    void Write(PdfObjects& objects) const;

  private:
    Shown Add(uint32_t glyph, QString text, char32_t single);

    std::shared_ptr<const FontFace> m_face;
    int m_objectId;
    // By entry: TrueType faces get their codes in order of use (entry = code), so that a
    // glyph shown for two texts gets two codes; CFF faces use the glyph's CID as its code,
    // and the first text shown with a glyph is the one it copies as.
    std::vector<uint16_t> m_code;
    std::vector<uint32_t> m_glyph;
    std::vector<QString> m_text;
    std::vector<double> m_width;
    std::vector<char32_t> m_single;   // the one code point an entry stands for, else none
    std::vector<uint32_t> m_first;    // by glyph: its first entry + 1, or 0
    QHash<QString, uint32_t> m_more;  // glyph and text, for entries past a glyph's first
};

}  // namespace velmora::mailconverter
