// velmora-store: builds, extends and prints offline mail stores.

#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/MailImporter.h"
#include "components/notesstore/StoreDump.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfDump.h"
#include "components/nsf/NsfSession.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace velmora::notesstore;
using velmora::notes::NotesError;

namespace {

constexpr int kUsageError = 2;

QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

QTextStream& Err() {
    static QTextStream err(stderr);
    return err;
}

int Usage() {
    Err() << "Usage:\n"
             "  velmora-store generate OUT.nsf [--messages N]\n"
             "      writes the demo mail database, or N generated messages in N/100 folders\n"
             "  velmora-store import STORE.nsf --folder NAME FILES...\n"
             "      files .eml files or mbox files into the folder (both created if missing)\n"
             "  velmora-store dump FILE.nsf [--view NAME [--document N]]\n"
             "      prints the views; with --view the view's documents; with --document the\n"
             "      items of its Nth document (counted from 1); FILE is a store or a real\n"
             "      Notes database\n"
             "  velmora-store dump FILE.nsf --all --json\n"
             "      prints every document of a store or a real Notes database as one JSON\n"
             "      object a line\n";
    return kUsageError;
}

int Generate(const QStringList& args) {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == QLatin1String("--messages"))) {
        return Usage();
    }
    int messages = 0;
    if (args.size() == 3) {
        bool ok = false;
        messages = args[2].toInt(&ok);
        if (!ok || messages < 1) {
            Err() << "--messages needs a whole number of at least 1\n";
            return kUsageError;
        }
    }
    auto writer = StoreWriter::Create(args[0]);
    if (messages > 0) {
        GenerateScaled(*writer, messages);
    } else {
        GenerateDemo(*writer);
    }
    writer->Commit();
    return 0;
}

int Import(const QStringList& args) {
    if (args.size() < 4 || args[1] != QLatin1String("--folder")) {
        return Usage();
    }
    const ImportOutcome outcome = ImportMail(args[0], args[2], args.mid(3));
    Out() << "Imported " << outcome.imported << " message(s) into " << args[2] << '\n';
    for (const QString& problem : outcome.problems) {
        Err() << "Skipped: " << problem << '\n';
    }
    return outcome.problems.isEmpty() ? 0 : 1;
}

int Dump(const QStringList& args) {
    if (args.size() == 3 && args[1] == QLatin1String("--all") &&
        args[2] == QLatin1String("--json")) {
        // A real Notes database or a store, told apart by content as the program does.
        if (velmora::nsf::LooksLikeNsf(args[0])) {
            velmora::nsf::DumpAllJson(args[0], Out());
        } else {
            velmora::notesstore::DumpAllJson(args[0], Out());
        }
        return 0;
    }
    if (args.size() != 1 && args.size() != 3 && args.size() != 5) {
        return Usage();
    }
    // Stores and real Notes files alike, chosen by their content.
    velmora::nsf::FileSession session;
    auto database = session.GetDatabase(QString(), args[0]);
    if (args.size() == 1) {
        DumpViews(*database, Out());
        return 0;
    }
    if (args[1] != QLatin1String("--view") ||
        (args.size() == 5 && args[3] != QLatin1String("--document"))) {
        return Usage();
    }
    auto view = database->GetView(args[2]);
    if (!view) {
        Err() << "There is no view named " << args[2] << '\n';
        return 1;
    }
    if (args.size() == 3) {
        DumpDocuments(*view, Out());
        return 0;
    }
    bool ok = false;
    const int wanted = args[4].toInt(&ok);
    if (!ok || wanted < 1) {
        Err() << "--document needs a whole number of at least 1\n";
        return kUsageError;
    }
    auto document = view->GetFirstDocument();
    for (int i = 1; document && i < wanted; ++i) {
        document = view->GetNextDocument(document);
    }
    if (!document) {
        Err() << "The view " << args[2] << " has fewer than " << wanted << " documents\n";
        return 1;
    }
    DumpDocument(*document, Out());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 2) {
        return Usage();
    }
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("generate")) {
            return Generate(args);
        }
        if (command == QLatin1String("import")) {
            return Import(args);
        }
        if (command == QLatin1String("dump")) {
            return Dump(args);
        }
    } catch (const StoreError& error) {
        Err() << error.Message() << '\n';
        return 1;
    } catch (const NotesError& error) {
        Err() << error.Message() << '\n';
        return 1;
    }
    return Usage();
}
