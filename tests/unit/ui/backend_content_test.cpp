// What the pages make of content the backend sends: HTML reduced to plain formatting, SVG icons
// that must not reach outside themselves, links that open only over https.
#include <gtest/gtest.h>

#include "support/qt_printers.h"
#include "ui/link_opener.h"
#include "ui/rich_text_sanitizer.h"
#include "ui/svg_source_check.h"

namespace corvanta::ui {
namespace {

TEST(RichTextSanitizer, KeepsTheFormattingAndDropsEverythingElse) {
    const std::pair<const char*, const char*> cases[] = {
        // Kept: paragraphs, breaks, headings, lists, emphasis, links (href only).
        {"<h2 class=x>About</h2><p style=\"color:red\">One<br/>two</p>",
         "<h2>About</h2><p>One<br>two</p>"},
        {"<ul><li><b>a</b></li><li><em>b</em> <I>c</I> <u>d</u> "
         "<strong>e</strong></li></ul><ol><li>f</li></ol>",
         "<ul><li><b>a</b></li><li><em>b</em> <i>c</i> <u>d</u> "
         "<strong>e</strong></li></ul><ol><li>f</li></ol>"},
        {"<a href='https://example.org/?a=1&amp;b=\"2\"' onclick=\"x()\" target=_blank>go</a>",
         "<a href=\"https://example.org/?a=1&amp;b=&quot;2&quot;\">go</a>"},
        {"<a href=\"file:///etc/passwd\">f</a><a>plain</a>",
         "<a href=\"file:///etc/passwd\">f</a><a>plain</a>"},
        // Dropped with their content: anything that is not text to read.
        {"a<script>alert('<p>')</script>b<style>p{color:red}</style>c", "abc"},
        {"<html><head><title>T</title><link rel=stylesheet "
         "href=//x/s.css></head><body>x</body></html>",
         "x"},
        {"<svg><image href=\"/etc/passwd\"/></svg>y<iframe src=//x></iframe>z", "yz"},
        // Dropped, content kept: every other element, images and comments gone.
        {"<img src=\"http://127.0.0.1:9/p.png\"><span "
         "style=x>s</span><table><tr><td>t</td></tr></table>",
         "st"},
        {"<!-- <img src=x> -->c<!DOCTYPE html><?php x ?><![CDATA[<img src=y>]]>d", "cd"},
        {"<IMG SRC=x onerror=alert(1)>e<img/src=\"y\">f", "ef"},
        // Stray markup characters are text.
        {"1 < 2 && 3 > 2 &amp; &#60; &#x3c; &bogus",
         "1 &lt; 2 &amp;&amp; 3 &gt; 2 &amp; &#60; &#x3c; &amp;bogus"},
        {"<p>unclosed <b>bold", "<p>unclosed <b>bold</b></p>"},
        {"</b>x<b>y</p>z", "x<b>yz</b>"},
        {"<a href=\"https://x/\" title=\"unterminated>rest of the page", "<a></a>"},
    };
    for (const auto& [html, expected] : cases) {
        EXPECT_EQ(sanitizeRichText(QString::fromUtf8(html)), QString::fromUtf8(expected)) << html;
    }
}

TEST(SvgSourceCheck, OnlyInlineDataAndFragmentsMayBeReferenced) {
    const QByteArray open =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">";
    const QByteArray allowed[] = {
        open + "<circle r=\"3\" fill=\"#fff\"/></svg>",
        open +
            "<defs><linearGradient id=\"g\"/></defs><rect fill=\"url(#g)\" "
            "style=\"stroke:url( '#g' )\"/><use xlink:href=\"#g\"/></svg>",
        open +
            "<image href=\"data:image/png;base64,AAAA\"/><style>rect{fill:url(#g)}</style></svg>",
        "<?xml version=\"1.0\"?><!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
        "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">" +
            open + "</svg>",
    };
    for (const QByteArray& svg : allowed) {
        EXPECT_TRUE(isSelfContainedSvg(svg)) << svg.toStdString();
    }
    const QByteArray refused[] = {
        open + "<image href=\"/etc/passwd\"/></svg>",
        open + "<image xlink:href=\"file:///etc/passwd\"/></svg>",
        open + "<image xlink:href=\"https://icons.example/a.png\"/></svg>",
        open + "<image href=\"a.png\"/></svg>",
        open + "<use href=\"other.svg#shape\"/></svg>",
        open + "<rect fill=\"url(/etc/passwd)\"/></svg>",
        open + "<rect style=\"fill: url( 'http://x/y' )\"/></svg>",
        open + "<style>@import url(#ok); rect{fill:red}</style></svg>",
        open + "<style><![CDATA[rect{fill:url(/tmp/x)}]]></style></svg>",
        open + "<script src=\"/tmp/x.js\"/></svg>",
        "<?xml-stylesheet href=\"/tmp/s.css\"?>" + open + "</svg>",
        "<!DOCTYPE svg [<!ENTITY e SYSTEM \"/etc/passwd\">]>" + open + "<text>&e;</text></svg>",
        open + "<g><circle r=\"3\"></svg",  // not well formed
        "",
    };
    for (const QByteArray& svg : refused) {
        EXPECT_FALSE(isSelfContainedSvg(svg)) << svg.toStdString();
    }
}

TEST(LinkOpener, OpensHttpsAddressesOnly) {
    EXPECT_TRUE(LinkOpener::isOpenable(QUrl(QStringLiteral("https://example.org/terms"))));
    EXPECT_TRUE(LinkOpener::isOpenable(QUrl(QStringLiteral("HTTPS://example.org"))));
    for (const char* link :
         {"http://example.org/", "file:///etc/passwd", "smb://host/share", "javascript:alert(1)",
          "corvanta-x://run", "https:///path-only", "mailto:a@example.org", "/relative"}) {
        EXPECT_FALSE(LinkOpener::isOpenable(QUrl(QString::fromLatin1(link)))) << link;
    }
}

}  // namespace
}  // namespace corvanta::ui
