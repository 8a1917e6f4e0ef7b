#include "export/ExportReport.h"

#include "export/Manifest.h"
#include "util/AtomicFile.h"

#include <QFile>

namespace velmora::exporting {

namespace {

QString Count(std::int64_t n, const char* one, const char* many) {
    return n == 1 ? QLatin1String(one) : QString::fromLatin1(many).arg(n);
}

}  // namespace

FolderTotals& ExportSummary::Folder(const QString& name) {
    for (auto& [folder, totals] : folders) {
        if (folder == name) {
            return totals;
        }
    }
    folders.emplace_back(name, FolderTotals{});
    return folders.back().second;
}

void ExportSummary::AddProblem(const QString& folder, const QString& subject, const QString& reason,
                               std::int64_t messages) {
    QString line = VisibleControls(folder) + QLatin1Char('\t') + VisibleControls(subject) +
                   QLatin1Char('\t') + VisibleControls(reason);
    if (messages != 1) {
        line += QStringLiteral(" (%1 messages)").arg(messages);
    }
    problems.append(line);
}

QString VisibleControls(const QString& text) {
    static const char kHex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t') {
            out += QLatin1String("\\t");
        } else if (u == u'\n') {
            out += QLatin1String("\\n");
        } else if (u == u'\r') {
            out += QLatin1String("\\r");
        } else if (u < 0x20 || u == 0x7F) {
            out += QLatin1String("\\x") + QLatin1Char(kHex[u >> 4]) + QLatin1Char(kHex[u & 15]);
        } else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029) {
            out += QLatin1String("\\u");
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += QLatin1Char(kHex[(u >> shift) & 15]);
            }
        } else {
            out += c;
        }
    }
    return out;
}

QString WriteProblemList(const QString& path, const QStringList& problems) {
    if (problems.isEmpty()) {
        QFile::remove(path);  // an earlier run's list no longer holds
        return {};
    }
    QByteArray text = "Folder\tSubject\tWhat went wrong\n";
    for (const QString& line : problems) {
        text += line.toUtf8() + '\n';
    }
    return WriteFileAtomically(path, text);
}

CompletionMessage CompletionFor(const ExportSummary& summary, const QString& exportRoot,
                                const QString& databaseTitle, const QString& listError) {
    const bool failures =
        summary.failed > 0 || summary.missingAttachments > 0 || !summary.manifestError.isEmpty();
    QStringList lines;
    CompletionMessage message;
    message.title = QStringLiteral("Export Complete");
    if (summary.stopped) {
        message.title = QStringLiteral("Export Stopped");
        lines << QStringLiteral("The export was stopped.")
              << Count(summary.written, "1 message was exported before it stopped.",
                       "%1 messages were exported before it stopped.");
    } else if (failures) {
        lines << QStringLiteral("The export ended with failures.");
    } else {
        lines << QStringLiteral("Migration Completed Successfully !");
    }
    if (failures) {
        message.icon = MsgIcon::Warning;
        const std::int64_t handled = summary.written + summary.failed + summary.skipped;
        if (summary.failed > 0) {
            lines << QStringLiteral("%1 of %2 messages could not be converted.")
                         .arg(summary.failed)
                         .arg(handled);
        }
        if (summary.missingAttachments > 0) {
            lines << Count(summary.missingAttachments, "1 attachment could not be saved.",
                           "%1 attachments could not be saved.");
        }
        if (!summary.firstReason.isEmpty()) {
            lines << QStringLiteral("First failure: ") + summary.firstReason;
        }
        if (!summary.manifestError.isEmpty()) {
            lines << QStringLiteral("The manifest could not be written: ") + summary.manifestError;
        }
        if (!summary.problems.isEmpty()) {
            lines << (listError.isEmpty()
                          ? QStringLiteral("They are listed in \"%1\" in the folder below.")
                                .arg(QLatin1String(kProblemsFileName))
                          : QStringLiteral("The list \"%1\" could not be written: %2")
                                .arg(QLatin1String(kProblemsFileName), listError));
        }
    }
    lines << exportRoot << databaseTitle;
    if (summary.skipped > 0) {
        lines << QStringLiteral("%1 already exported, skipped").arg(summary.skipped);
    }
    message.text = lines.join(QStringLiteral("\r\n"));
    return message;
}

}  // namespace velmora::exporting
