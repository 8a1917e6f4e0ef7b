#include "components/htmlhelp/ChmSitemap.h"

#include <gtest/gtest.h>

namespace velmora::htmlhelp {
namespace {

QByteArray Item(const char* name, const char* local) {
    return QByteArray("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"") + name +
           "\"><param name=\"Local\" value=\"" + local + "\"></OBJECT>\n";
}

TEST(ChmSitemapTest, parse_nestedLists_buildTheTree) {
    const QByteArray html = "<html><body><!-- <UL><LI>not a list</UL> --><UL>" +
                            Item("One", "one.html") + "<UL>" + Item("Two", "sub/two.html#x") +
                            "<ul>" + Item("Three", "../three.html") + "</ul></UL>" +
                            Item("Four", "four.html") + "</UL></body></html>";
    const std::vector<ContentsEntry> tree = ParseSitemap(html, QStringLiteral("/help/toc.hhc"));
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].title, QStringLiteral("One"));
    EXPECT_EQ(tree[0].local, QStringLiteral("/help/one.html"));
    ASSERT_EQ(tree[0].children.size(), 1u);
    EXPECT_EQ(tree[0].children[0].local, QStringLiteral("/help/sub/two.html#x"));
    ASSERT_EQ(tree[0].children[0].children.size(), 1u);
    EXPECT_EQ(tree[0].children[0].children[0].local, QStringLiteral("/three.html"));
    EXPECT_EQ(tree[1].title, QStringLiteral("Four"));
    EXPECT_TRUE(tree[1].children.empty());
}

TEST(ChmSitemapTest, parse_oddEntries_areReadLeniently) {
    const QByteArray html =
        "<UL>"
        "<LI><OBJECT TYPE='text/sitemap'><PARAM NAME=Name VALUE='Caf&#233; &amp; &lt;b&gt;'>"
        "<param name=local value=cafe.html></OBJECT>"
        "<LI><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"Props\"></OBJECT>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Heading\"></OBJECT>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"plain.html\"></OBJECT>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Outside\">"
        "<param name=\"Local\" value=\"../../etc/passwd\"></OBJECT>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Web\">"
        "<param name=\"Local\" value=\"http://www.velmora.example/\"></OBJECT>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Cut";  // ends mid-tag
    const std::vector<ContentsEntry> tree = ParseSitemap(html);
    ASSERT_EQ(tree.size(), 5u);
    EXPECT_EQ(tree[0].title, QString::fromUtf8("Caf\u00e9 & <b>"));
    EXPECT_EQ(tree[0].local, QStringLiteral("/cafe.html"));
    EXPECT_EQ(tree[1].title, QStringLiteral("Heading"));
    EXPECT_EQ(tree[1].local, QString());
    EXPECT_EQ(tree[2].title, QStringLiteral("plain.html"));
    EXPECT_EQ(tree[2].local, QStringLiteral("/plain.html"));
    EXPECT_EQ(tree[3].title, QStringLiteral("Outside"));
    EXPECT_EQ(tree[3].local, QString());
    EXPECT_EQ(tree[4].title, QStringLiteral("Web"));
    EXPECT_EQ(tree[4].local, QString());
}

TEST(ChmSitemapTest, parse_hostileNesting_isCapped) {
    QByteArray html;
    for (int i = 0; i < 5000; ++i) {
        html += "<UL>" + Item("Level", "level.html");
    }
    const std::vector<ContentsEntry> tree = ParseSitemap(html);
    int depth = 0;
    size_t entries = 0;
    const std::vector<ContentsEntry>* level = &tree;
    while (!level->empty()) {
        ++depth;
        entries += level->size();
        level = &level->back().children;
    }
    EXPECT_EQ(depth, kMaxContentsDepth);
    EXPECT_EQ(entries, 5000u);
    EXPECT_TRUE(ParseSitemap("</UL></UL><UL><<<>>><LI></OBJECT>").empty());
}

}  // namespace
}  // namespace velmora::htmlhelp
