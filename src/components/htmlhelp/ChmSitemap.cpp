#include "components/htmlhelp/ChmSitemap.h"

#include "components/htmlhelp/ChmArchive.h"
#include "util/HtmlText.h"

#include <QHash>
#include <QStringDecoder>

#include <cstdint>

namespace velmora::htmlhelp {
namespace {

struct Tag {
    QByteArray name;  // lower case
    bool closing = false;
    QHash<QByteArray, QByteArray> attributes;  // names in lower case, raw values
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Reads the tag that starts at html[pos] == '<' and leaves pos after its '>'.
Tag ReadTag(const QByteArray& html, qsizetype& pos) {
    Tag tag;
    const qsizetype n = html.size();
    ++pos;
    if (pos < n && html[pos] == '/') {
        tag.closing = true;
        ++pos;
    }
    const qsizetype nameStart = pos;
    while (pos < n && !IsSpace(html[pos]) && html[pos] != '>' && html[pos] != '/') {
        ++pos;
    }
    tag.name = html.mid(nameStart, pos - nameStart).toLower();
    while (pos < n && html[pos] != '>') {
        if (IsSpace(html[pos]) || html[pos] == '/') {
            ++pos;
            continue;
        }
        const qsizetype attrStart = pos;
        while (pos < n && !IsSpace(html[pos]) && html[pos] != '=' && html[pos] != '>') {
            ++pos;
        }
        const QByteArray attrName = html.mid(attrStart, pos - attrStart).toLower();
        while (pos < n && IsSpace(html[pos])) {
            ++pos;
        }
        QByteArray value;
        if (pos < n && html[pos] == '=') {
            ++pos;
            while (pos < n && IsSpace(html[pos])) {
                ++pos;
            }
            if (pos < n && (html[pos] == '"' || html[pos] == '\'')) {
                const char quote = html[pos++];
                const qsizetype end = html.indexOf(quote, pos);
                const qsizetype stop = end < 0 ? n : end;
                value = html.mid(pos, stop - pos);
                pos = end < 0 ? n : end + 1;
            } else {
                const qsizetype valueStart = pos;
                while (pos < n && !IsSpace(html[pos]) && html[pos] != '>') {
                    ++pos;
                }
                value = html.mid(valueStart, pos - valueStart);
            }
        }
        if (!attrName.isEmpty() && !tag.attributes.contains(attrName)) {
            tag.attributes.insert(attrName, value);
        }
    }
    if (pos < n) {
        ++pos;  // the '>'
    }
    return tag;
}

}  // namespace

QString DecodeHtmlText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        text = QString::fromLatin1(bytes);
    }
    return DecodeHtmlEntities(text);
}

std::vector<ContentsEntry> ParseSitemap(const QByteArray& html, const QString& sitemapPath) {
    std::vector<ContentsEntry> root;
    // The lists being filled, innermost last. Only the innermost one grows, so the pointers
    // to the outer ones stay valid until they are popped.
    std::vector<std::vector<ContentsEntry>*> lists;
    bool inObject = false;
    QByteArray name;
    QByteArray local;
    bool haveName = false;
    bool haveLocal = false;

    qsizetype pos = 0;
    while (pos < html.size()) {
        const qsizetype open = html.indexOf('<', pos);
        if (open < 0) {
            break;
        }
        pos = open;
        if (html.mid(pos, 4) == "<!--") {
            const qsizetype end = html.indexOf("-->", pos + 4);
            pos = end < 0 ? html.size() : end + 3;
            continue;
        }
        const Tag tag = ReadTag(html, pos);
        if (tag.name == "ul") {
            if (tag.closing) {
                if (!lists.empty()) {
                    lists.pop_back();
                }
            } else if (lists.empty()) {
                lists.push_back(&root);
            } else if (lists.size() >= static_cast<size_t>(kMaxContentsDepth) ||
                       lists.back()->empty()) {
                lists.push_back(lists.back());
            } else {
                lists.push_back(&lists.back()->back().children);
            }
        } else if (tag.name == "object") {
            if (!tag.closing) {
                inObject = tag.attributes.value("type").trimmed().toLower() == "text/sitemap";
                haveName = haveLocal = false;
                name.clear();
                local.clear();
                continue;
            }
            if (inObject && (haveName || haveLocal)) {
                ContentsEntry entry;
                const QString localText = DecodeHtmlText(local).trimmed();
                const qsizetype hash = localText.indexOf(u'#');
                if (!localText.isEmpty()) {
                    if (const auto path = ChmArchive::ResolvePath(localText, sitemapPath)) {
                        entry.local = *path + (hash >= 0 ? localText.mid(hash) : QString());
                    }
                }
                entry.title = haveName ? DecodeHtmlText(name).simplified() : localText;
                (lists.empty() ? root : *lists.back()).push_back(std::move(entry));
            }
            inObject = false;
        } else if (tag.name == "param" && inObject) {
            const QByteArray param = tag.attributes.value("name").trimmed().toLower();
            if (param == "name" && !haveName) {
                name = tag.attributes.value("value");
                haveName = true;
            } else if (param == "local" && !haveLocal) {
                local = tag.attributes.value("value");
                haveLocal = true;
            }
        }
    }
    return root;
}

}  // namespace velmora::htmlhelp
