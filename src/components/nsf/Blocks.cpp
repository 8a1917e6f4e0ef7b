#include "components/nsf/Blocks.h"

#include "components/nsf/NsfFile.h"

namespace velmora::nsf {

namespace {

constexpr std::uint64_t kUnit = 256;

constexpr std::uint16_t kDescriptorSignature = 0x0001;
constexpr std::size_t kDescriptorHeader = 66;
constexpr std::size_t kDescriptorHeaderChecked = 54;
// Size word, then data, then the TIMEDATE again and the data checksum.
constexpr std::size_t kDescriptorOverhead = kDescriptorHeader + 4 + 12;

constexpr std::uint16_t kSuperblockSignature = 0x000E;
constexpr std::size_t kSuperblockHeader = 100;
constexpr std::size_t kSuperblockOverhead = kSuperblockHeader + 4 + 12;
constexpr std::size_t kSummaryPage = 8206;
constexpr std::size_t kSummaryDescriptorsAt = 224;
constexpr std::size_t kSummaryDescriptor = 14;
constexpr std::size_t kNonSummaryPage = 8198;
constexpr std::size_t kNonSummaryDescriptorsAt = 70;
constexpr std::size_t kNonSummaryDescriptor = 6;
constexpr std::size_t kBitmapDescriptor = 20;

constexpr std::uint16_t kCompressionCx = 1;
// A long copy codes 256 bytes in 25 bits at best: no block expands 32 times.
constexpr std::uint64_t kMaxExpansion = 32;

std::optional<std::vector<std::uint8_t>> Fail(CxFailure& failure, QString reason,
                                              bool unsupported = false) {
    failure.unsupported = unsupported;
    failure.reason = std::move(reason);
    return std::nullopt;
}

// The compressed region of a block: size word at `sizeAt`, data, the header's TIMEDATE
// again (at `timeAt` in the header), then the XOR of the size word and the data.
std::optional<std::vector<std::uint8_t>> Unpack(std::span<const std::uint8_t> stored,
                                                std::size_t sizeAt, std::size_t timeAt,
                                                std::uint32_t size, CxFailure& failure) {
    const std::uint64_t packed = Le32(stored, sizeAt);
    if (packed > stored.size() - sizeAt - 4 - 12) {
        return Fail(failure, QStringLiteral("its %1 bytes of data run past its end").arg(packed));
    }
    const auto region = stored.subspan(sizeAt, 4 + packed);
    const std::size_t after = sizeAt + 4 + packed;
    if (XorWords(region) != Le32(stored, after + 8)) {
        return Fail(failure, QStringLiteral("its data checksum does not match"));
    }
    if (Le32(stored, after) != Le32(stored, timeAt) ||
        Le32(stored, after + 4) != Le32(stored, timeAt + 4)) {
        return Fail(failure, QStringLiteral("its closing date differs from its opening one"));
    }
    if (size > packed * kMaxExpansion + 64) {
        return Fail(
            failure,
            QStringLiteral("%1 bytes cannot expand to the %2 recorded").arg(packed).arg(size));
    }
    return CxDecode(region.subspan(4), size, failure);
}

}  // namespace

std::uint32_t XorWords(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t at = 0;
    for (; at + 4 <= bytes.size(); at += 4) {
        sum ^= Le32(bytes, at);
    }
    for (std::size_t shift = 0; at < bytes.size(); ++at, shift += 8) {
        sum ^= static_cast<std::uint32_t>(bytes[at]) << shift;
    }
    return sum;
}

std::optional<DescriptorBlock> ReadDescriptorBlock(std::span<const std::uint8_t> stored,
                                                   CxFailure& failure) {
    const auto fail = [&](QString reason, bool unsupported = false) {
        Fail(failure, std::move(reason), unsupported);
        return std::nullopt;
    };
    if (stored.size() < kDescriptorOverhead) {
        return fail(QStringLiteral("it is cut short"));
    }
    if (Le16(stored, 0) != kDescriptorSignature) {
        return fail(QStringLiteral("it lacks its signature"));
    }
    if (XorWords(stored.first(kDescriptorHeaderChecked)) !=
        Le32(stored, kDescriptorHeaderChecked)) {
        return fail(QStringLiteral("its header checksum does not match"));
    }
    if (Le16(stored, 4) != kCompressionCx) {
        return fail(QStringLiteral("compression type %1").arg(Le16(stored, 4)), true);
    }
    const std::uint32_t size = Le32(stored, 6);
    const auto plain = Unpack(stored, kDescriptorHeader, 18, size, failure);
    if (!plain) {
        return std::nullopt;
    }
    const std::uint64_t rrv = Le32(stored, 38);
    const std::uint64_t names = Le32(stored, 26);
    const std::uint64_t text = Le32(stored, 34);
    const std::uint64_t hash = Le32(stored, 42);
    if (8 * rrv + 10 * names + 4 + text + 2 * hash != size) {
        return fail(QStringLiteral("its parts do not add up to its %1 bytes").arg(size));
    }
    const std::span<const std::uint8_t> bytes(*plain);
    const std::size_t textAt = 8 * rrv + 10 * names + 4;
    if (Le32(bytes, textAt - 4) != text) {
        return fail(QStringLiteral("its names' text size disagrees with its header"));
    }
    DescriptorBlock block;
    block.writeCount = Le32(stored, 10);
    block.rrvBuckets.reserve(rrv);
    for (std::size_t i = 0; i < rrv; ++i) {
        const std::uint32_t position = Le32(bytes, 8 * i);
        block.rrvBuckets.push_back(
            {(position & ~1u) * kUnit, Le32(bytes, 8 * i + 4), (position & 1u) != 0});
    }
    QString why;
    auto table =
        ReadNameTable(bytes.subspan(8 * rrv, 10 * names), static_cast<std::uint32_t>(names),
                      bytes.subspan(textAt, text), &why);
    if (!table) {
        return fail(why);
    }
    block.names = std::move(*table);
    return block;
}

std::optional<Superblock> ReadSuperblock(std::span<const std::uint8_t> stored, CxFailure& failure) {
    const auto fail = [&](QString reason, bool unsupported = false) {
        Fail(failure, std::move(reason), unsupported);
        return std::nullopt;
    };
    if (stored.size() < kSuperblockOverhead) {
        return fail(QStringLiteral("it is cut short"));
    }
    if (Le16(stored, 0) != kSuperblockSignature) {
        return fail(QStringLiteral("it lacks its signature"));
    }
    if (Le16(stored, 68) != kCompressionCx) {
        return fail(QStringLiteral("compression type %1").arg(Le16(stored, 68)), true);
    }
    const std::uint32_t size = Le32(stored, 10);
    const auto plain = Unpack(stored, kSuperblockHeader, 2, size, failure);
    if (!plain) {
        return std::nullopt;
    }
    const std::uint64_t summaryPages = Le32(stored, 70);
    const std::uint64_t nonSummaryPages = Le32(stored, 74);
    const std::uint64_t bitmaps = Le32(stored, 22);
    std::uint64_t folderAt = kSummaryPage * summaryPages + kNonSummaryPage * nonSummaryPages +
                             kBitmapDescriptor * bitmaps;
    for (const std::size_t at : {26, 42, 46, 50}) {
        folderAt += Le32(stored, at);
    }
    const std::uint64_t folderSize = Le32(stored, 54);
    if (folderAt + folderSize != size) {
        return fail(QStringLiteral("its parts do not add up to its %1 bytes").arg(size));
    }
    const std::span<const std::uint8_t> bytes(*plain);
    const std::uint64_t summary = Le32(stored, 14);
    const std::uint64_t nonSummary = Le32(stored, 18);
    constexpr std::size_t kPerSummaryPage =
        (kSummaryPage - kSummaryDescriptorsAt) / kSummaryDescriptor;
    constexpr std::size_t kPerNonSummaryPage =
        (kNonSummaryPage - kNonSummaryDescriptorsAt) / kNonSummaryDescriptor;
    if (summary > summaryPages * kPerSummaryPage ||
        nonSummary > nonSummaryPages * kPerNonSummaryPage) {
        return fail(QStringLiteral("it records more buckets than its pages hold"));
    }
    Superblock block;
    block.written = (std::uint64_t{Le32(stored, 6) & 0x00FFFFFFu} << 32) | Le32(stored, 2);
    block.summaryBuckets.reserve(summary);
    for (std::size_t i = 0; i < summary; ++i) {
        const std::size_t at = kSummaryPage * (i / kPerSummaryPage) + kSummaryDescriptorsAt +
                               kSummaryDescriptor * (i % kPerSummaryPage);
        block.summaryBuckets.push_back(Le32(bytes, at) * kUnit);
    }
    const std::size_t nonSummaryAt = kSummaryPage * summaryPages;
    block.nonSummaryBuckets.reserve(nonSummary);
    for (std::size_t i = 0; i < nonSummary; ++i) {
        const std::size_t at = nonSummaryAt + kNonSummaryPage * (i / kPerNonSummaryPage) +
                               kNonSummaryDescriptorsAt +
                               kNonSummaryDescriptor * (i % kPerNonSummaryPage);
        block.nonSummaryBuckets.push_back(Le32(bytes, at) * kUnit);
    }
    return block;
}

}  // namespace velmora::nsf
