// Prints figures of a whole export of a generated store through the run the window uses:
// messages per second, peak memory, and the time per message of each thousand.
// Usage: bench_export [messages] (default 10000)

#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreWriter.h"
#include "export/ExportRun.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

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
        }
    }
    QElapsedTimer clock;
    std::vector<qint64> marks;

  private:
    long long m_yields = 0;
};

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
    SilentView view;
    ClockUserInterface ui;
    exporting::ExportRun run(mailbox, state, view, ui);
    ui.clock.start();
    run.CmdConversion_Click();
    const double seconds = ui.clock.nsecsElapsed() / 1e9;
    const auto& summary = run.Summary();
    std::printf("messages written %lld, failed %lld, in %.1f s: %.1f messages/s\n",
                static_cast<long long>(summary.written), static_cast<long long>(summary.failed),
                seconds, summary.written / seconds);
    std::printf("peak memory %ld KiB\n", PeakKib());
    for (std::size_t i = 0; i < ui.marks.size(); ++i) {
        const qint64 start = i == 0 ? 0 : ui.marks[i - 1];
        std::printf("thousand %zu: %.2f ms per message\n", i + 1,
                    (ui.marks[i] - start) / 1e6 / 1000.0);
    }
    return summary.failed == 0 ? 0 : 1;
}
