#pragma once

#include <QColor>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <optional>

class BMColorChoice;
class BMColorWell;
class QPushButton;

// The highlighter tool of a note's window: the pen in the current colour, which toggles the
// highlight of the selected text, and a chooser of recent colours that opens below it (a right
// click, a click on the triangle, or a click with Ctrl or Alt held), with "Other" (the shared
// colour panel) and "Reset" (the default colours). Choosing a colour puts it first in the recent
// list of the user defaults, turns the tool on and highlights with it.
//
// The target is a QObject that may have the invocable methods highlightSelectedAction(QColor)
// and highlightDeselectedAction(), and a signal editableChanged(bool) that the picker's enabled
// state follows; whatever it lacks is not sent or followed. Disabled, the pen is drawn inactive
// and ignores clicks. Main thread.
class BMColorPicker : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kDefaultSize{31, 30};
    explicit BMColorPicker(QWidget *parent = nullptr);
    ~BMColorPicker() override;

    void setTarget(QObject *target);
    QObject *target() const { return m_target; }

    // The tool's on state (no action is sent).
    bool selected() const;
    void setSelected(bool selected);
    QColor color() const;
    // nullopt shows the first recent colour; the recent list stays as it is.
    void setColor(const std::optional<QColor> &color);

    BMColorWell *currentWell() const { return m_currentWell; }
    // Null until first shown.
    QWidget *chooserPanel() const { return m_chooser; }
    bool showingColorPanel() const { return m_showingColorPanel; }
    // The recent colours, then the defaults not among them.
    QList<QColor> colors() const;

    // A swatch of the chooser was clicked.
    void choiceClicked(BMColorChoice *choice);

    // Posted, with the picker as object, when it opens the shared colour panel and when that
    // panel closes.
    static constexpr char kOtherColorPickerStarted[] = "otherColorPickerStarted";
    static constexpr char kOtherColorPickerEnded[] = "otherColorPickerEnded";

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void rightClick();
    void sendSelectedAction();
    void sendDeselectedAction();
    void showChooser();
    void createChooser();
    void resetChooserPosition();
    void closeChooser();
    void updateColors();
    void choose(const QColor &color);
    void otherClicked();
    void otherColor(const QColor &color);
    void resetClicked();
    void colorPanelClosing();
    void parentWindowBecameKey();
    void watchWindow();

    BMColorWell *m_currentWell;
    QPointer<QWidget> m_chooser;
    QList<BMColorChoice *> m_choices;
    QPointer<QObject> m_target;
    QMetaObject::Connection m_editableConnection;
    QMetaObject::Connection m_panelColor;
    QMetaObject::Connection m_panelClosed;
    QPointer<QWidget> m_watchedWindow;
    bool m_showingColorPanel = false;
};
