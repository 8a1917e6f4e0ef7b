// Mail exported as it was sent: real stores and files through the scan-free export run, the
// real composer and converter, and the PDFs read back with poppler's tools.

#include "ExportTestSupport.h"
#include "PdfLayout.h"
#include "RecordingUserInterface.h"
#include "components/StandardComponents.h"
#include "components/notesstore/DemoFormatted.h"
#include "components/notesstore/MailImporter.h"
#include "components/notesstore/StoreWriter.h"
#include "export/ExportRun.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::notesstore;
using velmora::testing::ImagesOf;
using velmora::testing::LayoutOf;
using velmora::testing::PdfLayout;
using velmora::testing::RunTool;

namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "formatted_export_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        new QGuiApplication(argc, argv);
    }
}

const QString kNewsletter = QStringLiteral(VELMORA_CONVERTER_DATA "/html/newsletter.eml");

DocumentData Memo(const QString& subject) {
    DocumentData doc;
    doc.AddText(QStringLiteral("Form"), {QStringLiteral("Memo")});
    doc.AddText(QStringLiteral("Subject"), {subject});
    doc.AddText(QStringLiteral("From"), {QStringLiteral("CN=Ann Lee/O=Acme")});
    doc.AddText(QStringLiteral("SendTo"), {QStringLiteral("CN=Bo Chan/O=Acme")});
    doc.AddDate(QStringLiteral("PostedDate"),
                QDateTime(QDate(2011, 4, 1), QTime(10, 0), QTimeZone(3600)));
    doc.Add(QStringLiteral("Body"), {QStringLiteral("Body of ") + subject}, notes::kItemRichText);
    return doc;
}

DocumentData& Without(DocumentData& doc, const QString& item) {
    std::erase_if(doc.items, [&](const ItemData& i) { return i.name == item; });
    return doc;
}

// Writes documents into folders of a store, exports them all and keeps the PDFs by subject.
class FormattedExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        RegisterStandardComponents();
        ASSERT_TRUE(m_dir.isValid());
        m_store = m_dir.filePath(QStringLiteral("mail.nsf"));
    }

    void Write(const std::vector<std::pair<QString, DocumentData>>& documents) {
        auto writer = StoreWriter::Create(m_store);
        writer->SetTitle(QStringLiteral("Mail"));
        for (const auto& [folder, document] : documents) {
            const auto found = writer->FindView(folder);
            const std::int64_t view = found ? *found : writer->AddView(folder, true);
            writer->File(view, writer->AddDocument(document));
        }
        writer->Commit();
    }

    // Exports every folder given; answers the PDF of each subject.
    QMap<QString, QString> Export(const QString& databasePath, const QStringList& folders) {
        notes::MailboxState mailbox;
        mailbox.databasePath = databasePath;
        mailbox.databaseTitle = QStringLiteral("Mail");
        exporting::ExportState state;
        state.ExportRoot = m_dir.filePath(QStringLiteral("out"));
        state.SelectedFolders = folders;
        state.SelectedFolders << QString() << QString();
        velmora::testing::RecordingExportView view;
        velmora::testing::RecordingUserInterface ui;
        exporting::ExportRun run(mailbox, state, view, ui);
        run.CmdConversion_Click();
        EXPECT_EQ(run.Summary().failed, 0) << run.Summary().problems.join('\n').toStdString();
        QMap<QString, QString> pdfs;
        const QString root = m_dir.filePath(QStringLiteral("out"));
        for (const QString& file : velmora::testing::FilesBelow(root)) {
            if (file.endsWith(QLatin1String(".pdf"))) {
                const QString path = QDir(root).filePath(file);
                pdfs.insert(LayoutOf(path).runs.front().text, path);
            }
        }
        return pdfs;
    }

    QTemporaryDir m_dir;
    QString m_store;
};

}  // namespace

