#include "NsfTestSupport.h"

#include "components/nsf/Blocks.h"
#include "components/nsf/Cx.h"
#include "components/nsf/NsfDatabase.h"

#include <QRandomGenerator>

#include <algorithm>
#include <functional>
#include <string>

using namespace velmora::nsf;
using velmora::nsf::test::BitWriter;

namespace {

std::string Text(const std::vector<std::uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

struct StreamRow {
    const char* what;
    std::function<void(BitWriter&)> write;
    std::size_t size;
    const char* expected;  // the output, or nullptr for a refusal
    const char* reason;    // a part of the refusal's reason
    bool unsupported = false;
};

void Literals(BitWriter& w, const std::string& s) {
    w.Bits(4, 3);
    for (const char c : s) {
        w.Literal(static_cast<std::uint8_t>(c));
    }
}

TEST(nsf_Cx, DecodesAndRefusesAsTheFormatSays) {
    const std::vector<StreamRow> rows = {
        {"literals, a short and a long copy",
         [](BitWriter& w) {
             Literals(w, "abcdefgh");
             w.Bit(true);
             w.Bit(true);
             w.Bits(8, 8);   // "ab"
             w.Copy(6, 10);  // "abcdef"
             w.Copy(4, 1);   // overlapping: "ffff"
             w.End();
         },
         20, "abcdefghababcdefffff", nullptr},
        {"a distance above eight bits",
         [](BitWriter& w) {
             w.Bits(4, 3);
             for (int i = 0; i < 300; ++i) {
                 w.Literal(static_cast<std::uint8_t>('a' + (i * 7) % 26));
             }
             w.Copy(3, 300);
             w.End();
         },
         303, nullptr, nullptr},
        {"another header", [](BitWriter& w) { w.Bits(5, 3); }, 0, nullptr, "header 5", true},
        {"distance 0",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.Bit(true);
             w.Bit(true);
             w.Bits(0, 8);
         },
         4, nullptr, "reaches 0 bytes back"},
        {"distance beyond the output",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.Copy(3, 3);
         },
         5, nullptr, "reaches 3 bytes back, 2 written"},
        {"length code above 257",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.Bit(true);
             w.Bit(false);
             w.Gamma(8, 2, 1);
         },
         300, nullptr, "length code 258"},
        {"output past its size",
         [](BitWriter& w) {
             Literals(w, "abc");
             w.End();
         },
         2, nullptr, "beyond its recorded 2 bytes"},
        {"a copy past its size",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.Copy(8, 2);
         },
         5, nullptr, "beyond its recorded 5 bytes"},
        {"output short of its size",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.End();
         },
         3, nullptr, "expands to 2 bytes, 3 recorded"},
        {"no end code", [](BitWriter& w) { Literals(w, "abc"); }, 3, nullptr, "ends before"},
        {"17 leading zeros",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.Bit(true);
             w.Bit(false);
             w.Bits(0, 16);
             w.Bit(true);
         },
         9, nullptr, "more than 16 leading zeros"},
        {"data after the end code",
         [](BitWriter& w) {
             Literals(w, "ab");
             w.End();
             w.Bits(0, 8);
         },
         2, nullptr, "goes on after its end code"},
    };
    for (const StreamRow& row : rows) {
        SCOPED_TRACE(row.what);
        BitWriter w;
        row.write(w);
        CxFailure failure;
        const auto out = CxDecode(w.Bytes(), row.size, failure);
        if (row.reason == nullptr) {
            ASSERT_TRUE(out.has_value()) << failure.reason.toStdString();
            ASSERT_EQ(out->size(), row.size);
            if (row.expected != nullptr) {
                EXPECT_EQ(Text(*out), row.expected);
            } else {
                EXPECT_TRUE(std::equal(out->end() - 3, out->end(), out->end() - 303));
            }
        } else {
            EXPECT_FALSE(out.has_value());
            EXPECT_TRUE(failure.reason.contains(QLatin1String(row.reason)))
                << failure.reason.toStdString();
            EXPECT_EQ(failure.unsupported, row.unsupported);
        }
    }
}

TEST(nsf_Cx, ArbitraryBytesNeverOverrunTheirSize) {
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(1 + random.bounded(600));
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random.bounded(256));
        }
        bytes[0] = static_cast<std::uint8_t>((bytes[0] & ~7) | 4);  // the known header
        CxFailure failure;
        const std::size_t size = random.bounded(4096);
        const auto out = CxDecode(bytes, size, failure);
        if (out) {
            EXPECT_EQ(out->size(), size);
        } else {
            EXPECT_FALSE(failure.reason.isEmpty());
        }
    }
}

