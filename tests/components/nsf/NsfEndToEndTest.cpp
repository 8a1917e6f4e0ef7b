#include "NsfTestSupport.h"

#include "ExportTestSupport.h"
#include "RecordingMailboxView.h"
#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "components/nsf/NsfSession.h"
#include "export/ExportRun.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>

using namespace velmora;

namespace {

// The PDF writer draws with Qt Gui; one application serves every test here.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "nsf_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        new QGuiApplication(argc, argv);
    }
    RegisterStandardComponents();
}

QString RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

const QString kNoData = QStringLiteral("No Data Found in NSF file or NSF file is encrypted");
const QString kCompleted = QStringLiteral("Notes Database Scan Completed Successfully");

struct RoadRow {
    const char* file;
    int mail;                        // documents in "All Mail"
    int other;                       // documents in "Other Documents"; 0: no such folder
    bool exportOther;                // whether the export takes them too
    const char* completion;          // the completion message's second line, or ""
    std::vector<const char*> shown;  // texts the preview rows show
    int written;                     // PDFs
    int failed;                      // messages not converted
    int missing;                     // attachments not saved
    std::vector<const char*> texts;  // texts found in the PDFs
    std::vector<const char*> files;  // attachments embedded in the PDFs
    // Attachments that cannot be read: reported once each, and in no PDF.
    std::vector<const char*> unreadable = {};
};

// Real files scanned, previewed and exported as the windows do it: the scan finds the
// folder of all mail, the preview lists its messages, the export writes one PDF each with
// its texts and attached files; what cannot be read is counted and reported.
TEST(nsf_EndToEnd, RealFilesScanPreviewAndExport) {
    const std::vector<RoadRow> rows = {
        {"hfinn.nsf",
         1,
         0,
         false,
         "",
         {"Charles Connell", "Re: APISUPP.NSF Stub attached"},
         1,
         0,
         0,
         {"Re: APISUPP.NSF Stub attached", "Martin Cox", "Charles Connell",
          "Attached please find the replica stub"},
         {"APISUPP.NSF"}},
        {"MIMEMsg.nsf",
         3,
         0,
         false,
         "",
         {"MIME message(plain text)", "MIME message(with txt attachment)", "admin@cn.ibm.com"},
         3,
         0,
         1,  // mswin32.mak: its object holds fewer bytes than its file records
         {"MIME message(plain text)", "This is a test message.",
          "This is a text message, with a txt file attached.",
          "You can get two types of Help in Notes"},
         {"New Text Document.txt", "Plain.txt", "Sample.jpg", "sampleBMP.bmp"},
         {"mswin32.mak"}},
        // No mail at all: its 69 documents are data, each PDF listing their fields.
        {"findKeyEx4.nsf",
         0,
         69,
         true,
         "",
         {},
         69,
         0,
         0,
         {"Form: SimpleDataForm", "plain_text: This is a line of simple text.",
          "text_list: one; two; three; four", "$UpdatedBy: CN=Vicky Kumar/OU=India/O=PNPHCL"},
         {}},
        // A data document whose file is attached beside a rich-text field, not in a Body.
        {"attachment.nsf",
         0,
         1,
         true,
         "",
         {},
         1,
         0,
         0,
         {"Form: MyHAPIForm", "TextField: this is a text field"},
         {"tms.log"}},
        // Four documents damaged in the file itself: counted, listed, and reported.
        {"msearch.nsf", 4, 448, false, "4 documents could not be read.", {}, 0, 4, 0, {}, {}},
    };
    EnsureApplication();
    for (const RoadRow& row : rows) {
        SCOPED_TRACE(row.file);
        notes::MailboxState mailbox;
        mailbox.databasePath = velmora::nsf::test::Sample(row.file);
        velmora::testing::RecordingMailboxView scanView;
        velmora::testing::RecordingUserInterface scanUi;
        notes::MailboxScanner scanner(mailbox, scanView, scanUi);
        scanner.CmdScan_Click();
        ASSERT_FALSE(scanUi.messages.empty());
        EXPECT_EQ(scanUi.messages.back().title, QStringLiteral("Scan Completed..."));
        EXPECT_EQ(scanUi.messages.back().text,
                  *row.completion == 0
                      ? kCompleted
                      : kCompleted + QStringLiteral("\r\n") + QLatin1String(row.completion));
        const int node = mailbox.tree.IndexOfKey(QString::fromLatin1(nsf::kAllMailFolder));
        ASSERT_NE(node, 0);
        EXPECT_EQ(mailbox.tree.Node(node).caption, QStringLiteral("All Mail (%1)").arg(row.mail));
        const int other = mailbox.tree.IndexOfKey(QString::fromLatin1(nsf::kOtherDocumentsFolder));
        if (row.other == 0) {
            EXPECT_EQ(other, 0);
        } else {
            ASSERT_NE(other, 0);
            EXPECT_EQ(mailbox.tree.Node(other).caption,
                      QStringLiteral("Other Documents (%1)").arg(row.other));
        }

        notes::MailPreview preview(mailbox, scanView, scanView, scanUi);
        preview.ContactsTreeView_Click(node);
        QStringList shown;
        for (const QStringList& r : scanView.rows) {
            shown << r.join(QLatin1Char('|'));
        }
        for (const char* text : row.shown) {
            EXPECT_TRUE(shown.join('\n').contains(QLatin1String(text)))
                << text << "\n"
                << shown.join('\n').toStdString();
        }

        QTemporaryDir out;
        ASSERT_TRUE(out.isValid());
        exporting::ExportState state;
        state.ExportRoot = out.path();
        state.SelectedFolders = {
            QString::fromLatin1(nsf::kAllMailFolder),
            !row.exportOther ? QString() : QString::fromLatin1(nsf::kOtherDocumentsFolder),
            QString()};
        velmora::testing::RecordingExportView exportView;
        velmora::testing::RecordingUserInterface exportUi;
        exporting::ExportRun run(mailbox, state, exportView, exportUi);
        run.CmdConversion_Click();
        EXPECT_EQ(run.Summary().written, row.written);
        EXPECT_EQ(run.Summary().failed, row.failed);
        EXPECT_EQ(run.Summary().missingAttachments, row.missing)
            << run.Summary().problems.join(' ').toStdString();

        QString texts;
        QString files;
        for (const QString& file : velmora::testing::FilesBelow(out.path())) {
            if (file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
                const QString pdf = QDir(out.path()).filePath(file);
                texts += RunTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
                files += RunTool(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), pdf});
            }
        }
        for (const char* text : row.texts) {
            EXPECT_TRUE(texts.contains(QLatin1String(text))) << text;
        }
        for (const char* file : row.files) {
            EXPECT_TRUE(files.contains(QLatin1String(file))) << file << "\n" << files.toStdString();
        }
        for (const char* file : row.unreadable) {
            EXPECT_FALSE(files.contains(QLatin1String(file))) << file;
            EXPECT_EQ(run.Summary().problems.filter(QLatin1String(file)).size(), 1)
                << run.Summary().problems.join('\n').toStdString();
        }
    }
}

