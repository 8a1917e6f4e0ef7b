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
}

QString PdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000)) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A real mail file, scanned and exported as the window does it: the scan finds our
// folder of all mail, the export writes the memo's PDF with its texts.
TEST(nsf_EndToEnd, HfinnScansAndExportsItsMemo) {
    const QString path = velmora::nsf::test::Sample("hfinn.nsf");
    EnsureApplication();
    RegisterStandardComponents();

    notes::MailboxState mailbox;
    mailbox.databasePath = path;
    velmora::testing::RecordingMailboxView scanView;
    velmora::testing::RecordingUserInterface scanUi;
    notes::MailboxScanner scanner(mailbox, scanView, scanUi);
    scanner.CmdScan_Click();
    ASSERT_FALSE(scanUi.messages.empty());
    EXPECT_EQ(scanUi.messages.back().title, QStringLiteral("Scan Completed..."))
        << scanUi.messages.back().text.toStdString();
    EXPECT_EQ(mailbox.databaseTitle, QStringLiteral("Huckleberry Finn"));
    const int node = mailbox.tree.IndexOfKey(QString::fromLatin1(nsf::kAllMailFolder));
    ASSERT_NE(node, 0);
    EXPECT_EQ(mailbox.tree.Node(node).caption, QStringLiteral("All Mail (1)"));

    // The preview lists the memo with its addressee and subject.
    notes::MailPreview preview(mailbox, scanView, scanView, scanUi);
    preview.ContactsTreeView_Click(node);
    ASSERT_EQ(scanView.rows.size(), 1u);
    EXPECT_TRUE(scanView.rows[0].join(QLatin1Char('|')).contains(QLatin1String("Charles Connell")))
        << scanView.rows[0].join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(scanView.rows[0]
                    .join(QLatin1Char('|'))
                    .contains(QLatin1String("Re: APISUPP.NSF Stub attached")));

    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    exporting::ExportState state;
    state.ExportRoot = out.path();
    state.SelectedFolders = {QString::fromLatin1(nsf::kAllMailFolder), QString(), QString()};
    velmora::testing::RecordingExportView exportView;
    velmora::testing::RecordingUserInterface exportUi;
    exporting::ExportRun run(mailbox, state, exportView, exportUi);
    run.CmdConversion_Click();
    EXPECT_EQ(run.Summary().failed, 0);
    EXPECT_EQ(run.Summary().written, 1);
    // Its Huffman-compressed attachment is decoded and saved, not reported missing.
    EXPECT_EQ(run.Summary().missingAttachments, 0)
        << run.Summary().problems.join(' ').toStdString();

    QStringList pdfs;
    for (const QString& file : velmora::testing::FilesBelow(out.path())) {
        if (file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
            pdfs << file;
        }
    }
    ASSERT_EQ(pdfs.size(), 1) << velmora::testing::FilesBelow(out.path()).join(' ').toStdString();
    const QString pdf = QDir(out.path()).filePath(pdfs.front());
    const QString text = PdfText(pdf);
    // The PDF carries the attachment, whole.
    QProcess detach;
    detach.start(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), pdf});
    ASSERT_TRUE(detach.waitForFinished(60000));
    const QString listed = QString::fromUtf8(detach.readAllStandardOutput());
    EXPECT_TRUE(listed.contains(QLatin1String("APISUPP.NSF"))) << listed.toStdString();
    for (const char* expected : {"Re: APISUPP.NSF Stub attached", "Martin Cox", "Charles Connell",
                                 "Attached please find the replica stub"}) {
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n"
                                                            << text.toStdString();
    }
}

// A file that is no database at all ends the tolerant scan in "no data", not in
// "Notes not installed".
TEST(nsf_EndToEnd, UnreadableFileReadsAsNoData) {
    EnsureApplication();
    RegisterStandardComponents();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("broken.nsf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x1a\x00\x00\x04\x00\x00", 6) + QByteArray(900, '\x5a'));
    }
    notes::MailboxState mailbox;
    mailbox.databasePath = path;
    velmora::testing::RecordingMailboxView view;
    velmora::testing::RecordingUserInterface ui;
    notes::MailboxScanner scanner(mailbox, view, ui);
    scanner.CmdScan_Click();
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text,
              QStringLiteral("No Data Found in NSF file or NSF file is encrypted"));
}

}  // namespace
