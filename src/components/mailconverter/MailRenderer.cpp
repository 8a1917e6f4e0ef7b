#include "components/mailconverter/MailRenderer.h"

#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/layout/HtmlLayout.h"
#include "components/mailconverter/layout/PlainTextLayout.h"
#include "components/mailconverter/layout/TextBlocks.h"
#include "components/mailconverter/pdf/PdfCanvas.h"
#include "util/HtmlText.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

namespace velmora::mailconverter {

namespace {

constexpr qreal kMargin = 42;  // points; the canvas works at 72 dpi
constexpr qreal kFooterSpace = 24;

const QStringList& FallbackFamilies() {
    // TrueType faces first: a CFF face copies a glyph shown for two characters as the
    // first of them.
    static const QStringList families = InstalledFamilies(
        {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
         QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UKai CN"),
         QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Naskh Arabic"),
         QStringLiteral("Noto Sans Hebrew")});
    return families;
}

void CollectResources(const MailContent& mail, QHash<QString, MailResource>& out) {
    for (auto it = mail.resources.constBegin(); it != mail.resources.constEnd(); ++it) {
        if (!out.contains(it.key())) {
            out.insert(it.key(), it.value());
        }
    }
    for (const MailContent& inner : mail.attachedMessages) {
        CollectResources(inner, out);
    }
}

// Control characters would vanish on the page; show them as their visible pictures.
QString VisiblePlainText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                continue;
            }
            out += QChar(u'\n');
        } else if (c == u'\n' || c == u'\t') {
            out += QChar(c);
        } else if (c < 0x20) {
            out += QChar(static_cast<char16_t>(0x2400 + c));
        } else if (c == 0x7F) {
            out += QChar(u'\x2421');
        } else {
            out += QChar(c);
        }
    }
    return out;
}

class Builder {
  public:
    Builder(const RenderOptions& options, qreal textWidth, QPaintDevice* device)
        : m_textWidth(textWidth), m_device(device) {
        m_text.font = TextFont(options.textFamilies, QStringLiteral("DejaVu Sans"), options);
        // Every face the page uses is embedded and indexed anew in each PDF, which is most
        // of the cost of a short message: the header block sets itself apart by colour and
        // size, not by other faces, and plain text uses the text face unless told.
        m_mono = m_text;
        if (!options.plainTextFamilies.isEmpty()) {
            m_mono.font = TextFont(options.plainTextFamilies, QString(), options);
        }
        m_label = m_text;
        m_label.colour = QColor(0x55, 0x55, 0x55);
        m_subject = m_text;
        m_subject.font.setPointSizeF(options.pointSize * 1.5);
        m_notice = m_text;
        m_notice.font.setItalic(true);
        m_notice.colour = QColor(0x80, 0x20, 0x20);
    }

    const QFont& Font() const { return m_text.font; }

    // HTML parts and plain text go to their sinks, which lay them out on their own.
    void SetSinks(std::function<void(const MailBodyPart&)> html,
                  std::function<void(const QString&, const QFont&)> plain) {
        m_htmlSink = std::move(html);
        m_plainSink = std::move(plain);
    }

    // Goes on in `blocks`, as new ones.
    void Restart(TextBlocks& blocks) { m_blocks = &blocks; }

    void AddPlainText(const QString& text) { m_plainSink(VisiblePlainText(text), m_mono.font); }

    void AddNotice(const QString& notice) { m_blocks->AddParagraph(notice, m_notice); }

    void AddMessage(const MailContent& mail, bool attached) {
        if (attached) {
            m_blocks->AddRule();
            m_blocks->AddParagraph(QStringLiteral("Attached message"), m_label);
        }
        m_blocks->AddParagraph(
            VisiblePlainText(mail.subject.isEmpty() ? QStringLiteral("(no subject)")
                                                    : mail.subject),
            m_subject);
        AddHeaderTable(mail);
        for (const QString& notice : mail.notices) {
            m_blocks->AddParagraph(notice, m_notice);
        }
        m_blocks->AddRule();
        for (const MailBodyPart& part : mail.body) {
            if (part.kind == MailBodyPart::Kind::Html) {
                m_htmlSink(part);
            } else {
                AddPlainText(part.text);
            }
            m_blocks->AddParagraph(QString(), m_text);
        }
        for (const MailContent& inner : mail.attachedMessages) {
            AddMessage(inner, true);
        }
    }

