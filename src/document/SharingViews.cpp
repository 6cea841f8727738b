#include "document/SharingViews.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kBandMargin = 16;
const QColor kBlueTitle(20, 79, 174);
const QColor kBandText(0, 0, 0);

template <class Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A grey (0..1) as a style sheet colour.
QString grey(double level)
{
    const int value = qRound(level * 255);
    return QStringLiteral("rgb(%1, %1, %1)").arg(value);
}

// A band of the window: a flat grey ground with a border line at its top or bottom; its labels
// keep dark text whatever the palette, as the ground does not follow it.
QFrame *band(const char *name, double level, const char *border)
{
    auto *frame = named(new QFrame, name);
    frame->setStyleSheet(
        QStringLiteral("QFrame#%1 { background-color: %2; border: none; %3 }"
                       "QFrame#%1 QLabel { color: %4; }")
            .arg(QLatin1String(name), grey(level),
                 border ? QStringLiteral("border-%1: 1px solid gray;").arg(QLatin1String(border))
                        : QString(),
                 kBandText.name()));
    return frame;
}

// The framed folder box: rounded corners, a full border and a thin shadow along its top.
QFrame *folderBox()
{
    auto *frame = named(new QFrame, "defaultFolderView");
    const QString ground = grey(0.912);
    frame->setStyleSheet(
        QStringLiteral("QFrame#defaultFolderView { border: 1px solid gray; border-radius: 5px;"
                       " background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
                       " stop: 0 gray, stop: 0.01 rgba(128, 128, 128, 128), stop: 0.04 %1,"
                       " stop: 1 %1); }"
                       "QFrame#defaultFolderView QLineEdit { border: none;"
                       " background: transparent; color: %2; }")
            .arg(ground, kBandText.name()));
    return frame;
}

QString escapedRange(const QString &text, qsizetype from, qsizetype to)
{
    return text.mid(from, to - from).toHtmlEscaped();
}

} // namespace

QString SharingViews::folderHint()
{
    const QString text = QApplication::translate(
        "SharingViews",
        "Use Dropbox as the default folder. Choose a Dropbox folder like Dropbox/Public for an "
        "easy way to let others see your shared web notes with a web browser.");
    // Characters 0 to 33 bold, 64 to 77 in the fixed font a point smaller.
    constexpr qsizetype kBoldEnd = 34;
    constexpr qsizetype kFixedStart = 64;
    constexpr qsizetype kFixedEnd = 78;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const double fixedSize = QApplication::font().pointSizeF() * 12.0 / 13.0;
    return QStringLiteral("<b>%1</b>%2<span style=\"font-family: '%3'; font-size: %4pt;\">%5"
                          "</span>%6")
        .arg(escapedRange(text, 0, kBoldEnd), escapedRange(text, kBoldEnd, kFixedStart),
             fixed.family().toHtmlEscaped(), QString::number(fixedSize, 'f', 1),
             escapedRange(text, kFixedStart, kFixedEnd),
             escapedRange(text, kFixedEnd, text.size()));
}

