#pragma once

// A slides PDF of a long talk for the benches, made at run time: every page says which slide
// it is in eight lines of text over a coloured ground.

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QTemporaryDir>

namespace bench {

inline QString writeTalkSlides(const QTemporaryDir &folder, int pages)
{
    const QString path = folder.filePath(QStringLiteral("slides.pdf"));
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF());
    writer.setPageSize(QPageSize(QSize(720, 540), QPageSize::Point));
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, 720, 540), QColor(30, 90, 160));
        painter.setPen(Qt::white);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 28));
        for (int line = 0; line < 8; ++line)
            painter.drawText(
                40, 80 + line * 56,
                QStringLiteral("Slide %1, point %2 of the talk").arg(page + 1).arg(line));
        painter.drawEllipse(QPoint(600, 420), 60, 60);
    }
    painter.end();
    return path;
}

} // namespace bench
