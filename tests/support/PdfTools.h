#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <vector>

namespace velmora::testing {

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a command-line tool to its end; a tool that hangs counts as failed, not as a hung test.
inline ToolResult RunTool(const QString& program, const QStringList& args) {
    QProcess process;
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
    QString text =
        QString::fromUtf8(
            RunTool(QStringLiteral("pdftotext"),
                    {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")})
                .out)
            .normalized(QString::NormalizationForm_KC);
    static const QRegularExpression marks(
        QStringLiteral("[\u200E\u200F\u202A-\u202E\u2066-\u2069]"));
    return text.remove(marks).simplified();
}

// The bytes of every file embedded in the PDF, sorted, so that two lists compare whatever
// names the files were given.
inline std::vector<QByteArray> EmbeddedFileContents(const QString& pdf, const QString& scratch) {
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    RunTool(QStringLiteral("pdfdetach"),
            {QStringLiteral("-saveall"), QStringLiteral("-o"), scratch, pdf});
    std::vector<QByteArray> contents;
    for (const QString& name : QDir(scratch).entryList(QDir::Files)) {
        QFile file(QDir(scratch).filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            contents.push_back(file.readAll());
        }
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

}  // namespace velmora::testing
