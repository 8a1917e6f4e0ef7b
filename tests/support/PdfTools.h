#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmora::testing {

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a command-line tool to its end; a tool that hangs counts as failed, not as a hung test.
// inChild runs in the child before the program starts (limits, namespaces).
inline ToolResult RunTool(const QString& program, const QStringList& args,
                          const std::function<void()>& inChild = {}) {
    QProcess process;
    if (inChild) {
        process.setChildProcessModifier(inChild);
    }
    process.start(program, args);
    ToolResult result;
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        result.err = "did not finish: " + process.errorString().toUtf8();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The PDF's text as a reader would search it: compatibility forms folded, direction marks
// dropped, every run of white space one blank so that words match whatever the line breaks.
inline QString PdfWords(const QString& pdf) {
    QString text = QString::fromUtf8(RunTool(QStringLiteral("pdftotext"),
                                             {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                              QStringLiteral("-")})
                                         .out)
                       .normalized(QString::NormalizationForm_KC);
    static const QRegularExpression marks(
        QStringLiteral("[\u200E\u200F\u202A-\u202E\u2066-\u2069]"));
    return text.remove(marks).simplified();
}

// Every file embedded in the PDF, by name.
inline QMap<QString, QByteArray> EmbeddedFiles(const QString& pdf, const QString& scratch) {
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    RunTool(QStringLiteral("pdfdetach"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-saveall"),
             QStringLiteral("-o"), scratch, pdf});
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(scratch).entryList(QDir::Files)) {
        QFile file(QDir(scratch).filePath(name));
        files[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return files;
}

}  // namespace velmora::testing