TEST_F(FormattedExportTest, importedHtmlMail_givesThePdfTheConverterGivesForItsFile) {
    ASSERT_EQ(ImportMail(m_store, QStringLiteral("Imported"), {kNewsletter}).imported, 1);
    const auto pdfs = Export(m_store, {QStringLiteral("Imported")});
    ASSERT_EQ(pdfs.size(), 1);
    const QString exported = pdfs.first();
    const QString direct = m_dir.filePath(QStringLiteral("direct.pdf"));
    ASSERT_EQ(RunTool(QStringLiteral(VELMORA_EML2PDF), {kNewsletter, direct}).exitCode, 0);

    const PdfLayout mine = LayoutOf(exported), theirs = LayoutOf(direct);
    ASSERT_EQ(mine.runs.size(), theirs.runs.size());
    for (std::size_t i = 0; i < mine.runs.size(); ++i) {
        EXPECT_EQ(mine.runs[i].text, theirs.runs[i].text);
        EXPECT_NEAR(mine.runs[i].left, theirs.runs[i].left, 1.0) << mine.runs[i].text.toStdString();
        EXPECT_NEAR(mine.runs[i].top, theirs.runs[i].top, 1.0) << mine.runs[i].text.toStdString();
        EXPECT_EQ(mine.runs[i].font, theirs.runs[i].font);
    }
    // The columns stand side by side and the logo is drawn.
    const auto left = mine.Find(QStringLiteral("Leftcolumn")),
               right = mine.Find(QStringLiteral("Rightcolumn"));
    ASSERT_FALSE(left.text.isEmpty());
    ASSERT_FALSE(right.text.isEmpty());
    EXPECT_NEAR(left.top, right.top, 2.0);
    EXPECT_GT(right.left, left.left + left.width);
    EXPECT_TRUE(ImagesOf(exported).contains(QStringLiteral("120x40")))
        << ImagesOf(exported).join(' ').toStdString();
    EXPECT_EQ(ImagesOf(exported), ImagesOf(direct));
}

TEST_F(FormattedExportTest, richText_showsItsFontsAlignmentTableAndPictures) {
    DocumentData doc = Memo(QStringLiteral("Formatted report"));
    demo::SetRichBody(doc, demo::StatusReport(QStringLiteral("report.txt")));
    Write({{QStringLiteral("Reports"), doc}});
    const auto pdfs = Export(m_store, {QStringLiteral("Reports")});
    ASSERT_EQ(pdfs.size(), 1);
    const PdfLayout layout = LayoutOf(pdfs.first());

    struct Row {
        const char* text;
        bool bold, italic;
        bool centred;
    };
    for (const Row& row :
         {Row{"Project Status: Northern Region", true, false, true},
          Row{"Week 14, prepared for the steering group", false, true, true},
          Row{"back on schedule", true, false, false}, Row{"training plan", false, true, false},
          Row{"Hello all,", false, false, false}}) {
        const auto run = layout.Find(QString::fromUtf8(row.text));
        ASSERT_FALSE(run.text.isEmpty()) << row.text;
        EXPECT_EQ(run.bold, row.bold) << row.text << " in " << run.font.toStdString();
        EXPECT_EQ(run.italic, row.italic) << row.text << " in " << run.font.toStdString();
        EXPECT_EQ(std::abs(run.Centre() - layout.pageWidth / 2) < 4, row.centred)
            << row.text << " centred at " << run.Centre() << " of " << layout.pageWidth;
    }
    EXPECT_TRUE(
        layout.Find(QStringLiteral("Project Status")).font.endsWith(QLatin1String("-Bold")));
    EXPECT_TRUE(layout.Find(QStringLiteral("Quoted from the minutes"))
                    .font.contains(QLatin1String("Serif")));
    // The table's cells side by side, in their order.
    const auto region = layout.Find(QStringLiteral("Region"), true),
               shipments = layout.Find(QStringLiteral("Shipments"), true),
               onTime = layout.Find(QStringLiteral("On time"), true);
    EXPECT_NEAR(region.top, shipments.top, 2.0);
    EXPECT_NEAR(shipments.top, onTime.top, 2.0);
    EXPECT_LT(region.left + region.width, shipments.left);
    EXPECT_LT(shipments.left + shipments.width, onTime.left);
    EXPECT_GT(layout.Find(QStringLiteral("North"), true).top, region.top);
    // Both pictures: the PNG graphic record and the bitmap.
    const QStringList images = ImagesOf(pdfs.first());
    EXPECT_TRUE(images.contains(QStringLiteral("240x90"))) << images.join(' ').toStdString();
    EXPECT_TRUE(images.contains(QStringLiteral("48x32"))) << images.join(' ').toStdString();
}

