// Prints figures of a whole export of a generated store through the run the window uses:
// messages per second, peak memory, the time per message of each thousand, and the shares of
// extraction, conversion and the rest (composition and file handling). Conversion is timed
// inside the run; extraction by a second pass of the same code over every exported view.
// Usage: bench_export [messages] (default 10000)

#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "components/mailconverter/MailConverterX.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreWriter.h"
#include "export/ExportRun.h"
#include "export/MessageExtractor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

class SilentView : public exporting::ExportView {
  public:
    void SetSaveHeader(const QString&) override {}
    void SetProcessing(const QString&) override {}
    void SetFound(const QString&) override {}
    void SetCurrent(const QString&) override {}
    void SetSubjectCaptionVisible(bool) override {}
    void CloseWindow() override {}
};

// Resident memory now, unlike the peak, which the largest message sets.
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

// Two yields per message: the second marks a message done.
class ClockUserInterface : public UserInterface {
  public:
    MsgAnswer MessageBox(const QString& text, const QString&, MsgIcon, MsgButtons) override {
        std::printf("%s\n", qPrintable(QString(text).replace("\r\n", " | ")));
        return MsgAnswer::Ok;
    }
    QString OpenFileDialog(const QString&, const QString&) override { return {}; }
    QString BrowseFolderDialog(const QString&) override { return {}; }
    void Pause(int) override {}
    void DoEvents() override {
        if (++m_yields % 2 == 0 && (m_yields / 2) % 1000 == 0) {
            marks.push_back(clock.nsecsElapsed());
            resident.push_back(ResidentKib());
        }
    }
    QElapsedTimer clock;
    std::vector<qint64> marks;
    std::vector<long> resident;  // KiB at each mark

  private:
    long long m_yields = 0;
};

// The real converter, with a stopwatch around it.
class TimedConverter : public mailconverter::MailConverterX {
  public:
    explicit TimedConverter(std::shared_ptr<mailconverter::MailConverterX> real)
        : m_real(std::move(real)) {}
    void Convert(const QString& emlPath, const QString& pdfPath, const QString& switches) override {
        QElapsedTimer timer;
        timer.start();
        m_real->Convert(emlPath, pdfPath, switches);
        nanoseconds += timer.nsecsElapsed();
    }
    qint64 nanoseconds = 0;

  private:
    std::shared_ptr<mailconverter::MailConverterX> m_real;
};

// Reads every document of the views the run walked, as the run reads them.
qint64 ExtractionNanoseconds(notes::NotesSession& session, const QString& store,
                             const QString& spoolFolder, long long& documents) {
    exporting::AttachmentSpool spool(spoolFolder);
    QElapsedTimer timer;
    timer.start();
    const auto database = session.GetDatabase(QString(), store);
    for (const auto& view : database->Views().value_or(notes::ViewList{})) {
        static const QStringList kSystem{"($Inbox)", "($Sent)",      "($Drafts)",
                                         "($Trash)", "($Follow-Up)", "($JunkMail)"};
        const bool user = view->isfolder() && !view->Name().startsWith(QLatin1Char('('));
        if (!user && !kSystem.contains(view->Name())) {
            continue;
        }
        for (auto document = view->GetFirstDocument(); document;
             document = view->GetNextDocument(document)) {
            exporting::ExtractMailRecord(*document, exporting::ViewKind::UserFolder, view->Name(),
                                         spool);
            ++documents;
        }
    }
    return timer.nsecsElapsed();
}

