// Tests of the news feed reader: RSS items, article HTML as plain text, and feeds that are not.
#include "sources/news_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sintonix;
using namespace std::string_literals;

namespace {

// Shaped like the agency's feeds: the article's whole HTML, entity-escaped, in the description.
const std::string kAgencyFeed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xml:base="https://agenciabrasil.ebc.com.br/" xmlns:dc="http://purl.org/dc/elements/1.1/"
     xmlns:content="http://purl.org/rss/1.0/modules/content/" xmlns:atom="http://www.w3.org/2005/Atom">
  <channel>
    <title>Agência Brasil - Economia</title>
    <link>https://agenciabrasil.ebc.com.br/economia</link>
    <atom:link href="https://agenciabrasil.ebc.com.br/rss/economia/feed.xml" rel="self" type="application/rss+xml"/>
    <item>
      <title>
        Safra de grãos deve bater   recorde, prevê Conab
      </title>
      <link>https://agenciabrasil.ebc.com.br/economia/noticia/2026-12/safra</link>
      <description>&lt;p&gt;&lt;img src="https://imagens.ebc.com.br/colheita.jpg" alt="Colheita de soja"&gt;&lt;/p&gt;
&lt;p&gt;A Companhia Nacional de Abastecimento (Conab) prev&amp;ecirc; uma safra de
  &lt;strong&gt;320 milh&amp;otilde;es&lt;/strong&gt; de toneladas.&lt;/p&gt;
&lt;p&gt;Segundo o &lt;a href="https://www.conab.gov.br/boletim"&gt;boletim da companhia&lt;/a&gt;, a soja responde por 52%.&lt;/p&gt;
&lt;h3&gt;Not&amp;iacute;cias relacionadas:&lt;/h3&gt;
&lt;ul&gt;&lt;li&gt;&lt;a href="/economia/noticia/outra"&gt;Exporta&amp;ccedil;&amp;otilde;es crescem&lt;/a&gt;&lt;/li&gt;&lt;/ul&gt;
&lt;p&gt;&amp;ldquo;&amp;Eacute; um ano excepcional&amp;rdquo;, disse o presidente.&lt;br /&gt;Mais uma linha &amp;#8211; com tra&amp;#231;o.&lt;/p&gt;
&lt;p&gt;&lt;strong&gt;Siga a &lt;a href="https://whatsapp.com/channel/0029Va"&gt;Ag&amp;ecirc;ncia Brasil no WhatsApp&lt;/a&gt;&lt;/strong&gt;&lt;/p&gt;
&lt;p&gt;&amp;nbsp;&lt;/p&gt;
&lt;img src="https://agenciabrasil.ebc.com.br/pixel.gif?n=1592" width="1" height="1" /&gt;</description>
      <pubDate>Tue, 08 Dec 2026 10:30:00 -0300</pubDate>
      <dc:creator>Maria Silva</dc:creator>
      <guid isPermaLink="false">1592 at https://agenciabrasil.ebc.com.br</guid>
    </item>
    <item>
      <title>Infla&#231;&#227;o &amp; juros: IPCA sobe</title>
      <guid>https://agenciabrasil.ebc.com.br/economia/noticia/2026-12/ipca</guid>
      <pubDate>ontem à tarde</pubDate>
      <author>redacao@ebc.com.br (João Souza)</author>
      <description>Resumo que não é o artigo.</description>
      <content:encoded><![CDATA[<div class="noticias-relacionadas"><a href="/x">Outra matéria</a></div>
<figure><img src="foto.jpg"><figcaption>Foto: Arquivo/Agência Brasil</figcaption></figure>
<p>Veja o <a href="../ipca/tabela">relatório</a> e o site <a href="https://www.ibge.gov.br/">www.ibge.gov.br</a>.</p>
<script>document.write("anúncio")</script><p>Leia também:</p><p><a href="/a">Uma</a></p><p><a href="/b">Outra</a></p>
<table><tr><td>Alimentos</td><td>0,8%</td></tr></table><p>Compartilhe</p>]]></content:encoded>
    </item>
    <item><description>Sem título nem endereço.</description></item>
  </channel>
</rss>
)";

}  // namespace

