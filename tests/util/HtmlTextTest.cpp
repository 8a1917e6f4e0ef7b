#include "util/HtmlText.h"

#include <gtest/gtest.h>

using velmora::DecodeHtmlEntities;
using velmora::HtmlToText;

TEST(HtmlText, htmlMadePlain_readsAsText) {
    const struct {
        QString html;
        QString text;
    } rows[] = {
        {"<p>Fish &amp; chips &lt;today&gt;</p><p>Price: &#8364;5 &euro;6 &#x20AC;7</p>",
         "Fish & chips <today>\nPrice: €5 €6 €7"},
        {"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", "a\tb\nc"},
        {"<style>p{color:red}</style><p>line\n  wrapped</p>&copy;&nbsp;&unknown;",
         "line wrapped\n© &unknown;"},
        {"<HEAD><TITLE>t</TITLE></HEAD>one<BR>two<script>x()</script>", "one\ntwo"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(HtmlToText(row.html), row.text) << row.html.toStdString();
    }
}

TEST(HtmlText, entities_decodeOnlyWhatIsAKnownCharacter) {
    const struct {
        const char* text;
        const char* decoded;
    } rows[] = {
        {"a &amp; b", "a & b"},
        {"&#x1F600; &#128512;", "\xF0\x9F\x98\x80 \xF0\x9F\x98\x80"},
        {"&#0; &#xD800; &#x110000; &#;", "&#0; &#xD800; &#x110000; &#;"},
        {"& amp; &amp &ampamp; &AMP;", "& amp; &amp &ampamp; &AMP;"},
        {"&thisnameistoolong; &lt;", "&thisnameistoolong; <"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeHtmlEntities(QString::fromUtf8(row.text)), QString::fromUtf8(row.decoded))
            << row.text;
    }
}
