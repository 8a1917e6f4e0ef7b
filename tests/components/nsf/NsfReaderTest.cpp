#include "NsfTestSupport.h"

#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfSession.h"
#include "components/nsf/TimeDate.h"
#include "components/richtext/Lmbcs.h"
#include "notes/NotesError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <sys/fsuid.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

using namespace velmora::nsf;
using velmora::notes::EmbeddedObjectList;
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

struct LmbcsRow {
    std::optional<std::vector<std::uint8_t>> bytes;  // nothing: only the round trip is checked
    const char* text;                                // UTF-8
};

// The one LMBCS conversion of names, values and rich text, both ways.
TEST(nsf_Lmbcs, ConvertsTextThroughIcuBothWays) {
    const std::vector<LmbcsRow> rows = {
        {std::vector<std::uint8_t>{'M', 'e', 'm', 'o', '!'}, "Memo!"},
        // Group 1 (code page 850) bytes stand for themselves in LMBCS-1.
        {std::vector<std::uint8_t>{'G', 0x81, 'r'}, "G\u00fcr"},
        {std::vector<std::uint8_t>{}, ""},
        // Characters beyond code page 850 travel in other groups and come back whole.
        {std::nullopt, "\u20ac 5, \u65e5\u672c, \u0416"},
    };
    for (const LmbcsRow& row : rows) {
        const QString text = QString::fromUtf8(row.text);
        SCOPED_TRACE(row.text);
        const QByteArray bytes = velmora::richtext::ToLmbcs(text);
        EXPECT_EQ(
            velmora::richtext::FromLmbcs({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())}),
            text);
        if (row.bytes) {
            EXPECT_EQ(velmora::richtext::FromLmbcs(*row.bytes), text);
            EXPECT_EQ(bytes, QByteArray(reinterpret_cast<const char*>(row.bytes->data()),
                                        static_cast<qsizetype>(row.bytes->size())));
        }
    }
}

// File permission checks of this thread as another user, while it lives.
class AsNobody {
  public:
    explicit AsNobody(bool active) : m_active(active) {
        if (m_active) {
            m_previous = setfsuid(65534);
        }
    }
    ~AsNobody() {
        if (m_active) {
            setfsuid(m_previous);
        }
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;

  private:
    bool m_active;
    int m_previous = 0;
};

struct RefusalRow {
    const char* what;
    QByteArray bytes;  // written to the file; a null array makes a folder of that name
    const char* reason;
};

// Whatever is not a readable database is refused with a reason that names why.
TEST(nsf_Open, RefusesWithTheReason) {
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    png += QByteArray(2000, '\x11');
    const QByteArray stub = QByteArray("\x1a\x00\x00\x04\x00\x00", 6);
    const std::vector<RefusalRow> rows = {
        {"an empty file", QByteArray(""), "is empty"},
        {"a text file", QByteArray("From: someone\r\nSubject: not a database\r\n"),
         "is not a Notes database"},
        {"a PNG renamed", png, "is not a Notes database"},
        {"an odd header size", QByteArray("\x1a\x00\x00\x03\x00\x00", 6) + QByteArray(4000, 0),
         "is not a Notes database"},
        {"a header cut short", stub, "is damaged: its header is cut short"},
        {"a header and nothing else", stub + QByteArray(0x400 - 6, 0),
         "is damaged: it records no bucket descriptor block"},
        {"a folder", QByteArray(), "cannot be opened"},
        {"a file it may not read", QByteArray("\x1a\x00\x00\x04\x00\x00", 6), "Permission denied"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.what);
        const QString path = dir.filePath(QString::fromLatin1(row.what) + QStringLiteral(".nsf"));
        if (row.bytes.isNull()) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else {
            velmora::nsf::test::WriteAll(path, row.bytes);
        }
        const bool forbidden = QByteArray(row.reason) == "Permission denied";
        if (forbidden) {
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
        }
        try {
            // Root reads any file: the check runs as nobody for that row.
            const AsNobody nobody(forbidden);
            NsfDatabase::Open(path);
            ADD_FAILURE() << "opened";
        } catch (const NotesError& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String(row.reason))) << e.what();
        }
    }
}

struct SampleRow {
    const char* file;
    std::uint32_t ods;
    int documents;
    const char* title;
};

