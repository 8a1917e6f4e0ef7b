#include "util/FileNames.h"

#include <QFile>
#include <QTextBoundaryFinder>

namespace velmora::filenames {

namespace {

constexpr char16_t kReservedChars[] = u":?\\/*\"<>|";
constexpr qsizetype kMaxExtensionChars = 16;

bool LooksLikeExtension(QStringView extension) {
    return extension.size() > 1 && extension.size() <= kMaxExtensionChars + 1 &&
           !extension.contains(u' ');
}

}  // namespace

bool IsControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

bool IsReservedChar(QChar c) {
    for (char16_t reserved : kReservedChars) {
        if (reserved != 0 && c.unicode() == reserved) {
            return true;
        }
    }
    return false;
}

bool IsNoName(const QString& name) {
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

QString CleanChars(const QString& text, QChar reservedBecomes) {
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        if (IsReservedChar(c)) {
            if (!reservedBecomes.isNull()) {
                clean += reservedBecomes;
            }
        } else if (!IsControl(c)) {
            clean += c;
        }
    }
    return clean;
}

QString WithoutControls(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        if (!IsControl(c)) {
            clean += c;
        }
    }
    return clean;
}

QString TrimBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == QLatin1Char(' ')) {
        ++start;
    }
    while (end > start && text[end - 1] == QLatin1Char(' ')) {
        --end;
    }
    return start == 0 && end == text.size() ? text : text.mid(start, end - start);
}

QString SafeLevelName(const QString& name, QChar reservedBecomes, int maxBytes) {
    // The test for "." and ".." must see the name as it will finally stand, or " .." becomes
    // ".." once a later step trims it.
    const QString safe =
        TrimBlanks(FitToBytes(TrimBlanks(CleanChars(name, reservedBecomes)), maxBytes));
    return IsNoName(safe) ? QString() : safe;
}

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
    qsizetype bytes = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        bytes += EncodedLength(text.mid(fits, next - fits));
        if (bytes > maxBytes) {
            break;
        }
        fits = next;
    }
    return text.left(fits);
}

std::pair<QString, QString> SplitExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || !LooksLikeExtension(QStringView(name).mid(dot))) {
        return {name, QString()};
    }
    qsizetype start = dot;
    // Archives are known by both parts: "backup.tar.gz" stays "….tar.gz".
    if (dot > 4 && QStringView(name).left(dot).endsWith(u".tar", Qt::CaseInsensitive)) {
        start = dot - 4;
    }
    return {name.left(start), name.mid(start)};
}

QString FitWithTail(const QString& stem, const QString& tail, int maxBytes) {
    const int budget = maxBytes - EncodedLength(tail);
    if (EncodedLength(stem) <= budget) {
        return stem + tail;
    }
    QString cut = FitToBytes(stem, qMax(budget, 0));
    while (cut.endsWith(QLatin1Char(' '))) {
        cut.chop(1);
    }
    return cut + tail;
}

QString CapName(const QString& name, int maxBytes) {
    if (EncodedLength(name) <= maxBytes) {
        return name;
    }
    const auto [stem, extension] = SplitExtension(name);
    return FitWithTail(stem, extension, maxBytes);
}

QString FirstFreeName(const QString& stem, const QString& extension,
                      const std::function<bool(const QString&)>& isTaken, int firstNumber,
                      int maxBytes, int* usedNumber) {
    QString name = FitWithTail(stem, extension, maxBytes);
    int n = 0;
    if (isTaken(name)) {
        // Never overwrite: count on until a name is free.
        for (n = qMax(firstNumber, 2);; ++n) {
            name = FitWithTail(stem, QStringLiteral(" (%1)").arg(n) + extension, maxBytes);
            if (!isTaken(name)) {
                break;
            }
        }
    }
    if (usedNumber) {
        *usedNumber = n;
    }
    return name;
}

}  // namespace velmora::filenames
