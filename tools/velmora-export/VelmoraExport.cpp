// velmora-export DATABASE DESTINATION [--folder NAME]... [--jobs N] [--manifest FILE] [--quiet]
// velmora-export --verify FOLDER
// The export of the windows without them: one mail file per run, restartable through its
// manifest.

#include "HeadlessConversion.h"
#include "components/StandardComponents.h"
#include "export/CommandLineExport.h"
#include "util/ProductNames.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

std::atomic<bool> g_stop = false;
static_assert(std::atomic<bool>::is_always_lock_free);

// The first interrupt ends the run after the messages in hand; a second one ends the process.
void AskToStop(int signal) {
    if (g_stop.exchange(true)) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

// Standard error carries progress and failures only: Qt's own chatter (runtime folders,
// fonts) is dropped unless it is an error.
int Usage(QCommandLineParser& parser, const QString& problem) {
    std::fprintf(stderr, "velmora-export: %s\n\n%s", qUtf8Printable(problem),
                 qUtf8Printable(parser.helpText()));
    return velmora::exporting::kExitUnusable;
}

}  // namespace

int main(int argc, char** argv) {
    velmora::tools::PrepareHeadlessConversion("velmora-export");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-export"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(QLatin1String(velmora::kVersion)).arg(velmora::kBuildNumber));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports the mail of a Lotus Notes database as PDF documents, one per message, in a "
        "folder tree that mirrors the mail folders, as the Velmora windows do. A manifest "
        "(manifest.jsonl) lists every message with its PDF's SHA-256; running the same export "
        "again skips what is already there and completes an interrupted one.\n\n"
        "Exit status: 0 when every message became a PDF, 1 when some did not (each is listed) "
        "or the run was stopped, 2 when the database or the destination cannot be used."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("DATABASE"),
        QStringLiteral("The Notes database (.nsf) or offline mail store."));
    parser.addPositionalArgument(
        QStringLiteral("DESTINATION"),
        QStringLiteral("The folder to export into; a folder named after the database's title is "
                       "made in it."));
    const QCommandLineOption folder(
        QStringLiteral("folder"),
        QStringLiteral("Export this folder, named as the folder tree shows it (\"Inbox\", "
                       "\"Sent\", \"Projects\"); may be given more than once. Without it, "
                       "every folder is exported."),
        QStringLiteral("NAME"));
    const QCommandLineOption jobs(
        QStringLiteral("jobs"), QStringLiteral("Conversions side by side (default: one per core)."),
        QStringLiteral("N"));
    const QCommandLineOption manifest(
        QStringLiteral("manifest"),
        QStringLiteral("Keep the manifest in FILE instead of manifest.jsonl in the database's "
                       "output folder."),
        QStringLiteral("FILE"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No progress; failures and totals only."));
    const QCommandLineOption verify(
        QStringLiteral("verify"),
        QStringLiteral("Re-hash every PDF the manifest in FOLDER lists and report missing, "
                       "changed and extra files (exit status 1 on any)."),
        QStringLiteral("FOLDER"));
    parser.addOptions({folder, jobs, manifest, quiet, verify});
    if (!parser.parse(app.arguments())) {
        return Usage(parser, parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("velmora-export %s\n", qUtf8Printable(QCoreApplication::applicationVersion()));
        return 0;
    }

    int threads = 0;
    if (parser.isSet(jobs)) {
        bool ok = false;
        threads = parser.value(jobs).toInt(&ok);
        if (!ok || threads < 1) {
            return Usage(parser, QStringLiteral("--jobs wants a whole number above 0"));
        }
    }
    velmora::RegisterStandardComponents();
    if (parser.isSet(verify)) {
        if (!parser.positionalArguments().isEmpty()) {
            return Usage(parser, QStringLiteral("--verify takes only the folder"));
        }
        return velmora::exporting::VerifyFromCommandLine(parser.value(verify), threads, stdout,
                                                         stderr);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        return Usage(parser, QStringLiteral("a database and a destination are needed"));
    }
    std::signal(SIGINT, AskToStop);
    std::signal(SIGTERM, AskToStop);
    velmora::exporting::CommandOptions options;
    options.database = positional[0];
    options.destination = positional[1];
    options.folders = parser.values(folder);
    options.jobs = threads;
    options.manifest = parser.value(manifest);
    options.quiet = parser.isSet(quiet);
    return velmora::exporting::ExportFromCommandLine(options, stdout, stderr,
                                                     ::isatty(STDERR_FILENO) != 0, g_stop);
}