TEST(NewsFeed, AgencyFeedGivesItsArticles) {
    std::optional<NewsFeed> feed = parseNewsFeed(kAgencyFeed);
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->title, "Agência Brasil - Economia");
    ASSERT_EQ(feed->items.size(), 2u);  // the item with neither title nor link is left out

    const NewsItem& safra = feed->items[0];
    EXPECT_EQ(
        articleLines(safra, feed->title),
        (std::vector<std::string>{
            "Safra de grãos deve bater recorde, prevê Conab",
            "08/12/2026 às 10h30",
            "Autor: Maria Silva",
            "",
            "A Companhia Nacional de Abastecimento (Conab) prevê uma safra de 320 milhões de toneladas.",
            "",
            "Segundo o boletim da companhia [https://www.conab.gov.br/boletim], a soja responde por 52%.",
            "",
            "“É um ano excepcional”, disse o presidente.",
            "Mais uma linha – com traço.",
            "",
            "------------------------------",
            "",
            "Texto de Agência Brasil - Economia, reproduzido pelo Sintonix com o crédito da fonte.",
            "Endereço da matéria: https://agenciabrasil.ebc.com.br/economia/noticia/2026-12/safra",
        }));

    // content:encoded wins over the description; the permanent guid is the link; an unreadable
    // date stays as written; a feed without a title is credited to the link's host.
    const NewsItem& ipca = feed->items[1];
    EXPECT_EQ(ipca.title, "Inflação & juros: IPCA sobe");
    EXPECT_EQ(ipca.date, "ontem à tarde");
    EXPECT_EQ(articleLines(ipca, ""),
              (std::vector<std::string>{
                  "Inflação & juros: IPCA sobe",
                  "ontem à tarde",
                  "Autor: João Souza",
                  "",
                  "Foto: Arquivo/Agência Brasil",
                  "",
                  "Veja o relatório [https://agenciabrasil.ebc.com.br/economia/noticia/ipca/tabela] e o site "
                  "www.ibge.gov.br.",
                  "",
                  "Alimentos 0,8%",
                  "",
                  "------------------------------",
                  "",
                  "Texto de agenciabrasil.ebc.com.br, reproduzido pelo Sintonix com o crédito da fonte.",
                  "Endereço da matéria: https://agenciabrasil.ebc.com.br/economia/noticia/2026-12/ipca",
              }));
}

TEST(NewsFeed, DatesAsTheListenerHearsThem) {
    EXPECT_EQ(formatNewsDate(" Tue, 08 Dec 2026 10:30:00 -0300 "), "08/12/2026 às 10h30");
    EXPECT_EQ(formatNewsDate("8 Dez 2026 7:05 GMT"), "08/12/2026 às 07h05");
    EXPECT_EQ(formatNewsDate("Wed, 9 Dec 26 23:59 +0000"), "09/12/2026 às 23h59");
    EXPECT_EQ(formatNewsDate("2026-12-08T23:05:00-03:00"), "08/12/2026 às 23h05");
    EXPECT_EQ(formatNewsDate("2026-12-08"), "08/12/2026");
    for (const char* unreadable : {"Tue, 32 Dec 2026 10:30", "08 Foo 2026 10:30", "08 Dec 2026 25:00",
                                   "2026-13-01", "08 Dec 2026 lixo", "", "12345"})
        EXPECT_EQ(formatNewsDate(unreadable), unreadable);
}

TEST(NewsFeed, OtherFeedFormats) {
    // RDF (RSS 1.0): items beside the channel, Dublin Core dates.
    std::optional<NewsFeed> rdf = parseNewsFeed(R"(<?xml version="1.0"?>
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/"
         xmlns:dc="http://purl.org/dc/elements/1.1/">
  <channel rdf:about="https://example.org/"><title>Rádio Exemplo</title></channel>
  <item rdf:about="https://example.org/1"><title>Um</title><link>https://example.org/1</link>
    <dc:date>2026-12-08T06:00:00Z</dc:date><description>Texto &lt;b&gt;um&lt;/b&gt;.</description></item>
</rdf:RDF>)");
    ASSERT_TRUE(rdf);
    EXPECT_EQ(rdf->title, "Rádio Exemplo");
    ASSERT_EQ(rdf->items.size(), 1u);
    EXPECT_EQ(rdf->items[0].date, "08/12/2026 às 06h00");
    EXPECT_EQ(htmlToText(rdf->items[0].html), "Texto um.");

    // RSS 0.91 written for Netscape's DTD, which is never loaded: its HTML entities still read.
    std::optional<NewsFeed> old = parseNewsFeed(
        "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
        "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">"
        "<rss version=\"0.91\"><channel><title>Not&iacute;cias</title>"
        "<item><title>Elei&ccedil;&atilde;o</title><link>http://example.org/e</link></item></channel></rss>");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->title, "Notícias");
    ASSERT_EQ(old->items.size(), 1u);
    EXPECT_EQ(old->items[0].title, "Eleição");

    std::optional<NewsFeed> atom = parseNewsFeed(R"(<feed xmlns="http://www.w3.org/2005/Atom">
  <title>Blog</title>
  <entry><title>Post</title><link rel="alternate" href="https://blog.example/p"/>
    <published>2026-01-02T03:04:05Z</published><author><name>Ana</name></author>
    <content type="html">&lt;p&gt;Um&lt;/p&gt;&lt;p&gt;Dois&lt;/p&gt;</content></entry>
</feed>)");
    ASSERT_TRUE(atom);
    ASSERT_EQ(atom->items.size(), 1u);
    EXPECT_EQ(atom->items[0].link, "https://blog.example/p");
    EXPECT_EQ(atom->items[0].date, "02/01/2026 às 03h04");
    EXPECT_EQ(atom->items[0].author, "Ana");
    EXPECT_EQ(htmlToText(atom->items[0].html), "Um\n\nDois");
}

