#include "NsfTestSupport.h"

#include "components/nsf/Cx.h"
#include "components/nsf/Lmbcs.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/TimeDate.h"
#include "notes/NotesError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <array>

using namespace velmora::nsf;
using velmora::notes::NotesError;

namespace {

struct TimeCase {
    const char* what;
    std::uint32_t time;
    std::uint32_t date;
    QDateTime expected;
    int offsetSeconds;
};

TEST(nsf_TimeDate, ConvertsToTheWritersZone) {
    const std::array cases = {
        // The two examples of the published TIMEDATE description.
        TimeCase{"Eastern, December", 0x006CDCC0u, 0x852563FCu,
                 QDateTime(QDate(1996, 12, 10), QTime(14, 49, 4), QTimeZone(-5 * 3600)), -5 * 3600},
        // The published India example gives 0x0032B864 for a time its text calls
        // 9:19:04 GMT; that word is 9:14:10, so the stated time is used here.
        TimeCase{"India, half hour east", 0x00332F20u, 0x652563FCu,
                 QDateTime(QDate(1996, 12, 10), QTime(14, 49, 4), QTimeZone(19800)), 19800},
        // hfinn.nsf's PostedDate: Eastern zone in April, so summer time.
        TimeCase{"Eastern, April", 0x0070BA8Cu, 0x85255D55u,
                 QDateTime(QDate(1992, 4, 12), QTime(16, 31, 17, 880), QTimeZone(-4 * 3600)),
                 -4 * 3600},
        TimeCase{"no time", 0xFFFFFFFFu, 0x852563FCu,
                 QDateTime(QDate(1996, 12, 10), QTime(0, 0), QTimeZone(-5 * 3600)), -5 * 3600},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto value = ToDateTime({c.time, c.date});
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, c.expected);
        EXPECT_EQ(value->date(), c.expected.date());
        EXPECT_EQ(value->time(), c.expected.time());
        EXPECT_EQ(value->offsetFromUtc(), c.offsetSeconds);
    }
    EXPECT_FALSE(ToDateTime({0u, 0xFFFFFFFFu}).has_value()) << "no date";
    EXPECT_FALSE(ToDateTime({24u * 3600 * 100, 0x852563FCu}).has_value()) << "beyond a day";
}

TEST(nsf_Lmbcs, ConvertsTextThroughIcu) {
    const std::array<std::uint8_t, 5> ascii = {'M', 'e', 'm', 'o', '!'};
    EXPECT_EQ(FromLmbcs(ascii), QStringLiteral("Memo!"));
    // Group 1 (code page 850) bytes stand for themselves in LMBCS-1.
    const std::array<std::uint8_t, 3> accented = {'G', 0x81, 'r'};
    EXPECT_EQ(FromLmbcs(accented), QString::fromUtf8("G\u00fcr"));
    EXPECT_TRUE(FromLmbcs({}).isEmpty());
}

TEST(nsf_Open, RefusesWhatIsNotADatabase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("mail.nsf"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("SQLite format 3\0 plus something longer than a header would be", 62);
    }
    EXPECT_FALSE(LooksLikeNsf(text));
    EXPECT_THROW(NsfDatabase::Open(text), NotesError);
    EXPECT_THROW(NsfDatabase::Open(dir.filePath(QStringLiteral("missing.nsf"))), NotesError);

    // A signature with nothing behind it is a truncated database, not a crash.
    const QString stub = dir.filePath(QStringLiteral("stub.nsf"));
    {
        QFile f(stub);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x1a\x00\x00\x04\x00\x00", 6);
    }
    EXPECT_TRUE(LooksLikeNsf(stub));
    try {
        NsfDatabase::Open(stub);
        FAIL() << "a 6-byte file opened";
    } catch (const NotesError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("outside the file"))) << e.what();
    }
}

struct SampleRow {
    const char* file;
    std::uint32_t ods;
    int documents;  // from the samples' README; -1 where it gives no count
};

