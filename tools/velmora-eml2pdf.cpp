// velmora-eml2pdf INPUT.eml OUTPUT.pdf
// velmora-eml2pdf -o DIR FILE.eml...
// Converts messages as the export does. Exit status 0 only when every file converted;
// one line on stderr per file that did not. With -o, messages of the same name get
// "NAME (2).pdf" and so on, each said on stdout.

#include "components/mailconverter/MailConverter.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>

#include <csignal>
#include <cstdio>

namespace {

int Usage() {
    std::fputs(
        "usage: velmora-eml2pdf INPUT.eml OUTPUT.pdf\n"
        "       velmora-eml2pdf -o DIR FILE.eml...\n",
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
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "velmora-eml2pdf: %s\n", qUtf8Printable(message.simplified()));
    }
}

// "x.pdf", then "x (2).pdf", ...: messages of the same name from different folders
// each keep their PDF.
QString FreeName(const QString& base, QSet<QString>& taken) {
    QString name = base + QStringLiteral(".pdf");
    for (int n = 2; taken.contains(name.toLower()); ++n) {
        name = QStringLiteral("%1 (%2).pdf").arg(base).arg(n);
    }
    taken.insert(name.toLower());
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    // Converting needs fonts, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QuietMessages);
    // Past a file size limit, writing fails with an error the converter reports instead
    // of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    velmora::mailconverter::MailConverter converter;

    if (!args.isEmpty() && args.first() == QLatin1String("-o")) {
        if (args.size() < 3) {
            return Usage();
        }
        const QDir target(args[1]);
        if (!target.exists()) {
            std::fprintf(stderr, "velmora-eml2pdf: %s: no such folder\n", qUtf8Printable(args[1]));
            return 1;
        }
        bool all = true;
        QSet<QString> taken;
        for (const QString& eml : args.mid(2)) {
            const QString base = QFileInfo(eml).completeBaseName();
            const QString name = FreeName(base, taken);
            const QString pdf = target.filePath(name);
            const bool done = ConvertOne(converter, eml, pdf);
            if (done && name != base + QStringLiteral(".pdf")) {
                std::printf("%s: written as %s\n", qUtf8Printable(eml), qUtf8Printable(name));
            }
            all = done && all;
        }
        return all ? 0 : 1;
    }
    if (args.size() != 2 || args.first().startsWith(QLatin1Char('-'))) {
        return Usage();
    }
    return ConvertOne(converter, args[0], args[1]) ? 0 : 1;
}