    // Characters of a run without spaces that fill about 16 lines of the plain-text
    // column. Measured, not laid out: a probe layout cost as much as a short message.
    qsizetype Chunk() {
        if (m_chunk == 0) {
            const QFontMetricsF metrics(m_mono.font, m_device);
            const qreal advance = std::max<qreal>(0.1, metrics.horizontalAdvance(QLatin1Char('x')));
            const qsizetype perLine = std::max<qsizetype>(1, qsizetype(m_textWidth / advance));
            m_chunk = std::max<qsizetype>(200, perLine * 16);
        }
        return m_chunk;
    }

  private:
    static QFont TextFont(const QStringList& wanted, const QString& primary,
                          const RenderOptions& options) {
        QStringList families =
            wanted.isEmpty() ? InstalledFamilies({primary}) + FallbackFamilies() : wanted;
        QFont font;
        font.setFamilies(families);
        font.setPointSizeF(options.pointSize);
        // A PDF has no pixel grid: hinting only costs time and shifts the advances.
        font.setHintingPreference(QFont::PreferNoHinting);
        // Scripts that need shaping (Arabic, Indic, ...) are still shaped; Latin, Greek,
        // Cyrillic and CJK text goes without ligatures, which saved a third of the time of a
        // long message and keeps every letter its own glyph for search.
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    }

    void AddHeaderTable(const MailContent& mail) {
        for (const MailContent::Field& field : mail.fields) {
            m_blocks->AddRow(field.label + QLatin1Char(':'), m_label, VisiblePlainText(field.value),
                             m_text, kLabelWidth);
        }
        if (!mail.attachments.empty()) {
            QStringList names;
            for (const MailAttachment& file : mail.attachments) {
                names << QStringLiteral("%1 (%2)").arg(file.name,
                                                       MailRenderer::FormatSize(file.data.size()));
            }
            m_blocks->AddRow(QStringLiteral("Attachments:"), m_label,
                             VisiblePlainText(names.join(QLatin1Char('\n'))), m_text, kLabelWidth);
        }
    }

    static constexpr qreal kLabelWidth = 72;

    TextBlocks* m_blocks = nullptr;
    qreal m_textWidth;
    QPaintDevice* m_device;
    std::function<void(const MailBodyPart&)> m_htmlSink;
    std::function<void(const QString&, const QFont&)> m_plainSink;
    qsizetype m_chunk = 0;
    TextStyle m_text;
    TextStyle m_mono;
    TextStyle m_label;
    TextStyle m_subject;
    TextStyle m_notice;
};

}  // namespace

MailRenderer::MailRenderer(RenderOptions options) : m_options(std::move(options)) {}

QString MailRenderer::FormatSize(qint64 bytes) {
    if (bytes < 1024) {
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    }
    if (bytes < 1024 * 1024) {
        return QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1);
    }
    return QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
}

