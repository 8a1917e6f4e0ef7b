#include "export/Manifest.h"

#include "export/OrderedPool.h"
#include "util/AtomicFile.h"
#include "util/WriteAll.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace velmora::exporting {

namespace {

constexpr auto kIdleWait = std::chrono::milliseconds(50);
const QLatin1String kPdfSuffix(".pdf");

// The last entry of each PDF the manifest lists as written, in the order they first appear:
// a PDF written again by a later run is listed again.
std::vector<ManifestEntry> LatestWritten(std::vector<ManifestEntry> entries) {
    std::vector<ManifestEntry> latest;
    QHash<QString, std::size_t> at;
    for (ManifestEntry& entry : entries) {
        if (entry.pdf.isEmpty()) {
            continue;
        }
        const auto found = at.constFind(entry.pdf);
        if (found != at.constEnd()) {
            latest[*found] = std::move(entry);
        } else {
            at.insert(entry.pdf, latest.size());
            latest.push_back(std::move(entry));
        }
    }
    std::erase_if(latest, [](const ManifestEntry& entry) { return !entry.written; });
    return latest;
}

enum class PdfState { Good, Missing, Changed };

// Hashes the PDFs of entries on threads side by side; the states come in entries' order.
std::vector<PdfState> CheckPdfs(const QDir& root, const std::vector<ManifestEntry>& entries,
                                int threads, const std::function<void()>& idle) {
    std::vector<PdfState> states;
    states.reserve(entries.size());
    OrderedPool<int, PdfState> pool(
        std::vector<int>(static_cast<std::size_t>(std::max(threads, 1))),
        static_cast<std::size_t>(std::max(threads, 1)) * 4);
    std::size_t next = 0;
    while (states.size() < entries.size()) {
        while (next < entries.size() && pool.HasRoom()) {
            const QString path = root.filePath(entries[next].pdf);
            const std::int64_t bytes = entries[next].bytes;
            const QString sha256 = entries[next].sha256;
            pool.Submit([path, bytes, sha256](int&) {
                if (!QFileInfo(path).isFile()) {
                    return PdfState::Missing;
                }
                const auto hash = HashFile(path);
                return hash && hash->bytes == bytes && hash->sha256 == sha256 ? PdfState::Good
                                                                              : PdfState::Changed;
            });
            ++next;
        }
        if (auto state = pool.TakeNext(kIdleWait)) {
            states.push_back(*state);
        } else if (idle) {
            idle();
        }
    }
    return states;
}

QString HiddenBeside(const QString& manifestPath, const char* suffix) {
    const QFileInfo manifest(manifestPath);
    return manifest.absoluteDir().filePath(QLatin1Char('.') + manifest.fileName() +
                                           QLatin1String(suffix));
}

QString PendingPathFor(const QString& manifestPath) {
    return HiddenBeside(manifestPath, ".pending");
}

}  // namespace

QString LockPathFor(const QString& manifestPath) {
    return HiddenBeside(manifestPath, ".lock");
}

QByteArray ManifestEntry::ToJsonLine() const {
    const QJsonObject object{
        {QStringLiteral("folder"), folder},
        {QStringLiteral("id"), id},
        {QStringLiteral("subject"), subject},
        {QStringLiteral("date"), date},
        {QStringLiteral("from"), from},
        {QStringLiteral("pdf"), pdf},
        {QStringLiteral("bytes"), static_cast<qint64>(bytes)},
        {QStringLiteral("sha256"), sha256},
        {QStringLiteral("attachments"), attachments},
        {QStringLiteral("outcome"), written ? QStringLiteral("written") : QStringLiteral("failed")},
        {QStringLiteral("reason"), reason},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<ManifestEntry> ManifestEntry::FromJsonLine(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = document.object();
    const QString outcome = o.value(QStringLiteral("outcome")).toString();
    if (outcome != QLatin1String("written") && outcome != QLatin1String("failed")) {
        return std::nullopt;
    }
    ManifestEntry entry;
    entry.folder = o.value(QStringLiteral("folder")).toString();
    entry.id = o.value(QStringLiteral("id")).toString();
    entry.subject = o.value(QStringLiteral("subject")).toString();
    entry.date = o.value(QStringLiteral("date")).toString();
    entry.from = o.value(QStringLiteral("from")).toString();
    entry.pdf = o.value(QStringLiteral("pdf")).toString();
    entry.bytes = o.value(QStringLiteral("bytes")).toInteger();
    entry.sha256 = o.value(QStringLiteral("sha256")).toString();
    entry.attachments = o.value(QStringLiteral("attachments")).toInt();
    entry.written = outcome == QLatin1String("written");
    entry.reason = o.value(QStringLiteral("reason")).toString();
    return entry;
}

std::vector<ManifestEntry> ReadManifest(const QString& path, QString* error) {
    std::vector<ManifestEntry> entries;
    QFile file(path);
    if (!file.exists()) {
        return entries;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return entries;
    }
    while (!file.atEnd()) {
        if (auto entry = ManifestEntry::FromJsonLine(file.readLine())) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::optional<FileHash> HashFile(const QString& path, QString* reason) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason) {
            *reason = file.errorString();
        }
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        if (reason) {
            *reason = file.errorString();
        }
        return std::nullopt;
    }
    return FileHash{file.size(), QString::fromLatin1(hash.result().toHex())};
}

bool LineAppender::Open(const QString& path) {
    m_path = path;
    m_file.setFileName(path);
    // Unbuffered: each line goes out in the one write that Append makes.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        return false;
    }
    // A line cut short by a killed run ends here, so that the next one starts on its own.
    if (m_file.size() > 0) {
        QFile tail(path);
        if (tail.open(QIODevice::ReadOnly) && tail.seek(tail.size() - 1) &&
            tail.read(1) != QByteArray("\n")) {
            return Append(QByteArray("\n"));
        }
    }
    return true;
}

