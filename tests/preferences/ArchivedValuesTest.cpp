#include "preferences/ArchivedValues.h"

#include <QDataStream>
#include <QIODevice>

#include <gtest/gtest.h>

namespace ArchivedValues = lq::ArchivedValues;

TEST(ArchivedValuesTest, ValuesRoundTrip)
{
    QFont font(QStringLiteral("Serif"), 14);
    font.setItalic(true);
    EXPECT_EQ(ArchivedValues::decodeFont(ArchivedValues::encodeFont(font)), font);
    const QColor color(10, 20, 30, 40);
    EXPECT_EQ(ArchivedValues::decodeColor(ArchivedValues::encodeColor(color)), color);
    const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/home/me/Notes with spaces/ü"));
    EXPECT_EQ(ArchivedValues::decodeFolderURL(ArchivedValues::encodeFolderURL(folder)), folder);
}

TEST(ArchivedValuesTest, AnythingElseIsRefused)
{
    const QByteArray font = ArchivedValues::encodeFont(QFont(QStringLiteral("Serif"), 14));
    QByteArray badMagic = font;
    badMagic[0] = 'X';
    QByteArray badVersion = font;
    badVersion[4] = 9;
    QByteArray remoteFolder;
    {
        QDataStream stream(&remoteFolder, QIODevice::WriteOnly);
        stream << quint32(0x4c514156) << quint8(1) << quint8(3)
               << QStringLiteral("https://example.org/folder");
    }
    for (const QByteArray &data : {QByteArray(), QByteArray("Helvetica,12"), badMagic, badVersion,
                                   font.left(font.size() - 1), font + "x"}) {
        EXPECT_FALSE(ArchivedValues::decodeFont(data)) << data.toHex().constData();
    }
    // A value of another kind is not taken for the one asked for.
    EXPECT_FALSE(ArchivedValues::decodeColor(font));
    EXPECT_FALSE(ArchivedValues::decodeFolderURL(font));
    EXPECT_FALSE(ArchivedValues::decodeFolderURL(remoteFolder));
}