SharingViews::SharingViews()
    : sharingWindow(std::make_unique<QDialog>())
    , topSectionView(band("topSectionView", 0.98, "bottom"))
    , middleSectionView(band("middleSectionView", 0.936, nullptr))
    , bottomSectionView(band("bottomSectionView", 0.98, "top"))
    , defaultFolderView(folderBox())
    , sharePathControl(named(new QLineEdit, "sharePathControl"))
    , browseButton(named(new QPushButton(QApplication::translate("SharingViews", "&Browse…")),
                         "browseButton"))
    , clearButton(
          named(new QPushButton(QApplication::translate("SharingViews", "C&lear")), "clearButton"))
    , dropboxStringField(named(new QLabel(folderHint()), "dropboxStringField"))
    , learnDropboxButton(
          named(new QPushButton(QApplication::translate("SharingViews", "Learn more…")),
                "learnDropboxButton"))
    , authorNameField(named(new QLineEdit, "authorNameField"))
    , cancelButton(
          named(new QPushButton(QApplication::translate("SharingViews", "Cancel")), "cancelButton"))
    , needsToBeBlueButton(named(new QPushButton(QApplication::translate("SharingViews", "Save")),
                                "needsToBeBlueButton"))
    , shareAccessoryView(std::make_unique<QWidget>())
    , includeAudioCheckbox(
          named(new QCheckBox(QApplication::translate("SharingViews", "Include &audio")),
                "includeAudioCheckbox"))
    , includeVideoCheckbox(
          named(new QCheckBox(QApplication::translate("SharingViews", "Include &video")),
                "includeVideoCheckbox"))
    , includeSlidesCheckbox(
          named(new QCheckBox(QApplication::translate("SharingViews", "Include &slides")),
                "includeSlidesCheckbox"))
    , includeOriginalCheckbox(named(
          new QCheckBox(QApplication::translate("SharingViews", "Include the &original note")),
          "includeOriginalCheckbox"))
    , typeButton(named(new QComboBox, "typeButton"))
{
    QDialog &window = *sharingWindow;
    window.setObjectName(QStringLiteral("sharingWindow"));
    window.setWindowTitle(QApplication::translate("SharingViews", "Web Sharing Settings"));
    auto *bands = new QVBoxLayout(&window);
    bands->setContentsMargins(0, 0, 0, 0);
    bands->setSpacing(0);
    for (QFrame *section : {topSectionView, middleSectionView, bottomSectionView}) {
        section->setContentsMargins(kBandMargin, kBandMargin, kBandMargin, kBandMargin);
        bands->addWidget(section);
    }
    bands->setStretch(1, 1);

    auto *top = new QVBoxLayout(topSectionView);
    top->setContentsMargins(0, 0, 0, 0);
    auto *heading =
        new QLabel(QApplication::translate("SharingViews", "<b>Share your notes for the web</b>"));
    auto *intro = new QLabel(QApplication::translate(
        "SharingViews", "Choose the folder shared notes go to and the name they are signed "
                        "with. The preferences can change both later."));
    intro->setWordWrap(true);
    top->addWidget(heading);
    top->addWidget(intro);

    sharePathControl->setReadOnly(true);
    // Room for a folder and its parents.
    sharePathControl->setMinimumWidth(sharePathControl->fontMetrics().averageCharWidth() * 36);
    sharePathControl->setFocusPolicy(Qt::TabFocus);
    sharePathControl->setPlaceholderText(QApplication::translate("SharingViews", "None chosen"));
    auto *folderRow = new QHBoxLayout(defaultFolderView);
    folderRow->setContentsMargins(6, 4, 6, 4);
    folderRow->addWidget(sharePathControl);
    dropboxStringField->setWordWrap(true);
    dropboxStringField->setTextFormat(Qt::RichText);
    learnDropboxButton->setFlat(true);
    learnDropboxButton->setStyleSheet(
        QStringLiteral("QPushButton#learnDropboxButton { border: none; color: %1;"
                       " text-decoration: underline; }")
            .arg(kBlueTitle.name()));
    learnDropboxButton->setCursor(Qt::PointingHandCursor);
    auto *middle = new QGridLayout(middleSectionView);
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setColumnStretch(1, 1);
    auto *folderLabel = new QLabel(QApplication::translate("SharingViews", "Default &folder:"));
    folderLabel->setBuddy(browseButton);
    middle->addWidget(folderLabel, 0, 0, Qt::AlignRight);
    auto *folderButtons = new QHBoxLayout;
    folderButtons->addWidget(defaultFolderView, 1);
    folderButtons->addWidget(browseButton);
    folderButtons->addWidget(clearButton);
    middle->addLayout(folderButtons, 0, 1);
    middle->addWidget(dropboxStringField, 1, 1);
    middle->addWidget(learnDropboxButton, 2, 1, Qt::AlignLeft);
    middle->setRowMinimumHeight(3, kBandMargin / 2);
    auto *authorLabel = new QLabel(QApplication::translate("SharingViews", "&Author name:"));
    authorLabel->setBuddy(authorNameField);
    middle->addWidget(authorLabel, 4, 0, Qt::AlignRight);
    middle->addWidget(authorNameField, 4, 1);
    middle->setRowStretch(5, 1);

    QPalette blue = needsToBeBlueButton->palette();
    blue.setColor(QPalette::ButtonText, kBlueTitle);
    needsToBeBlueButton->setPalette(blue);
    QFont bold = needsToBeBlueButton->font();
    bold.setBold(true);
    needsToBeBlueButton->setFont(bold);
    needsToBeBlueButton->setDefault(true);
    auto *bottom = new QHBoxLayout(bottomSectionView);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch(1);
    bottom->addWidget(cancelButton);
    bottom->addWidget(needsToBeBlueButton);

    shareAccessoryView->setObjectName(QStringLiteral("shareAccessoryView"));
    typeButton->addItem(QStringLiteral("HTML"));
    auto *accessory = new QGridLayout(shareAccessoryView.get());
    accessory->setContentsMargins(0, 0, 0, 0);
    accessory->addWidget(includeAudioCheckbox, 0, 0);
    accessory->addWidget(includeVideoCheckbox, 1, 0);
    accessory->addWidget(includeSlidesCheckbox, 0, 1);
    accessory->addWidget(includeOriginalCheckbox, 1, 1);
    auto *typeLabel = new QLabel(QApplication::translate("SharingViews", "&Type:"));
    typeLabel->setBuddy(typeButton);
    accessory->addWidget(typeLabel, 0, 2, Qt::AlignRight);
    accessory->addWidget(typeButton, 0, 3);
    accessory->setColumnStretch(4, 1);
}

SharingViews::~SharingViews() = default;
