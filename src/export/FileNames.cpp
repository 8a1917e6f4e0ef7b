#include "export/FileNames.h"

namespace velmora::exporting {

QString SafeFolderName(const QString& name, const QString& standIn) {
    const QString safe = filenames::SafeLevelName(name, QLatin1Char('-'));
    return safe.isEmpty() ? standIn : safe;
}

QString SanitizeSubject(const QString& subject) {
    return filenames::CleanChars(subject);
}

QString SafeAttachmentName(const QString& name) {
    const qsizetype cut =
        qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    QString clean = filenames::WithoutControls(cut >= 0 ? name.mid(cut + 1) : name);
    // "|" separates the paths handed to the message file; a trailing blank would be trimmed
    // off the path list it reads.
    clean = clean.replace(QLatin1Char('|'), QLatin1Char('_')).trimmed();
    return filenames::IsNoName(clean) ? QStringLiteral("attachment") : filenames::CapName(clean);
}

}  // namespace velmora::exporting
