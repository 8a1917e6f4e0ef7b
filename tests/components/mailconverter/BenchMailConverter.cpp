// Figures for the e-mail-to-PDF road, printed, never asserted:
//   bench_mailconverter [ITERATIONS] [MEMORY_RUNS]
// For a one-page message, a two-page message with two 200 KB attachments and a 50-page
// message: the median time of compose + write .eml + convert + delete, then the same
// messages as plain HTML through wkhtmltopdf (scripts/install-bench-deps) and the ratio;
// then the HTML newsletter of the test corpus (cid: logo, tables, button) converted as it
// is, next to wkhtmltopdf on its HTML part; last, resident memory over MEMORY_RUNS
// conversions in this one process, one-page plain text and the newsletter in turn.

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
        const QString eml = m_dir + "/message.eml";
        const QString pdf = m_dir + "/message.pdf";
        {
            QFile file(eml);
            if (!file.open(QIODevice::WriteOnly)) {
                qFatal("cannot write %s", qPrintable(eml));
            }
            file.write(text.toLatin1());
        }
        const qint64 composed = timer.nsecsElapsed();
        converter.Convert(eml, pdf, QStringLiteral("-c PDF"));
        const qint64 converted = timer.nsecsElapsed();
        QFile::remove(eml);
        all += timer.nsecsElapsed();
        compose += composed;
        convert += converted - composed;
        QFile::remove(pdf);
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
    std::printf("%-36s %10s %10s %10s %6s %12s %8s\n", "message", "total ms", "compose", "convert",
                "pages", "wkhtmltopdf", "ratio");
    for (const Scenario& scenario : scenarios) {
        Road road(dir.path(), scenario);
        const int runs = scenario.lines > 1000 ? std::max(3, iterations / 5) : iterations;
        std::vector<qint64> totals;
        std::vector<qint64> composes;
        std::vector<qint64> converts;
        qint64 compose = 0;
        qint64 convert = 0;
        qint64 all = 0;
        road.Run(converter, compose, convert, all);  // warm-up: fonts, caches
        for (int i = 0; i < runs; ++i) {
            compose = convert = all = 0;
            road.Run(converter, compose, convert, all);
            totals.push_back(all);
            composes.push_back(compose);
            converts.push_back(convert);
        }
        // Count the pages once, outside the timing.
        int pages = 0;
        {
            const QString eml = dir.filePath("count.eml");
            const QString pdf = dir.filePath("count.pdf");
            auto message = automation::CreateObject<mime::MailMessage>(mime::kMailMessageClassId);
            message->SetBody(BodyText(scenario.lines));
            QFile file(eml);
            file.open(QIODevice::WriteOnly);
            file.write(automation::CreateObject<mime::MailComposer>(mime::kMailComposerClassId)
                           ->ComposeText(*message)
                           .toLatin1());
            file.close();
            converter.Convert(eml, pdf, "-c PDF");
            QProcess info;
            info.start("pdfinfo", {pdf});
            info.waitForFinished();
            static const QRegularExpression pagesLine(QStringLiteral("Pages:\\s+(\\d+)"));
            pages = pagesLine.match(QString::fromUtf8(info.readAllStandardOutput()))
                        .captured(1)
                        .toInt();
        }
        double wkMs = 0;
        if (!wkhtmltopdf.isEmpty()) {
            const QString html = road.WriteHtml();
            std::vector<qint64> wk;
            const int wkRuns = std::max(3, runs / 10);
            for (int i = 0; i < wkRuns; ++i) {
                QElapsedTimer timer;
                timer.start();
                QProcess process;
                process.start(wkhtmltopdf, {"-q", html, dir.filePath("wk.pdf")});
                process.waitForFinished(120'000);
                wk.push_back(timer.nsecsElapsed());
            }
            wkMs = MedianMs(wk);
        }
        const double ours = MedianMs(totals);
        std::printf(
            "%-36s %10.2f %10.2f %10.2f %6d %12s %8s\n", scenario.name, ours, MedianMs(composes),
            MedianMs(converts), pages,
            wkhtmltopdf.isEmpty() ? "absent" : qPrintable(QString::number(wkMs, 'f', 1)),
            wkhtmltopdf.isEmpty() ? "-" : qPrintable(QString::number(wkMs / ours, 'f', 1) + "x"));
        std::fflush(stdout);
    }

    const QString newsletter = QStringLiteral(VELMORA_MAIL_CORPUS "/html/newsletter.eml");
    const QString newsletterPdf = dir.filePath("newsletter.pdf");
    {
        std::vector<qint64> totals;
        converter.Convert(newsletter, newsletterPdf, "-c PDF");  // warm-up
        for (int i = 0; i < iterations; ++i) {
            QElapsedTimer timer;
            timer.start();
            converter.Convert(newsletter, newsletterPdf, "-c PDF");
            totals.push_back(timer.nsecsElapsed());
        }
        QProcess info;
        info.start("pdfinfo", {newsletterPdf});
        info.waitForFinished();
        static const QRegularExpression pagesLine(QStringLiteral("Pages:\\s+(\\d+)"));
        const int pages =
            pagesLine.match(QString::fromUtf8(info.readAllStandardOutput())).captured(1).toInt();
        double wkMs = 0;
        if (!wkhtmltopdf.isEmpty()) {
            const QString html = dir.filePath("newsletter.html");
            QFile file(html);
            if (!file.open(QIODevice::WriteOnly)) {
                qFatal("cannot write %s", qPrintable(html));
            }
            for (const auto& part : mailconverter::MailReader().ReadFile(newsletter).body) {
                file.write(part.text.toUtf8());
            }
            file.close();
            std::vector<qint64> wk;
            for (int i = 0; i < std::max(3, iterations / 10); ++i) {
                QElapsedTimer timer;
                timer.start();
                QProcess process;
                process.start(wkhtmltopdf, {"-q", html, dir.filePath("wk.pdf")});
                process.waitForFinished(120'000);
                wk.push_back(timer.nsecsElapsed());
            }
            wkMs = MedianMs(wk);
        }
        const double ours = MedianMs(totals);
        std::printf(
            "%-36s %10.2f %10s %10.2f %6d %12s %8s\n", "HTML newsletter (corpus)", ours, "-", ours,
            pages, wkhtmltopdf.isEmpty() ? "absent" : qPrintable(QString::number(wkMs, 'f', 1)),
            wkhtmltopdf.isEmpty() ? "-" : qPrintable(QString::number(wkMs / ours, 'f', 1) + "x"));
        std::fflush(stdout);
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
