#include "NsfTestSupport.h"

#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfSession.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace velmora::nsf;
using velmora::notes::NotesError;

namespace {

// Opens a damaged copy and walks it: the result is a NotesError or some notes, never
// more notes than the intact file has and never a crash.
class nsf_DamagedCopies : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString path = velmora::nsf::test::Sample(QStringLiteral("hfinn.nsf"));
        if (path.isEmpty()) {
            GTEST_SKIP() << "sample hfinn.nsf not found in "
                         << velmora::nsf::test::SampleDir().toStdString()
                         << " (set VELMORA_NSF_SAMPLES)";
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        m_original = f.readAll();
        m_intactNotes = NsfDatabase::Open(path)->Notes().size();
        ASSERT_TRUE(m_dir.isValid());
    }

    // Returns whether the copy opened; counts the ways it ended.
    void Check(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("damaged.nsf"));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(f.write(bytes), bytes.size());
        }
        try {
            const auto db = NsfDatabase::Open(path);
            const auto notes = db->Notes();
            EXPECT_LE(notes.size(), m_intactNotes + 8);
            for (const NoteRecord& note : notes) {
                EXPECT_LE(note.offset + note.size, static_cast<std::uint64_t>(bytes.size()));
                // Every item and value of every note: read, or refused with a reason.
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
        // The same through the object model, as the scan and the export use it.
        try {
            FileSession session;
            const auto db = session.GetDatabase(QString(), path);
            db->Title();
            for (const auto& view : db->Views().value_or(velmora::notes::ViewList{})) {
                for (auto doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
                    try {
                        doc->GetItemValue(QStringLiteral("Body"));
                        doc->GetItemValue(QStringLiteral("Subject"));
                    } catch (const NotesError&) {
                    }
                }
            }
        } catch (const NotesError& e) {
            EXPECT_FALSE(e.Message().isEmpty());
        }
    }

    QByteArray m_original;
    std::size_t m_intactNotes = 0;
    QTemporaryDir m_dir;
    int m_opened = 0;
    int m_refused = 0;
};

TEST_F(nsf_DamagedCopies, TruncatedAtManyOffsets) {
    const qsizetype size = m_original.size();
    for (qsizetype cut :
         {qsizetype{0}, qsizetype{1}, qsizetype{5}, qsizetype{200}, qsizetype{0x3FF},
          qsizetype{0x400}, qsizetype{0x23010}, size / 2, size - 1}) {
        Check(m_original.left(cut));
    }
    for (qsizetype cut = 0x400; cut < size; cut += 0x1F00) {
        Check(m_original.left(cut));
    }
    // Truncation before the descriptor blocks cannot open; truncation after them can.
    EXPECT_GT(m_refused, 0);
    EXPECT_GT(m_opened, 0);
}

TEST_F(nsf_DamagedCopies, RandomBytesFlipped) {
    QRandomGenerator random(20261209);
    for (int round = 0; round < 60; ++round) {
        QByteArray copy = m_original;
        for (int i = 0; i < 64; ++i) {
            const auto at = static_cast<qsizetype>(random.bounded(copy.size()));
            copy[at] = static_cast<char>(copy[at] ^ (1 << random.bounded(8)));
        }
        Check(copy);
    }
    EXPECT_EQ(m_opened + m_refused, 60);
}

TEST_F(nsf_DamagedCopies, OtherSamplesFlipped) {
    QRandomGenerator random(99);
    for (const char* name : {"richtext.nsf", "ftsearch.nsf", "billdrv.nsf"}) {
        const QString path = velmora::nsf::test::Sample(QString::fromLatin1(name));
        ASSERT_FALSE(path.isEmpty()) << name;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray original = f.readAll();
        m_intactNotes = NsfDatabase::Open(path)->Notes().size();
        for (int round = 0; round < 20; ++round) {
            QByteArray copy = original;
            for (int i = 0; i < 200; ++i) {
                const auto at = static_cast<qsizetype>(random.bounded(copy.size()));
                copy[at] = static_cast<char>(random.bounded(256));
            }
            Check(copy);
        }
    }
    EXPECT_EQ(m_opened + m_refused, 60);
}

TEST_F(nsf_DamagedCopies, ZeroedAndFilledPages) {
    for (qsizetype page = 0; page < m_original.size(); page += 0x1000) {
        for (const char fill : {'\0', '\xff'}) {
            QByteArray copy = m_original;
            const qsizetype n = std::min<qsizetype>(0x1000, copy.size() - page);
            copy.replace(page, n, QByteArray(n, fill));
            Check(copy);
        }
    }
    EXPECT_GT(m_opened, 0);
}

}  // namespace
