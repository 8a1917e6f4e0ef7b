// velmora-store: builds, extends and prints offline mail stores.

#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/MailImporter.h"
#include "components/notesstore/StoreDump.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfDump.h"
#include "components/nsf/NsfSession.h"
#include "notes/SessionDispatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <optional>

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

// The options of every command; each command says which of them it takes.
struct Options {
    QCommandLineOption messages{QStringLiteral("messages"), QString(), QStringLiteral("N")};
    QCommandLineOption folder{QStringLiteral("folder"), QString(), QStringLiteral("NAME")};
    QCommandLineOption view{QStringLiteral("view"), QString(), QStringLiteral("NAME")};
    QCommandLineOption document{QStringLiteral("document"), QString(), QStringLiteral("N")};
    QCommandLineOption all{QStringLiteral("all")};
    QCommandLineOption json{QStringLiteral("json")};
};

// Whether parser holds no option but those allowed, each at most once.
bool OnlyOnce(const QCommandLineParser& parser, const QList<const QCommandLineOption*>& allowed) {
    for (const QString& name : parser.optionNames()) {
        const bool known = std::any_of(allowed.begin(), allowed.end(), [&](const auto* option) {
            return option->names().contains(name);
        });
        if (!known || parser.optionNames().count(name) > 1) {
            return false;
        }
    }
    return true;
}

// A whole number of at least 1, or nothing.
std::optional<int> Count(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 1 ? std::optional<int>(n) : std::nullopt;
}

int Generate(const QCommandLineParser& parser, const Options& o, const QStringList& args) {
    if (args.size() != 1 || !OnlyOnce(parser, {&o.messages})) {
        return Usage();
    }
    int messages = 0;
    if (parser.isSet(o.messages)) {
        const auto n = Count(parser.value(o.messages));
        if (!n) {
            Err() << "--messages needs a whole number of at least 1\n";
            return kUsageError;
        }
        messages = *n;
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

int Import(const QCommandLineParser& parser, const Options& o, const QStringList& args) {
    if (args.size() < 2 || !parser.isSet(o.folder) || !OnlyOnce(parser, {&o.folder})) {
        return Usage();
    }
    const QString folder = parser.value(o.folder);
    const ImportOutcome outcome = ImportMail(args[0], folder, args.mid(1));
    Out() << "Imported " << outcome.imported << " message(s) into " << folder << '\n';
    for (const QString& problem : outcome.problems) {
        Err() << "Skipped: " << problem << '\n';
    }
    return outcome.problems.isEmpty() ? 0 : 1;
}

int Dump(const QCommandLineParser& parser, const Options& o, const QStringList& args) {
    if (args.size() != 1) {
        return Usage();
    }
    if (parser.isSet(o.all) || parser.isSet(o.json)) {
        if (!parser.isSet(o.all) || !parser.isSet(o.json) || !OnlyOnce(parser, {&o.all, &o.json})) {
            return Usage();
        }
        // A real Notes database or a store, told apart by content as the program does.
        if (velmora::nsf::LooksLikeNsf(args[0])) {
            velmora::nsf::DumpAllJson(args[0], Out());
        } else {
            velmora::notesstore::DumpAllJson(args[0], Out());
        }
        return 0;
    }
    if (!OnlyOnce(parser, {&o.view, &o.document}) ||
        (parser.isSet(o.document) && !parser.isSet(o.view))) {
        return Usage();
    }
    // Stores and real Notes files alike, chosen by their content.
    velmora::notesstore::RegisterComponent();
    velmora::nsf::RegisterComponent();
    velmora::notes::DispatchingSession session;
    auto database = session.GetDatabase(QString(), args[0]);
    if (!parser.isSet(o.view)) {
        DumpViews(*database, Out());
        return 0;
    }
    const QString viewName = parser.value(o.view);
    auto view = database->GetView(viewName);
    if (!view) {
        Err() << "There is no view named " << viewName << '\n';
        return 1;
    }
    if (!parser.isSet(o.document)) {
        DumpDocuments(*view, Out());
        return 0;
    }
    const auto wanted = Count(parser.value(o.document));
    if (!wanted) {
        Err() << "--document needs a whole number of at least 1\n";
        return kUsageError;
    }
    auto document = view->GetFirstDocument();
    for (int i = 1; document && i < *wanted; ++i) {
        document = view->GetNextDocument(document);
    }
    if (!document) {
        Err() << "The view " << viewName << " has fewer than " << *wanted << " documents\n";
        return 1;
    }
    DumpDocument(*document, Out());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options o;
    QCommandLineParser parser;
    parser.addOptions({o.messages, o.folder, o.view, o.document, o.all, o.json});
    if (!parser.parse(QCoreApplication::arguments())) {
        return Usage();
    }
    QStringList args = parser.positionalArguments();
    if (args.size() < 2) {
        return Usage();
    }
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("generate")) {
            return Generate(parser, o, args);
        }
        if (command == QLatin1String("import")) {
            return Import(parser, o, args);
        }
        if (command == QLatin1String("dump")) {
            return Dump(parser, o, args);
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
