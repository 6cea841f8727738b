#pragma once

#include <QString>

// The slides PDF of a note, one page per slide numbered from 1, and the file work on it:
// replacing it by another PDF, putting another PDF's pages in front of or after its own,
// deleting it and exporting its pages as images. The recording object decides where the file
// lives. Used on the main thread (a failed copy shows an alert).
class WrenSlides
{
public:
    // Modes of addSlides: any mode other than these two appends.
    static constexpr int kReplaceMode = 1;
    static constexpr int kInsertInFrontMode = 2;
    static constexpr int kAppendMode = 3;

    // The slides file; null until set. The file itself may not exist yet.
    const QString &path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    // Takes the PDF at newPath (links resolved; its extension must be exactly "pdf") as the
    // slides, or adds its pages in front of or after the existing slides. On failure the file
    // at path() is left as it was.
    bool addSlides(const QString &newPath, int mode);
    bool addSlides(const QString &newPath) { return addSlides(newPath, kReplaceMode); }
    // Deletes the slides file; a failure is ignored.
    void removeSlides();

    // Writes every page as folder/slides/fullsize/<n>.png at one pixel per point and as
    // folder/slides/<n>.png 320 pixels wide. The "slides" folder must not exist yet.
    bool exportSlidesImagesToPath(const QString &folder) const;

private:
    bool replaceSlides(const QString &newPath);
    bool mergeSlides(const QString &newPath, int mode);
    void removeMergeCopies(const QString &oldCopy, const QString &newCopy) const;

    QString m_path;
};
