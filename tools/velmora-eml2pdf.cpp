// velmora-eml2pdf INPUT.eml OUTPUT.pdf
// velmora-eml2pdf -o DIR FILE.eml...
// Converts messages as the export does. Exit status 0 only when every file converted;
// one line on stderr per file that did not.

#include "components/mailconverter/MailConverter.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

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

}  // namespace

int main(int argc, char** argv) {
    // Converting needs fonts, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QuietMessages);
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
        for (const QString& eml : args.mid(2)) {
            const QString pdf = target.filePath(QFileInfo(eml).completeBaseName() + ".pdf");
            all = ConvertOne(converter, eml, pdf) && all;
        }
        return all ? 0 : 1;
    }
    if (args.size() != 2 || args.first().startsWith(QLatin1Char('-'))) {
        return Usage();
    }
    return ConvertOne(converter, args[0], args[1]) ? 0 : 1;
}
