#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// Converts one media file that the modern playback engine cannot play.
class OldMediaConverter
{
public:
    virtual ~OldMediaConverter() = default;

    // Converts path, a file of session; false when the conversion failed.
    virtual bool convertFile(const QString &path, int32_t session) = 0;
    // Whether the converted output opens as a movie; error receives why not.
    virtual bool outputOpens(QString *error) = 0;
    // Writes the converted output to destination. Reports nothing: callers check the file.
    virtual void saveAsMovFile(const QString &destination) = 0;
};

// Makes a converter per file, and shows the progress of a conversion run.
class OldMediaConversion
{
public:
    virtual ~OldMediaConversion() = default;

    virtual std::unique_ptr<OldMediaConverter> makeConverter() = 0;
    // A modal "Converting" window with a bar of fileCount steps.
    virtual void showProgress(int fileCount) = 0;
    virtual void advanceProgress() = 0;
    virtual void closeProgress() = 0;
};
