#pragma once

#include <QSplitter>

// The note window's split view: its divider is drawn only along the window's bottom bar, as a
// dark grey strip as high as the bar; above it the divider shows what lies behind.
class LumaSplitView : public QSplitter
{
    Q_OBJECT
public:
    static constexpr int kStripHeight = 22;

    explicit LumaSplitView(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    QSplitterHandle *createHandle() override;
};
