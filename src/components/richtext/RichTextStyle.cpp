#include "components/richtext/RichTextStyle.h"

#include "components/richtext/Lmbcs.h"

#include <array>

namespace velmora::richtext {

namespace {

constexpr int kFaceNameSize = 32;
constexpr int kFaceEntrySize = 2 + kFaceNameSize;

constexpr std::array<const char*, 16> kColors{
    "#000000", "#ffffff", "#ff0000", "#00ff00", "#0000ff", "#ff00ff", "#ffff00", "#00ffff",
    "#800000", "#008000", "#000080", "#800080", "#808000", "#008080", "#808080", "#c0c0c0"};

// List styles held in the second flags word.
constexpr std::uint16_t kPab2Checked = 0x0002;
constexpr std::uint16_t kPab2Circle = 0x0800;
constexpr std::uint16_t kPab2Square = 0x1000;
constexpr std::uint16_t kPab2Unchecked = 0x2000;

QString Quoted(const QString& name) {
    QString clean;
    for (const QChar c : name) {
        if (c.isLetterOrNumber() || c == u' ' || c == u'-' || c == u'_' || c == u'.') {
            clean += c;
        }
    }
    return clean.trimmed().isEmpty() ? QString() : u'\'' + clean.trimmed() + u'\'';
}

QString FamilyCss(int face, const FontTable& fonts) {
    switch (face) {
        case 0:
            return QStringLiteral("'Times New Roman',Times,serif");
        case 1:
            return QStringLiteral("Helvetica,Arial,sans-serif");
        case 3:
            return QStringLiteral("Arial,sans-serif");
        case 4:
            return QStringLiteral("'Courier New',Courier,monospace");
        default:
            break;
    }
    const QString name = Quoted(fonts.value(face));
    return name.isEmpty() ? QStringLiteral("sans-serif") : name + QStringLiteral(",sans-serif");
}

QString Points(int twips) {
    return QString::number(twips / double(kTwipsPerPoint), 'g', 5) + QStringLiteral("pt");
}

}  // namespace

FontTable ReadFontTable(std::span<const std::uint8_t> records) {
    FontTable fonts;
    CdReader reader(records);
    CdRecord record;
    while (reader.Next(record)) {
        if (record.signature != sig::kFontTable) {
            continue;
        }
        const Fields fields(record.body);
        const int count = fields.U16(0);
        for (int i = 0; i < count; ++i) {
            const std::size_t at = 2 + static_cast<std::size_t>(i) * kFaceEntrySize;
            if (at + kFaceEntrySize > fields.Size()) {
                break;
            }
            auto name = fields.Bytes(at + 2, kFaceNameSize);
            std::size_t length = 0;
            while (length < name.size() && name[length] != 0) {
                ++length;
            }
            fonts.insert(fields.U8(at), FromLmbcs(name.first(length)));
        }
    }
    return fonts;
}

FontId ReadFontId(const Fields& fields, std::size_t at) {
    return {fields.U8(at), fields.U8(at + 1), fields.U8(at + 2), fields.U8(at + 3)};
}

QString RunCss(const FontId& font, const FontTable& fonts) {
    QString css = QStringLiteral("font-family:") + FamilyCss(font.face, fonts) + u';';
    if (font.size > 0) {
        css += QStringLiteral("font-size:%1pt;").arg(font.size);
    }
    if ((font.attributes & kBold) != 0) {
        css += QStringLiteral("font-weight:bold;");
    }
    if ((font.attributes & kItalic) != 0) {
        css += QStringLiteral("font-style:italic;");
    }
    QStringList decorations;
    if ((font.attributes & kUnderline) != 0) {
        decorations << QStringLiteral("underline");
    }
    if ((font.attributes & kStrikeOut) != 0) {
        decorations << QStringLiteral("line-through");
    }
    if (!decorations.isEmpty()) {
        css += QStringLiteral("text-decoration:") + decorations.join(u' ') + u';';
    }
    if ((font.attributes & kEffect) == 0) {
        if ((font.attributes & kSuper) != 0) {
            css += QStringLiteral("vertical-align:super;font-size:smaller;");
        } else if ((font.attributes & kSub) != 0) {
            css += QStringLiteral("vertical-align:sub;font-size:smaller;");
        }
    }
    if (font.color != 0) {
        const QString color = NotesColor(font.color);
        if (!color.isEmpty()) {
            css += QStringLiteral("color:") + color + u';';
        }
    }
    return css;
}

QString NotesColor(int index) {
    return index >= 0 && index < static_cast<int>(kColors.size())
               ? QString::fromLatin1(kColors[static_cast<std::size_t>(index)])
               : QString();
}

QString ColorValue(const Fields& fields, std::size_t at) {
    constexpr std::uint16_t kIsRgb = 0x0001;
    constexpr std::uint16_t kNoColor = 0x0004;
    const std::uint16_t flags = fields.U16(at);
    if ((flags & kNoColor) != 0 || (flags & kIsRgb) == 0) {
        return {};
    }
    return QStringLiteral("#%1%2%3")
        .arg(fields.U8(at + 2), 2, 16, QLatin1Char('0'))
        .arg(fields.U8(at + 3), 2, 16, QLatin1Char('0'))
        .arg(fields.U8(at + 4), 2, 16, QLatin1Char('0'));
}

ParagraphStyle ReadParagraphStyle(const Fields& fields) {
    ParagraphStyle style;
    style.justify = fields.U16(2);
    style.lineSpacing = fields.U16(4);
    style.spacingBefore = fields.U16(6);
    style.spacingAfter = fields.U16(8);
    style.leftMargin = fields.U16(10);
    style.firstLineMargin = fields.U16(14);
    style.flags = fields.U16(58);
    style.flags2 = fields.U16(64);
    return style;
}

QString ParagraphCss(const ParagraphStyle& style, bool inTable) {
    QString css;
    switch (style.justify) {
        case kJustifyRight:
            css += QStringLiteral("text-align:right;");
            break;
        case kJustifyBlock:
            css += QStringLiteral("text-align:justify;");
            break;
        case kJustifyCenter:
            css += QStringLiteral("text-align:center;");
            break;
        case kJustifyNone:
            css += QStringLiteral("white-space:pre;");
            break;
        default:
            break;
    }
    if (!inTable && ListTag(style, nullptr).isEmpty()) {
        // Margins count from the page's edge, one inch being the default.
        const int indent = style.leftMargin - kOneInch;
        if (indent > 0) {
            css += QStringLiteral("margin-left:") + Points(indent) + u';';
        }
        const int firstLine = style.firstLineMargin - style.leftMargin;
        if (firstLine != 0 && style.leftMargin + firstLine >= 0) {
            css += QStringLiteral("text-indent:") + Points(firstLine) + u';';
        }
    }
    // Spacing counts half lines.
    if (style.spacingBefore > 0) {
        css += QStringLiteral("margin-top:%1em;").arg(style.spacingBefore * 0.5);
    }
    if (style.spacingAfter > 0) {
        css += QStringLiteral("margin-bottom:%1em;").arg(style.spacingAfter * 0.5);
    }
    if (style.lineSpacing > 0) {
        css += QStringLiteral("line-height:%1;").arg(1.2 * (1 + style.lineSpacing * 0.5));
    }
    return css;
}

QString ListTag(const ParagraphStyle& style, QString* listCss) {
    const std::uint16_t kinds = style.flags2 & (kPab2Checked | kPab2Circle | kPab2Square);
    if ((style.flags & kPabNumbered) != 0) {
        if (listCss != nullptr) {
            switch (kinds) {
                case kPab2Checked | kPab2Circle:
                    *listCss = QStringLiteral("list-style-type:upper-roman;");
                    break;
                case kPab2Checked | kPab2Square:
                    *listCss = QStringLiteral("list-style-type:lower-roman;");
                    break;
                case kPab2Square | kPab2Circle:
                    *listCss = QStringLiteral("list-style-type:upper-alpha;");
                    break;
                case kPab2Checked | kPab2Square | kPab2Circle:
                    *listCss = QStringLiteral("list-style-type:lower-alpha;");
                    break;
                default:
                    *listCss = QStringLiteral("list-style-type:decimal;");
                    break;
            }
        }
        return QStringLiteral("ol");
    }
    if ((style.flags & kPabBullet) != 0 || (style.flags2 & (kPab2Checked | kPab2Unchecked)) != 0) {
        if (listCss != nullptr) {
            *listCss = (style.flags2 & kPab2Circle) != 0 ? QStringLiteral("list-style-type:circle;")
                       : (style.flags2 & kPab2Square) != 0
                           ? QStringLiteral("list-style-type:square;")
                           : QStringLiteral("list-style-type:disc;");
        }
        return QStringLiteral("ul");
    }
    return {};
}

QString EscapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'&':
                out += QStringLiteral("&amp;");
                break;
            case u'<':
                out += QStringLiteral("&lt;");
                break;
            case u'>':
                out += QStringLiteral("&gt;");
                break;
            case u'"':
                out += QStringLiteral("&quot;");
                break;
            case u'\t':
                out += QStringLiteral("    ");
                break;
            case u'\r':
                break;
            default:
                if ((c.unicode() >= 0x20 && c.unicode() != 0x7F) || c == u'\n') {
                    out += c;
                }
                break;
        }
    }
    return out;
}

}  // namespace velmora::richtext
