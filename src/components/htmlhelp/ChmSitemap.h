#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace velmora::htmlhelp {

// One line of a help file's table of contents. local is the absolute archive path of its
// topic, with its fragment when it has one ("/export.html#naming"), or "" for a heading
// that opens no page.
struct ContentsEntry {
    QString title;
    QString local;
    std::vector<ContentsEntry> children;
};

// Deeper lists of a sitemap are flattened into this level, so that hostile input cannot
// make the tree (and the code that walks it) arbitrarily deep.
inline constexpr int kMaxContentsDepth = 32;

// Reads an HTML Help sitemap (.hhc): nested <UL> lists whose <LI> items hold an
// <OBJECT type="text/sitemap"> with <param name="Name"> and <param name="Local">. Lenient:
// unknown tags are skipped and unclosed lists end with the text. Local paths are resolved
// against sitemapPath; those leaving the archive are dropped (the entry stays, opening no page).
std::vector<ContentsEntry> ParseSitemap(const QByteArray& html,
                                        const QString& sitemapPath = QStringLiteral("/"));

// Text of an attribute value or page: UTF-8 when it is valid UTF-8, otherwise Latin-1, with
// HTML character references (&amp; &#233; &#xE9;) replaced.
QString DecodeHtmlText(const QByteArray& bytes);

}  // namespace velmora::htmlhelp