// Every sample opens with its title and lists its documents; the counts are those the
// samples' readmes give where they give one, else what the file holds.
TEST(nsf_Samples, OpenWithTitleAndDocuments) {
    const std::vector<SampleRow> rows = {
        {"hfinn.nsf", 43, 1, "Huckleberry Finn"},
        {"MIMEMsg.nsf", 43, 3, "MIME messages"},
        {"richtext.nsf", 43, 1, "Rich-Text Test"},
        {"attachment.nsf", 43, 3, "MyHAPI"},
        {"notesflo.nsf", 43, 1, "NotesFlow Containers"},
        {"ftsearch.nsf", 43, 16, "Full Text Search Demo"},
        {"findKeyEx4.nsf", 53, 69, ""},
        {"nf_doc.nsf", 41, 6, "NotesFlow Documentation"},
        {"discuss.nsf", 43, 4, "Discuss"},
        {"problems.nsf", 43, 8, "Problem Tracking"},
        {"picture.nsf", 43, 3, "MyHAPI"},
        {"embedole.nsf", 43, 0, "EMBEDOLE test database"},
        {"encrypt.nsf", 43, 0, "API Encryption Test Database"},
        {"billdrv.nsf", 43, 0, "Billing Driver Sample DB"},
        // 449 by its relocation buckets; three more carry damaged note IDs.
        {"msearch.nsf", 43, 452, "Multi Database Search"},
        {"jnx-sample.nsf", 52, 18, "BVT Test DB"},
        {"jnx-signeddoc.nsf", 55, 1, "Signed Doc"},
        {"jnx-invalidtimedate.nsf", 52, 2, "JNX Invalid TimeDate"},
    };
    for (const SampleRow& row : rows) {
        SCOPED_TRACE(row.file);
        const QString path = velmora::nsf::test::Sample(row.file);
        const auto db = NsfDatabase::Open(path);
        EXPECT_EQ(db->Header().odsVersion, row.ods);
        EXPECT_EQ(db->Header().Title(), QString::fromLatin1(row.title));
        EXPECT_EQ(db->Header().recordedSize, db->File().Size());
        const auto& notes = db->Notes();
        EXPECT_EQ(db->Damage().documents, 0u);
        for (const NoteRecord& note : notes) {
            EXPECT_GE(note.size, 100u);
            EXPECT_LE(note.offset + note.size, db->File().Size());
            EXPECT_EQ(db->FindNote(note.id), &note);
        }
        EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                                [](const NoteRecord& n) { return n.IsDocument(); }),
                  row.documents);
    }
}

TEST(nsf_Samples, HfinnHeaderAndItsOneMemo) {
    const auto db = NsfDatabase::Open(velmora::nsf::test::Sample("hfinn.nsf"));
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

    const auto& notes = db->Notes();
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
    const auto db = NsfDatabase::Open(velmora::nsf::test::Sample("richtext.nsf"));
    const auto& notes = db->Notes();
    const auto note = std::find_if(notes.begin(), notes.end(),
                                   [](const NoteRecord& n) { return n.id == 0x212Au; });
    ASSERT_NE(note, notes.end());
    EXPECT_TRUE(note->IsDocument());
}

// Reading a file whole, damaged or not, through the reader and the object model with
// every attachment extracted, leaves its bytes and its modification time as they were.
TEST(nsf_Samples, ReadingNeverChangesTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray damaged = velmora::nsf::test::ReadAll(velmora::nsf::test::Sample("hfinn.nsf"));
    damaged[0x23000 + 200] = static_cast<char>(damaged[0x23000 + 200] ^ 1);
    velmora::nsf::test::WriteAll(dir.filePath(QStringLiteral("damaged.nsf")), damaged);
    for (const QString& path :
         {velmora::nsf::test::Sample("hfinn.nsf"), velmora::nsf::test::Sample("MIMEMsg.nsf"),
          dir.filePath(QStringLiteral("damaged.nsf"))}) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray before = velmora::nsf::test::ReadAll(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        FileSession session;
        const auto db = session.GetDatabase(QString(), path);
        const auto mail = db->GetView(QString::fromLatin1(kAllMailFolder));
        ASSERT_NE(mail, nullptr);
        for (auto doc = mail->GetFirstDocument(); doc; doc = mail->GetNextDocument(doc)) {
            doc->GetItemValue(QStringLiteral("Body"));
            const auto body = doc->GetFirstItem(QStringLiteral("Body"));
            for (const auto& object : body->EmbeddedObjects().value_or(EmbeddedObjectList{})) {
                try {
                    object->ExtractFile(dir.filePath(object->Name()));
                } catch (const NotesError&) {
                }
            }
        }
        EXPECT_EQ(velmora::nsf::test::ReadAll(path), before);
        EXPECT_EQ(QFileInfo(path).lastModified(), modified);
    }
}

}  // namespace
