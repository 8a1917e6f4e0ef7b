#pragma once

#include "components/htmlhelp/ChmSitemap.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

struct chmFile;

namespace velmora::htmlhelp {

// Why a help file or a file inside it cannot be read.
class ChmError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One open compiled help file (.chm). Paths inside the archive are absolute ("/topic.html");
// the archive is read-only and is closed with the object.
class ChmArchive {
  public:
    // The largest file read out of an archive; a bigger size is taken as damage.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

    // Throws ChmError when the file is missing, is not a compiled help file or is damaged.
    explicit ChmArchive(const QString& fileName);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    const QString& FileName() const { return m_fileName; }
    // The help file's title as compiled in, or "" when it has none.
    const QString& Title() const { return m_title; }
    // The archive path of the page the help opens at, without fragment.
    const QString& DefaultTopic() const { return m_defaultTopic; }
    // The table of contents; empty when the archive has none or it cannot be read.
    const std::vector<ContentsEntry>& Contents() const { return m_contents; }

    // Whether path (absolute, or relative to the archive's root) names a file in the archive.
    bool Contains(const QString& path) const;
    // The bytes of the file at path. Throws ChmError when the path leaves the archive, names
    // no file, or the file cannot be read back whole.
    QByteArray ReadFile(const QString& path) const;

    // The absolute archive path that link names when found in the page at fromPath, without
    // fragment or query; nullopt for a link that leaves the archive (a scheme such as http:
    // or mailto:, or ".." above the root). "ms-its:Other.chm::/page.html" answers "/page.html".
    static std::optional<QString> ResolvePath(const QString& link,
                                              const QString& fromPath = QStringLiteral("/"));

  private:
    struct Closer {
        void operator()(chmFile* file) const;
    };

    void CheckStructure() const;
    std::optional<QByteArray> ReadIfPresent(const QString& absolutePath) const;
    void ReadSystem();
    QString FindRootFile(const QString& suffix) const;
    QString DefaultTopicFromProject() const;

    QString m_fileName;
    std::unique_ptr<chmFile, Closer> m_file;
    QString m_title;
    QString m_defaultTopic;
    QString m_contentsFile;
    std::vector<ContentsEntry> m_contents;
};

}  // namespace velmora::htmlhelp
