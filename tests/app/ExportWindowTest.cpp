// The whole road through the real windows and the real components: the demo database is
// scanned, exported with the export window, and every PDF is read back.

#include "ModalDriver.h"
#include "PdfTools.h"
#include "RecordingUserInterface.h"
#include "app/FrmMain.h"
#include "components/StandardComponents.h"
#include "components/mailconverter/MailReader.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"
#include "export/FileNames.h"
#include "export/Manifest.h"
#include "notes/MailboxState.h"
#include "notes/NotesObjects.h"
#include "notes/NotesValue.h"

#include <QDirIterator>
#include <QLabel>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

using namespace velmora;
using velmora::testing::EmbeddedFiles;
using velmora::testing::OnNextModal;
using velmora::testing::PdfWords;
using velmora::testing::RecordingUserInterface;

namespace {

// What the reader of the PDFs must find of one message.
struct Expected {
    QString folder;  // directory below the title's
    QString subject;
    QString bodyStart;
    QString from, to;  // the names as a reader would look for them
    QString fileName;  // the start of the PDF's name
    std::vector<QByteArray> attachments;
    int links = 0;  // object links, each carried as a note of what it links to
};

QString Text(notes::NotesDocument& document, const char* item) {
    return notes::FirstValueText(document.GetItemValue(QLatin1String(item))).simplified();
}

// The Internet address where the mail has one, else the Notes name.
QString Address(notes::NotesDocument& document, const char* internet, const char* notesName) {
    const QString address = Text(document, internet);
    return address.isEmpty() || address == QLatin1String(".") ? Text(document, notesName) : address;
}

// The part of a sender's or recipient's name that any rendering of it shows: the common name
// of a Notes name, the phrase or the local part of an Internet address.
QString ShortName(QString name) {
    name.remove(QStringLiteral("CN="));
    return name.section(QRegularExpression(QStringLiteral("[/<@]")), 0, 0).trimmed();
}

QString PdfTitle(const QString& pdf) {
    const QString info = QString::fromUtf8(
        velmora::testing::RunTool(QStringLiteral("pdfinfo"),
                                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf})
            .out);
    static const QRegularExpression title(QStringLiteral("^Title: *(.*)$"),
                                          QRegularExpression::MultilineOption);
    return title.match(info).captured(1).trimmed();
}

// The system views and the directories their mail goes to.
const QMap<QString, QString> kSystemFolders{
    {QStringLiteral("($Inbox)"), QStringLiteral("Inbox")},
    {QStringLiteral("($Sent)"), QStringLiteral("Sent Items")},
    {QStringLiteral("($Drafts)"), QStringLiteral("Drafts")},
    {QStringLiteral("($Trash)"), QStringLiteral("Deleted Items")},
    {QStringLiteral("($Follow-Up)"), QStringLiteral("Follow Up")},
    {QStringLiteral("($JunkMail)"), QStringLiteral("Junk Mail")},
};

