// Figures for the e-mail-to-PDF road, printed, never asserted:
//   bench_mailconverter [ITERATIONS] [MEMORY_RUNS]
// For a one-page message, a two-page message with two 200 KB attachments and a 50-page
// message: the median time of compose + write .eml + convert + delete in this process, of a
// whole velmora-eml2pdf process converting it, then the same messages as plain HTML through
// wkhtmltopdf (scripts/install-bench-deps) and the ratio, whole process against whole process;
// then the HTML newsletter of the test corpus (cid: logo, tables, button) converted as it
// is, next to wkhtmltopdf on its HTML part; last, resident memory over MEMORY_RUNS
// conversions in this one process, one-page plain text and the newsletter in turn.
// With valgrind installed, each message also gets its instructions counted by callgrind
// (which load does not move): one conversion in a process that has converted it twice
// already ("warm"), and a whole process of velmora-eml2pdf converting it ("process").

#include "components/mailconverter/MailConverter.h"
#include "components/mailconverter/MailReader.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MailMessage.h"
#include "components/mime/MimeComponent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace velmora;

namespace {

struct Scenario {
    const char* name;
    int lines;
    int attachments;
};

QString BodyText(int lines) {
    static const QString sentence = QStringLiteral(
        "The quarterly figures were reviewed with the sales team on Tuesday; details follow. ");
    QString text;
    for (int i = 0; i < lines; ++i) {
        text += QStringLiteral("%1 ").arg(i + 1) + sentence.left(40 + (i * 7) % 40) + "\n";
    }
    return text;
}

double MedianMs(std::vector<qint64> nanos) {
    if (nanos.empty()) {
        return 0;
    }
    std::sort(nanos.begin(), nanos.end());
    return nanos[nanos.size() / 2] / 1e6;
}

long StatusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Millions of instructions callgrind counts in `program arguments`, or -1 without valgrind.
double CountedInstructions(const QString& program, QStringList arguments, bool fromStart) {
    static const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty()) {
        return -1;
    }
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("callgrind.out"));
    arguments.prepend(program);
    arguments.prepend(QStringLiteral("--collect-atstart=") + (fromStart ? "yes" : "no"));
    arguments.prepend(QStringLiteral("--callgrind-out-file=") + out);
    arguments.prepend(QStringLiteral("--tool=callgrind"));
    QProcess process;
    process.start(valgrind, arguments);
    if (!process.waitForFinished(600'000) || process.exitCode() != 0) {
        return -1;
    }
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("totals:") || line.startsWith("summary:")) {
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toDouble() / 1e6;
        }
    }
    return -1;
}

// "warm / process" millions of instructions for converting `eml`.
QString Instructions(const QString& eml, const QString& pdf) {
    const double warm = CountedInstructions(QCoreApplication::applicationFilePath(),
                                            {QStringLiteral("--count-steady"), eml, pdf}, false);
    const double process = CountedInstructions(QStringLiteral(VELMORA_EML2PDF), {eml, pdf}, true);
    if (warm < 0 || process < 0) {
        return QStringLiteral("-");
    }
    return QString::number(warm, 'f', 1) + " / " + QString::number(process, 'f', 1);
}

