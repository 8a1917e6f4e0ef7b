#include "NsfTestSupport.h"

#include "components/nsf/Blocks.h"
#include "components/nsf/Cx.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfSession.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstring>
#include <functional>

using namespace velmora::nsf;
using velmora::notes::NotesError;
using velmora::nsf::test::ReadAll;
using velmora::nsf::test::Sample;

namespace {

constexpr qsizetype kBdb1 = 0x23000;
constexpr qsizetype kBdb2 = 0x24000;
constexpr qsizetype kSuper1 = 0x400;
constexpr qsizetype kSuper2 = 0x8400;

std::uint8_t* At(QByteArray& file, qsizetype at) {
    return reinterpret_cast<std::uint8_t*>(file.data()) + at;
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// Stores `plain` as the descriptor block copy at `at`, compressed as literals with the
// given header, its sizes and both checksums made to match.
void StoreDescriptorBlock(QByteArray& file, qsizetype at, const std::vector<std::uint8_t>& plain,
                          std::uint32_t header) {
    std::uint8_t* b = At(file, at);
    const auto data = velmora::nsf::test::Compress(plain, header);
    const auto n = static_cast<std::uint32_t>(data.size());
    Put32(b + 6, static_cast<std::uint32_t>(plain.size()));
    Put32(b + 14, n + 82);
    Put32(b + 54, XorWords({b, 54}));
    Put32(b + 66, n);
    std::memcpy(b + 70, data.data(), n);
    std::memcpy(b + 70 + n, b + 18, 8);
    Put32(b + 78 + n, XorWords({b + 66, n + 4}));
}

std::vector<std::uint8_t> PlainDescriptorBlock(QByteArray& file, qsizetype at) {
    const std::uint8_t* b = At(file, at);
    const std::span<const std::uint8_t> block(b, 0x1000);
    CxFailure failure;
    auto plain = CxDecode(block.subspan(70, Le32(block, 66)), Le32(block, 6), failure);
    EXPECT_TRUE(plain.has_value()) << failure.reason.toStdString();
    return plain.value_or(std::vector<std::uint8_t>{});
}

void Noise(QByteArray& file, qsizetype at, qsizetype n, quint32 seed) {
    QRandomGenerator random(seed);
    for (qsizetype i = 0; i < n && at + i < file.size(); ++i) {
        file[at + i] = static_cast<char>(random.bounded(256));
    }
}

struct DamageRow {
    const char* what;
    const char* file;
    std::function<void(QByteArray&)> damage;
    // A part of the reason when the file must be refused; nullptr when it must open.
    const char* refusal;
    std::function<void(const NsfDatabase&)> check;
};

// Damage of each structure the reader relies on ends in a reason, or in the intact part
// with what is lost counted.
TEST(nsf_Damage, EachStructureEndsInAReasonOrTheIntactPart) {
    const std::vector<DamageRow> rows = {
        {"one descriptor copy with a broken header", "hfinn.nsf",
         [](QByteArray& f) { f[kBdb1 + 30] = static_cast<char>(f[kBdb1 + 30] ^ 0x10); }, nullptr,
         [](const NsfDatabase& db) { EXPECT_EQ(db.Names().names.size(), 44u); }},
        {"both descriptor copies with broken data", "hfinn.nsf",
         [](QByteArray& f) {
             f[kBdb1 + 200] = static_cast<char>(f[kBdb1 + 200] ^ 0x04);
             f[kBdb2 + 200] = static_cast<char>(f[kBdb2 + 200] ^ 0x04);
         },
         // The copy written last (at 0x24000) is tried first.
         "is damaged: its bucket descriptor block at 0x24000: its data checksum does not match; "
         "its bucket descriptor block at 0x23000: its data checksum does not match",
         nullptr},
        {"descriptor data of an unknown kind", "hfinn.nsf",
         [](QByteArray& f) {
             const auto plain = PlainDescriptorBlock(f, kBdb1);
             StoreDescriptorBlock(f, kBdb1, plain, 5);
             StoreDescriptorBlock(f, kBdb2, plain, 5);
         },
         "uses a form of compression (its bucket descriptor block at 0x24000: compression "
         "header 5",
         nullptr},
        {"descriptor names out of step", "hfinn.nsf",
         [](QByteArray& f) {
             auto plain = PlainDescriptorBlock(f, kBdb1);
             plain[12 * 8 + 10 * 3] = 99;  // the fourth name's text offset
             StoreDescriptorBlock(f, kBdb1, plain, 4);
             StoreDescriptorBlock(f, kBdb2, plain, 4);
         },
         "item name 3 is recorded at text offset 99, where 25 belongs", nullptr},
        {"both superblocks damaged: the walk finds the same notes", "hfinn.nsf",
         [](QByteArray& f) {
             f[kSuper1 + 300] = static_cast<char>(f[kSuper1 + 300] ^ 1);
             f[kSuper2 + 300] = static_cast<char>(f[kSuper2 + 300] ^ 1);
         },
         nullptr,
         [](const NsfDatabase& db) {
             EXPECT_FALSE(db.UsesSuperblock());
             EXPECT_EQ(db.Notes().size(), 25u);
             ASSERT_NE(db.FindNote(0x20FA), nullptr);
             EXPECT_EQ(db.Items(*db.FindNote(0x20FA)).size(), 14u);
             EXPECT_TRUE(db.Damage().reasons.join(' ').contains(QLatin1String("superblock")));
         }},
        {"cut short before the memo's bucket", "hfinn.nsf",
         [](QByteArray& f) { f.truncate(0x68000); }, nullptr,
         [](const NsfDatabase& db) {
             EXPECT_EQ(db.FindNote(0x20FA), nullptr);
             EXPECT_EQ(db.Damage().buckets, 1);
             // The relocation buckets place the memo in the bucket that was lost.
             EXPECT_EQ(db.Damage().documents, 1u);
         }},
        {"cut short before the descriptor blocks", "hfinn.nsf",
         [](QByteArray& f) { f.truncate(0x20000); },
         "(the file is cut short: 131072 of its 524288 bytes)", nullptr},
        {"a summary bucket's records overwritten", "MIMEMsg.nsf",
         [](QByteArray& f) { Noise(f, 0x2d000 + 0x734, 0x200, 3); }, nullptr,
         [](const NsfDatabase& db) {
             EXPECT_EQ(db.FindNote(0x8F6), nullptr);
             EXPECT_NE(db.FindNote(0x8FA), nullptr);
             EXPECT_EQ(db.Damage().documents, 1u);
             EXPECT_EQ(db.Damage().reasons,
                       QStringList{QStringLiteral("its summary bucket at 0x2d000 holds 1 "
                                                  "damaged records")});
         }},
        {"every summary bucket enciphered", "hfinn.nsf",
         [](QByteArray& f) {
             for (const qsizetype bucket : {0x38000, 0x5d000, 0x69000}) {
                 Noise(f, bucket, 0x2000, static_cast<quint32>(bucket));
             }
         },
         "is locally encrypted", nullptr},
        {"both descriptor copies enciphered", "hfinn.nsf",
         [](QByteArray& f) {
             Noise(f, kBdb1, 0x1000, 1);
             Noise(f, kBdb2, 0x1000, 2);
         },
         "is locally encrypted", nullptr},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const DamageRow& row : rows) {
        SCOPED_TRACE(row.what);
        QByteArray bytes = ReadAll(Sample(row.file));
        row.damage(bytes);
        const QString path = dir.filePath(QStringLiteral("damaged.nsf"));
        velmora::nsf::test::WriteAll(path, bytes);
        try {
            const auto db = NsfDatabase::Open(path);
            EXPECT_EQ(row.refusal, nullptr) << "opened";
            if (row.check) {
                row.check(*db);
            }
        } catch (const NotesError& e) {
            ASSERT_NE(row.refusal, nullptr) << e.what();
            EXPECT_TRUE(e.Message().contains(QLatin1String(row.refusal))) << e.what();
        }
    }
}

struct TimeRow {
    const char* what;
    std::uint16_t type;
    std::vector<std::uint32_t> words;  // time, date pairs (after a range header for ranges)
    const char* reason;
};

std::vector<std::uint8_t> Value(const TimeRow& row) {
    std::vector<std::uint8_t> v;
    if (row.type == kTypeTimeRange) {
        v = {0, 0, 1, 0};  // no list entries, one pair
    }
    for (const std::uint32_t w : row.words) {
        for (int i = 0; i < 4; ++i) {
            v.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
        }
    }
    return v;
}

// A time value that makes no sense reads as damaged with its reason: never a hang (a
// zone byte out of range with the summer-time flag once made the weekday search endless).
TEST(nsf_Damage, TimeValuesThatMakeNoSenseAreDamaged) {
    const std::vector<TimeRow> rows = {
        {"zone 15 hours, summer time", kTypeTime, {0x0070BA8Cu, 0x8F255D55u}, "zone byte 0x8f"},
        {"zone 15:45 east, summer time", kTypeTime, {0x0070BA8Cu, 0xFF255D55u}, "zone byte 0xff"},
        {"in a range",
         kTypeTimeRange,
         {0x0070BA8Cu, 0x85255D55u, 0x0070BA8Cu, 0xCF255D55u},
         "zone byte 0xcf"},
        {"a time beyond one day", kTypeTime, {24u * 3600 * 100, 0x85255D55u}, "beyond one day"},
        {"zone 14 hours east, summer time", kTypeTime, {0x0070BA8Cu, 0xCE255D55u}, nullptr},
        {"the least value, day 0", kTypeTime, {0, 0}, nullptr},
    };
    for (const TimeRow& row : rows) {
        SCOPED_TRACE(row.what);
        const auto value = Value(row);
        if (row.reason == nullptr) {
            // A real zone reads; the least value is no date at all.
            const auto values = DecodeValues(row.type, value);
            ASSERT_EQ(values.size(), row.words[1] == 0 ? 0u : 1u);
            if (!values.empty()) {
                EXPECT_EQ(std::get<QDateTime>(values[0]).offsetFromUtc(), 14 * 3600);
            }
            continue;
        }
        try {
            DecodeValues(row.type, value);
            ADD_FAILURE() << "read";
        } catch (const NotesError& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String(row.reason))) << e.what();
        }
    }
    // The same two changed bytes in a real memo: its date is refused, nothing hangs.
    QByteArray bytes = ReadAll(Sample("hfinn.nsf"));
    // The memo's PostedDate (the same value earlier in the file is a view's copy).
    const qsizetype posted = bytes.lastIndexOf(QByteArray::fromHex("8cba7000555d2585"));
    ASSERT_EQ(posted, 0x69971);
    bytes[posted + 7] = static_cast<char>(0x8F);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("zone.nsf"));
    velmora::nsf::test::WriteAll(path, bytes);
    FileSession session;
    const auto memo = session.GetDatabase(QString(), path)
                          ->GetView(QString::fromLatin1(kAllMailFolder))
                          ->GetFirstDocument();
    ASSERT_NE(memo, nullptr);
    EXPECT_THROW(memo->GetItemValue(QStringLiteral("PostedDate")), NotesError);
    EXPECT_EQ(velmora::notes::FirstValueText(memo->GetItemValue(QStringLiteral("From"))),
              QStringLiteral("Martin Cox"));
}