struct NoDataRow {
    const char* what;
    std::function<QByteArray()> bytes;
    const char* reason;  // a part of the line under the message
};

// A file that cannot be read ends the tolerant scan in "no data", with a line under it
// that says why, not in "Notes not installed".
TEST(nsf_EndToEnd, UnreadableFilesSayWhyThereIsNoData) {
    const auto hfinn = [] {
        return velmora::nsf::test::ReadAll(velmora::nsf::test::Sample("hfinn.nsf"));
    };
    const std::vector<NoDataRow> rows = {
        {"an empty file", [] { return QByteArray(""); }, "is empty: it is not a Notes database"},
        {"a text file", [] { return QByteArray("Dear all,\r\nplease find...\r\n"); },
         "is not a Notes database"},
        {"a picture renamed",
         [] { return QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(900, 7); },
         "is not a Notes database"},
        {"a real file cut short", [&] { return hfinn().left(0x20000); },
         "is damaged: its bucket descriptor block at 0x23000"},
        {"a real file with its descriptor blocks overwritten",
         [&] {
             QByteArray b = hfinn();
             b.replace(0x23000, 0x2000, QByteArray(0x2000, 0));
             return b;
         },
         "is damaged: its bucket descriptor block at 0x23000: it lacks its signature"},
    };
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const NoDataRow& row : rows) {
        SCOPED_TRACE(row.what);
        const QString path = dir.filePath(QStringLiteral("mail.nsf"));
        velmora::nsf::test::WriteAll(path, row.bytes());
        notes::MailboxState mailbox;
        mailbox.databasePath = path;
        velmora::testing::RecordingMailboxView view;
        velmora::testing::RecordingUserInterface ui;
        notes::MailboxScanner scanner(mailbox, view, ui);
        scanner.CmdScan_Click();
        ASSERT_FALSE(ui.messages.empty());
        const QStringList lines = ui.messages.back().text.split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 2) << ui.messages.back().text.toStdString();
        EXPECT_EQ(lines[0], kNoData);
        EXPECT_TRUE(lines[1].contains(QLatin1String(row.reason))) << lines[1].toStdString();
    }
}

}  // namespace
