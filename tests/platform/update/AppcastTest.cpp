#include "platform/update/Appcast.h"

#include <gtest/gtest.h>

using lq::AppcastItem;
namespace Appcast = lq::Appcast;

TEST(AppcastTest, ReadsVersionsFromEnclosuresAndElements)
{
    const QByteArray feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:u="urn:updates">
 <channel><title>Luma Quill</title>
  <item><title>3.2</title>
   <enclosure url="https://example.org/lq-3.2.tar.gz" u:version="320" u:shortVersionString="3.2"/>
  </item>
  <item><title>3.10</title><link>https://example.org/3.10</link>
   <u:version>3100</u:version><u:shortVersionString>3.10</u:shortVersionString>
  </item>
  <item><title>No version here</title><link>https://example.org/none</link></item>
 </channel>
</rss>)";
    const auto items = Appcast::parse(feed);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2);
    EXPECT_EQ((*items)[0].shortVersionString, QStringLiteral("3.2"));
    EXPECT_EQ((*items)[0].version, QStringLiteral("320"));
    EXPECT_EQ((*items)[0].downloadURL, QUrl(QStringLiteral("https://example.org/lq-3.2.tar.gz")));
    EXPECT_EQ((*items)[1].downloadURL, QUrl(QStringLiteral("https://example.org/3.10")));

    const auto newest = Appcast::newest(*items);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->displayVersion(), QStringLiteral("3.10"));
}

TEST(AppcastTest, RefusesWhatIsNotAFeed)
{
    for (const char *feed : {"", "<html><body/></html>", "<rss><channel><item>", "not xml"})
        EXPECT_FALSE(Appcast::parse(feed)) << feed;
    EXPECT_FALSE(Appcast::newest({}));
}

TEST(AppcastTest, ComparesVersionsPartByPart)
{
    struct Case
    {
        const char *first;
        const char *second;
        int order;
    };
    for (const Case &c : {Case{"3.1", "3.1", 0}, Case{"3.1", "3.1.0", 0}, Case{"3.10", "3.9", 1},
                          Case{"3.1", "3.1.1", -1}, Case{"4", "3.99", 1}, Case{"3.1b", "3.1a", 1}})
        EXPECT_EQ(
            Appcast::compareVersions(QString::fromLatin1(c.first), QString::fromLatin1(c.second)),
            c.order)
            << c.first << " vs " << c.second;
}