// Every sample opens, records its bucket descriptor blocks inside the file and lists
// notes; where the samples' README states a document count, the walk finds exactly it.
TEST(nsf_Samples, OpenAndListTheirNotes) {
    const std::array rows = {
        SampleRow{"hfinn.nsf", 43, 1},          SampleRow{"MIMEMsg.nsf", 43, 3},
        SampleRow{"richtext.nsf", 43, 1},       SampleRow{"attachment.nsf", 43, 3},
        SampleRow{"notesflo.nsf", 43, 1},       SampleRow{"ftsearch.nsf", 43, 16},
        SampleRow{"findKeyEx4.nsf", 53, 69},    SampleRow{"nf_doc.nsf", 41, -1},
        SampleRow{"discuss.nsf", 43, -1},       SampleRow{"problems.nsf", 43, -1},
        SampleRow{"picture.nsf", 43, -1},       SampleRow{"embedole.nsf", 43, -1},
        SampleRow{"encrypt.nsf", 43, -1},       SampleRow{"billdrv.nsf", 43, -1},
        SampleRow{"msearch.nsf", 43, -1},       SampleRow{"jnx-sample.nsf", 52, -1},
        SampleRow{"jnx-signeddoc.nsf", 55, -1}, SampleRow{"jnx-invalidtimedate.nsf", 52, -1},
    };
    VELMORA_REQUIRE_SAMPLE(first, "hfinn.nsf");
    for (const SampleRow& row : rows) {
        SCOPED_TRACE(row.file);
        const QString path = velmora::nsf::test::Sample(QString::fromLatin1(row.file));
        ASSERT_FALSE(path.isEmpty()) << "the sample folder lacks " << row.file;
        EXPECT_TRUE(LooksLikeNsf(path));
        const auto db = NsfDatabase::Open(path);
        EXPECT_EQ(db->Header().odsVersion, row.ods);
        // findKeyEx4.nsf has an empty info text; the others a title line.
        EXPECT_EQ(db->Header().Title().isEmpty(), QByteArray(row.file) == "findKeyEx4.nsf");
        ASSERT_FALSE(db->Header().descriptorBlocks.empty());
        const auto notes = db->Notes();
        EXPECT_EQ(db->Damage(), 0);
        EXPECT_FALSE(notes.empty());
        for (const NoteRecord& note : notes) {
            EXPECT_GE(note.size, 100u);
            EXPECT_LE(note.offset + note.size, db->File().Size());
        }
        if (row.documents >= 0) {
            EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                                    [](const NoteRecord& n) { return n.IsDocument(); }),
                      row.documents);
        }
    }
}

// The names' text closes every descriptor block: the decoder must run through the whole
// stream to reach it, past the marker codes some writers leave mid-stream.
TEST(nsf_Samples, DescriptorBlocksDecodeToTheirNamesText) {
    const std::array files = {
        "hfinn.nsf",      "MIMEMsg.nsf",       "richtext.nsf",
        "attachment.nsf", "notesflo.nsf",      "ftsearch.nsf",
        "findKeyEx4.nsf", "nf_doc.nsf",        "discuss.nsf",
        "problems.nsf",   "picture.nsf",       "embedole.nsf",
        "encrypt.nsf",    "billdrv.nsf",       "msearch.nsf",
        "jnx-sample.nsf", "jnx-signeddoc.nsf", "jnx-invalidtimedate.nsf",
    };
    VELMORA_REQUIRE_SAMPLE(first, "hfinn.nsf");
    for (const char* file : files) {
        SCOPED_TRACE(file);
        const QString path = velmora::nsf::test::Sample(QString::fromLatin1(file));
        ASSERT_FALSE(path.isEmpty()) << "the sample folder lacks " << file;
        const auto db = NsfDatabase::Open(path);
        const FileBlock block = db->Header().descriptorBlocks.front();
        const auto bytes = db->File().Bytes(block.offset, block.size, "a descriptor block");
        ASSERT_GE(bytes.size(), 74u);
        const std::uint32_t textSize = bytes[34] | bytes[35] << 8;
        const std::uint32_t packed = bytes[66] | bytes[67] << 8 | bytes[68] << 16;
        ASSERT_LE(packed, bytes.size() - 74);
        QString why;
        const auto plain = CxDecompress(bytes.subspan(74, packed), 1 << 20, &why);
        ASSERT_TRUE(plain.has_value()) << why.toStdString();
        const std::vector<std::uint8_t>& out = plain->bytes;
        ASSERT_GT(out.size(), textSize);
        // The text is a zero-free run of its recorded size opening on a '$' name, its size's
        // low byte four bytes before it.
        int found = 0;
        for (std::size_t at = 4; at + textSize <= out.size(); ++at) {
            if (out[at] == '$' && out[at - 4] == (textSize & 0xFF) &&
                std::find(out.begin() + at, out.begin() + at + textSize, 0) ==
                    out.begin() + at + textSize) {
                ++found;
            }
        }
        EXPECT_EQ(found, 1) << "decoded " << out.size() << " bytes, no names' text of " << textSize
                            << " bytes";
    }
}

