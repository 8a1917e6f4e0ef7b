#pragma once

// The two compressed structures that map a database: the bucket descriptor block (the
// item-name table and where the record-relocation buckets are) and the superblock (where
// the summary and non-summary buckets are, and the folder directory). Each is kept in
// two copies; checksums over the header and the data tell an intact copy.

#include "components/nsf/Cx.h"
#include "components/nsf/NameTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

struct RrvBucketRef {
    std::uint64_t offset = 0;
    std::uint32_t firstId = 0;
    // Buckets of design and administration notes; the others map documents.
    bool nonData = false;
};

struct DescriptorBlock {
    std::uint32_t writeCount = 0;
    std::vector<RrvBucketRef> rrvBuckets;
    NameTable names;
};

struct Superblock {
    // Date and time of writing, as one number that orders copies.
    std::uint64_t written = 0;
    // File offsets, in the order the buckets' own index (at +2) counts them.
    std::vector<std::uint64_t> summaryBuckets;
    std::vector<std::uint64_t> nonSummaryBuckets;
};

// One stored copy, from its first byte to the end of its slot. Give nothing, with the
// reason (and whether the data is merely of an unknown form) in failure.
std::optional<DescriptorBlock> ReadDescriptorBlock(std::span<const std::uint8_t> stored,
                                                   CxFailure& failure);
std::optional<Superblock> ReadSuperblock(std::span<const std::uint8_t> stored, CxFailure& failure);

// XOR of the little-endian 32-bit words of the bytes, a last partial word padded with zeros.
std::uint32_t XorWords(std::span<const std::uint8_t> bytes);

}  // namespace velmora::nsf
