#include "components/mailconverter/base/FileName.h"

#include <QTextBoundaryFinder>

namespace velmora::mailconverter {

namespace {

constexpr qsizetype kMaxExtensionChars = 16;

bool LooksLikeExtension(QStringView ext) {
    return ext.size() > 1 && ext.size() <= kMaxExtensionChars + 1 && !ext.contains(u' ');
}

}  // namespace

std::pair<QString, QString> SplitExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || !LooksLikeExtension(QStringView(name).mid(dot))) {
        return {name, QString()};
    }
    qsizetype start = dot;
    // Archives are known by both parts: "backup.tar.gz" stays "….tar.gz".
    if (QStringView(name).left(dot).endsWith(u".tar", Qt::CaseInsensitive) && dot > 4) {
        start = dot - 4;
    }
    return {name.left(start), name.mid(start)};
}

QString FitFileName(const QString& stem, const QString& tail, int maxBytes) {
    const qsizetype budget = maxBytes - tail.toUtf8().size();
    if (stem.toUtf8().size() <= budget) {
        return stem + tail;
    }
    // Cut at a grapheme boundary, so that no character loses its accents or half of
    // a surrogate pair.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, stem);
    qsizetype keep = 0;
    qsizetype bytes = 0;
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        bytes += QStringView(stem).mid(previous, next - previous).toUtf8().size();
        if (bytes > budget) {
            break;
        }
        keep = next;
        previous = next;
    }
    QString cut = stem.left(keep);
    while (cut.endsWith(QLatin1Char(' '))) {
        cut.chop(1);
    }
    return cut + tail;
}

QString CapFileName(const QString& name, int maxBytes) {
    if (name.toUtf8().size() <= maxBytes) {
        return name;
    }
    const auto [stem, ext] = SplitExtension(name);
    return FitFileName(stem, ext, maxBytes);
}

}  // namespace velmora::mailconverter
