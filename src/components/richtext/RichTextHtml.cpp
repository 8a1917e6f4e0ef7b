#include "components/richtext/RichTextHtml.h"

#include "components/richtext/CdRecords.h"
#include "components/richtext/HtmlTable.h"
#include "components/richtext/Lmbcs.h"
#include "components/richtext/NotesBitmap.h"
#include "components/richtext/RichTextStyle.h"

#include <QHash>
#include <QImage>
#include <QRegularExpression>

#include <optional>

namespace velmora::richtext {

namespace {

// Hotspot kinds that change what is shown.
constexpr std::uint16_t kHotspotFile = 4;
constexpr std::uint16_t kHotspotLink = 11;
// Graphics whose size is given in pixels rather than twips.
constexpr std::uint8_t kGraphicPixels = 0x01;
constexpr std::uint32_t kRuleFitToWindow = 0x04;
constexpr std::uint32_t kRuleUseColor = 0x01;
// A NOTELINK: replica ID, view and note UNIDs.
constexpr std::size_t kNoteLinkSize = 40;

const QString kStyleSheet = QStringLiteral(
    "body{margin:0;font-family:Helvetica,Arial,sans-serif;font-size:10pt;white-space:pre-wrap}"
    "div{margin:0}ul,ol{margin-top:0;margin-bottom:0}table{border-collapse:collapse}"
    "td{vertical-align:top;padding:1pt 3pt}"
    ".attachment{border:1px solid #8a8a8a;background-color:#f2f2f2;padding:0 3pt}"
    ".doclink{color:#1a4f9c;text-decoration:underline}");

bool IsGraphicPart(std::uint8_t signature) {
    switch (signature) {
        case sig::kImageHeader:
        case sig::kImageSegment:
        case sig::kBitmapHeader:
        case sig::kBitmapSegment:
        case sig::kColorTable:
        case sig::kPatternTable:
        case sig::kTransparentTable:
        case sig::kPmMetaHeader:
        case sig::kPmMetaSegment:
        case sig::kWinMetaHeader:
        case sig::kWinMetaSegment:
        case sig::kMacMetaHeader:
        case sig::kMacMetaSegment:
        case sig::kCgmMeta:
            return true;
        default:
            return false;
    }
}

// The strings of a record's variable part, each ended by a NUL.
QStringList PackedStrings(std::span<const std::uint8_t> bytes, const TextDecoder& decode) {
    QStringList strings;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == 0) {
            if (i > start || i < bytes.size()) {
                strings << decode(bytes.subspan(start, i - start));
            }
            start = i + 1;
        }
    }
    return strings;
}

// Only addresses a reader can follow safely become links.
QString SafeUrl(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^(https?|ftp|mailto|news|notes):\\S+$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString url = text.trimmed();
    if (scheme.match(url).hasMatch()) {
        return url;
    }
    if (url.startsWith(QLatin1String("www."), Qt::CaseInsensitive) && !url.contains(u' ')) {
        return QStringLiteral("http://") + url;
    }
    return {};
}

struct Hotspot {
    std::uint16_t type = 0;
    QString anchor;  // the opening tag of a link; empty for other hotspots
};

struct ListLevel {
    QString tag;
    int margin = 0;
};

// Where paragraphs go: the body, or one table cell.
struct Frame {
    QString html;
    std::vector<ListLevel> lists;
};

struct Paragraph {
    bool open = false;
    bool explicitStart = false;  // begun by a paragraph record, so shown even when empty
    bool hasRuns = false;        // a later style reference no longer applies
    bool visible = false;        // holds something to show, not only a link reopened
    int style = -1;
    QString content;
};

struct OpenTable {
    TableModel model;
    bool cellOpen = false;
};

struct Graphic {
    int widthTwips = 0;
    int heightTwips = 0;
    bool pixels = false;
    std::uint16_t imageType = 0;
    std::uint32_t imageSize = 0;
    QByteArray imageData;
    BitmapRecords bitmap;
    bool bitmapSeen = false;
    bool metafile = false;
};

