#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace velmora::exporting {

// The manifest's file name in the database's output folder.
inline constexpr const char* kManifestFileName = "manifest.jsonl";
// The file in the database's output folder that lists what could not be exported.
inline constexpr const char* kProblemsFileName = "Not converted.txt";

// The lock an export holds on its manifest while it runs, beside it and hidden.
QString LockPathFor(const QString& manifestPath);

// One message as the manifest keeps it: one JSON object per line.
struct ManifestEntry {
    QString folder;  // the output folder's name
    QString id;      // universal ID, else note ID
    QString subject;
    QString date;
    QString from;
    QString pdf;  // relative to the manifest's folder; "" without a PDF
    std::int64_t bytes = 0;
    QString sha256;  // lower-case hex
    int attachments = 0;
    bool written = false;
    QString reason;  // why it failed

    QByteArray ToJsonLine() const;  // with its line end
    static std::optional<ManifestEntry> FromJsonLine(const QByteArray& line);
};

// Every entry that reads back; a line cut short by a killed run is passed over. error is set
// when the file exists but cannot be read.
std::vector<ManifestEntry> ReadManifest(const QString& path, QString* error = nullptr);

struct FileHash {
    std::int64_t bytes = 0;
    QString sha256;
};
// The file's size and SHA-256; nothing when it cannot be read (reason says why).
std::optional<FileHash> HashFile(const QString& path, QString* reason = nullptr);

// Appends whole lines: each reaches the file with one write, so a killed run leaves at most a
// cut last line, never a line mixed into another.
class LineAppender {
  public:
    // Opens (and creates) path for appending; false with error() when it cannot.
    bool Open(const QString& path);
    bool Append(const QByteArray& line);
    void Close() { m_file.close(); }
    const QString& error() const { return m_error; }
    const QString& path() const { return m_path; }

  private:
    QFile m_file;
    QString m_path;
    QString m_error;
};

// What an earlier export into the same place left, and what this one may skip. A message is
// skipped when the manifest lists it (same folder, identity and subject) as written and its PDF
// is there with the recorded hash; a listed PDF that is missing or damaged is written again
// under its own name; one that is damaged is removed first.
class ResumePlan {
  public:
    enum class Kind { Export, Skip };
    struct Decision {
        Kind kind = Kind::Export;
        QString baseName;  // for a message written again: the name it had
        QString subject;   // for a skipped message: as recorded
    };

    // Reads the manifest at manifestPath and re-hashes every PDF it lists, on threads side by
    // side; idle is called while they work.
    static ResumePlan Load(const QString& manifestPath, int threads,
                           const std::function<void()>& idle = {});

    bool IsEmpty() const { return m_good.empty() && m_broken.empty(); }
    // Consumes one listed occurrence of the message.
    Decision Decide(const QString& folder, const QString& id, const QString& subject);

  private:
    struct Key {
        QString folder, id, subject;
        friend bool operator<(const Key& a, const Key& b) {
            return std::tie(a.folder, a.id, a.subject) < std::tie(b.folder, b.id, b.subject);
        }
    };
    std::map<Key, std::int64_t> m_good;
    std::map<Key, QStringList> m_broken;  // base names, in manifest order
};

// The names given out but not yet recorded in the manifest, kept beside it. What a killed
// run leaves there is removed by the next one: the PDF it may have finished (the manifest does
// not know it, so it would be a duplicate), the message file and any half-written PDF.
class PendingNames {
  public:
    explicit PendingNames(const QString& manifestPath);
    // Removes the leftovers of an interrupted run; returns how many files went.
    int Recover();
    bool Add(const QString& pdfRelative);
    // Once every name is in the manifest.
    void Finish();

  private:
    QString m_manifest;
    QString m_root;
    QString m_path;
    LineAppender m_file;
};

// What --verify finds: PDFs the manifest lists that are gone or differ from their hash, and
// files beside them that it does not list.
struct VerifyReport {
    std::int64_t checked = 0;
    QStringList missing, changed, extra;  // paths relative to the manifest
    bool Clean() const { return missing.isEmpty() && changed.isEmpty() && extra.isEmpty(); }
};
VerifyReport VerifyManifest(const QString& manifestPath, int threads);

}  // namespace velmora::exporting
