#pragma once

// The litehtml document container behind HtmlLayout, shared by the files that implement it:
// HtmlContainer.cpp (loading, recording, leaves to lines and links), HtmlText.cpp (style
// sheet, fonts, measuring and splitting text) and HtmlPaint.cpp (images and drawing).

// litehtml.h first: the element headers rely on its types.
#include <litehtml.h>

#include "components/mailconverter/layout/HtmlElements.h"
#include "components/mailconverter/layout/HtmlLayout.h"
#include "components/mailconverter/pdf/TextRecorder.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora::mailconverter {

// The master style sheet for a document of `html`, parsed once per thread and set of tags.
// The document keeps a pointer to it.
std::shared_ptr<litehtml::context> MasterContext(const QByteArray& html);

// A CSS family list as faces of this machine.
QStringList ResolveFamilies(const QString& cssList);

inline QColor ToQColor(const litehtml::web_color& c) {
    return QColor(c.red, c.green, c.blue, c.alpha);
}

inline QRectF ToRect(const litehtml::position& p) {
    return QRectF(p.x, p.y, p.width, p.height);
}

class HtmlLayout::Container final : public litehtml::document_container {
  public:
    static constexpr qreal kPointsPerPixel = 0.75;  // CSS: 96 px to the inch

    Container(const QHash<QString, MailResource>& resources, const HtmlStyle& style, qreal width,
              HtmlBudget* budget);

    void Load(const QString& html);
    qreal Height() const { return m_document ? m_document->height() * m_ptPerPx : 0; }
    void Paint(QPainter& painter, qreal top, qreal bottom);

    std::vector<Span> m_lines;
    std::vector<PdfLink> m_links;
    QStringList m_notices;

    // --- document_container ------------------------------------------------------------

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override;
    void delete_font(litehtml::uint_ptr) override {}
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override;
    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override;
    int pt_to_px(int pt) const override;
    int get_default_font_size() const override { return m_defaultSize; }
    const litehtml::tchar_t* get_default_font_name() const override { return "DejaVu Sans"; }
    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override;
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) override;
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*,
                        litehtml::size& sz) override;
    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override;
    void draw_borders(litehtml::uint_ptr, const litehtml::borders& borders,
                      const litehtml::position& draw_pos, bool) override;
    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t*) override {}
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
    void import_css(litehtml::tstring& text, const litehtml::tstring&, litehtml::tstring&) override;
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool valid_x,
                  bool valid_y) override;
    void del_clip() override;
    void get_client_rect(litehtml::position& client) const override;
    std::shared_ptr<litehtml::element> create_element(
        const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
        const std::shared_ptr<litehtml::document>& document) override;
    void get_media_features(litehtml::media_features& media) const override;
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;
    void split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
                    const std::function<void(const litehtml::tchar_t*)>& on_space) override;

  private:
    static constexpr int kPieceLength = 40;

    struct Word {
        int width = 0;
        std::unique_ptr<RecordedText> glyphs;  // null: Qt draws the word itself
    };

    struct Font {
        explicit Font(const QFont& f) : font(f), metrics(f) {}
        QFont font;
        QFontMetricsF metrics;
        int descent = 0;
        bool decorated = false;                       // underlined, struck out or overlined
        std::unordered_map<std::string, Word> words;  // measured in this font
    };

    struct Item {
        float top;
        float bottom;
        int clip;  // into m_clips, or -1
        std::function<void(QPainter*)> paint;
    };

    struct Leaf {
        litehtml::element* element;
        int x, y, width, height;  // px, from the document's top left
        QString link;
        int direction;  // 1 left to right, -1 right to left, 0 neither (spaces, digits)
        bool counts;    // text or image, not white space
        int rightEdge;  // px; of a block aligned right for its right-to-left text, else -1
    };

    Font* FontOf(litehtml::uint_ptr handle) const {
        return handle > 0 && handle <= m_fonts.size() ? m_fonts[handle - 1].get() : nullptr;
    }
    static QPainter* PainterOf(litehtml::uint_ptr hdc) { return reinterpret_cast<QPainter*>(hdc); }
    static litehtml::uint_ptr Hdc(QPainter* painter) {
        return reinterpret_cast<litehtml::uint_ptr>(painter);
    }

    void AddCapNotices(const HtmlCaps& caps);
    void Record(const QRectF& extent, std::function<void(QPainter*)> paint);
    // Shaped once per font, for both measuring and drawing.
    Word& WordOf(Font& font, const char* text);
    void DrawText(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                  litehtml::web_color color, const litehtml::position& pos);
    void DrawListMarker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker);
    void DrawBackground(litehtml::uint_ptr hdc, const litehtml::background_paint& bg);
    void DrawBorders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                     const litehtml::position& draw_pos);
    QFont PlaceholderFont() const;
    void DrawPlaceholder(QPainter& painter, const QRectF& box, const QString& alt) const;
    // Decoded once per source; null for whatever is not in the message.
    const QImage* Image(const QString& src);
    QByteArray Lookup(const QString& key) const;

    void Collect(const litehtml::element::ptr& el, int x, int y, const QString& href,
                 int rightEdge = -1);
    void ReorderRightToLeft();
    void AlignRightToLeft(size_t from, size_t to);
    void Emit();
    void AddLinkBox(const QString& url, const QRectF& box);

    const QHash<QString, MailResource>& m_resources;
    HtmlStyle m_style;
    int m_widthPx;
    qreal m_ptPerPx = kPointsPerPixel;
    int m_defaultSize = 13;
    int m_brokenWords = 0;
    bool m_recorded = false;
    std::vector<Item> m_items;
    std::vector<float> m_firstTop;  // the least top of the items from here on
    std::vector<QRectF> m_clips;
    std::vector<QRectF> m_clipStack;
    std::vector<std::unique_ptr<Font>> m_fonts;
    std::unordered_map<QString, QImage> m_images;
    QHash<QString, QString> m_alts;
    std::vector<Leaf> m_leaves;
    HtmlBudget m_ownBudget;
    HtmlBudget& m_budget;
    HtmlGuard m_guard;
    std::unique_ptr<TextRecorder> m_recorder;
    std::shared_ptr<litehtml::context> m_master;  // outlives m_document, which points to it
    litehtml::document::ptr m_document;
};

}  // namespace velmora::mailconverter
