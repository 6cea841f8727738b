#pragma once

#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"

#include <QString>

#include <functional>
#include <memory>

class BMProgressController;

// Whether the player takes a file as it is, by the media layer's rule.
class DocumentMediaPlayability final : public MediaPlayabilityCheck
{
public:
    bool isPlayable(const QString &path) override;
};

// The note's conversions of old media: a converter per file writing into the recording's
// temporary folder, and a modal "Converting" window whose bar counts the files.
class DocumentMediaConversion final : public OldMediaConversion
{
public:
    // temporaryFolder answers the recording's temporary folder when a converter is made.
    explicit DocumentMediaConversion(std::function<QString()> temporaryFolder);
    ~DocumentMediaConversion() override;
    DocumentMediaConversion(const DocumentMediaConversion &) = delete;
    DocumentMediaConversion &operator=(const DocumentMediaConversion &) = delete;

    std::unique_ptr<OldMediaConverter> makeConverter() override;
    void showProgress(int fileCount) override;
    void advanceProgress() override;
    void closeProgress() override;

    // The window while it is up; null otherwise.
    BMProgressController *progress() const { return m_progress.get(); }

private:
    std::function<QString()> m_temporaryFolder;
    std::unique_ptr<BMProgressController> m_progress;
};
