// Prints figures of reading real Notes databases, one line per file: opening through the
// Notes object model (title, views and their counts), then every item of every document
// through the reader, and peak memory. Usage: bench_nsf [--rounds N] FILE.nsf...
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfSession.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>

#include <cstdio>

using namespace velmora;

namespace {

long PeakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Measure(const QString& path, int rounds) {
    // Open, title, views and counts, as the scan does it: a new session each round.
    qint64 openNanos = 0;
    long long entries = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer open;
        open.start();
        nsf::FileSession session;
        const auto db = session.GetDatabase(QString(), path);
        entries += db->Title().size() > 0 ? 1 : 0;
        const auto views = db->Views().value_or(notes::ViewList{});
        for (const auto& view : views) {
            entries += view->AllEntries()->Count();
        }
        openNanos += open.nsecsElapsed();
    }
    // Of that, the file's own structures: header, descriptor block, superblock, notes.
    QElapsedTimer structures;
    structures.start();
    for (int round = 0; round < rounds; ++round) {
        entries += static_cast<long long>(nsf::NsfDatabase::Open(path)->Notes().size());
    }
    const double structuresMs = structures.nsecsElapsed() / 1e6 / rounds;
    // The reader itself, over every document: every item, every value decoded (the file
    // open already; opening is the figure above).
    const auto db = nsf::NsfDatabase::Open(path);
    QElapsedTimer clock;
    clock.start();
    long long documents = 0;
    long long values = 0;
    long long refused = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const nsf::NoteRecord& note : db->Notes()) {
            if (!note.IsDocument()) {
                continue;
            }
            ++documents;
            try {
                for (const nsf::NoteItem& item : db->Items(note)) {
                    try {
                        values +=
                            static_cast<long long>(nsf::DecodeValues(item.type, item.value).size());
                    } catch (const notes::NotesError&) {
                        ++refused;
                    }
                }
            } catch (const notes::NotesError&) {
                ++refused;
            }
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf(
        "%-24s %6.0f KB  open+title+views+counts %6.3f ms (structures %5.3f ms)  "
        "%5lld docs  %9.0f docs/s (%lld values, %lld refused)  peak %ld KiB\n",
        qPrintable(QFileInfo(path).fileName()), QFileInfo(path).size() / 1024.0,
        openNanos / 1e6 / rounds, structuresMs, documents / rounds,
        seconds > 0 ? documents / seconds : 0.0, values / rounds, refused / rounds, PeakKib());
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments().mid(1);
    int rounds = 20;
    if (args.size() >= 2 && args[0] == QLatin1String("--rounds")) {
        rounds = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_nsf [--rounds N] FILE.nsf...\n");
        return 2;
    }
    std::printf("peak memory before opening: %ld KiB; %d rounds\n", PeakKib(), rounds);
    int failed = 0;
    for (const QString& path : args) {
        try {
            Measure(path, rounds);
        } catch (const notes::NotesError& error) {
            std::printf("%s cannot be read: %s\n", qPrintable(path), error.what());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