TEST_F(FormattedExportTest, mendedFaults_showInThePdf) {
    std::vector<std::pair<QString, DocumentData>> documents;
    {
        DocumentData doc = Memo(QStringLiteral("Notes copies"));
        doc.AddText(QStringLiteral("CopyTo"), {QStringLiteral("CN=Donna Amaral/O=Acme"),
                                               QStringLiteral("CN=Mark Yuska/O=Acme")});
        doc.AddText(QStringLiteral("BlindCopyTo"), {QStringLiteral("CN=Mark Wallace/O=Acme")});
        documents.emplace_back(QStringLiteral("($Inbox)"), doc);
    }
    {
        DocumentData doc = Memo(QStringLiteral("Deleted with addresses"));
        doc.AddText(QStringLiteral("INetFrom"), {QStringLiteral("ann.lee@acme.example")});
        Without(doc, QStringLiteral("SendTo"))
            .AddText(QStringLiteral("SendTo"),
                     {QStringLiteral("CN=Bo Chan/O=Acme"), QStringLiteral("CN=Cy Dunn/O=Acme")});
        doc.AddText(QStringLiteral("InetSendTo"),
                    {QStringLiteral("bo@acme.example"), QStringLiteral("cy@acme.example")});
        documents.emplace_back(QStringLiteral("($Trash)"), doc);
    }
    {
        DocumentData doc = Memo(QStringLiteral("Never dated"));
        documents.emplace_back(QStringLiteral("($Inbox)"),
                               Without(doc, QStringLiteral("PostedDate")));
    }
    {
        DocumentData doc = Memo(QStringLiteral("Only delivered"));
        Without(doc, QStringLiteral("PostedDate"))
            .AddDate(QStringLiteral("DeliveredDate"),
                     QDateTime(QDate(2011, 5, 6), QTime(7, 8, 9), QTimeZone(7200)));
        documents.emplace_back(QStringLiteral("($Inbox)"), doc);
    }
    {
        DocumentData doc = Memo(QStringLiteral("Named sender"));
        Without(doc, QStringLiteral("From"))
            .AddText(QStringLiteral("From"),
                     {QStringLiteral("J\u00f6rg M\u00fcller <joerg@example.com>")});
        doc.AddText(QStringLiteral("INetFrom"), {QStringLiteral("joerg@example.com")});
        documents.emplace_back(QStringLiteral("($Inbox)"), doc);
    }
    {
        DocumentData doc = Memo(QStringLiteral("Objects"));
        ItemData* body = doc.Find(QStringLiteral("Body"));
        body->embedded.push_back(
            {notes::kEmbedObject, QStringLiteral("Budget.xls"), "OLE data", {}});
        body->embedded.push_back({notes::kEmbedObjectLink, QStringLiteral("Plan"), {}, {}});
        documents.emplace_back(QStringLiteral("($Inbox)"), doc);
    }
    Write(documents);
    const auto pdfs = Export(m_store, {QStringLiteral("Inbox Trash")});
    struct Row {
        const char* subject;
        QStringList shown;
    };
    const Row rows[] = {
        {"Notes copies",
         {"CN=Donna Amaral/O=Acme; CN=Mark Yuska/O=Acme", "CN=Mark Wallace/O=Acme"}},
        {"Deleted with addresses",
         {"Ann Lee <ann.lee@acme.example>",
          "Bo Chan <bo@acme.example>; Cy Dunn <cy@acme.example>"}},
        {"Never dated", {"(no date)"}},
        {"Only delivered", {"Fri, 06 May 2011 07:08:09 +0200"}},
        {"Named sender", {"Jörg Müller <joerg@example.com>"}},
        {"Objects", {"Budget (embedded object).xls (8 bytes)", "Plan (object link).txt"}},
    };
    for (const Row& row : rows) {
        const QString pdf = pdfs.value(QString::fromUtf8(row.subject));
        ASSERT_FALSE(pdf.isEmpty()) << row.subject << " in " << pdfs.keys().join(',').toStdString();
        const QString words = velmora::testing::PdfWords(pdf);
        for (const QString& shown : row.shown) {
            EXPECT_TRUE(words.contains(shown)) << row.subject << ": " << shown.toStdString() << "\n"
                                               << words.toStdString();
        }
    }
}