// Every message of every exported view, read through the store itself.
std::vector<Expected> ExpectedMessages(const QString& path, const QString& scratch) {
    notesstore::StoreSession session;
    const notes::DatabasePtr database = session.GetDatabase(QString(), path);
    std::vector<Expected> expected;
    int extracted = 0;
    const notes::ViewList views = database->Views().value_or(notes::ViewList{});
    for (const notes::ViewPtr& view : views) {
        QString folder = kSystemFolders.value(view->Name());
        if (folder.isEmpty() && view->isfolder() && !view->Name().startsWith(QLatin1Char('('))) {
            folder = exporting::SafeFolderName(view->Name().trimmed());
        }
        if (folder.isEmpty()) {
            continue;
        }
        for (notes::DocumentPtr document = view->GetFirstDocument(); document;
             document = view->GetNextDocument(document)) {
            Expected mail{
                folder,
                Text(*document, "Subject"),
                Text(*document, "Body").section(QLatin1Char(' '), 0, 5),
                ShortName(Address(*document, "INetFrom", "From")),
                ShortName(Address(*document, "InetSendTo", "SendTo")),
                exporting::SanitizeSubject(
                    notes::FirstValueText(document->GetItemValue(QStringLiteral("Subject")))
                        .trimmed()),
                {},
                0};
            // MIME mail carries its attachments in its own parts.
            if (auto entity = document->GetMIMEEntity(QStringLiteral("Body"));
                entity &&
                document->GetFirstItem(QStringLiteral("Body"))->Type() == notes::kItemMimePart) {
                for (const auto& file :
                     mailconverter::MailReader().ReadBytes(*entity).attachments) {
                    mail.attachments.push_back(file.data);
                }
            }
            if (auto body = document->GetFirstItem(QStringLiteral("Body"))) {
                for (const auto& object :
                     body->EmbeddedObjects().value_or(notes::EmbeddedObjectList{})) {
                    if (object->Type() == notes::kEmbedObjectLink) {
                        ++mail.links;
                        continue;
                    }
                    const QString file = scratch + QStringLiteral("/expected-%1").arg(++extracted);
                    object->ExtractFile(file);
                    QFile bytes(file);
                    mail.attachments.push_back(bytes.open(QIODevice::ReadOnly)
                                                   ? bytes.readAll()
                                                   : QByteArray("unreadable ") + file.toUtf8());
                }
            }
            std::sort(mail.attachments.begin(), mail.attachments.end());
            expected.push_back(std::move(mail));
        }
    }
    return expected;
}

// Letters and digits only, as PdfWords gives them: lines of scripts without blanks break
// anywhere, and pdftotext moves the punctuation of right-to-left text and gives the letters of
// the lam-alef ligature in visual order.
QString Squeezed(const QString& text) {
    static const QRegularExpression lamAlef(QStringLiteral("\u0644([\u0622\u0623\u0625\u0627])"));
    QString letters;
    for (const QChar c : text.normalized(QString::NormalizationForm_KC)) {
        if (c.isLetterOrNumber()) {
            letters += c;
        }
    }
    return letters.replace(lamAlef, QStringLiteral("\\1\u0644"));
}

QStringList Below(const QString& root, const QStringList& patterns) {
    QStringList found;
    QDirIterator it(root, patterns, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next();
    }
    return found;
}

// Records as the recorder does, but lets the windows handle their events when the run yields.
class LiveUserInterface : public RecordingUserInterface {
  public:
    void DoEvents() override {
        RecordingUserInterface::DoEvents();
        QCoreApplication::processEvents();
    }
};

}  // namespace

class ExportWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

  private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        RegisterStandardComponents();
        m_database = m_dir.filePath(QStringLiteral("Demo.nsf"));
        auto writer = notesstore::StoreWriter::Create(m_database);
        notesstore::GenerateDemo(*writer);
        writer->Commit();
    }

    void demo_everyMessageBecomesOnePdfWithItsTextAndAttachments() {
        notes::MailboxState mailbox;
        RecordingUserInterface ui;
        app::FrmMain window(mailbox, ui);
        Scan(window, ui);

        const QString destination = m_dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(destination));
        ui.folderResults.push_back(destination);
        QString caption;
        bool wasModal = false;
        OnNextModal([&](QWidget* modal) {
            QVERIFY(modal != nullptr);
            caption = modal->windowTitle();
            wasModal = modal->parentWidget() == &window;
            modal->findChild<QPushButton*>(QStringLiteral("CmdConversion"))->click();
        });
        window.findChild<QPushButton*>(QStringLiteral("CmdStartConversion"))->click();

        QCOMPARE(caption, QStringLiteral("Export to PDF Documents"));
        QVERIFY(wasModal);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(ui.messages.back().title, QStringLiteral("Export Complete"));
        const QString title = QStringLiteral("Demo Mail (Demo User)");
        const QString root = destination + QLatin1Char('/') + title + QLatin1Char('/');
        QCOMPARE(ui.messages.back().text, QStringLiteral("Migration Completed Successfully !\r\n") +
                                              root + QStringLiteral("\r\n") + title);

        // Nothing of the road is left behind: no message files, no attachment folders.
        QCOMPARE(Below(destination, {QStringLiteral("*.eml")}), QStringList());
        QCOMPARE(Below(QDir::tempPath(), {QStringLiteral("velmora-export-*")}), QStringList());

        const QString scratch = m_dir.filePath(QStringLiteral("scratch"));
        QVERIFY(QDir().mkpath(scratch));
        std::vector<Expected> expected = ExpectedMessages(m_database, scratch);
        QVERIFY(expected.size() > 50);

        // One PDF per message of each folder, each matched to its own message by its title.
        struct Pdf {
            QString path, title, words;
        };
        QMap<QString, std::vector<Pdf>> unclaimed;  // by folder
        int pdfs = 0;
        for (const QString& path : Below(root, {QStringLiteral("*.pdf")})) {
            const QString folder = QDir(root).relativeFilePath(QFileInfo(path).path());
            unclaimed[folder].push_back({path, PdfTitle(path), Squeezed(PdfWords(path))});
            ++pdfs;
        }
        QCOMPARE(pdfs, int(expected.size()));
        for (const Expected& mail : expected) {
            std::vector<Pdf>& candidates = unclaimed[mail.folder];
            const auto match =
                std::find_if(candidates.begin(), candidates.end(), [&](const Pdf& pdf) {
                    return pdf.title == mail.subject &&
                           pdf.words.contains(Squeezed(mail.bodyStart));
                });
            const QString what = mail.folder + QStringLiteral(": ") + mail.subject;
            QVERIFY2(match != candidates.end(), qPrintable(what));
            for (const QString& name : {mail.from, mail.to}) {
                QVERIFY2(match->words.contains(Squeezed(name)), qPrintable(what + " / " + name));
            }
            // The cleaned subject, a number, and a counter only where the name was taken.
            const QRegularExpression name(QLatin1Char('^') +
                                          QRegularExpression::escape(mail.fileName) +
                                          QStringLiteral("\\d{1,5}( \\(\\d+\\))?\\.pdf$"));
            QVERIFY2(name.match(QFileInfo(match->path).fileName()).hasMatch(),
                     qPrintable(match->path));
            // The message itself travels along as its own file; the rest are its attachments.
            QMap<QString, QByteArray> files =
                EmbeddedFiles(match->path, scratch + QStringLiteral("/detached"));
            const QByteArray source =
                files.take(QFileInfo(match->path).completeBaseName() + QStringLiteral(".eml"));
            QVERIFY2(source.contains("From: ") && source.contains("\r\n\r\n"), qPrintable(what));
            int links = 0;
            for (auto it = files.begin(); it != files.end();) {
                const bool link = it.key().endsWith(QLatin1String(" (object link).txt"));
                links += link ? 1 : 0;
                it = link ? files.erase(it) : std::next(it);
            }
            QCOMPARE(links, mail.links);
            std::vector<QByteArray> attachments(files.begin(), files.end());
            std::sort(attachments.begin(), attachments.end());
            QCOMPARE(attachments, mail.attachments);
            candidates.erase(match);
        }

        // The window's export keeps the manifest the command line keeps.
        const exporting::VerifyReport report =
            exporting::VerifyManifest(root + QStringLiteral("manifest.jsonl"), 2);
        QVERIFY2(report.Clean(),
                 qPrintable((report.missing + report.changed + report.extra).join(' ')));
        QCOMPARE(report.checked, pdfs);

        // The same export again writes nothing and says so.
        ExportThroughWindow(window, ui, destination, {});
        QCOMPARE(ui.messages.back().text,
                 QStringLiteral("Migration Completed Successfully !\r\n") + root +
                     QStringLiteral("\r\n") + title +
                     QStringLiteral("\r\n%1 already exported, skipped").arg(pdfs));
        QCOMPARE(Below(root, {QStringLiteral("*.pdf")}).size(), pdfs);
    }

    // The close box asks, and No goes on; Escape asks, and Yes stops after the messages in hand.
    void stop_isAskedAndEndsTheRunKeepingWhatWasWritten() {
        notes::MailboxState mailbox;
        LiveUserInterface ui;
        app::FrmMain window(mailbox, ui);
        Scan(window, ui);
        const QString destination = m_dir.filePath(QStringLiteral("stopped"));
        QVERIFY(QDir().mkpath(destination));
        int asked = 0;
        int shownAtStop = 0;
        QProgressBar* bar = nullptr;
        ExportThroughWindow(window, ui, destination, [&](QWidget* modal) {
            bar = modal->findChild<QProgressBar*>(QStringLiteral("PrgOverall"));
            if (bar == nullptr) {
                return true;
            }
            if (asked == 0 && bar->value() >= 2) {
                ui.answers.push_back(MsgAnswer::No);
                modal->close();
                ++asked;
            } else if (asked == 1 && bar->value() >= 4) {
                ui.answers.push_back(MsgAnswer::Yes);
                shownAtStop = bar->value();
                QTest::keyClick(modal, Qt::Key_Escape);
                ++asked;
            }
            return asked < 2;
        });
        QVERIFY(bar != nullptr);
        QCOMPARE(asked, 2);
        int questions = 0;
        for (const auto& message : ui.messages) {
            questions += message.buttons == MsgButtons::YesNo ? 1 : 0;
        }
        QCOMPARE(questions, 2);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(ui.messages.back().title, QStringLiteral("Export Stopped"));
        const QString root = destination + QStringLiteral("/Demo Mail (Demo User)/");
        const int pdfs = int(Below(root, {QStringLiteral("*.pdf")}).size());
        QVERIFY2(pdfs >= shownAtStop && pdfs < 90, qPrintable(QString::number(pdfs)));
        QVERIFY2(ui.messages.back().text.startsWith(
                     QStringLiteral(
                         "The export was stopped.\r\n%1 messages were exported before it stopped.")
                         .arg(pdfs)),
                 qPrintable(ui.messages.back().text));
        QCOMPARE(Below(destination, {QStringLiteral("*.eml"), QStringLiteral("*.pending")}),
                 QStringList());
        QCOMPARE(Below(QDir::tempPath(), {QStringLiteral("velmora-export-*")}), QStringList());
        QVERIFY(exporting::VerifyManifest(root + QStringLiteral("manifest.jsonl"), 2).Clean());
    }

  private:
    void Scan(app::FrmMain& window, RecordingUserInterface& ui) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ui.openFileResults.push_back(m_database);
        window.findChild<QPushButton*>(QStringLiteral("CmdBrowse"))->click();
        window.findChild<QPushButton*>(QStringLiteral("CmdScan"))->click();
        QCOMPARE(ui.messages.back().title, QStringLiteral("Scan Completed..."));
    }

    // Launches the export into destination and presses the export window's button; during the
    // run, whileRunning is called every few milliseconds as long as it answers true.
    static void ExportThroughWindow(app::FrmMain& window, RecordingUserInterface& ui,
                                    const QString& destination,
                                    std::function<bool(QWidget*)> whileRunning) {
        ui.folderResults.push_back(destination);
        OnNextModal([&](QWidget* modal) {
            QVERIFY(modal != nullptr);
            QTimer watch;
            if (whileRunning) {
                QObject::connect(&watch, &QTimer::timeout, [&] {
                    if (!whileRunning(modal)) {
                        watch.stop();
                    }
                });
                watch.start(2);
            }
            modal->findChild<QPushButton*>(QStringLiteral("CmdConversion"))->click();
        });
        window.findChild<QPushButton*>(QStringLiteral("CmdStartConversion"))->click();
    }
};

QTEST_MAIN(ExportWindowTest)
#include "ExportWindowTest.moc"
