#pragma once

#include "components/mailconverter/MailConverterX.h"
#include "export/ExportView.h"
#include "notes/MemoryNotes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QStringList>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace velmora::testing {

// Keeps every label the run sets, in order.
class RecordingExportView : public exporting::ExportView {
  public:
    void SetSaveHeader(const QString& text) override { headers << text; }
    void SetProcessing(const QString& text) override { processing << text; }
    void SetFound(const QString& text) override { found << text; }
    void SetCurrent(const QString& text) override { current << text; }
    void SetSubjectCaptionVisible(bool visible) override { subjectVisible << visible; }
    void SetOverallProgress(std::int64_t done, std::int64_t total) override {
        overall.emplace_back(done, total);
    }
    void CloseWindow() override { ++closed; }

    QStringList headers, processing, found, current;
    QList<bool> subjectVisible;
    std::vector<std::pair<std::int64_t, std::int64_t>> overall;
    int closed = 0;
};

// Stands in for the PDF converter: the "PDF" is a copy of the message file, so a test can
// read what would have been rendered.
class CopyingConverter : public mailconverter::MailConverterX {
  public:
    // Shared by the run's worker threads.
    void Convert(const QString& emlPath, const QString& pdfPath, const QString& switches) override {
        const std::lock_guard lock(mutex);
        calls << emlPath + QLatin1Char('|') + pdfPath + QLatin1Char('|') + switches;
        if (fail) {
            throw mailconverter::ConversionError(QStringLiteral("refused"));
        }
        if (!QFile::copy(emlPath, pdfPath)) {
            throw mailconverter::ConversionError(QStringLiteral("cannot copy"));
        }
    }
    std::mutex mutex;
    QStringList calls;
    bool fail = false;
};

// Every file below root, relative to it, sorted.
inline QStringList FilesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QDir(root).relativeFilePath(it.next());
    }
    files.sort();
    return files;
}

// PDFs per folder below root ("Mail/Inbox" -> 2).
inline QMap<QString, int> PdfsPerFolder(const QString& root) {
    QMap<QString, int> counts;
    for (const QString& file : FilesBelow(root)) {
        if (file.endsWith(QLatin1String(".pdf"))) {
            ++counts[file.section(QLatin1Char('/'), 0, -2)];
        }
    }
    return counts;
}

inline notes::MemoryDocument Mail(const QString& subject,
                                  const QString& from = QStringLiteral("Ann Lee/Acme")) {
    notes::MemoryDocument document;
    document.SetText(QStringLiteral("Subject"), {subject});
    document.SetText(QStringLiteral("From"), {from});
    document.SetText(QStringLiteral("SendTo"), {QStringLiteral("Bo Chan/Acme")});
    document.SetText(QStringLiteral("Body"), {QStringLiteral("Body of ") + subject});
    return document;
}

// Adds count mails to view, subjects "<prefix> 0", "<prefix> 1", ...
inline void AddMails(notes::MemoryDatabaseData& data, const QString& view, int count,
                     const QString& prefix) {
    data.View(view);
    for (int i = 0; i < count; ++i) {
        data.AddDocument(Mail(prefix + QStringLiteral(" %1").arg(i)), {view});
    }
}

}  // namespace velmora::testing
