// Conversions side by side, as the export runs them: one converter per thread, messages built
// on one thread and composed and converted on the others. Each PDF must come out as it does on
// one thread alone. Built with ThreadSanitizer in CI, this is what proves the converter's shared
// caches (faces, style sheet, fallback lists) safe.

#include "components/mailconverter/MailConverter.h"
#include "components/mailconverter/MailReader.h"
#include "components/mime/MimeComponent.h"
#include "export/MessageFile.h"
#include "export/OrderedPool.h"
#include "util/UserInterface.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

using namespace velmora;
using velmora::exporting::OrderedPool;
using Converter = std::shared_ptr<mailconverter::MailConverter>;

namespace {

constexpr int kThreads = 4;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes of a PDF but its moment of making, which differs from run to run.
QByteArray Timeless(QByteArray pdf) {
    static const QRegularExpression moments(
        QStringLiteral("D:\\d{14}Z|\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d|/ID "
                       "?\\[<[0-9A-Fa-f]+><[0-9A-Fa-f]+>\\]"));
    QString text = QString::fromLatin1(pdf);
    text.replace(moments, QStringLiteral("(moment)"));
    return text.toLatin1();
}

// The pages' text: a composed message differs in its boundaries from one composition to the
// next, and carries itself embedded, so only what the pages show can be compared.
QByteArray PageText(const QString& pdf) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    return tool.waitForFinished(60'000) && tool.exitCode() == 0
               ? tool.readAllStandardOutput()
               : QByteArray("no text: ") + pdf.toUtf8();
}

std::vector<Converter> Converters(int count) {
    std::vector<Converter> converters;
    for (int i = 0; i < count; ++i) {
        converters.push_back(std::make_shared<mailconverter::MailConverter>());
    }
    return converters;
}

class NoScreen : public UserInterface {
  public:
    MsgAnswer MessageBox(const QString&, const QString&, MsgIcon, MsgButtons) override {
        return MsgAnswer::Ok;
    }
    QString OpenFileDialog(const QString&, const QString&) override { return {}; }
    QString BrowseFolderDialog(const QString&) override { return {}; }
    void Pause(int) override {}
    void DoEvents() override {}
};

}  // namespace

class ConverterThreadsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

  private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        mime::RegisterComponent();
        // GLib makes a type's class on first use behind locks ThreadSanitizer cannot see; the
        // message types are made here, on one thread, so that the threads below meet only our
        // own caches empty.
        const QDir corpus(QStringLiteral(VELMORA_MAIL_CORPUS));
        for (const char* name : {"nested-rfc822.eml", "html-related.eml"}) {
            mailconverter::MailReader().ReadFile(corpus.filePath(QLatin1String(name)));
        }
    }

    // Plain, HTML with style sheets and tables, inline pictures, attached messages, many
    // scripts and their fallback faces: several rounds of each at once.
    void corpus_convertsOnThreadsAsOnOne() {
        const QDir corpus(QStringLiteral(VELMORA_MAIL_CORPUS));
        QStringList messages;
        for (const char* name :
             {"scripts.eml", "html/newsletter.eml", "html/long-table.eml", "html-related.eml",
              "inline-photo.eml", "nested-rfc822.eml", "charsets.eml", "long-lines.eml"}) {
            messages << corpus.filePath(QLatin1String(name));
        }
        constexpr int kRounds = 3;
        OrderedPool<Converter, QByteArray> pool(Converters(kThreads), 2 * kThreads);
        const qsizetype tasks = kRounds * messages.size();
        std::vector<QByteArray> sideBySide;
        qsizetype given = 0;
        for (qsizetype taken = 0; taken < tasks;) {
            while (given < tasks && pool.HasRoom()) {
                const QString eml = messages[given % messages.size()];
                const QString pdf = m_dir.filePath(QStringLiteral("side-%1.pdf").arg(given));
                pool.Submit([eml, pdf](Converter& converter) {
                    try {
                        converter->Convert(eml, pdf, QStringLiteral("-c PDF"));
                    } catch (const std::exception& error) {
                        return QByteArray(error.what());
                    }
                    return Timeless(ReadAll(pdf));
                });
                ++given;
            }
            if (auto pdf = pool.TakeNext(std::chrono::milliseconds(100))) {
                sideBySide.push_back(*pdf);
                ++taken;
            }
        }
        // Alone afterwards: the threads above met every cache empty.
        mailconverter::MailConverter alone;
        std::vector<QByteArray> expected;
        for (int i = 0; i < messages.size(); ++i) {
            const QString pdf = m_dir.filePath(QStringLiteral("alone-%1.pdf").arg(i));
            alone.Convert(messages[i], pdf, QStringLiteral("-c PDF"));
            expected.push_back(Timeless(ReadAll(pdf)));
        }

        for (qsizetype i = 0; i < tasks; ++i) {
            QVERIFY2(sideBySide[std::size_t(i)] == expected[std::size_t(i % messages.size())],
                     qPrintable(messages[i % messages.size()]));
        }
    }

    // The export's own split: built and named here, composed and converted over there.
    void composedOnThreads_asOnOne() {
        NoScreen screen;
        const QString root = m_dir.filePath(QStringLiteral("export")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(root + QStringLiteral("Inbox")));
        auto record = [&](int i) {
            exporting::MailRecord mail;
            mail.FolderName = QStringLiteral("Inbox");
            mail.eFrom = QStringLiteral("Ann Lee/Acme");
            mail.eTo = QStringLiteral("bo@example.com;Чэнь Бо <chen@example.com>");
            mail.eSubject = QStringLiteral("Message %1 – Übersicht 季度").arg(i);
            mail.eDate = QStringLiteral("2011-03-04T05:06:07Z");
            mail.eBody =
                QStringLiteral("Line one of %1\nمرحبا بالعالم\n").arg(i).repeated(1 + i % 5);
            const QString attachment = m_dir.filePath(QStringLiteral("att-%1.txt").arg(i));
            QFile file(attachment);
            if (file.open(QIODevice::WriteOnly)) {
                file.write(QByteArray("attached ").repeated(100 * (i + 1)));
            }
            mail.eAttachFileName = QLatin1Char('|') + attachment;
            return mail;
        };
        constexpr int kMessages = 16;
        // Alone: the same writer steps on this thread.
        exporting::MessageFileWriter serial(screen, nullptr, [] { return 1; });
        mailconverter::MailConverter alone;
        std::vector<QByteArray> expected;
        for (int i = 0; i < kMessages; ++i) {
            const auto prepared = serial.Prepare(root, record(i));
            const auto outcome = exporting::MessageFileWriter::Finish(prepared, &alone);
            QVERIFY2(outcome.written, qPrintable(outcome.reason));
            expected.push_back(PageText(outcome.pdfPath));
            serial.Release(prepared);
            QFile::remove(outcome.pdfPath);  // the same name comes again below
        }

        exporting::MessageFileWriter writer(screen, nullptr, [] { return 1; });
        OrderedPool<Converter, QByteArray> pool(Converters(kThreads), 2 * kThreads);
        std::vector<exporting::PreparedMessage> held;
        int given = 0;
        for (int taken = 0; taken < kMessages;) {
            while (given < kMessages && pool.HasRoom()) {
                const auto prepared = writer.Prepare(root, record(given));
                held.push_back(prepared);
                pool.Submit([prepared](Converter& converter) {
                    const auto outcome =
                        exporting::MessageFileWriter::Finish(prepared, converter.get());
                    return outcome.written ? PageText(outcome.pdfPath) : outcome.reason.toUtf8();
                });
                ++given;
            }
            if (auto pdf = pool.TakeNext(std::chrono::milliseconds(100))) {
                QVERIFY2(*pdf == expected[std::size_t(taken)],
                         qPrintable(QStringLiteral("message %1").arg(taken)));
                writer.Release(held[std::size_t(taken)]);
                ++taken;
            }
        }
        QCOMPARE(QDir(root + QStringLiteral("Inbox")).entryList({QStringLiteral("*.eml")}),
                 QStringList());
    }
};

QTEST_MAIN(ConverterThreadsTest)
#include "ConverterThreadsTest.moc"