class Converter {
  public:
    Converter(FontTable fonts, TextDecoder decode, const RichTextLimits& limits)
        : m_fonts(std::move(fonts)), m_decode(std::move(decode)), m_limits(limits) {
        m_frames.emplace_back();
    }

    RichHtml Run(std::span<const std::uint8_t> records) {
        CdReader reader(records);
        CdRecord record;
        while (reader.Next(record)) {
            if (m_graphic && !IsGraphicPart(record.signature)) {
                FinishGraphic();
            }
            Handle(record);
        }
        FinishGraphic();
        while (!m_tables.empty()) {
            EndTable();
        }
        FlushParagraph();
        CloseLists(m_frames.front());
        RichHtml out;
        out.html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>") +
                   kStyleSheet + QStringLiteral("</style></head><body>") + m_frames.front().html +
                   QStringLiteral("</body></html>");
        out.pictures = std::move(m_pictures);
        return out;
    }

  private:
    void Handle(const CdRecord& record) {
        const Fields fields(record.body);
        switch (record.signature) {
            case sig::kPabDefinition:
                m_styles.insert(fields.U16(0), ReadParagraphStyle(fields));
                break;
            case sig::kParagraph:
                FlushParagraph();
                StartParagraph(true);
                break;
            case sig::kPabReference:
                m_currentStyle = fields.U16(0);
                if (!m_paragraph.hasRuns) {
                    m_paragraph.style = m_currentStyle;
                }
                break;
            case sig::kText:
            case sig::kBidiText:
                Text(fields);
                break;
            case sig::kHotspotBegin:
            case sig::kV4HotspotBegin:
            case sig::kV5HotspotBegin:
                BeginHotspot(fields);
                break;
            case sig::kHotspotEnd:
            case sig::kV4HotspotEnd:
            case sig::kV5HotspotEnd:
                EndHotspot();
                break;
            case sig::kLink2:
                DocLink(fields.Bytes(2, fields.Size()));
                break;
            case sig::kLinkExport2:
                DocLink(fields.Bytes(kNoteLinkSize, fields.Size()));
                break;
            case sig::kHorizontalRule:
                Rule(fields);
                break;
            case sig::kGraphic:
                m_graphic.emplace();
                m_graphic->widthTwips = fields.U16(0);
                m_graphic->heightTwips = fields.U16(2);
                // The flags count from the third version of the record on.
                m_graphic->pixels = fields.U8(18) >= 2 && (fields.U8(19) & kGraphicPixels) != 0;
                break;
            case sig::kPreTableBegin:
                m_preTableFlags = fields.U32(0);
                break;
            case sig::kTableBegin:
            case sig::kNestedTableBegin:
                BeginTable(fields);
                break;
            case sig::kTableCell:
            case sig::kNestedTableCell:
                Cell(fields);
                break;
            case sig::kTableCellColor:
                CellColor(fields);
                break;
            case sig::kTableEnd:
            case sig::kNestedTableEnd:
                EndTable();
                break;
            default:
                if (m_graphic) {
                    GraphicPart(record);
                }
                break;  // not shown; the text around it is kept
        }
    }

    // Paragraphs.

    void StartParagraph(bool explicitStart) {
        m_paragraph = Paragraph{};
        m_paragraph.open = true;
        m_paragraph.explicitStart = explicitStart;
        m_paragraph.style = m_currentStyle;
        // Links stay open across paragraphs; each paragraph gets its own anchor.
        for (const Hotspot& hotspot : m_hotspots) {
            m_paragraph.content += hotspot.anchor;
        }
    }

    // Adds shown content to the paragraph, opening one when none is open.
    void Show(const QString& html) {
        if (!m_paragraph.open) {
            StartParagraph(false);
        }
        m_paragraph.content += html;
        m_paragraph.hasRuns = true;
        m_paragraph.visible = true;
    }