namespace {

constexpr int kMaxHtmlLayouts = 64;

// A piece of the page flow where it stands in the flow.
struct Segment {
    std::unique_ptr<FlowPiece> piece;
    qreal top = 0;
    qreal height = 0;
};

void Footer(QPainter& painter, const QFont& font, const QSizeF& page, int index, int pages) {
    painter.setFont(font);
    painter.setPen(Qt::darkGray);
    painter.drawText(
        QRectF(kMargin, page.height() - kMargin, page.width() - 2 * kMargin, kMargin / 2),
        Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Page %1 of %2").arg(index + 1).arg(pages));
}

// The page flow of one message: header blocks, plain-text parts and HTML parts one below the
// other, with the span of every line, where pages may break, and the links of the HTML parts.
class PageFlow {
  public:
    PageFlow(const RenderOptions& options, qreal width, PdfCanvas& canvas)
        : m_options(options), m_width(width), m_canvas(canvas), m_builder(options, width, &canvas) {
        m_style.families =
            options.textFamilies.isEmpty() ? FallbackFamilies() : options.textFamilies;
        m_style.pointSize = options.pointSize;
    }

    // Lays the message out, its attached messages included.
    void Build(const MailContent& mail) {
        CollectResources(mail, m_resources);
        NewBlocks(0);
        m_builder.SetSinks([this](const MailBodyPart& part) { AddHtml(part); },
                           [this](const QString& text, const QFont& font) {
                               Insert(std::make_unique<PlainTextLayout>(
                                   text, font, m_width, &m_canvas, m_builder.Chunk()));
                           });
        m_builder.AddMessage(mail, false);
        FinishBlocks();
    }

    // Where each page starts in the flow: between lines, never through one.
    std::vector<qreal> PageStarts(qreal pageHeight) {
        const PageBreaker breaker(std::move(m_lines));
        std::vector<qreal> starts{0};
        while (starts.back() + pageHeight < m_height) {
            const qreal next = breaker.Next(starts.back(), starts.back() + pageHeight);
            starts.push_back(next > starts.back() ? next : starts.back() + pageHeight);
        }
        return starts;
    }

    // Each page its part of every segment and its footer.
    void PaintPages(QPainter& painter, const QSizeF& page, const std::vector<qreal>& starts) {
        QFont footerFont = m_builder.Font();
        footerFont.setPointSizeF(m_options.pointSize * 0.8);
        const int pages = int(starts.size());
        for (int i = 0; i < pages; ++i) {
            if (i > 0) {
                m_canvas.NewPage();
            }
            const qreal from = starts[i];
            const qreal to = i + 1 < pages ? starts[i + 1] : m_height;
            for (const Segment& segment : m_segments) {
                const qreal top = std::max(from, segment.top) - segment.top;
                const qreal bottom = std::min(to, segment.top + segment.height) - segment.top;
                if (bottom <= top) {
                    continue;
                }
                painter.save();
                painter.translate(kMargin, kMargin + segment.top - from);
                // Wide content may use the margins, never another page's room.
                painter.setClipRect(QRectF(-kMargin, top, page.width(), bottom - top));
                segment.piece->Paint(painter, top, bottom);
                painter.restore();
            }
            Footer(painter, footerFont, page, i, pages);
        }
    }

    // The links of the HTML parts on their pages, in page points.
    std::vector<PdfLink> PlacedLinks(const std::vector<qreal>& starts) const {
        std::vector<PdfLink> placed;
        for (PdfLink link : m_links) {
            link.page = int(std::upper_bound(starts.begin(), starts.end(), link.rect.top()) -
                            starts.begin()) -
                        1;
            link.rect.translate(kMargin, kMargin - starts[link.page]);
            placed.push_back(link);
        }
        return placed;
    }

  private:
    // Header blocks and notices go into the last segment, always TextBlocks.
    void NewBlocks(qreal top) {
        auto blocks = std::make_unique<TextBlocks>(m_width, &m_canvas, m_builder.Chunk());
        m_builder.Restart(*blocks);
        m_segments.push_back({std::move(blocks), top, 0});
    }

    // The header blocks being built are complete: their lines join the flow's.
    void FinishBlocks() {
        Segment& segment = m_segments.back();
        segment.height = segment.piece->Height();
        AddLines(segment);
        m_height += segment.height;
    }

    void AddLines(const Segment& segment) {
        for (const Span& line : segment.piece->Lines()) {
            m_lines.push_back({line.top + segment.top, line.bottom + segment.top});
        }
    }

    // Ends the header blocks being built, places `piece` after them and goes on in new ones.
    // Returns where the piece starts in the flow.
    qreal Insert(std::unique_ptr<FlowPiece> piece) {
        FinishBlocks();
        const qreal top = m_height;
        Segment segment{std::move(piece), top, 0};
        segment.height = segment.piece->Height();
        AddLines(segment);
        m_height += segment.height;
        m_segments.push_back(std::move(segment));
        NewBlocks(m_height);
        return top;
    }

    // Each layout has its own document and fonts, and every laid-out part stays until the
    // pages are painted: a message of thousands of HTML parts, or of more HTML than one part
    // may hold, shows the later ones as their text.
    void AddHtml(const MailBodyPart& part) {
        if (++m_htmlParts > kMaxHtmlLayouts) {
            if (m_htmlParts == kMaxHtmlLayouts + 1) {
                m_builder.AddNotice(
                    QStringLiteral("HTML parts after the first %1 are shown as text.")
                        .arg(kMaxHtmlLayouts));
            }
            m_builder.AddPlainText(HtmlToText(part.text));
            return;
        }
        if (part.text.size() > m_budget.chars) {
            if (!std::exchange(m_overBudget, true)) {
                m_builder.AddNotice(
                    QStringLiteral("HTML parts past %1 characters in all are shown as text.")
                        .arg(HtmlBudget().chars));
            }
            m_builder.AddPlainText(HtmlToText(part.text));
            return;
        }
        m_budget.chars -= part.text.size();
        std::unique_ptr<HtmlLayout> layout;
        try {
            layout =
                std::make_unique<HtmlLayout>(part.text, m_resources, m_style, m_width, &m_budget);
        } catch (const std::exception& error) {
            // The layout library gave up on this HTML (it throws on some malformed input):
            // the words are still the message's.
            m_builder.AddNotice(QStringLiteral("An HTML part could not be laid out (%1); it is "
                                               "shown as text.")
                                    .arg(QString::fromLocal8Bit(error.what())));
            m_builder.AddPlainText(HtmlToText(part.text));
            return;
        }
        for (const QString& notice : layout->Notices()) {
            m_builder.AddNotice(notice);
        }
        const std::vector<PdfLink> partLinks = layout->Links();
        const qreal top = Insert(std::move(layout));
        for (PdfLink link : partLinks) {
            link.rect.translate(0, top);
            m_links.push_back(link);
        }
    }

    const RenderOptions& m_options;
    qreal m_width;
    PdfCanvas& m_canvas;
    Builder m_builder;
    HtmlStyle m_style;
    QHash<QString, MailResource> m_resources;
    std::vector<Segment> m_segments;
    std::vector<Span> m_lines;
    std::vector<PdfLink> m_links;  // in flow coordinates
    qreal m_height = 0;
    int m_htmlParts = 0;
    HtmlBudget m_budget;
    bool m_overBudget = false;
};

}  // namespace

QByteArray MailRenderer::Render(const MailContent& mail, std::vector<PdfLink>* links,
                                const PdfArchive& archive) const {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        throw ConversionError(QStringLiteral("PDF rendering needs a running QGuiApplication."));
    }
    if (links) {
        links->clear();
    }
    const QSizeF page = QPageSize(QPageSize::A4).sizePoints();
    PdfCanvas canvas(page);
    PageFlow flow(m_options, page.width() - 2 * kMargin, canvas);
    flow.Build(mail);
    const std::vector<qreal> starts = flow.PageStarts(page.height() - 2 * kMargin - kFooterSpace);

    QPainter painter;
    if (!painter.begin(&canvas)) {
        throw ConversionError(QStringLiteral("The PDF canvas could not start a page."));
    }
    flow.PaintPages(painter, page, starts);
    PdfArchive whole = archive;
    for (const PdfLink& link : flow.PlacedLinks(starts)) {
        whole.links.push_back(link);
    }
    if (links) {
        *links = whole.links;
    }
    if (!painter.end()) {
        throw ConversionError(QStringLiteral("The PDF canvas could not finish the document."));
    }
    return canvas.Document(whole);
}

}  // namespace velmora::mailconverter
