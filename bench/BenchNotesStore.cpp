// Prints the figures of the offline store at scale: generation time, the cost of a scan's
// reads, the speed of walking every folder and the peak memory of each phase. Each phase
// runs in a child process so that its peak memory is its own.

#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace velmora::notes;
using namespace velmora::notesstore;

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool InChild(const std::function<void()>& work) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 0;
        try {
            work();
        } catch (const std::exception& error) {
            std::printf("  failed: %s\n", error.what());
            code = 1;
        }
        std::fflush(stdout);
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Generate(const QString& path, int messages) {
    QElapsedTimer timer;
    timer.start();
    auto writer = StoreWriter::Create(path);
    GenerateScaled(*writer, messages);
    writer->Commit();
    std::printf("  generate %d messages: %.2f s, peak memory %.1f MB\n", messages,
                timer.nsecsElapsed() / 1e9, PeakKilobytes() / 1024.0);
}

void Read(const QString& path) {
    const QString subject = QStringLiteral("Subject"), from = QStringLiteral("From"),
                  sendTo = QStringLiteral("SendTo"), posted = QStringLiteral("PostedDate"),
                  body = QStringLiteral("Body");
    QElapsedTimer timer;
    timer.start();
    StoreSession session;
    auto database = session.GetDatabase(QString(), path);
    const QString title = database->Title();
    const auto views = database->Views();
    std::int64_t entries = 0;
    for (const ViewPtr& view : *views) {
        entries += view->AllEntries()->Count();
    }
    const double openMs = timer.nsecsElapsed() / 1e6;
    std::printf("  open + Title + Views + AllEntries.Count of %zu views (%lld entries): %.1f ms\n",
                views->size(), static_cast<long long>(entries), openMs);

    timer.restart();
    std::int64_t documents = 0, characters = 0;
    for (const ViewPtr& view : *views) {
        if (!view->isfolder()) {
            continue;
        }
        // As the export does: reopen, find the folder by name, walk it.
        auto folder = session.GetDatabase(QString(), path)->GetView(view->Name());
        for (DocumentPtr doc = folder->GetFirstDocument(); doc;
             doc = folder->GetNextDocument(doc)) {
            characters += FirstValueText(doc->GetItemValue(subject)).size();
            characters += FirstValueText(doc->GetItemValue(from)).size();
            characters += FirstValueText(doc->GetItemValue(sendTo)).size();
            characters += FirstValueText(doc->GetItemValue(posted)).size();
            characters += FirstValueText(doc->GetItemValue(body)).size();
            ++documents;
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf(
        "  walk every folder reading Subject, From, SendTo, PostedDate, Body: %lld "
        "documents in %.2f s = %.0f documents/s (%lld characters)\n",
        static_cast<long long>(documents), seconds, documents / seconds,
        static_cast<long long>(characters));
    std::printf("  peak memory of the reading process: %.1f MB (title \"%s\")\n",
                PeakKilobytes() / 1024.0, qPrintable(title));
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::printf("cannot create a temporary folder\n");
        return 1;
    }
    std::vector<int> sizes{10000, 100000};
    if (argc > 1) {
        sizes.assign(1, std::atoi(argv[1]));
    }
    bool ok = true;
    for (int messages : sizes) {
        const QString path = dir.filePath(QStringLiteral("bench-%1.nsf").arg(messages));
        std::printf("%d messages in %d folders:\n", messages, std::max(1, messages / 100));
        ok = InChild([&] { Generate(path, messages); }) && ok;
        ok = InChild([&] { Read(path); }) && ok;
        std::printf("  store file: %.1f MB\n", QFileInfo(path).size() / 1048576.0);
    }
    return ok ? 0 : 1;
}
