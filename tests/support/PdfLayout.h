#pragma once

#include "PdfTools.h"

#include <QHash>
#include <QRegularExpression>
#include <QString>

#include <vector>

namespace velmora::testing {

// One run of text on a page as poppler finds it: where it stands (in pdftohtml's units, 1.5
// per point) and in which embedded font.
struct PdfRun {
    QString text;
    double left = 0, top = 0, width = 0, height = 0;
    QString font;  // the embedded font's name, subset tag removed ("LiberationSans-Bold")
    bool bold = false;
    bool italic = false;
    double Centre() const { return left + width / 2; }
};

struct PdfLayout {
    double pageWidth = 0;
    std::vector<PdfRun> runs;

    // The first run holding text (or being it, when exact); a run with empty text when there
    // is none.
    PdfRun Find(const QString& text, bool exact = false) const {
        for (const PdfRun& run : runs) {
            if (exact ? run.text.trimmed() == text : run.text.contains(text)) {
                return run;
            }
        }
        return {};
    }
};

// The first page's runs of text (pdftohtml -xml), with the fonts' full names (pdffonts).
inline PdfLayout LayoutOf(const QString& pdf) {
    PdfLayout layout;
    QHash<QString, QString> fullNames;  // subset tag -> name
    const QString fonts = QString::fromUtf8(RunTool(QStringLiteral("pdffonts"), {pdf}).out);
    for (const QString& line : fonts.split(u'\n')) {
        const QString name = line.section(u' ', 0, 0);
        if (name.contains(u'+')) {
            fullNames.insert(name.section(u'+', 0, 0), name.section(u'+', 1));
        }
    }
    const QString xml = QString::fromUtf8(
        RunTool(QStringLiteral("pdftohtml"),
                {QStringLiteral("-xml"), QStringLiteral("-i"), QStringLiteral("-stdout"),
                 QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                 QStringLiteral("1"), pdf})
            .out);
    static const QRegularExpression page(QStringLiteral("<page [^>]*width=\"([\\d.]+)\""));
    layout.pageWidth = page.match(xml).captured(1).toDouble();
    QHash<QString, QString> fontOf;  // fontspec id -> subset tag
    static const QRegularExpression fontEntry(
        QStringLiteral("<fontspec id=\"(\\d+)\"[^>]*family=\"([^\"]*)\""));
    for (auto it = fontEntry.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        fontOf.insert(m.captured(1), m.captured(2).section(u'+', 0, 0));
    }
    static const QRegularExpression text(
        QStringLiteral("<text top=\"([\\d.-]+)\" left=\"([\\d.-]+)\" width=\"([\\d.]+)\" "
                       "height=\"([\\d.]+)\" font=\"(\\d+)\">(.*)</text>"));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    for (auto it = text.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        PdfRun run;
        run.top = m.captured(1).toDouble();
        run.left = m.captured(2).toDouble();
        run.width = m.captured(3).toDouble();
        run.height = m.captured(4).toDouble();
        run.font = fullNames.value(fontOf.value(m.captured(5)));
        QString inner = m.captured(6);
        run.bold = inner.contains(QLatin1String("<b>")) || run.font.contains(QLatin1String("Bold"));
        run.italic = inner.contains(QLatin1String("<i>")) ||
                     run.font.contains(QLatin1String("Italic")) ||
                     run.font.contains(QLatin1String("Oblique"));
        inner.remove(tags);
        inner.replace(QLatin1String("&lt;"), QLatin1String("<"));
        inner.replace(QLatin1String("&gt;"), QLatin1String(">"));
        inner.replace(QLatin1String("&quot;"), QLatin1String("\""));
        inner.replace(QLatin1String("&amp;"), QLatin1String("&"));
        run.text = inner;
        layout.runs.push_back(run);
    }
    return layout;
}

// The images the PDF draws, as "widthxheight" (pdfimages -list).
inline QStringList ImagesOf(const QString& pdf) {
    const QString list =
        QString::fromUtf8(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out);
    QStringList images;
    for (const QString& line : list.split(u'\n').mid(2)) {
        const QStringList fields = line.simplified().split(u' ');
        if (fields.size() > 4 && fields[2] == QLatin1String("image")) {
            images << fields[3] + u'x' + fields[4];
        }
    }
    return images;
}

}  // namespace velmora::testing
