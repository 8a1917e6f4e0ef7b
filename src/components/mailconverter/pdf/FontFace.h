#pragma once

// A face of a font file as the PDF writer embeds it; shared by the files of pdf/ only.

#include <QByteArray>

#include <hb-subset.h>
#include <hb.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace velmora::mailconverter {

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

class FontFace {
  public:
    BlobPtr blob;
    FacePtr face;
    // For the subsetter, the face without the tables in `drop` (the same set every time), so
    // that every subset of a face comes out the same. Preparing pays back only over many
    // documents: the first subset is made from the unprepared copy, later ones prepared.
    // A large CFF face (a CJK one, 65,000 glyphs) is never prepared: that takes 340 MB and
    // seconds, kept for the life of the process, while subsetting it unprepared takes a
    // fraction of both.
    hb_face_t* SubsetSource(const hb_set_t* drop) const;
    void SetPreparable(bool preparable) { m_preparable = preparable; }

  private:
    bool m_preparable = true;
    mutable std::atomic<int> m_subsets{0};
    mutable std::once_flag m_keptOnce;
    mutable FacePtr m_kept;
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

    uint32_t Glyph(char32_t c) const;

    std::vector<double> advances;  // by glyph, in thousandths of the em

    // The pair adjustment of the face's 'kern' table, in thousandths of the em.
    double Kerning(uint32_t left, uint32_t right) const;
    std::vector<std::pair<uint32_t, int16_t>> kerning;  // sorted by left << 16 | right

    uint16_t Cid(uint32_t glyph) const {
        if (cids.empty()) {
            return uint16_t(std::min<uint32_t>(glyph, 0xFFFF));
        }
        return glyph < cids.size() ? cids[glyph] : 0;
    }

    // The first character the face maps to `glyph`, or U+200B (which shows nothing) for
    // glyphs no character maps to, such as the second half of a split character.
    char32_t CharacterOf(uint32_t glyph) const;

  private:
    mutable std::once_flag m_reverseOnce;
    mutable std::vector<char32_t> m_reverse;
    // The basic plane's glyphs plus one, looked up once each; 0 is not looked up yet, so that
    // the table starts zeroed rather than filled.
    mutable std::vector<std::atomic<uint32_t>> m_bmp = std::vector<std::atomic<uint32_t>>(0x10000);
};

}  // namespace velmora::mailconverter
