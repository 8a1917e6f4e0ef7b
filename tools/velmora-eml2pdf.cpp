// velmora-eml2pdf INPUT.eml OUTPUT.pdf
// velmora-eml2pdf [--overwrite] -o DIR FILE.eml...
// Converts messages as the export does. Exit status 0 only when every file converted;
// one line on stderr per file that did not. With -o, the folder is made when missing, and a
// name already taken (in DIR, or earlier in the same run) gives "NAME (2).pdf" and so on, each
// said on stdout; --overwrite replaces PDFs that were in DIR before the run instead.

#include "HeadlessConversion.h"
#include "components/mailconverter/MailConverter.h"
#include "util/FileNames.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>

namespace {

int Usage() {
    std::fputs(
        "usage: velmora-eml2pdf INPUT.eml OUTPUT.pdf\n"
        "       velmora-eml2pdf [--overwrite] -o DIR FILE.eml...\n",
        stderr);
    return 2;
}

bool ConvertOne(velmora::mailconverter::MailConverter& converter, const QString& eml,
                const QString& pdf) {
    try {
        converter.Convert(eml, pdf, QStringLiteral("-c PDF"));
        return true;
    } catch (const std::exception& e) {
        QString reason = QString::fromUtf8(e.what()).simplified();
        std::fprintf(stderr, "velmora-eml2pdf: %s: %s\n", qUtf8Printable(eml),
                     qUtf8Printable(reason));
        return false;
    }
}

// stderr carries one line per failed file and nothing else: Qt's own chatter (about
// runtime folders, fonts and the like) is dropped unless it is an error.
// Anything at all by that name, a dangling link included.
bool Occupied(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// "x.pdf", then "x (2).pdf", ...: messages of the same name from different folders each keep
// their PDF, and so does whatever was in the folder before, unless `replace` says otherwise.
QString FreeName(const QDir& folder, const QString& base, bool replace, QSet<QString>& taken) {
    const QString name = velmora::filenames::FirstFreeName(
        base, QStringLiteral(".pdf"), [&](const QString& candidate) {
            return taken.contains(candidate.toLower()) ||
                   (!replace && Occupied(folder.filePath(candidate)));
        });
    taken.insert(name.toLower());
    return name;
}

// Every missing level of path made, or the system's reason why not.
QString MakeFolder(const QString& path) {
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    for (qsizetype at = absolute.indexOf(QLatin1Char('/'), 1);;
         at = absolute.indexOf(QLatin1Char('/'), at + 1)) {
        const QString level = at < 0 ? absolute : absolute.left(at);
        if (::mkdir(QFile::encodeName(level).constData(), 0777) != 0 && errno != EEXIST) {
            return qt_error_string(errno);
        }
        if (at < 0) {
            break;
        }
    }
    return QFileInfo(absolute).isDir() ? QString() : qt_error_string(ENOTDIR);
}

// Every PDF is synced and in place: the process ends without tearing down Qt's font
// database and plugins, which costs a one-message process more than its deflate. Sanitizer
// builds tear down as usual, so that LeakSanitizer still looks at the whole run.
int EndNow(int status) {
#if !defined(__SANITIZE_ADDRESS__)
    std::fflush(nullptr);
    std::_Exit(status);
#endif
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    velmora::tools::PrepareHeadlessConversion("velmora-eml2pdf");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption overwrite(QStringLiteral("overwrite"));
    const QCommandLineOption outputFolder(QStringLiteral("o"), QString(), QStringLiteral("DIR"));
    parser.addOptions({overwrite, outputFolder});
    if (!parser.parse(app.arguments())) {
        return Usage();
    }
    const QStringList files = parser.positionalArguments();
    velmora::mailconverter::MailConverter converter;

    if (parser.isSet(outputFolder)) {
        if (files.isEmpty()) {
            return Usage();
        }
        const QString folder = parser.value(outputFolder);
        const QString problem = MakeFolder(folder);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "velmora-eml2pdf: %s: the folder cannot be made: %s\n",
                         qUtf8Printable(folder), qUtf8Printable(problem));
            return 1;
        }
        const QDir target(folder);
        bool all = true;
        QSet<QString> taken;
        for (const QString& eml : files) {
            const QString base = QFileInfo(eml).completeBaseName();
            const QString name = FreeName(target, base, parser.isSet(overwrite), taken);
            const bool done = ConvertOne(converter, eml, target.filePath(name));
            if (done && name != base + QStringLiteral(".pdf")) {
                std::printf("%s: written as %s\n", qUtf8Printable(eml), qUtf8Printable(name));
            }
            all = done && all;
        }
        return EndNow(all ? 0 : 1);
    }
    if (parser.isSet(overwrite) || files.size() != 2 || files[0].startsWith(QLatin1Char('-'))) {
        return Usage();
    }
    return EndNow(ConvertOne(converter, files[0], files[1]) ? 0 : 1);
}