TEST_F(FormattedExportTest, realMimeMail_showsItsHtmlPicturesAndEachAttachmentOnce) {
    const QString path = QStringLiteral(VELMORA_NSF_SAMPLES "/MIMEMsg.nsf");
    const auto pdfs = Export(path, {QStringLiteral("All Mail")});
    ASSERT_EQ(pdfs.size(), 3) << pdfs.keys().join(',').toStdString();
    const QString html =
        pdfs.value(QStringLiteral("MIME message with attachmetn(Txt/BMP/Jpg) and inline images"));
    ASSERT_FALSE(html.isEmpty());
    EXPECT_EQ(ImagesOf(html), (QStringList{QStringLiteral("186x125"), QStringLiteral("325x93"),
                                           QStringLiteral("172x153")}));
    EXPECT_TRUE(velmora::testing::PdfWords(html).contains(
        QLatin1String("Context-sensitive Help, specific to the task you're performing")));
    // The files the MIME parts keep in the note's attachments go once, byte for byte.
    struct Row {
        QString pdf;
        QMap<QString, qsizetype> files;
    };
    const Row rows[] = {
        {html,
         {{QStringLiteral("Plain.txt"), 510},
          {QStringLiteral("Sample.jpg"), 9894},
          {QStringLiteral("sampleBMP.bmp"), 296406}}},
        {pdfs.value(QStringLiteral("MIME message(with txt attachment)")),
         {{QStringLiteral("New Text Document.txt"), 510}}},
    };
    for (const Row& row : rows) {
        QMap<QString, QByteArray> files =
            velmora::testing::EmbeddedFiles(row.pdf, m_dir.filePath(QStringLiteral("detached")));
        for (auto it = files.begin(); it != files.end();) {
            // The message itself travels along; a file the note could not give is reported.
            const bool skip = it.key().endsWith(QLatin1String(".eml")) ||
                              it.key() == QLatin1String("mswin32.mak");
            it = skip ? files.erase(it) : std::next(it);
        }
        QMap<QString, qsizetype> sizes;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            sizes.insert(it.key(), it.value().size());
        }
        EXPECT_EQ(sizes, row.files) << row.pdf.toStdString();
    }
}

TEST_F(FormattedExportTest, hfinn_listsItsThreeCopyNames) {
    const QString hfinn = QStringLiteral(VELMORA_NSF_SAMPLES "/hfinn.nsf");
    ASSERT_TRUE(QFileInfo::exists(hfinn)) << hfinn.toStdString();
    const auto pdfs = Export(hfinn, {QStringLiteral("All Mail")});
    ASSERT_EQ(pdfs.size(), 1);
    const QString words = velmora::testing::PdfWords(pdfs.first());
    for (const char* name : {"Donna Amaral", "Mark Yuska", "Mark Wallace"}) {
        EXPECT_TRUE(words.contains(QLatin1String(name))) << name << "\n" << words.toStdString();
    }
}
