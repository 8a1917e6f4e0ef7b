// Prints figures of reading a real Notes database through the Notes object model: open,
// title, views and their counts, then a walk of every mail document reading Subject, From,
// SendTo, PostedDate and Body. Usage: bench_nsf FILE.nsf [rounds] (default 20)
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfSession.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace velmora;

namespace {

long PeakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_nsf FILE.nsf [rounds]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    try {
        const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20;
        const long before = PeakKib();
        long long documents = 0;
        long long characters = 0;
        long long refused = 0;
        QElapsedTimer clock;
        clock.start();
        qint64 openNanos = 0;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer open;
            open.start();
            nsf::FileSession session;
            const auto db = session.GetDatabase(QString(), path);
            characters += db->Title().size();
            const auto views = db->Views();
            for (const auto& view : views.value()) {
                characters += view->Name().size() + view->AllEntries()->Count();
            }
            openNanos += open.nsecsElapsed();
            const auto mail = db->GetView(QString::fromLatin1(nsf::kAllMailFolder));
            for (auto doc = mail->GetFirstDocument(); doc; doc = mail->GetNextDocument(doc)) {
                try {
                    for (const char* item : {"Subject", "From", "SendTo", "PostedDate", "Body"}) {
                        for (const auto& value : doc->GetItemValue(QString::fromLatin1(item))) {
                            characters += notes::ValueToText(value).size();
                        }
                    }
                } catch (const notes::NotesError&) {
                    ++refused;
                }
                ++documents;
            }
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        std::printf(
            "%s: %d rounds, %lld documents in %.3f s: %.0f documents/s "
            "(open, title, views and counts: %.2f ms a round; %lld characters read)\n",
            argv[1], rounds, documents, seconds, documents / seconds, openNanos / 1e6 / rounds,
            characters);
        std::printf("mail documents that could not be read: %lld\n", refused);

        // The reader itself, over every document whatever its form: all items, every value.
        clock.restart();
        long long notesRead = 0;
        long long values = 0;
        for (int round = 0; round < rounds; ++round) {
            const auto db = nsf::NsfDatabase::Open(path);
            for (const nsf::NoteRecord& note : db->Notes()) {
                if (!note.IsDocument()) {
                    continue;
                }
                try {
                    for (const nsf::NoteItem& item : db->Items(note)) {
                        values +=
                            static_cast<long long>(nsf::DecodeValues(item.type, item.value).size());
                    }
                } catch (const notes::NotesError&) {
                    ++refused;
                }
                ++notesRead;
            }
        }
        const double readerSeconds = clock.nsecsElapsed() / 1e9;
        std::printf(
            "reader: %lld documents (every item decoded, %lld values) in %.3f s: "
            "%.0f documents/s\n",
            notesRead, values, readerSeconds, notesRead / readerSeconds);
        std::printf("peak memory %ld KiB (%ld KiB before opening)\n", PeakKib(), before);
    } catch (const notes::NotesError& error) {
        std::printf("%s cannot be read: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