    void FlushParagraph() {
        if (!m_paragraph.open) {
            return;
        }
        for (const Hotspot& hotspot : m_hotspots) {
            if (!hotspot.anchor.isEmpty()) {
                m_paragraph.content += QStringLiteral("</a>");
            }
        }
        const Paragraph paragraph = std::move(m_paragraph);
        m_paragraph = Paragraph{};
        if (!paragraph.explicitStart && !paragraph.visible) {
            return;
        }
        Frame& frame = m_frames.back();
        const ParagraphStyle style = m_styles.value(paragraph.style);
        const bool inTable = m_frames.size() > 1;
        // A lone line break would give the empty paragraph no height.
        const QString body = paragraph.visible ? paragraph.content : QStringLiteral("&nbsp;");
        QString listCss;
        const QString tag = ListTag(style, &listCss);
        if (tag.isEmpty()) {
            CloseLists(frame);
            frame.html += QStringLiteral("<div style=\"") + ParagraphCss(style, inTable) +
                          QStringLiteral("\">") + body + QStringLiteral("</div>");
            return;
        }
        const int margin = style.leftMargin;
        while (!frame.lists.empty() && frame.lists.back().margin > margin) {
            frame.html += QStringLiteral("</") + frame.lists.back().tag + u'>';
            frame.lists.pop_back();
        }
        if (!frame.lists.empty() && frame.lists.back().margin == margin &&
            frame.lists.back().tag != tag) {
            frame.html += QStringLiteral("</") + frame.lists.back().tag + u'>';
            frame.lists.pop_back();
        }
        if (frame.lists.empty() || frame.lists.back().margin < margin) {
            frame.html +=
                u'<' + tag + QStringLiteral(" style=\"") + listCss + QStringLiteral("\">");
            frame.lists.push_back({tag, margin});
        }
        frame.html += QStringLiteral("<li style=\"") + ParagraphCss(style, true) +
                      QStringLiteral("\">") + body + QStringLiteral("</li>");
    }

    static void CloseLists(Frame& frame) {
        while (!frame.lists.empty()) {
            frame.html += QStringLiteral("</") + frame.lists.back().tag + u'>';
            frame.lists.pop_back();
        }
    }

    void Text(const Fields& fields) {
        const FontId font = ReadFontId(fields, 0);
        QString text = m_decode(fields.Bytes(4, fields.Size()));
        // Inside a run a NUL ends a line.
        text.replace(QChar(0), u'\n');
        QString escaped = EscapeHtml(text);
        escaped.replace(u'\n', QStringLiteral("<br>"));
        if (escaped.isEmpty()) {
            if (!m_paragraph.open) {
                StartParagraph(false);
            }
            m_paragraph.hasRuns = true;
            return;
        }
        Show(QStringLiteral("<span style=\"") + RunCss(font, m_fonts) + QStringLiteral("\">") +
             escaped + QStringLiteral("</span>"));
    }

    // Hotspots, links, rules.

    bool InsideFileHotspot() const {
        return std::any_of(m_hotspots.begin(), m_hotspots.end(),
                           [](const Hotspot& hotspot) { return hotspot.type == kHotspotFile; });
    }

    void BeginHotspot(const Fields& fields) {
        Hotspot hotspot;
        hotspot.type = fields.U16(0);
        const QStringList strings = PackedStrings(fields.Bytes(8, fields.U16(6)), m_decode);
        if (hotspot.type == kHotspotFile) {
            const QString name = strings.value(1).isEmpty() ? strings.value(0) : strings.value(1);
            Show(QStringLiteral("<span class=\"attachment\">Attachment: ") + EscapeHtml(name) +
                 QStringLiteral("</span>"));
        } else if (hotspot.type == kHotspotLink) {
            const QString url = SafeUrl(strings.value(0));
            if (!url.isEmpty()) {
                hotspot.anchor =
                    QStringLiteral("<a href=\"") + EscapeHtml(url) + QStringLiteral("\">");
                if (!m_paragraph.open) {
                    StartParagraph(false);
                }
                m_paragraph.content += hotspot.anchor;
            }
        }
        m_hotspots.push_back(hotspot);
    }