// Opens a damaged copy and reads everything of it, as the reader and as the object model:
// a reason or some notes, never a crash, a hang, or more than the file holds.
class nsf_DamagedCopies : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        m_original = ReadAll(Sample(GetParam()));
        ASSERT_TRUE(m_dir.isValid());
    }

    void Check(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("damaged.nsf"));
        velmora::nsf::test::WriteAll(path, bytes);
        try {
            const auto db = NsfDatabase::Open(path);
            for (const NoteRecord& note : db->Notes()) {
                EXPECT_LE(note.offset + note.size, static_cast<std::uint64_t>(bytes.size()));
                try {
                    for (const NoteItem& item : db->Items(note)) {
                        try {
                            DecodeValues(item.type, item.value);
                        } catch (const NotesError& e) {
                            EXPECT_FALSE(e.Message().isEmpty());
                        }
                    }
                } catch (const NotesError& e) {
                    EXPECT_FALSE(e.Message().isEmpty());
                }
            }
            ++m_opened;
        } catch (const NotesError& e) {
            EXPECT_FALSE(e.Message().isEmpty());
            ++m_refused;
        }
        try {
            FileSession session;
            const auto db = session.GetDatabase(QString(), path);
            db->Title();
            for (const auto& view : db->Views().value_or(velmora::notes::ViewList{})) {
                for (auto doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
                    try {
                        doc->GetItemValue(QStringLiteral("Body"));
                        doc->GetItemValue(QStringLiteral("Subject"));
                        doc->GetItemValue(QStringLiteral("PostedDate"));
                    } catch (const NotesError&) {
                    }
                }
            }
        } catch (const NotesError& e) {
            EXPECT_FALSE(e.Message().isEmpty());
        }
    }

    QByteArray m_original;
    QTemporaryDir m_dir;
    int m_opened = 0;
    int m_refused = 0;
};