TEST(nsf_Samples, HfinnHeaderAndItsOneMemo) {
    VELMORA_REQUIRE_SAMPLE(path, "hfinn.nsf");
    const auto db = NsfDatabase::Open(path);
    const DatabaseHeader& header = db->Header();
    EXPECT_EQ(header.headerSize, 0x400u);
    EXPECT_EQ(header.Title(), QStringLiteral("Huckleberry Finn"));
    ASSERT_GE(header.infoLines.size(), 2);
    EXPECT_EQ(header.infoLines[1], QStringLiteral("#2StdNotesMail"));
    ASSERT_EQ(header.superblocks.size(), 3u);
    EXPECT_EQ(header.superblocks[0].offset, 0x400u);
    EXPECT_EQ(header.superblocks[1].offset, 0x8400u);
    ASSERT_EQ(header.descriptorBlocks.size(), 2u);
    EXPECT_EQ(header.descriptorBlocks[0].offset, 0x23000u);
    EXPECT_EQ(header.descriptorBlocks[1].offset, 0x24000u);
    EXPECT_EQ(header.recordedSize, db->File().Size());

    const auto notes = db->Notes();
    const auto memo = std::find_if(notes.begin(), notes.end(),
                                   [](const NoteRecord& n) { return n.IsDocument(); });
    ASSERT_NE(memo, notes.end());
    EXPECT_EQ(memo->id, 0x20FAu);
    EXPECT_EQ(memo->itemCount, 14);
    // The memo's bytes hold its sender and subject as summary text.
    const auto bytes = db->File().Bytes(memo->offset, memo->size, "the memo");
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()),
                         static_cast<qsizetype>(bytes.size()));
    EXPECT_TRUE(raw.contains("Martin Cox"));
    EXPECT_TRUE(raw.contains("Charles Connell"));
}

TEST(nsf_Samples, RichtextHoldsNote212A) {
    VELMORA_REQUIRE_SAMPLE(path, "richtext.nsf");
    const auto notes = NsfDatabase::Open(path)->Notes();
    const auto note = std::find_if(notes.begin(), notes.end(),
                                   [](const NoteRecord& n) { return n.id == 0x212Au; });
    ASSERT_NE(note, notes.end());
    EXPECT_TRUE(note->IsDocument());
}

TEST(nsf_Samples, ReadingNeverChangesTheFile) {
    VELMORA_REQUIRE_SAMPLE(path, "hfinn.nsf");
    const auto digest = [&] {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray before = digest();
    const QDateTime modified = QFileInfo(path).lastModified();
    {
        const auto db = NsfDatabase::Open(path);
        EXPECT_FALSE(db->Notes().empty());
    }
    EXPECT_EQ(digest(), before);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
}

}  // namespace
