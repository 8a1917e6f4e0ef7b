// Prints figures of whole exports of a generated store, through the run the window uses and
// through velmora-export: messages per second with one conversion at a time and with one per
// core, the time per message of the first and the last thousand, peak memory, and the time a
// second run takes when nothing is left to do, and the rate of a mix of formatted mail.
// Usage: bench_export [MESSAGES...]   (default 10000; e.g. bench_export 10000 100000)
// Run it on a machine as quiet as you can get, and say how loaded it was.

#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreWriter.h"
#include "export/ExportLauncher.h"
#include "export/ExportRun.h"
#include "export/TerminalView.h"
#include "notes/MailboxScanner.h"
#include "notes/SilentMailboxView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

// Peak resident memory since the last reset, in KiB (VmHWM).
long PeakKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

// Lets the next peak be the next run's own.
void ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

long ResidentKib() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Marks the time and resident memory at every thousandth message done.
class ClockView : public exporting::ExportView {
  public:
    void SetSaveHeader(const QString&) override {}
    void SetProcessing(const QString&) override {}
    void SetFound(const QString&) override {}
    void SetCurrent(const QString&) override {}
    void SetSubjectCaptionVisible(bool) override {}
    void SetOverallProgress(std::int64_t done, std::int64_t) override {
        while (done >= static_cast<std::int64_t>(marks.size() + 1) * 1000) {
            marks.push_back(clock.nsecsElapsed());
            resident.push_back(ResidentKib());
        }
    }
    void CloseWindow() override {}

    QElapsedTimer clock;
    std::vector<qint64> marks;
    std::vector<long> resident;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0;
    std::int64_t written = 0, failed = 0, skipped = 0;
    double firstMs = 0, lastMs = 0;  // per message, first and last thousand
    long peakKib = 0;
    long residentMin = 0, residentMax = 0;  // at the thousand marks after the first
};

Figures RunExport(const QString& store, const QString& destination, int jobs) {
    notes::MailboxState mailbox;
    mailbox.databasePath = store;
    exporting::TerminalUserInterface ui;
    notes::SilentMailboxView mailboxView;
    notes::MailboxScanner(mailbox, mailboxView, ui).CmdScan_Click();
    exporting::ExportState state;
    int ticked = 0;
    state.SelectedFolders = exporting::CollectSelectedFolders(mailbox.tree, ticked);
    state.ExportRoot = destination;
    state.Jobs = jobs;
    ClockView view;
    exporting::ExportRun run(mailbox, state, view, ui);
    ResetPeak();
    const double cpuBefore = CpuSeconds();
    view.clock.start();
    run.CmdConversion_Click();
    Figures f;
    f.seconds = view.clock.nsecsElapsed() / 1e9;
    f.cpuSeconds = CpuSeconds() - cpuBefore;
    f.peakKib = PeakKib();
    f.written = run.Summary().written;
    f.failed = run.Summary().failed;
    f.skipped = run.Summary().skipped;
    const auto& marks = view.marks;
    if (!marks.empty()) {
        f.firstMs = marks.front() / 1e6 / 1000.0;
        f.lastMs =
            marks.size() > 1 ? (marks.back() - marks[marks.size() - 2]) / 1e6 / 1000.0 : f.firstMs;
        f.residentMin = f.residentMax =
            view.resident.size() > 1 ? view.resident[1] : view.resident[0];
        for (std::size_t i = 1; i < view.resident.size(); ++i) {
            f.residentMin = std::min(f.residentMin, view.resident[i]);
            f.residentMax = std::max(f.residentMax, view.resident[i]);
        }
    }
    return f;
}

struct CommandFigures {
    double seconds = 0;
    int exitCode = -1;
    long peakKib = 0;
};

