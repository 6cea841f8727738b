#include "engines/LQMediaFileNames.h"

#include <gtest/gtest.h>

namespace {

TEST(LQMediaFileNamesTest, StemsAndFileNames)
{
    struct Case
    {
        QString folder;
        int session;
        int fileNumber;
        QString stem;
        QString fileName;
    };
    const Case cases[] = {
        {"/tmp/note", 3, 0, "/tmp/note/recording-3.", "/tmp/note/recording-3.0.mov"},
        {"/tmp/note", 0, 12, "/tmp/note/recording-0.", "/tmp/note/recording-0.12.mov"},
        {"/tmp/a b", -1, 1, "/tmp/a b/recording--1.", "/tmp/a b/recording--1.1.mov"},
        // Placeholders in a folder name stay as they are.
        {"/tmp/%1%2", 7, 2, "/tmp/%1%2/recording-7.", "/tmp/%1%2/recording-7.2.mov"},
    };
    for (const Case &c : cases) {
        const QString stem = LQMediaFileNames::sessionStem(c.folder, c.session);
        EXPECT_EQ(stem, c.stem);
        EXPECT_EQ(LQMediaFileNames::fileName(stem, c.fileNumber), c.fileName);
    }
}

} // namespace
