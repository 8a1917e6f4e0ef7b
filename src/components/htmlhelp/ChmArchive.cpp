#include "components/htmlhelp/ChmArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <chm_lib.h>

#include <cstdint>
#include <cstring>

namespace velmora::htmlhelp {
namespace {

const char kControlData[] = "::DataSpace/Storage/MSCompressed/ControlData";
const char kResetTable[] =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
    "InstanceData/ResetTable";
const char kContent[] = "::DataSpace/Storage/MSCompressed/Content";

// Little-endian integers in a byte buffer; 0 past its end.
std::uint32_t Le32(const QByteArray& bytes, qsizetype at) {
    if (at < 0 || at + 4 > bytes.size()) {
        return 0;
    }
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

std::uint64_t Le64(const QByteArray& bytes, qsizetype at) {
    return Le32(bytes, at) | (std::uint64_t{Le32(bytes, at + 4)} << 32);
}

QString DecodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// The text of a #SYSTEM record: a string ended by a zero byte (or by the record).
QString RecordText(const QByteArray& record) {
    const qsizetype zero = record.indexOf('\0');
    return DecodeText(zero < 0 ? record : record.left(zero)).trimmed();
}

struct Enumeration {
    QString suffix;
    QString found;
};

int FindSuffix(chmFile*, chmUnitInfo* info, void* context) {
    auto* search = static_cast<Enumeration*>(context);
    const QString path = QString::fromUtf8(info->path);
    // Only files directly at the root, not system files such as "/#SYSTEM".
    if (path.count(u'/') == 1 && !path.startsWith(QStringLiteral("/#")) &&
        !path.startsWith(QStringLiteral("/$")) &&
        path.endsWith(search->suffix, Qt::CaseInsensitive)) {
        search->found = path;
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

const ContentsEntry* FirstWithTopic(const std::vector<ContentsEntry>& entries) {
    for (const ContentsEntry& entry : entries) {
        if (!entry.local.isEmpty()) {
            return &entry;
        }
        if (const ContentsEntry* inner = FirstWithTopic(entry.children)) {
            return inner;
        }
    }
    return nullptr;
}

QString WithoutFragment(const QString& local) {
    const qsizetype hash = local.indexOf(u'#');
    return hash < 0 ? local : local.left(hash);
}

}  // namespace

void ChmArchive::Closer::operator()(chmFile* file) const {
    chm_close(file);
}

ChmArchive::ChmArchive(const QString& fileName) : m_fileName(fileName) {
    const QFileInfo info(fileName);
    if (!info.exists()) {
        throw ChmError("the file does not exist");
    }
    if (info.isDir()) {
        throw ChmError("it is a folder, not a help file");
    }
    CheckStructure();
    m_file.reset(chm_open(QFile::encodeName(fileName).constData()));
    if (!m_file) {
        throw ChmError("it is not a compiled help file, or it is damaged");
    }
    ReadSystem();

    if (m_contentsFile.isEmpty() || !Contains(m_contentsFile)) {
        m_contentsFile = FindRootFile(QStringLiteral(".hhc"));
    }
    if (!m_contentsFile.isEmpty()) {
        try {
            m_contents = ParseSitemap(ReadFile(m_contentsFile), m_contentsFile);
        } catch (const ChmError&) {
            // A damaged table of contents leaves the topics readable; the help opens without it.
        }
    }

    if (m_defaultTopic.isEmpty() || !Contains(m_defaultTopic)) {
        m_defaultTopic = DefaultTopicFromProject();
    }
    if (m_defaultTopic.isEmpty()) {
        if (const ContentsEntry* first = FirstWithTopic(m_contents)) {
            m_defaultTopic = WithoutFragment(first->local);
        }
    }
    if (m_defaultTopic.isEmpty() || !Contains(m_defaultTopic)) {
        m_defaultTopic = QStringLiteral("/index.html");
    }
}

ChmArchive::~ChmArchive() = default;

// chmlib trusts what a file says about itself: it divides by sizes read from the file and
// decodes with parameters it has not checked, so a damaged file can crash it. The structure it
// relies on is checked here first, from the file's own bytes.
void ChmArchive::CheckStructure() const {
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw ChmError("the file cannot be read");
    }
    const auto fileSize = static_cast<std::uint64_t>(file.size());
    const auto readAt = [&file, fileSize](std::uint64_t offset, std::uint64_t length) {
        if (offset > fileSize || length > fileSize - offset || !file.seek(qint64(offset))) {
            throw ChmError("the help file is damaged (a part lies beyond its end)");
        }
        return file.read(qint64(length));
    };
    const auto damaged = [](const char* what) {
        return ChmError(std::string("the help file is damaged (") + what + ")");
    };

    const QByteArray itsf = file.read(0x60);
    if (itsf.size() < 0x58 || !itsf.startsWith("ITSF")) {
        throw ChmError("it is not a compiled help file");
    }
    const std::uint32_t version = Le32(itsf, 4);
    if ((version != 2 && version != 3) || (version == 3 && itsf.size() < 0x60)) {
        throw damaged("unknown header");
    }
    // Header section 0 holds the length the whole file should have.
    const QByteArray sizeSection = readAt(Le64(itsf, 0x38), 0x18);
    if (Le32(sizeSection, 0) != 0x1FE) {
        throw damaged("bad header");
    }
    if (Le64(sizeSection, 8) > fileSize) {
        throw ChmError("the help file is truncated");
    }

    const std::uint64_t dirOffset = Le64(itsf, 0x48);
    const std::uint64_t dirLength = Le64(itsf, 0x50);
    const std::uint64_t dataOffset = version == 3 ? Le64(itsf, 0x58) : dirOffset + dirLength;
    const QByteArray itsp = readAt(dirOffset, 0x54);
    const std::uint32_t blockLength = Le32(itsp, 0x10);
    const auto indexRoot = static_cast<std::int32_t>(Le32(itsp, 0x1C));
    const auto indexHead = static_cast<std::int32_t>(Le32(itsp, 0x20));
    if (itsp.size() < 0x54 || !itsp.startsWith("ITSP") || Le32(itsp, 4) != 1 ||
        Le32(itsp, 8) != 0x54 || blockLength < 0x20 || blockLength > 0x10000 ||
        dirLength < 0x54 + std::uint64_t{blockLength} || dirLength > fileSize) {
        throw damaged("bad directory header");
    }
    const auto blocks = static_cast<std::uint32_t>((dirLength - 0x54) / blockLength);
    if (indexRoot < -1 || indexRoot >= std::int32_t(blocks) || indexHead < 0 ||
        indexHead >= std::int32_t(blocks) || dataOffset > fileSize) {
        throw damaged("bad directory header");
    }

    // The directory's listing chunks, for the three entries that set up decompression.
    struct Entry {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        bool found = false;
    };
    Entry control;
    Entry resetTable;
    Entry content;
    const QByteArray directory = readAt(dirOffset + 0x54, std::uint64_t{blocks} * blockLength);
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const QByteArray chunk = directory.mid(qsizetype(block) * blockLength, blockLength);
        if (!chunk.startsWith("PMGL")) {
            continue;
        }
        const std::uint32_t freeSpace = Le32(chunk, 4);
        if (freeSpace > blockLength - 0x14) {
            throw damaged("bad directory");
        }
        const qsizetype end = blockLength - freeSpace;
        qsizetype pos = 0x14;
        const auto encint = [&chunk, &pos, end]() {
            std::uint64_t value = 0;
            for (int i = 0; i < 9; ++i) {
                if (pos >= end) {
                    break;
                }
                const auto byte = static_cast<unsigned char>(chunk[pos++]);
                value = (value << 7) | (byte & 0x7F);
                if (byte < 0x80) {
                    return value;
                }
            }
            throw ChmError("the help file is damaged (bad directory entry)");
        };
        while (pos < end) {
            const std::uint64_t nameLength = encint();
            if (nameLength == 0 || nameLength > std::uint64_t(end - pos)) {
                throw damaged("bad directory entry");
            }
            const QByteArray name = chunk.mid(pos, qsizetype(nameLength));
            pos += qsizetype(nameLength);
            const std::uint64_t space = encint();
            const std::uint64_t offset = encint();
            const std::uint64_t length = encint();
            Entry* entry = name == kControlData  ? &control
                           : name == kResetTable ? &resetTable
                           : name == kContent    ? &content
                                                 : nullptr;
            if (entry && space == 0 && !entry->found) {
                *entry = {offset, length, true};
            }
        }
    }
    if (!control.found || !resetTable.found || !content.found) {
        throw damaged("no compression data");
    }
    if (content.offset > fileSize - dataOffset || content.length > fileSize - dataOffset ||
        content.offset + content.length > fileSize - dataOffset) {
        throw damaged("content beyond the end");
    }

    // The checks chmlib makes, and those it leaves out before it divides and decodes.
    if (control.length < 0x18 || control.length > 0x100 || control.offset > fileSize) {
        throw damaged("compression data");
    }
    const QByteArray lzxc = readAt(dataOffset + control.offset, control.length);
    std::uint32_t resetInterval = Le32(lzxc, 12);
    std::uint32_t windowSize = Le32(lzxc, 16);
    const std::uint32_t windowsPerReset = Le32(lzxc, 20);
    if (Le32(lzxc, 8) == 2) {
        resetInterval *= 0x8000;
        windowSize *= 0x8000;
    }
    const bool powerOfTwo = windowSize != 0 && (windowSize & (windowSize - 1)) == 0;
    if (lzxc.mid(4, 4) != "LZXC" || !powerOfTwo || windowSize < (1u << 15) ||
        windowSize > (1u << 21) || resetInterval == 0 || resetInterval % (windowSize / 2) != 0 ||
        windowsPerReset == 0 || resetInterval / (windowSize / 2) * windowsPerReset == 0) {
        throw damaged("compression data");
    }
    if (resetTable.length < 0x28 || resetTable.offset > fileSize) {
        throw damaged("reset table");
    }
    const QByteArray reset = readAt(dataOffset + resetTable.offset, 0x28);
    const std::uint32_t resetBlocks = Le32(reset, 4);
    const std::uint32_t tableOffset = Le32(reset, 12);
    const std::uint64_t resetBlockLength = Le64(reset, 0x20);
    if (Le32(reset, 0) != 2 || resetBlockLength == 0 || resetBlockLength > (1u << 21) ||
        tableOffset > resetTable.length ||
        std::uint64_t{resetBlocks} * 8 > resetTable.length - tableOffset) {
        throw damaged("reset table");
    }
}

void ChmArchive::ReadSystem() {
    std::optional<QByteArray> system;
    try {
        system = ReadIfPresent(QStringLiteral("/#SYSTEM"));
    } catch (const ChmError&) {
        return;  // the fallbacks find the topic and the contents
    }
    if (!system) {
        return;
    }
    // A version number, then records: a 16-bit code, a 16-bit length and the data.
    qsizetype pos = 4;
    while (pos + 4 <= system->size()) {
        const std::uint32_t word = Le32(*system, pos);
        const std::uint32_t code = word & 0xFFFF;
        const qsizetype length = static_cast<qsizetype>(word >> 16);
        pos += 4;
        if (pos + length > system->size()) {
            break;
        }
        const QByteArray record = system->mid(pos, length);
        pos += length;
        if (code == 0) {
            m_contentsFile = ResolvePath(RecordText(record)).value_or(QString());
        } else if (code == 2) {
            m_defaultTopic = ResolvePath(RecordText(record)).value_or(QString());
        } else if (code == 3) {
            m_title = RecordText(record);
        }
    }
}

QString ChmArchive::FindRootFile(const QString& suffix) const {
    Enumeration search{suffix, {}};
    chm_enumerate_dir(m_file.get(), "/", CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, FindSuffix,
                      &search);
    return search.found;
}

// Some compilers store the project file in the archive; its [OPTIONS] name the topic too.
QString ChmArchive::DefaultTopicFromProject() const {
    const QString project = FindRootFile(QStringLiteral(".hhp"));
    if (project.isEmpty()) {
        return {};
    }
    QByteArray text;
    try {
        text = ReadFile(project);
    } catch (const ChmError&) {
        return {};
    }
    static const QRegularExpression line(
        QStringLiteral("^\\s*Default topic\\s*=\\s*(.+?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(DecodeText(text));
    if (!match.hasMatch()) {
        return {};
    }
    const QString topic = ResolvePath(match.captured(1), project).value_or(QString());
    return Contains(topic) ? topic : QString();
}

bool ChmArchive::Contains(const QString& path) const {
    const std::optional<QString> resolved = ResolvePath(path);
    if (!resolved || resolved->endsWith(u'/')) {
        return false;
    }
    chmUnitInfo info;
    return chm_resolve_object(m_file.get(), resolved->toUtf8().constData(), &info) ==
           CHM_RESOLVE_SUCCESS;
}

QByteArray ChmArchive::ReadFile(const QString& path) const {
    const std::optional<QString> resolved = ResolvePath(path);
    if (!resolved) {
        throw ChmError("\"" + path.toStdString() + "\" is not a path inside the help file");
    }
    std::optional<QByteArray> bytes = ReadIfPresent(*resolved);
    if (!bytes) {
        throw ChmError("the help file holds no \"" + resolved->toStdString() + "\"");
    }
    return *std::move(bytes);
}

std::optional<QByteArray> ChmArchive::ReadIfPresent(const QString& absolutePath) const {
    const QByteArray name = absolutePath.toUtf8();
    chmUnitInfo info;
    if (absolutePath.endsWith(u'/') || name.size() > CHM_MAX_PATHLEN ||
        chm_resolve_object(m_file.get(), name.constData(), &info) != CHM_RESOLVE_SUCCESS) {
        return std::nullopt;
    }
    if (info.length > static_cast<LONGUINT64>(kMaxFileSize)) {
        throw ChmError("the help file is damaged (\"" + absolutePath.toStdString() +
                       "\" is implausibly large)");
    }
    QByteArray bytes(static_cast<qsizetype>(info.length), '\0');
    if (info.length > 0 &&
        chm_retrieve_object(m_file.get(), &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(info.length)) !=
            static_cast<LONGINT64>(info.length)) {
        throw ChmError("the help file is damaged (\"" + absolutePath.toStdString() +
                       "\" cannot be read back)");
    }
    return bytes;
}

std::optional<QString> ChmArchive::ResolvePath(const QString& link, const QString& fromPath) {
    QString path = link.trimmed();
    path.replace(u'\\', u'/');
    // "ms-its:Help.chm::/topic.html" and "mk:@MSITStore:Help.chm::/topic.html" name a file of
    // a help file; the only one at hand is this one.
    if (const qsizetype separator = path.indexOf(QStringLiteral("::")); separator >= 0) {
        path = path.mid(separator + 2);
        if (!path.startsWith(u'/')) {
            path.prepend(u'/');
        }
    }
    const qsizetype cut = path.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0) {
        path.truncate(cut);
    }
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (scheme.match(path).hasMatch() || path.startsWith(QStringLiteral("//"))) {
        return std::nullopt;
    }
    if (path.isEmpty()) {
        path = fromPath;
    }

    QStringList segments;
    if (!path.startsWith(u'/')) {
        QString base = fromPath;
        base.replace(u'\\', u'/');
        segments = base.left(base.lastIndexOf(u'/') + 1).split(u'/', Qt::SkipEmptyParts);
    }
    const bool directory = path.endsWith(u'/');
    for (const QString& segment : path.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == QStringLiteral(".")) {
            continue;
        }
        if (segment == QStringLiteral("..")) {
            if (segments.isEmpty()) {
                return std::nullopt;
            }
            segments.removeLast();
            continue;
        }
        segments.append(segment);
    }
    QString resolved = u'/' + segments.join(u'/');
    if (directory && !segments.isEmpty()) {
        resolved += u'/';
    }
    return resolved;
}

}  // namespace velmora::htmlhelp