TEST_P(nsf_DamagedCopies, TruncatedFlippedZeroedAndFilled) {
    const qsizetype size = m_original.size();
    for (qsizetype cut : {qsizetype{0}, qsizetype{5}, qsizetype{0x3FF}, size / 2, size - 1}) {
        Check(m_original.left(cut));
    }
    for (qsizetype cut = 0x400; cut < size; cut += 0x3100) {
        Check(m_original.left(cut));
    }
    EXPECT_GT(m_refused, 0);
    EXPECT_GT(m_opened, 0);
    QRandomGenerator random(20261209);
    for (int round = 0; round < 30; ++round) {
        QByteArray copy = m_original;
        for (int i = 0; i < 64; ++i) {
            const auto at = static_cast<qsizetype>(random.bounded(copy.size()));
            copy[at] = static_cast<char>(copy[at] ^ (1 << random.bounded(8)));
        }
        Check(copy);
    }
    for (qsizetype page = 0; page < size; page += 0x3000) {
        for (const char fill : {'\0', '\xff'}) {
            QByteArray copy = m_original;
            copy.replace(page, std::min<qsizetype>(0x1000, size - page), QByteArray(0x1000, fill));
            Check(copy.left(size));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, nsf_DamagedCopies,
                         ::testing::Values("hfinn.nsf", "MIMEMsg.nsf", "findKeyEx4.nsf",
                                           "jnx-sample.nsf"));

}  // namespace
