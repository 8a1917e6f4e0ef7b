#include "components/mailconverter/pdf/FontTables.h"

#include <algorithm>

namespace velmora::mailconverter {

namespace {

// A CFF INDEX: where its entries start and end.
struct CffIndex {
    qsizetype end = -1;
    qsizetype firstData = 0;  // where the first entry starts
    std::vector<uint32_t> offsets;
};

CffIndex ReadIndex(const QByteArray& cff, qsizetype at) {
    CffIndex index;
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
    return index.end <= cff.size() ? index : CffIndex{};
}

// What the top dictionary says of the charset.
struct CffTop {
    bool cidKeyed = false;
    qsizetype charset = 0;
    qsizetype charStrings = 0;
};

// One operand at `at`, which moves past it; nothing for a byte that starts none.
std::optional<double> ReadOperand(const QByteArray& cff, qsizetype& at, qsizetype end) {
    const uint8_t b0 = uint8_t(cff[at]);
    if (b0 == 28) {
        at += 3;
        return ReadS16(cff, at - 2);
    }
    if (b0 == 29) {
        at += 5;
        return static_cast<int32_t>(ReadU(cff, at - 4, 4));
    }
    if (b0 == 30) {
        ++at;  // a real: nibbles up to an end nibble; never an offset
        while (at < end && (uint8_t(cff[at]) & 0x0F) != 0x0F && (uint8_t(cff[at]) & 0xF0) != 0xF0) {
            ++at;
        }
        ++at;
        return 0;
    }
    if (b0 >= 32 && b0 <= 246) {
        ++at;
        return b0 - 139;
    }
    if (b0 >= 247 && b0 <= 250) {
        at += 2;
        return (b0 - 247) * 256 + int(ReadU(cff, at - 1, 1)) + 108;
    }
    if (b0 >= 251 && b0 <= 254) {
        at += 2;
        return -(b0 - 251) * 256 - int(ReadU(cff, at - 1, 1)) - 108;
    }
    return std::nullopt;
}

// The top dictionary: operands, then their operator.
std::optional<CffTop> ReadTop(const QByteArray& cff, qsizetype at, qsizetype end) {
    CffTop top;
    std::vector<double> operands;
    while (at < end) {
        const uint8_t b0 = uint8_t(cff[at]);
        if (b0 > 21) {
            const std::optional<double> operand = ReadOperand(cff, at, end);
            if (!operand) {
                return std::nullopt;
            }
            operands.push_back(*operand);
            continue;
        }
        int op = b0;
        ++at;
        if (b0 == 12) {
            op = 1200 + int(ReadU(cff, at, 1));
            ++at;
        }
        if (op == 1230) {
            top.cidKeyed = true;
        } else if (op == 15 && !operands.empty()) {
            top.charset = qsizetype(operands.back());
        } else if (op == 17 && !operands.empty()) {
            top.charStrings = qsizetype(operands.back());
        }
        operands.clear();
    }
    return top;
}

// The CIDs of `count` glyphs from the charset at `charset`.
std::optional<std::vector<uint16_t>> CharsetCids(const QByteArray& cff, qsizetype charset,
                                                 size_t count) {
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

}  // namespace

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

std::optional<std::vector<uint16_t>> CffCids(const QByteArray& cff) {
    if (cff.size() < 4) {
        return std::nullopt;
    }
    const CffIndex names = ReadIndex(cff, uint8_t(cff[2]));
    if (names.end < 0) {
        return std::nullopt;
    }
    const CffIndex tops = ReadIndex(cff, names.end);
    if (tops.end < 0 || tops.offsets.size() < 2) {
        return std::nullopt;
    }
    const std::optional<CffTop> top =
        ReadTop(cff, tops.firstData + tops.offsets[0], tops.firstData + tops.offsets[1]);
    if (!top) {
        return std::nullopt;
    }
    if (!top->cidKeyed) {
        return std::vector<uint16_t>();
    }
    const CffIndex glyphs = ReadIndex(cff, top->charStrings);
    if (top->charStrings <= 0 || glyphs.end < 0 || top->charset <= 2 ||
        top->charset >= cff.size()) {
        return std::nullopt;
    }
    const size_t count = glyphs.offsets.empty() ? 0 : glyphs.offsets.size() - 1;
    return CharsetCids(cff, top->charset, count);
}

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
            pairs.reserve(pairs.size() + count);
            const auto* bytes = reinterpret_cast<const uchar*>(kern.constData());
            for (uint32_t i = 0; i < count && at + 14 + qsizetype(i + 1) * 6 <= kern.size(); ++i) {
                const uchar* p = bytes + at + 14 + qsizetype(i) * 6;
                pairs.emplace_back(
                    uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3],
                    int16_t(uint16_t(p[4] << 8 | p[5])));
            }
        }
        if (length < 6) {
            break;
        }
        at += length;
    }
    // Fonts store their pairs sorted; sorting them anyway cost a one-message process more
    // than reading them.
    if (!std::is_sorted(pairs.begin(), pairs.end())) {
        std::sort(pairs.begin(), pairs.end());
    }
    return pairs;
}

}  // namespace velmora::mailconverter