class Road {
  public:
    Road(const QString& dir, const Scenario& scenario) : m_dir(dir), m_scenario(scenario) {
        m_body = BodyText(scenario.lines);
        for (int i = 0; i < scenario.attachments; ++i) {
            const QString path = m_dir + QStringLiteral("/attachment-%1.bin").arg(i + 1);
            QByteArray bytes(200 * 1024, Qt::Uninitialized);
            QRandomGenerator generator(42 + i);
            generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
                qFatal("cannot write %s", qPrintable(path));
            }
            m_attachments << path;
        }
    }

    // One message down the whole road; the time of each stage is added to the totals.
    void Run(mailconverter::MailConverter& converter, qint64& compose, qint64& convert,
             qint64& all) {
        QElapsedTimer timer;
        timer.start();
        const QString eml = m_dir + "/message.eml";
        const QString pdf = m_dir + "/message.pdf";
        Compose(eml);
        const qint64 composed = timer.nsecsElapsed();
        converter.Convert(eml, pdf, QStringLiteral("-c PDF"));
        const qint64 converted = timer.nsecsElapsed();
        QFile::remove(eml);
        all += timer.nsecsElapsed();
        compose += composed;
        convert += converted - composed;
        QFile::remove(pdf);
    }

    void Compose(const QString& eml) const {
        auto message = automation::CreateObject<mime::MailMessage>(mime::kMailMessageClassId);
        auto composer = automation::CreateObject<mime::MailComposer>(mime::kMailComposerClassId);
        message->AddTo(QStringLiteral("Jane Roe/Sales/Acme; bob@example.com"), QString());
        message->SetSubject(QStringLiteral("Quarterly figures %1").arg(m_scenario.name));
        message->SetBody(m_body);
        message->SetFrom(QStringLiteral("Ivan Petrov <ivan@example.com>"));
        message->AddCc(QStringLiteral("Team/Sales/Acme"), QString());
        message->SetDate(QDateTime(QDate(2026, 12, 8), QTime(14, 43), Qt::UTC));
        for (const QString& path : m_attachments) {
            message->AddAttachment(path);
        }
        const QString text = composer->ComposeText(*message);
        QFile file(eml);
        if (!file.open(QIODevice::WriteOnly)) {
            qFatal("cannot write %s", qPrintable(eml));
        }
        file.write(text.toLatin1());
    }

    // The same message as a plain HTML page, the way a browser-based converter gets it.
    QString WriteHtml() const {
        QString html =
            QStringLiteral(
                "<html><head><meta charset=\"utf-8\"></head><body>"
                "<h2>Quarterly figures %1</h2><table>"
                "<tr><td><b>From:</b></td><td>Ivan Petrov &lt;ivan@example.com&gt;</td></tr>"
                "<tr><td><b>To:</b></td><td>Jane Roe/Sales/Acme; bob@example.com</td></tr>"
                "<tr><td><b>Cc:</b></td><td>Team/Sales/Acme</td></tr>"
                "<tr><td><b>Date:</b></td><td>Tue, 08 Dec 2026 14:43:00 +0000</td></tr>")
                .arg(m_scenario.name);
        for (const QString& path : m_attachments) {
            html += "<tr><td><b>Attachment:</b></td><td>" + QFileInfo(path).fileName() +
                    " (200.0 KB)</td></tr>";
        }
        html += "</table><hr><pre style=\"white-space: pre-wrap\">" + m_body.toHtmlEscaped() +
                "</pre></body></html>";
        const QString path = m_dir + "/message.html";
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            qFatal("cannot write %s", qPrintable(path));
        }
        file.write(html.toUtf8());
        return path;
    }

  private:
    QString m_dir;
    Scenario m_scenario;
    QString m_body;
    QStringList m_attachments;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--count-steady") == 0) {
        // Under callgrind: the third conversion of the message is counted, once fonts,
        // caches and the subsetter's prepared faces (made at a face's second subset) are in
        // place, as in a long export.
        mailconverter::MailConverter converter;
        const QString eml = QString::fromLocal8Bit(argv[2]);
        const QString pdf = QString::fromLocal8Bit(argv[3]);
        converter.Convert(eml, pdf, "-c PDF");
        converter.Convert(eml, pdf, "-c PDF");
        CALLGRIND_TOGGLE_COLLECT;
        converter.Convert(eml, pdf, "-c PDF");
        CALLGRIND_TOGGLE_COLLECT;
        return 0;
    }
    if (argc == 5 && qstrcmp(argv[1], "--count-first") == 0) {
        // Under callgrind: a message met for the first time in a process warmed on another,
        // so that nothing kept from the message itself (words, parsed rules) is counted.
        mailconverter::MailConverter converter;
        const QString pdf = QString::fromLocal8Bit(argv[4]);
        converter.Convert(QString::fromLocal8Bit(argv[2]), pdf, "-c PDF");
        converter.Convert(QString::fromLocal8Bit(argv[2]), pdf, "-c PDF");
        CALLGRIND_TOGGLE_COLLECT;
        converter.Convert(QString::fromLocal8Bit(argv[3]), pdf, "-c PDF");
        CALLGRIND_TOGGLE_COLLECT;
        return 0;
    }
    const int iterations = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    const int memoryRuns = argc > 2 ? std::max(0, atoi(argv[2])) : 10000;
    mime::RegisterComponent();
    QTemporaryDir dir;
    if (!dir.isValid()) {
        qFatal("no temporary folder");
    }
    mailconverter::MailConverter converter;
    const QString wkhtmltopdf = QStandardPaths::findExecutable(QStringLiteral("wkhtmltopdf"));

    const Scenario scenarios[] = {{"one-page plain text", 30, 0},
                                  {"two pages, two 200 KB attachments", 90, 2},
                                  {"50 pages", 2900, 0}};
    std::printf("%-34s %9s %9s %9s %5s %11s %11s %14s %18s\n", "message", "total ms", "convert",
                "proc ms", "pages", "wk default", "wk js 0", "ratio def/0", "M instr warm/proc");
    const auto report = [&](const char* name, const std::vector<qint64>& totals,
                            const std::vector<qint64>& converts, const QString& eml,
                            const QString& html) {
        const QString pdf = dir.filePath(QStringLiteral("count.pdf"));
        converter.Convert(eml, pdf, "-c PDF");
        QProcess info;
        info.start("pdfinfo", {pdf});
        info.waitForFinished();
        static const QRegularExpression pagesLine(QStringLiteral("Pages:\\s+(\\d+)"));
        const int pages =
            pagesLine.match(QString::fromUtf8(info.readAllStandardOutput())).captured(1).toInt();
        // wkhtmltopdf waits 200 ms for scripts before printing unless told not to: both, whole
        // process against whole process.
        double wk[2] = {0, 0};
        for (int delay = 0; delay < 2 && !wkhtmltopdf.isEmpty(); ++delay) {
            std::vector<qint64> times;
            for (int i = 0; i < std::max(3, iterations / 10); ++i) {
                QElapsedTimer timer;
                timer.start();
                QProcess process;
                // Nothing outside the message is loaded, as in ours: remote images fail at once
                // through a proxy that is not there.
                QStringList arguments{"-q",
                                      "-p",
                                      "http://127.0.0.1:9",
                                      "--load-error-handling",
                                      "ignore",
                                      "--load-media-error-handling",
                                      "ignore",
                                      html,
                                      dir.filePath("wk.pdf")};
                if (delay == 1) {
                    arguments.prepend(QStringLiteral("0"));
                    arguments.prepend(QStringLiteral("--javascript-delay"));
                }
                process.start(wkhtmltopdf, arguments);
                process.waitForFinished(120'000);
                times.push_back(timer.nsecsElapsed());
            }
            wk[delay] = MedianMs(times);
        }
        // Ours the same way: a whole velmora-eml2pdf process on the message.
        std::vector<qint64> processTimes;
        for (int i = 0; i < std::max(3, iterations / 10); ++i) {
            QElapsedTimer timer;
            timer.start();
            QProcess process;
            process.start(QStringLiteral(VELMORA_EML2PDF), {eml, dir.filePath("proc.pdf")});
            process.waitForFinished(120'000);
            processTimes.push_back(timer.nsecsElapsed());
        }
        const double ours = MedianMs(processTimes);
        const auto ms = [&](double value) {
            return wkhtmltopdf.isEmpty() ? QStringLiteral("absent")
                                         : QString::number(value, 'f', 1);
        };
        const QString ratio = wkhtmltopdf.isEmpty()
                                  ? QStringLiteral("-")
                                  : QString::number(wk[0] / ours, 'f', 0) + "x / " +
                                        QString::number(wk[1] / ours, 'f', 0) + "x";
        std::printf("%-34s %9.2f %9.2f %9.2f %5d %11s %11s %14s %18s\n", name, MedianMs(totals),
                    MedianMs(converts), ours, pages, qPrintable(ms(wk[0])), qPrintable(ms(wk[1])),
                    qPrintable(ratio), qPrintable(Instructions(eml, pdf)));
        std::fflush(stdout);
    };
    for (const Scenario& scenario : scenarios) {
        Road road(dir.path(), scenario);
        const int runs = scenario.lines > 1000 ? std::max(3, iterations / 5) : iterations;
        std::vector<qint64> totals;
        std::vector<qint64> converts;
        qint64 compose = 0;
        qint64 convert = 0;
        qint64 all = 0;
        road.Run(converter, compose, convert, all);  // warm-up: fonts, caches
        for (int i = 0; i < runs; ++i) {
            compose = convert = all = 0;
            road.Run(converter, compose, convert, all);
            totals.push_back(all);
            converts.push_back(convert);
        }
        const QString eml = dir.filePath(QStringLiteral("count.eml"));
        road.Compose(eml);
        report(scenario.name, totals, converts, eml, road.WriteHtml());
    }

    // HTML mail of the corpus as it is, against wkhtmltopdf on its HTML part.
    const QString newsletter = QStringLiteral(VELMORA_MAIL_CORPUS "/html/newsletter.eml");
    const QString newsletterPdf = dir.filePath("newsletter.pdf");
    const struct {
        const char* name;
        const char* file;
    } htmlMail[] = {{"HTML newsletter, 3 KB (corpus)", "html/newsletter.eml"},
                    {"HTML newsletter, 32 KB", "bench/newsletter-monthly.eml"}};
    for (const auto& mail : htmlMail) {
        const QString eml = QStringLiteral(VELMORA_MAIL_CORPUS "/") + mail.file;
        std::vector<qint64> totals;
        converter.Convert(eml, newsletterPdf, "-c PDF");  // warm-up
        for (int i = 0; i < iterations; ++i) {
            QElapsedTimer timer;
            timer.start();
            converter.Convert(eml, newsletterPdf, "-c PDF");
            totals.push_back(timer.nsecsElapsed());
        }
        const QString html = dir.filePath("newsletter.html");
        QFile file(html);
        if (!file.open(QIODevice::WriteOnly)) {
            qFatal("cannot write %s", qPrintable(html));
        }
        // Remote images as empty data: wkhtmltopdf sometimes waited on them past two minutes
        // even through a proxy that is not there; ours never loads them either.
        static const QRegularExpression remote(
            QStringLiteral("((?:src\\s*=\\s*[\"']?|url\\(\\s*[\"']?))https?://[^\"'\\s>)]*"),
            QRegularExpression::CaseInsensitiveOption);
        for (const auto& part : mailconverter::MailReader().ReadFile(eml).body) {
            QString text = part.text;
            file.write(text.replace(remote, QStringLiteral("\\1data:,")).toUtf8());
        }
        file.close();
        report(mail.name, totals, totals, eml, html);
    }

    if (memoryRuns > 0) {
        std::printf("\nresident memory over %d conversions, plain and HTML in turn (KB):\n",
                    memoryRuns);
        Road road(dir.path(), scenarios[0]);
        qint64 compose = 0;
        qint64 convert = 0;
        qint64 all = 0;
        const int step = std::max(1, memoryRuns / 10);
        for (int i = 1; i <= memoryRuns; ++i) {
            if (i % 2 == 0) {
                QElapsedTimer timer;
                timer.start();
                converter.Convert(newsletter, newsletterPdf, "-c PDF");
                all += timer.nsecsElapsed();
            } else {
                road.Run(converter, compose, convert, all);
            }
            if (i % step == 0 || i == 1) {
                std::printf("  after %6d: rss %8ld  peak %8ld\n", i, StatusKb("VmRSS:"),
                            StatusKb("VmHWM:"));
                std::fflush(stdout);
            }
        }
        std::printf("  mean total per message: %.2f ms\n", all / 1e6 / memoryRuns);
    }
    return 0;
}