    void EndHotspot() {
        if (m_hotspots.empty()) {
            return;
        }
        if (!m_hotspots.back().anchor.isEmpty() && m_paragraph.open) {
            m_paragraph.content += QStringLiteral("</a>");
        }
        m_hotspots.pop_back();
    }

    void DocLink(std::span<const std::uint8_t> strings) {
        QString comment = PackedStrings(strings, m_decode).value(0).trimmed();
        if (comment.isEmpty()) {
            comment = QStringLiteral("Notes document link");
        }
        Show(QStringLiteral("<span class=\"doclink\">") + EscapeHtml(comment) +
             QStringLiteral("</span>"));
    }

    void Rule(const Fields& fields) {
        const std::uint32_t flags = fields.U32(0);
        const int width = fields.U16(4);
        const int height = std::max(1, int(fields.U16(6)));
        QString color = (flags & kRuleUseColor) != 0 ? NotesColor(fields.U16(8)) : QString();
        if (color.isEmpty()) {
            color = QStringLiteral("#808080");
        }
        const QString widthCss = (flags & kRuleFitToWindow) != 0 || width == 0
                                     ? QStringLiteral("100%")
                                     : QStringLiteral("%1pt").arg(width / double(kTwipsPerPoint));
        Show(QStringLiteral("<div style=\"width:%1;height:0;border-top:%2pt solid %3;"
                            "margin:2pt 0\"></div>")
                 .arg(widthCss)
                 .arg(std::max(0.5, height / double(kTwipsPerPoint)))
                 .arg(color));
    }

    // Pictures.

    void GraphicPart(const CdRecord& record) {
        Graphic& g = *m_graphic;
        const Fields fields(record.body);
        switch (record.signature) {
            case sig::kImageHeader:
                g.imageType = fields.U16(0);
                g.imageSize = fields.U32(6);
                break;
            case sig::kImageSegment: {
                const auto data = fields.Bytes(4, fields.U16(0));
                if (g.imageData.size() + qint64(data.size()) <= m_limits.maxPictureBytes) {
                    g.imageData.append(reinterpret_cast<const char*>(data.data()),
                                       static_cast<qsizetype>(data.size()));
                }
                break;
            }
            case sig::kBitmapHeader:
                g.bitmap.header = record.body;
                g.bitmapSeen = true;
                break;
            case sig::kColorTable:
                g.bitmap.colors = record.body;
                break;
            case sig::kPatternTable:
                g.bitmap.patterns = record.body;
                break;
            case sig::kBitmapSegment:
                g.bitmap.segments.push_back(record.body);
                break;
            case sig::kTransparentTable:
                break;
            default:
                g.metafile = true;
                break;
        }
    }

    void FinishGraphic() {
        if (!m_graphic) {
            return;
        }
        const Graphic g = std::move(*m_graphic);
        m_graphic.reset();
        if (InsideFileHotspot()) {
            return;  // the attachment's icon: the reference stands for it
        }
        QByteArray data;
        QByteArray mediaType;
        QSize natural;
        if (!g.imageData.isEmpty()) {
            static const char* kTypes[] = {"", "image/gif", "image/jpeg", "image/bmp", "image/png"};
            mediaType = g.imageType < 5 ? QByteArray(kTypes[g.imageType]) : QByteArray();
            data = g.imageData;
            if (g.imageSize > 0 && data.size() > qint64(g.imageSize)) {
                data.truncate(g.imageSize);
            }
            if (mediaType == "image/bmp" || mediaType.isEmpty()) {
                data = ImageBytes(QImage::fromData(data));
                mediaType = "image/png";
            }
        } else if (g.bitmapSeen) {
            const QImage image = DecodeBitmap(g.bitmap, m_limits.maxPicturePixels);
            natural = image.size();
            data = ImageBytes(image);
            mediaType = "image/png";
        }
        if (data.isEmpty()) {
            Show(QStringLiteral("<span class=\"attachment\">[picture not shown]</span>"));
            return;
        }
        const int number = static_cast<int>(m_pictures.size()) + 1;
        const QString id = QStringLiteral("picture-%1@velmora.invalid").arg(number);
        const QString extension = QString::fromLatin1(mediaType.mid(mediaType.indexOf('/') + 1));
        m_pictures.push_back(
            {id, mediaType, data, QStringLiteral("picture-%1.%2").arg(number).arg(extension)});
        // Twips are 1/20 pt; pixels are taken at 96 per inch.
        const double scale = g.pixels ? 0.75 : 1.0 / kTwipsPerPoint;
        QString size;
        if (g.widthTwips > 0 && g.heightTwips > 0) {
            size = QStringLiteral(" style=\"width:%1pt;height:%2pt\"")
                       .arg(g.widthTwips * scale, 0, 'f', 1)
                       .arg(g.heightTwips * scale, 0, 'f', 1);
        } else if (natural.isValid()) {
            size = QStringLiteral(" style=\"width:%1pt;height:%2pt\"")
                       .arg(natural.width() * 0.75, 0, 'f', 1)
                       .arg(natural.height() * 0.75, 0, 'f', 1);
        }
        Show(QStringLiteral("<img src=\"cid:") + id + QStringLiteral("\" alt=\"\"") + size + u'>');
    }