bool LineAppender::Append(const QByteArray& line) {
    if (!m_file.isOpen()) {
        return false;
    }
    m_error = WriteAll(m_file, line);
    return m_error.isEmpty();
}

ResumePlan ResumePlan::Load(const QString& manifestPath, int threads,
                            const std::function<void()>& idle) {
    ResumePlan plan;
    const std::vector<ManifestEntry> latest = LatestWritten(ReadManifest(manifestPath));
    if (latest.empty()) {
        return plan;
    }
    const QDir root = QFileInfo(manifestPath).absoluteDir();
    const std::vector<PdfState> states = CheckPdfs(root, latest, threads, idle);
    for (std::size_t i = 0; i < latest.size(); ++i) {
        const ManifestEntry& entry = latest[i];
        const Key key{entry.folder, entry.id, entry.subject};
        if (states[i] == PdfState::Good) {
            ++plan.m_good[key];
            continue;
        }
        if (states[i] == PdfState::Changed) {
            QFile::remove(root.filePath(entry.pdf));
        }
        QString base = QFileInfo(entry.pdf).fileName();
        if (base.endsWith(kPdfSuffix)) {
            base.chop(kPdfSuffix.size());
        }
        plan.m_broken[key].append(base);
    }
    return plan;
}

ResumePlan::Decision ResumePlan::Decide(const QString& folder, const QString& id,
                                        const QString& subject) {
    Decision decision;
    const Key key{folder, id, subject};
    if (const auto good = m_good.find(key); good != m_good.end() && good->second > 0) {
        --good->second;
        decision.kind = Kind::Skip;
        decision.subject = subject;
        return decision;
    }
    if (const auto broken = m_broken.find(key);
        broken != m_broken.end() && !broken->second.isEmpty()) {
        decision.baseName = broken->second.takeFirst();
    }
    return decision;
}

PendingNames::PendingNames(const QString& manifestPath)
    : m_manifest(manifestPath),
      m_root(QFileInfo(manifestPath).absolutePath()),
      m_path(PendingPathFor(manifestPath)) {}

int PendingNames::Recover() {
    int removed = 0;
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        QSet<QString> recorded;
        for (const ManifestEntry& entry : ReadManifest(m_manifest)) {
            recorded.insert(entry.pdf);
        }
        const QDir root(m_root);
        while (!file.atEnd()) {
            const QString pdf = QString::fromUtf8(file.readLine()).chopped(1);
            if (pdf.isEmpty() || recorded.contains(pdf) || !pdf.endsWith(kPdfSuffix)) {
                continue;
            }
            const QString path = root.filePath(pdf);
            const QFileInfo info(path);
            // What the converter's writer left when the run was killed mid-write.
            QStringList leftovers = info.dir().entryList({TemporaryNameFilter(info.fileName())},
                                                         QDir::Files | QDir::Hidden);
            for (QString& leftover : leftovers) {
                leftover = info.dir().filePath(leftover);
            }
            leftovers << path << path.chopped(kPdfSuffix.size()) + QStringLiteral(".eml");
            for (const QString& leftover : leftovers) {
                removed += QFile::remove(leftover) ? 1 : 0;
            }
        }
        file.close();
    }
    QFile::remove(m_path);
    return removed;
}

bool PendingNames::Add(const QString& pdfRelative) {
    if (!m_file.path().isEmpty() || m_file.Open(m_path)) {
        return m_file.Append(pdfRelative.toUtf8() + '\n');
    }
    return false;
}

void PendingNames::Finish() {
    m_file.Close();
    QFile::remove(m_path);
}

VerifyReport VerifyManifest(const QString& manifestPath, int threads) {
    VerifyReport report;
    const std::vector<ManifestEntry> latest = LatestWritten(ReadManifest(manifestPath));
    const QDir root = QFileInfo(manifestPath).absoluteDir();
    const std::vector<PdfState> states = CheckPdfs(root, latest, threads, {});
    QSet<QString> listed;
    QString common;
    for (std::size_t i = 0; i < latest.size(); ++i) {
        const QString& pdf = latest[i].pdf;
        listed.insert(QDir::cleanPath(root.filePath(pdf)));
        ++report.checked;
        if (states[i] == PdfState::Missing) {
            report.missing << pdf;
        } else if (states[i] == PdfState::Changed) {
            report.changed << pdf;
        }
        // Extra files are looked for below the folder that holds every listed PDF.
        QString folder = QDir::cleanPath(QFileInfo(root.filePath(pdf)).absolutePath());
        if (common.isEmpty()) {
            common = folder;
        }
        while (common != folder && !folder.startsWith(common + QLatin1Char('/'))) {
            common = QFileInfo(common).path();
        }
    }
    if (common.isEmpty()) {
        common = root.absolutePath();
    }
    const QSet<QString> own = {
        QDir::cleanPath(QFileInfo(manifestPath).absoluteFilePath()),
        QDir::cleanPath(QFileInfo(PendingPathFor(manifestPath)).absoluteFilePath()),
        QDir::cleanPath(QFileInfo(LockPathFor(manifestPath)).absoluteFilePath()),
        QDir::cleanPath(root.absoluteFilePath(QLatin1String(kProblemsFileName)))};
    QDirIterator it(common, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir::cleanPath(it.next());
        if (!listed.contains(path) && !own.contains(path)) {
            report.extra << root.relativeFilePath(path);
        }
    }
    report.extra.sort();
    return report;
}

}  // namespace velmora::exporting
