#include "export/FileNames.h"

#include "notes/FolderNames.h"

#include <QFile>
#include <QTextBoundaryFinder>

namespace velmora::exporting {

namespace {

// In the order they are replaced or removed.
constexpr char16_t kReservedChars[] = u":?\\/*\"<>|";

bool IsReserved(QChar c) {
    for (char16_t reserved : kReservedChars) {
        if (reserved != 0 && c.unicode() == reserved) {
            return true;
        }
    }
    return false;
}

bool IsControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

bool Climbs(const QString& name) {
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

}  // namespace

int EncodedLength(const QString& text) {
    return static_cast<int>(QFile::encodeName(text).size());
}

QString FitToBytes(const QString& text, int maxBytes) {
    if (EncodedLength(text) <= maxBytes) {
        return text;
    }
    // Whole graphemes only, so an accent or a surrogate pair is never split.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype fits = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        if (EncodedLength(text.left(next)) > maxBytes) {
            break;
        }
        fits = next;
    }
    return text.left(fits);
}

QString SafeFolderName(const QString& name, const QString& standIn) {
    QString safe;
    safe.reserve(name.size());
    for (QChar c : name) {
        if (IsReserved(c)) {
            safe += QLatin1Char('-');
        } else if (!IsControl(c)) {
            safe += c;
        }
    }
    // Later steps trim blanks from the name and from the path it ends: the test for "." and
    // ".." must see the name as it will finally stand, or " .." becomes ".." after it.
    safe = notes::TrimBlanks(FitToBytes(notes::TrimBlanks(safe), kMaxNameBytes));
    return Climbs(safe) ? standIn : safe;
}

QString SanitizeSubject(const QString& subject) {
    QString clean;
    clean.reserve(subject.size());
    for (QChar c : subject) {
        if (!IsReserved(c) && !IsControl(c)) {
            clean += c;
        }
    }
    return clean;
}

QString SafeAttachmentName(const QString& name) {
    QString last = name;
    const qsizetype cut =
        qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0) {
        last = name.mid(cut + 1);
    }
    QString clean;
    clean.reserve(last.size());
    for (QChar c : last) {
        if (c == QLatin1Char('|')) {
            clean += QLatin1Char('_');  // "|" separates the paths handed to the message file
        } else if (!IsControl(c)) {
            clean += c;
        }
    }
    // A trailing blank would be trimmed off the path list the message file reads.
    clean = clean.trimmed();
    if (Climbs(clean)) {
        return QStringLiteral("attachment");
    }
    if (EncodedLength(clean) > kMaxNameBytes) {
        // Keep a short extension, so the file still opens with the right program.
        const qsizetype dot = clean.lastIndexOf(QLatin1Char('.'));
        const QString extension = dot > 0 && clean.size() - dot <= 16 ? clean.mid(dot) : QString();
        clean = FitToBytes(clean.left(clean.size() - extension.size()),
                           kMaxNameBytes - EncodedLength(extension)) +
                extension;
    }
    return clean;
}

}  // namespace velmora::exporting
