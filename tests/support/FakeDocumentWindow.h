#pragma once

#include "document/BMColorPicker.h"
#include "document/DocumentWindowController.h"
#include "document/WrenTextView.h"
#include "support/FakeWindowController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QStringList>
#include <QVBoxLayout>

#include <memory>

namespace lq::test {

// A note's window with a real widget for every outlet (the text view over the note's storage,
// the edit lock strip, the sidebar with the list button and the highlighter, the information bar),
// shown on the offscreen screen. Logs the calls the document makes of its controller: "close",
// "windowControllerDidLoadNib", "setState", "currentState", "currentStateForDefault",
// "addPath:<path>", "addSlides:<path>", "recordButtonPressed", "enterFullScreen".
class FakeDocumentWindow final : public DocumentWindowController
{
public:
    explicit FakeDocumentWindow(TextStorage &storage, QSize size = QSize(700, 500))
        : m_window(std::make_unique<QMainWindow>())
    {
        DocumentWindowOutlets &o = m_outlets;
        o.window = m_window.get();
        auto *central = new QWidget;
        auto *column = new QVBoxLayout(central);
        column->setContentsMargins(0, 0, 0, 0);
        o.mainSplitView = new QSplitter(Qt::Horizontal);
        o.docView = new QWidget;
        auto *docLayout = new QVBoxLayout(o.docView);
        docLayout->setContentsMargins(0, 0, 0, 0);
        o.editLockView = new QWidget;
        auto *lock = new QHBoxLayout(o.editLockView);
        o.editLockButton = new QPushButton;
        o.editLockText = new QPushButton;
        lock->addWidget(o.editLockButton);
        lock->addWidget(o.editLockText);
        o.editLockView->hide();
        docLayout->addWidget(o.editLockView);
        o.textView = new WrenTextView(storage);
        docLayout->addWidget(o.textView);
        o.mediaSideBar = new QWidget;
        auto *side = new QVBoxLayout(o.mediaSideBar);
        side->addWidget(new QLabel(QStringLiteral("Slides")));
        o.collapseButton = new QPushButton(QStringLiteral(">"));
        o.listButton = new QPushButton(QStringLiteral("List"));
        o.shareButton = new QPushButton(QStringLiteral("Share"));
        for (QAbstractButton *button : {o.collapseButton, o.listButton, o.shareButton})
            side->addWidget(button);
        o.colorPicker = new BMColorPicker;
        o.colorPicker->setFixedSize(BMColorPicker::kDefaultSize);
        side->addWidget(o.colorPicker);
        side->addStretch();
        o.mainSplitView->addWidget(o.docView);
        o.mainSplitView->addWidget(o.mediaSideBar);
        column->addWidget(o.mainSplitView, 1);

        // The information bar places its texts itself: no layout.
        auto *bar = new QWidget;
        bar->setFixedHeight(24);
        o.notesDateImageView = iconLabel(bar, 8);
        o.notesDateField = new QLabel(bar);
        o.notesDateField->move(27, 4);
        o.charCountImageView = iconLabel(bar, 0);
        o.charCountField = new QLabel(bar);
        o.charCountField->move(0, 4);
        o.recImageView = iconLabel(bar, 0);
        o.recLengthField = new QLabel(bar);
        o.recLengthField->move(0, 4);
        column->addWidget(bar);

        m_window->setCentralWidget(central);
        m_window->resize(size);
        m_window->show();
    }

    const DocumentWindowOutlets &outlets() const override { return m_outlets; }
    RecordingWindowController &recordingWindowController() override { return recording; }
    void windowControllerDidLoadNib() override
    {
        calls.append(QStringLiteral("windowControllerDidLoadNib"));
    }
    void close() override { calls.append(QStringLiteral("close")); }
    void recordButtonPressed() override { calls.append(QStringLiteral("recordButtonPressed")); }
    void enterFullScreen() override { calls.append(QStringLiteral("enterFullScreen")); }
    ArchiveDictionary currentState() const override
    {
        calls.append(QStringLiteral("currentState"));
        return state;
    }
    ArchiveDictionary currentStateForDefault() const override
    {
        calls.append(QStringLiteral("currentStateForDefault"));
        return stateForDefault;
    }
    void setState(const ArchiveDictionary &newState) override
    {
        calls.append(QStringLiteral("setState"));
        statesSet.append(newState);
    }
    void addPath(const QString &path) override { calls.append(QStringLiteral("addPath:") + path); }
    void addSlides(const QString &path) override
    {
        calls.append(QStringLiteral("addSlides:") + path);
    }

    QMainWindow *window() const { return m_window.get(); }

    mutable QStringList calls;
    QList<ArchiveDictionary> statesSet;
    // What currentState and currentStateForDefault answer.
    ArchiveDictionary state;
    ArchiveDictionary stateForDefault;
    FakeWindowController recording;

private:
    static QLabel *iconLabel(QWidget *bar, int x)
    {
        auto *label = new QLabel(bar);
        label->setGeometry(x, 4, 16, 16);
        return label;
    }

    std::unique_ptr<QMainWindow> m_window;
    DocumentWindowOutlets m_outlets;
};

} // namespace lq::test