CommandFigures RunCommand(const QString& tool, const QStringList& args) {
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(tool, args);
    process.waitForFinished(-1);
    CommandFigures f;
    f.seconds = clock.nsecsElapsed() / 1e9;
    f.exitCode = process.exitCode();
    // Children are waited for one at a time, so the largest so far is this one's when it grows.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    f.peakKib = usage.ru_maxrss;
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf(
        "  %-22s %7.1f s  %7.1f messages/s  CPU %.1f s  written %lld failed %lld skipped %lld\n"
        "  %-22s first thousand %.2f ms/message, last thousand %.2f ms/message\n"
        "  %-22s peak %ld KiB; resident from the second thousand on %ld..%ld KiB\n",
        what, f.seconds, (f.written + f.failed + f.skipped) / f.seconds, f.cpuSeconds,
        static_cast<long long>(f.written), static_cast<long long>(f.failed),
        static_cast<long long>(f.skipped), "", f.firstMs, f.lastMs, "", f.peakKib, f.residentMin,
        f.residentMax);
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    RegisterStandardComponents();
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(QString::fromLocal8Bit(argv[i]).toInt());
    }
    if (sizes.empty()) {
        sizes.push_back(10000);
    }
    const int cores = QThread::idealThreadCount();
    const QString tool = QStringLiteral(VELMORA_EXPORT_TOOL);
    int status = 0;
    for (const int messages : sizes) {
        QTemporaryDir work;
        const QString store = work.filePath("bench.nsf");
        {
            auto writer = notesstore::StoreWriter::Create(store);
            notesstore::GenerateScaled(*writer, messages);
            writer->Commit();
        }
        std::printf("%d generated messages, %d cores\n", messages, cores);
        // One job and all jobs by turns, so that a load that comes or goes on the machine
        // weighs on both alike.
        const int passes = messages <= 20000 ? 2 : 1;
        double oneSeconds = 0;
        double allSeconds = 0;
        Figures all;
        for (int pass = 0; pass < passes; ++pass) {
            const QString suffix = QString::number(pass);
            const Figures one = RunExport(store, work.filePath("one" + suffix), 1);
            Print("run, 1 job", one);
            all = RunExport(store, work.filePath("all" + suffix), cores);
            Print(qPrintable(QStringLiteral("run, %1 jobs").arg(cores)), all);
            oneSeconds += one.seconds;
            allSeconds += all.seconds;
            status |= one.failed + all.failed > 0 ? 1 : 0;
            if (pass + 1 < passes) {
                QDir(work.filePath("one" + suffix)).removeRecursively();
            }
        }
        std::printf("  all jobs / 1 job: %.2f times the rate\n", oneSeconds / allSeconds);
        const QString lastAll = work.filePath("all" + QString::number(passes - 1));
        const Figures again = RunExport(store, lastAll, cores);
        std::printf("  resume with nothing left: %.1f s, %.3f of the export (skipped %lld)\n",
                    again.seconds, again.seconds / all.seconds,
                    static_cast<long long>(again.skipped));

        // Mail a third each plain text, HTML (MIME) and rich text (CD records).
        const QString formattedStore = work.filePath("formatted.nsf");
        {
            auto writer = notesstore::StoreWriter::Create(formattedStore);
            notesstore::GenerateScaled(*writer, messages, notesstore::ScaledMix::Formatted);
            writer->Commit();
        }
        const Figures formatted = RunExport(formattedStore, work.filePath("formatted"), cores);
        Print("formatted mix", formatted);
        std::printf("  formatted mix / plain mix: %.0f %% of the rate\n",
                    100.0 * all.seconds / formatted.seconds);
        status |= formatted.failed > 0 ? 1 : 0;

        const CommandFigures command =
            RunCommand(tool, {store, work.filePath("command"), QStringLiteral("--quiet")});
        std::printf("  velmora-export, %d jobs: %.1f s, %.1f messages/s, peak %ld KiB, exit %d\n",
                    cores, command.seconds, (all.written + all.failed) / command.seconds,
                    command.peakKib, command.exitCode);
        const CommandFigures resumed =
            RunCommand(tool, {store, work.filePath("command"), QStringLiteral("--quiet")});
        std::printf("  velmora-export again: %.1f s, %.3f of the export, exit %d\n",
                    resumed.seconds, resumed.seconds / command.seconds, resumed.exitCode);
        if (command.exitCode != 0 || resumed.exitCode != 0) {
            status = 1;
        }
    }
    return status;
}