    // Tables.

    void BeginTable(const Fields& fields) {
        FlushParagraph();
        m_tables.push_back({StartTable(fields, m_preTableFlags), false});
        m_preTableFlags = 0;
    }

    void CloseCell() {
        OpenTable& table = m_tables.back();
        if (!table.cellOpen) {
            return;
        }
        FlushParagraph();
        Frame frame = std::move(m_frames.back());
        m_frames.pop_back();
        CloseLists(frame);
        table.model.cells.back().html = frame.html;
        table.cellOpen = false;
    }

    void Cell(const Fields& fields) {
        if (m_tables.empty()) {
            return;  // a cell outside any table: its text goes on in the paragraph
        }
        CloseCell();
        OpenTable& table = m_tables.back();
        table.model.cells.push_back(ReadCell(fields, table.model.autoWidth));
        table.cellOpen = true;
        m_frames.emplace_back();
    }

    void CellColor(const Fields& fields) {
        if (m_tables.empty() || !m_tables.back().cellOpen) {
            return;
        }
        const QString color = ColorValue(fields, 0);
        if (!color.isEmpty()) {
            m_tables.back().model.cells.back().css +=
                QStringLiteral("background-color:") + color + u';';
        }
    }

    void EndTable() {
        if (m_tables.empty()) {
            return;
        }
        CloseCell();
        OpenTable table = std::move(m_tables.back());
        m_tables.pop_back();
        QString html;
        if (static_cast<int>(m_tables.size()) >= m_limits.maxTableDepth) {
            // Too deep to lay out as a grid: the cells' content one after the other.
            for (const TableCell& cell : table.model.cells) {
                html += QStringLiteral("<div>") + cell.html + QStringLiteral("</div>");
            }
        } else {
            html = RenderTable(table.model);
        }
        FlushParagraph();
        Frame& frame = m_frames.back();
        CloseLists(frame);
        frame.html += html;
    }

    FontTable m_fonts;
    TextDecoder m_decode;
    RichTextLimits m_limits;
    QHash<int, ParagraphStyle> m_styles;
    int m_currentStyle = -1;
    Paragraph m_paragraph;
    std::vector<Frame> m_frames;
    std::vector<OpenTable> m_tables;
    std::uint32_t m_preTableFlags = 0;
    std::vector<Hotspot> m_hotspots;
    std::optional<Graphic> m_graphic;
    std::vector<InlinePicture> m_pictures;
};

}  // namespace

RichHtml RichTextToHtml(std::span<const std::uint8_t> records,
                        std::span<const std::uint8_t> fontTable, const TextDecoder& decode,
                        const RichTextLimits& limits) {
    TextDecoder decoder = decode ? decode : TextDecoder(&FromLmbcs);
    Converter converter(ReadFontTable(fontTable), std::move(decoder), limits);
    return converter.Run(records);
}

}  // namespace velmora::richtext
