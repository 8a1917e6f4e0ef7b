#include "components/nsf/Values.h"

#include "components/nsf/NsfFile.h"
#include "components/nsf/TimeDate.h"
#include "components/richtext/Lmbcs.h"
#include "notes/NotesError.h"

#include <algorithm>
#include <cstring>

namespace velmora::nsf {

using notes::NotesError;
using notes::NotesValues;

namespace {

constexpr std::uint8_t kCdParagraph = 0x81;
constexpr std::uint8_t kCdText = 0x85;

[[noreturn]] void Short(const char* what) {
    throw NotesError(QStringLiteral("An item value is damaged: its %1 runs past its end")
                         .arg(QLatin1String(what)));
}

double Number(std::span<const std::uint8_t> b, std::size_t at) {
    double value = 0;
    std::memcpy(&value, b.data() + at, sizeof value);
    return value;
}

void AddTime(NotesValues& out, std::span<const std::uint8_t> b, std::size_t at) {
    QString damage;
    if (auto value = ToDateTime({Le32(b, at), Le32(b, at + 4)}, &damage)) {
        out.emplace_back(*value);
    } else if (!damage.isEmpty()) {
        throw NotesError(QStringLiteral("An item value is damaged: %1").arg(damage));
    }
}

// RANGE: list entries, then range entries (pairs), of `size` bytes each.
template <typename Add>
void Range(std::span<const std::uint8_t> v, std::size_t size, Add add) {
    if (v.size() < 4) {
        Short("range header");
    }
    const std::size_t list = Le16(v, 0);
    const std::size_t pairs = Le16(v, 2);
    if (v.size() - 4 < (list + 2 * pairs) * size) {
        Short("range");
    }
    for (std::size_t i = 0; i < list + 2 * pairs; ++i) {
        add(4 + i * size);
    }
}

// One CD record's header and total length at `at`; false when none fits.
bool Record(std::span<const std::uint8_t> r, std::size_t at, std::size_t& header,
            std::size_t& length) {
    if (r.size() - at < 2) {
        return false;
    }
    const std::uint8_t form = r[at + 1];
    header = 2;
    length = form;
    if (form == 0xFF) {
        if (r.size() - at < 4) {
            return false;
        }
        header = 4;
        length = Le16(r, at + 2);
    } else if (form == 0) {
        if (r.size() - at < 6) {
            return false;
        }
        header = 6;
        length = Le32(r, at + 2);
    }
    return length >= header && length <= r.size() - at;
}

}  // namespace

bool IsKnownType(std::uint16_t type) {
    const std::uint16_t kind = type >> 8;
    const std::uint16_t sub = type & 0xFF;
    switch (kind) {
        case 0:
            return sub >= 0x01 && sub <= 0x1A;
        case 3:
        case 4:
            return sub <= 1;
        case 5:
            return sub <= 2;
        case 6:
        case 7:
            return sub == 0;
        default:
            return false;
    }
}

bool IsExactList(std::span<const std::uint8_t> v) {
    if (v.size() < 2) {
        return false;
    }
    const std::size_t count = Le16(v, 0);
    if (v.size() - 2 < 2 * count) {
        return false;
    }
    std::size_t total = 2 + 2 * count;
    for (std::size_t i = 0; i < count; ++i) {
        total += Le16(v, 2 + 2 * i);
    }
    return total == v.size();
}

bool IsExactRange(std::span<const std::uint8_t> v, std::size_t size) {
    if (v.size() < 4) {
        return false;
    }
    const std::size_t entries = std::size_t{Le16(v, 0)} + 2 * std::size_t{Le16(v, 2)};
    return v.size() - 4 == entries * size;
}

bool LooksLikeRichText(std::span<const std::uint8_t> r) {
    std::size_t at = 0;
    int records = 0;
    while (at < r.size()) {
        std::size_t header = 0;
        std::size_t length = 0;
        if (r[at] == 0) {
            // Only zero padding may follow the last record.
            return records > 0 && std::all_of(r.begin() + static_cast<std::ptrdiff_t>(at), r.end(),
                                              [](std::uint8_t b) { return b == 0; });
        }
        if ((r[at] & 0x80) == 0 || !Record(r, at, header, length)) {
            return false;
        }
        ++records;
        at += length + (length & 1);
    }
    return records > 0;
}

NotesValues DecodeValues(std::uint16_t type, std::span<const std::uint8_t> v) {
    NotesValues out;
    switch (type) {
        case kTypeText: {
            QString text = richtext::FromLmbcs(v);
            out.emplace_back(text);
            break;
        }
        case kTypeTextList: {
            // A name's type is kept once per database, and the same name can hold plain
            // text in other notes: a value that is no exact list reads as text.
            if (!IsExactList(v)) {
                out.emplace_back(richtext::FromLmbcs(v));
                break;
            }
            const std::size_t count = Le16(v, 0);
            std::size_t at = 2 + 2 * count;
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t length = Le16(v, 2 + 2 * i);
                out.emplace_back(richtext::FromLmbcs(v.subspan(at, length)));
                at += length;
            }
            break;
        }
        case kTypeNumber:
            if (v.size() < 8) {
                Short("number");
            }
            out.emplace_back(Number(v, 0));
            break;
        case kTypeNumberRange:
            Range(v, 8, [&](std::size_t at) { out.emplace_back(Number(v, at)); });
            break;
        case kTypeTime:
            if (v.size() < 8) {
                Short("time");
            }
            AddTime(out, v, 0);
            break;
        case kTypeTimeRange:
            Range(v, 8, [&](std::size_t at) { AddTime(out, v, at); });
            break;
        case kTypeComposite:
            out.emplace_back(RichTextToPlain(v));
            break;
        default:
            break;
    }
    return out;
}

QString RichTextToPlain(std::span<const std::uint8_t> r) {
    QString text;
    bool paragraphs = false;
    std::size_t at = 0;
    std::size_t header = 0;
    std::size_t length = 0;
    // A record shorter than its header, or past the end, ends what can be read.
    while (Record(r, at, header, length)) {
        const std::uint8_t signature = r[at];
        if (signature == kCdParagraph) {
            // A paragraph starts: a line ends if anything came before it.
            if (paragraphs || !text.isEmpty()) {
                text += QLatin1Char('\n');
            }
            paragraphs = true;
        } else if (signature == kCdText && length >= header + 4) {
            QString run = richtext::FromLmbcs(r.subspan(at + header + 4, length - header - 4));
            // Inside a run a NUL is a line break.
            run.replace(QChar(0), QLatin1Char('\n'));
            text += run;
        }
        // Records are padded to an even length.
        at += length + (length & 1);
        if (at >= r.size()) {
            break;
        }
    }
    return text;
}

}  // namespace velmora::nsf