// The same export of a store whose mail is a third each plain text, HTML (MIME) and rich text
// (CD records): messages per second.
double FormattedMixRate(int messages, const QString& folder) {
    const QString store = QDir(folder).filePath(QStringLiteral("formatted.nsf"));
    {
        auto writer = notesstore::StoreWriter::Create(store);
        notesstore::GenerateScaled(*writer, messages, notesstore::ScaledMix::Formatted);
        writer->Commit();
    }
    notes::MailboxState mailbox;
    mailbox.databasePath = store;
    mailbox.databaseTitle = QStringLiteral("Formatted");
    exporting::ExportState state;
    state.ExportRoot = QDir(folder).filePath(QStringLiteral("formatted-out"));
    auto session =
        automation::CreateObject<notes::NotesSession>(QStringLiteral("Notes.NotesSession"));
    const auto views = session->GetDatabase(QString(), store)->Views();
    for (const auto& view : views.value()) {
        state.SelectedFolders << view->Name();
    }
    state.SelectedFolders << QStringLiteral("Inbox Sent Drafts Trash Follow-Up JunkMail") << ""
                          << "";
    SilentView view;
    ClockUserInterface ui;
    exporting::ExportRun run(mailbox, state, view, ui);
    ui.clock.start();
    run.CmdConversion_Click();
    return run.Summary().written / (ui.clock.nsecsElapsed() / 1e9);
}

long PeakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    const int messages = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    RegisterStandardComponents();
    QTemporaryDir work;
    const QString store = work.filePath("bench.nsf");
    {
        auto writer = notesstore::StoreWriter::Create(store);
        notesstore::GenerateScaled(*writer, messages);
        writer->Commit();
    }
    notes::MailboxState mailbox;
    mailbox.databasePath = store;
    mailbox.databaseTitle = QStringLiteral("Bench");
    exporting::ExportState state;
    state.ExportRoot = work.filePath("out");
    auto session =
        automation::CreateObject<notes::NotesSession>(QStringLiteral("Notes.NotesSession"));
    const auto views = session->GetDatabase(QString(), store)->Views();
    for (const auto& view : views.value()) {
        state.SelectedFolders << view->Name();
    }
    state.SelectedFolders << QStringLiteral("Inbox Sent Drafts Trash Follow-Up JunkMail") << ""
                          << "";
    auto converter =
        std::make_shared<TimedConverter>(automation::CreateObject<mailconverter::MailConverterX>(
            QStringLiteral("MailConverter.MailConverterX")));
    const automation::Registry::ScopedOverride timed(QStringLiteral("MailConverter.MailConverterX"),
                                                     [converter] { return converter; });
    SilentView view;
    ClockUserInterface ui;
    exporting::ExportRun run(mailbox, state, view, ui);
    const long residentBefore = ResidentKib();
    ui.clock.start();
    run.CmdConversion_Click();
    const double seconds = ui.clock.nsecsElapsed() / 1e9;
    const auto& summary = run.Summary();
    std::printf("messages written %lld, failed %lld, in %.1f s: %.1f messages/s\n",
                static_cast<long long>(summary.written), static_cast<long long>(summary.failed),
                seconds, summary.written / seconds);
    // The peak includes making the store in this process; the marks below show the run alone.
    std::printf("peak memory %ld KiB, resident before the run %ld KiB\n", PeakKib(),
                residentBefore);
    const auto total = static_cast<qint64>(seconds * 1e9);
    long long extracted = 0;
    const qint64 extraction =
        ExtractionNanoseconds(*session, store, work.filePath("spool"), extracted);
    std::printf(
        "shares (extraction of %lld documents): extraction %.1f %%, conversion %.1f %%, "
        "composition and files %.1f %%\n",
        extracted, 100.0 * extraction / total, 100.0 * converter->nanoseconds / total,
        100.0 * (total - extraction - converter->nanoseconds) / total);
    for (std::size_t i = 0; i < ui.marks.size(); ++i) {
        const qint64 start = i == 0 ? 0 : ui.marks[i - 1];
        std::printf("thousand %zu: %.2f ms per message, resident %ld KiB\n", i + 1,
                    (ui.marks[i] - start) / 1e6 / 1000.0, ui.resident[i]);
    }
    const double plainRate = summary.written / seconds;
    const double formattedRate = FormattedMixRate(messages, work.path());
    std::printf(
        "formatted mix (plain, HTML and rich text, a third each): %.1f messages/s, "
        "%.0f %% of the plain mix's %.1f\n",
        formattedRate, 100.0 * formattedRate / plainRate, plainRate);
    return summary.failed == 0 ? 0 : 1;
}