// The worked example of the format notes: hfinn.nsf's first descriptor block opens with
// the first record-relocation descriptor.
TEST(nsf_Cx, HfinnDescriptorBlockOpensWithItsFirstRelocationBucket) {
    const QByteArray file = velmora::nsf::test::ReadAll(velmora::nsf::test::Sample("hfinn.nsf"));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.constData());
    const std::span<const std::uint8_t> block(bytes + 0x23000, 0x1000);
    ASSERT_EQ(Le32(block, 66), 796u);
    CxFailure failure;
    const auto plain = CxDecode(block.subspan(70, 796), Le32(block, 6), failure);
    ASSERT_TRUE(plain.has_value()) << failure.reason.toStdString();
    const std::vector<std::uint8_t> first(plain->begin(), plain->begin() + 8);
    EXPECT_EQ(first, (std::vector<std::uint8_t>{0x21, 0x02, 0, 0, 0x06, 0x01, 0, 0}));
}

struct BlockRow {
    const char* file;
    std::size_t names;  // in the copy written last
    std::size_t summaryBuckets;
    std::vector<std::pair<const char*, std::uint16_t>> typed;  // a few names and types
};

// Every copy of every sample passes both checksums and decodes to its size; the reader
// takes the names of the copy written last and the buckets from the superblock.
TEST(nsf_Blocks, EverySampleReadsItsCopiesAndTheSuperblock) {
    const std::vector<BlockRow> rows = {
        {"hfinn.nsf", 44, 3, {{"Body", 0x0001}, {"CopyTo", 0x0501}, {"PostedDate", 0x0400}}},
        {"MIMEMsg.nsf", 48, 1, {{"Body", 0x0019}, {"$FILE", 0x0003}, {"PostedDate", 0x0400}}},
        {"richtext.nsf", 23, 1, {{"rich_text", 0x0001}}},
        {"attachment.nsf", 44, 1, {{"RTextField", 0x0001}, {"$FILE", 0x0003}}},
        {"notesflo.nsf", 38, 1, {{"$OLEOBJINFO", 0x0001}}},
        {"ftsearch.nsf", 42, 3, {{"$Links", 0x0007}}},
        {"findKeyEx4.nsf", 56, 5, {{"text_list", 0x0501}, {"number", 0x0300}}},
        {"nf_doc.nsf", 27, 1, {}},
        {"discuss.nsf", 37, 2, {}},
        {"problems.nsf", 37, 2, {}},
        {"picture.nsf", 44, 1, {}},
        {"embedole.nsf", 20, 1, {{"Body", 0x0000}, {"$Signature", 0x0008}}},
        {"encrypt.nsf", 23, 1, {}},
        {"billdrv.nsf", 112, 3, {{"$FolderObject", 0x0003}, {"ObsoleteLife", 0x0300}}},
        {"msearch.nsf", 79, 23, {}},
        {"jnx-sample.nsf", 151, 4, {{"$FolderIDTable", 0x0003}}},
        {"jnx-signeddoc.nsf", 18, 1, {}},
        {"jnx-invalidtimedate.nsf", 29, 1, {}},
    };
    ASSERT_EQ(rows.size(), velmora::nsf::test::AllSamples().size());
    for (const BlockRow& row : rows) {
        SCOPED_TRACE(row.file);
        const auto db = NsfDatabase::Open(velmora::nsf::test::Sample(row.file));
        int copies = 0;
        for (const FileBlock& block : db->Header().descriptorBlocks) {
            const auto stored = db->File().Bytes(block.offset, block.size, "a block");
            if (Le16(stored, 0) != 1) {
                continue;  // a slot without a copy (four samples keep one)
            }
            CxFailure failure;
            EXPECT_TRUE(ReadDescriptorBlock(stored, failure).has_value())
                << failure.reason.toStdString();
            ++copies;
        }
        EXPECT_GE(copies, 1);
        int superblocks = 0;
        for (const FileBlock& block : db->Header().superblocks) {
            const auto stored = db->File().Bytes(block.offset, block.size, "a block");
            CxFailure failure;
            superblocks += ReadSuperblock(stored, failure).has_value() ? 1 : 0;
        }
        EXPECT_EQ(superblocks, 2);
        EXPECT_TRUE(db->UsesSuperblock());
        EXPECT_TRUE(db->Damage().reasons.isEmpty()) << db->Damage().reasons.join(' ').toStdString();
        EXPECT_EQ(db->Names().names.size(), row.names);
        for (const auto& [name, type] : row.typed) {
            const auto& names = db->Names().names;
            const auto it = std::find_if(names.begin(), names.end(),
                                         [&](const ItemName& n) { return n.name == name; });
            ASSERT_NE(it, names.end()) << name;
            EXPECT_EQ(it->type, type) << name;
        }
    }
}

// Form names carry the word that marks them, and only they do.
TEST(nsf_Blocks, FormNamesAreMarked) {
    const auto db = NsfDatabase::Open(velmora::nsf::test::Sample("hfinn.nsf"));
    QStringList forms;
    for (const ItemName& name : db->Names().names) {
        if (name.isForm) {
            forms << name.name;
        }
    }
    EXPECT_EQ(forms, QStringList{QStringLiteral("Memo")});
}

}  // namespace
