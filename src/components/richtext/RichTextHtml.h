#pragma once

// Rich text (CD records) as HTML: fonts, colours, paragraph alignment and indents, lists,
// tables, links, rules and pictures. Records it does not know are skipped; the text they
// surround is kept.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace velmora::richtext {

// A picture the HTML shows through "cid:" + contentId.
struct InlinePicture {
    QString contentId;
    QByteArray mediaType;
    QByteArray data;
    QString fileName;
};

struct RichHtml {
    QString html;  // a whole document
    std::vector<InlinePicture> pictures;
};

using TextDecoder = std::function<QString(std::span<const std::uint8_t>)>;

struct RichTextLimits {
    // Pictures larger than this are left out (a hostile header must not exhaust memory).
    qint64 maxPicturePixels = 40'000'000;
    qint64 maxPictureBytes = 64 * 1024 * 1024;
    // Tables nested deeper than this lose their grid, not their text.
    int maxTableDepth = 10;
};

// records: the item's records (every item of its name, in order); fontTable: the records of
// the note's "$Fonts" item, which names the faces beyond the five standard ones. Text is
// decoded with decode (LMBCS when none is given).
RichHtml RichTextToHtml(std::span<const std::uint8_t> records,
                        std::span<const std::uint8_t> fontTable = {},
                        const TextDecoder& decode = {}, const RichTextLimits& limits = {});

}  // namespace velmora::richtext