TEST(NewsFeed, WhatIsNotAFeedIsNone) {
    const std::string cut = kAgencyFeed.substr(0, kAgencyFeed.size() / 2);
    for (const std::string& bytes : std::vector<std::string>{
             "",
             "<!DOCTYPE html><html><head><title>Erro</title></head><body><p>Página não "
             "encontrada<br></body></html>",
             "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>XHTML</p></body></html>",
             cut,
             "\x89PNG\r\n\x1a\n\0\x01garbage<rss><channel>"s,
             "{\"rss\": {\"channel\": []}}",
             "<rss version=\"2.0\"><title>Sem canal</title><item><title>x</title></item></rss>",
             "<rss xmlns=\"urn:outra\"><channel><title>x</title></channel></rss>",
             "<html><channel><title>x</title><item><title>y</title></item></channel></html>",
         })
        EXPECT_FALSE(parseNewsFeed(bytes)) << bytes;
}

TEST(NewsFeed, HostileEntitiesAreNeitherExpandedNorRead) {
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 9; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs +=
        "]><rss><channel><title>Risos &l9;</title><item><title>&l9;</title><link>http://x/</link>"
        "</item></channel></rss>";
    if (std::optional<NewsFeed> feed = parseNewsFeed(laughs)) {
        EXPECT_EQ(feed->title, "Risos");
        for (const NewsItem& item : feed->items) EXPECT_LT(item.title.size(), 100u);
    }

    // A document's own entities are not expanded even when small.
    std::optional<NewsFeed> small = parseNewsFeed(
        "<!DOCTYPE rss [<!ENTITY a \"ha\"><!ENTITY b \"&a;&a;\">]><rss><channel><title>Risos &b;</title>"
        "</channel></rss>");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->title, "Risos");

    std::optional<NewsFeed> xxe = parseNewsFeed(
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>"
        "<rss version=\"2.0\"><channel><title>Canal &xxe;</title>"
        "<item><title>Item &xxe;</title><link>http://x/</link><description>&xxe;</description></item>"
        "</channel></rss>");
    ASSERT_TRUE(xxe);
    EXPECT_EQ(xxe->title, "Canal");
    ASSERT_EQ(xxe->items.size(), 1u);
    EXPECT_EQ(xxe->items[0].title, "Item");
    EXPECT_EQ(xxe->items[0].html, "");
}

TEST(NewsFeed, ArticleHtmlEdges) {
    // Two line breaks end a paragraph; table cells stay apart; a link without text or to a
    // fragment keeps no address; news that merely names a network is kept.
    EXPECT_EQ(
        htmlToText("um<br>dois<br><br>três<table><tr><th>A</th><td>B</td></tr></table>"
                   "<p><a href=\"https://x.example/\"><img src=\"p.gif\"></a><a href=\"#nota\">nota</a></p>"
                   "<p>Entre os canais, o YouTube lidera.</p><p>Siga-nos no X</p>"),
        "um\ndois\n\ntrês\n\nA B\n\nnota\n\nEntre os canais, o YouTube lidera.");
    // After "Leia também" the links go, up to the first paragraph of text.
    EXPECT_EQ(htmlToText("<p>Leia também</p><p><a href=\"/a\">Uma</a> <a href=\"/b\">Outra</a></p><br>"
                         "<p>Fim, no <a href=\"relativo\">site</a>.</p>"),
              "Fim, no site.");
}
