#include "window/DocumentWindow.h"

#include "document/BMColorPicker.h"
#include "document/WrenTextView.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/NamedImages.h"
#include "window/AspectPane.h"
#include "window/AudioMeter.h"
#include "window/DragFileView.h"
#include "window/LumaSplitView.h"
#include "window/MediaSidebarView.h"
#include "window/PDFMiniView.h"
#include "window/SidebarSection.h"
#include "window/TimeView.h"
#include "window/TimerBarBack.h"
#include "window/TimerBarSlider.h"
#include "window/WindowChrome.h"

#include <QCheckBox>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The bar at the foot of the window is as high as the strip behind the playhead.
constexpr int kFootHeight = BottomBar::kHeight;
constexpr int kSidebarWidth = 240;
// A section's controls line up with its title.
constexpr int kSectionIndent = 18;
constexpr QSize kDefaultSize(900, 620);

QToolButton *makeToolButton(const QString &iconName, const QString &text, const QString &toolTip,
                            QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setText(text);
    button->setToolTip(toolTip);
    if (!iconName.isEmpty() && QIcon::hasThemeIcon(iconName))
        button->setIcon(QIcon::fromTheme(iconName));
    return button;
}

// A check box that a click does not take the keyboard to: Space typed in the notes stays a space.
QCheckBox *makeCheckBox(const QString &title, QWidget *parent)
{
    auto *box = new QCheckBox(title, parent);
    box->setFocusPolicy(Qt::TabFocus);
    return box;
}

QLabel *makeSmallLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
    return label;
}

// An icon of the information bar: the theme's icon when there is one, an empty square otherwise.
QLabel *makeIconLabel(const QString &iconName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Wider than the icon, so that the text placed after it keeps a small gap.
    label->setFixedSize(20, 16);
    label->setAlignment(Qt::AlignCenter);
    if (QIcon::hasThemeIcon(iconName))
        label->setPixmap(QIcon::fromTheme(iconName).pixmap(QSize(16, 16)));
    return label;
}

} // namespace

DocumentWindow::DocumentWindow(lq::TextStorage &storage, QWidget *parent) : QMainWindow(parent)
{
    auto *toolbar = new QToolBar(tr("Transport"), this);
    toolbar->setObjectName(QStringLiteral("playbackButtons"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setEnabled(false);
    auto *strip = new QWidget(toolbar);
    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(6, 4, 6, 4);
    stripLayout->setSpacing(12);
    stripLayout->addWidget(buildTransport());
    stripLayout->addWidget(buildTimeStrip(), 1);
    stripLayout->addWidget(buildSpeedControls());
    colorPicker = new BMColorPicker(strip);
    colorPicker->setFixedSize(BMColorPicker::kDefaultSize);
    stripLayout->addWidget(colorPicker);
    // Its image tells whether the note can be shared now; its text stays beside it, so the
    // button keeps its look and size whichever image it shows.
    shareButton =
        makeToolButton(QString(), tr("Share"), tr("Export this note as web pages"), strip);
    shareButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    shareButton->setIcon(
        QIcon(lq::namedImage(QStringLiteral("Share-Icon-Active"), devicePixelRatioF())));
    stripLayout->addWidget(shareButton);
    toolbar->addWidget(strip);
    addToolBar(Qt::TopToolBarArea, toolbar);
    setContextMenuPolicy(Qt::NoContextMenu);

    docView = new QWidget(this);
    auto *docLayout = new QVBoxLayout(docView);
    docLayout->setContentsMargins(0, 0, 0, 0);
    docLayout->setSpacing(0);
    docLayout->addWidget(buildEditLockStrip());
    textView = new WrenTextView(storage, docView);
    textView->setFrameShape(QFrame::NoFrame);
    docLayout->addWidget(textView);

    mainSplitView = new LumaSplitView(Qt::Horizontal, this);
    mainSplitView->setChildrenCollapsible(false);
    mainSplitView->addWidget(docView);
    mainSplitView->addWidget(buildSidebar());
    mainSplitView->setCollapsible(0, false);
    mainSplitView->setCollapsible(1, true);
    mainSplitView->setStretchFactor(0, 1);
    mainSplitView->setStretchFactor(1, 0);
    mainSplitView->setSizes({kDefaultSize.width() - kSidebarWidth, kSidebarWidth});

    auto *central = new QWidget(this);
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    centralLayout->addWidget(new ToolbarExtension(central));
    centralLayout->addWidget(mainSplitView, 1);
    centralLayout->addWidget(buildInformationBar());
    setCentralWidget(central);
    resize(kDefaultSize);
    setMinimumSize(560, 320);
    // The keyboard belongs to the notes: the window opens with the focus there.
    textView->setFocus();
}

QWidget *DocumentWindow::buildTransport()
{
    auto *box = new QWidget(this);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (lq::ImageButton **button :
         {&recordButton, &backButton, &rwButton, &playButton, &pauseButton, &ffButton}) {
        *button = new lq::ImageButton(box);
        layout->addWidget(*button);
    }
    return box;
}

QWidget *DocumentWindow::buildTimeStrip()
{
    auto *box = new QWidget(this);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto *elapsed = new QWidget(box);
    auto *elapsedLayout = new QVBoxLayout(elapsed);
    elapsedLayout->setContentsMargins(0, 0, 0, 0);
    elapsedLayout->setSpacing(0);
    timeField = new TimeView(elapsed);
    timeFieldCaption = makeSmallLabel(tr("Elapsed"), elapsed);
    timeFieldCaption->setAlignment(Qt::AlignCenter);
    timeField->setToolbarItemLabel(timeFieldCaption);
    elapsedLayout->addWidget(timeField);
    elapsedLayout->addWidget(timeFieldCaption);
    layout->addWidget(elapsed);

    timerStrip = new TimerBarBack(box);
    timerStrip->setMinimumWidth(120);
    auto *stripLayout = new QHBoxLayout(timerStrip);
    stripLayout->setContentsMargins(10, 0, 10, 0);
    playhead = new TimerBarSlider(timerStrip);
    playhead->setToolTip(tr("Playhead"));
    stripLayout->addWidget(playhead);
    layout->addWidget(timerStrip, 1);

    auto *remaining = new QWidget(box);
    auto *remainingLayout = new QVBoxLayout(remaining);
    remainingLayout->setContentsMargins(0, 0, 0, 0);
    remainingLayout->setSpacing(0);
    timeField2 = new QLabel(remaining);
    timeField2->setAlignment(Qt::AlignCenter);
    timeField2->setMinimumWidth(timeField->sizeHint().width() +
                                timeField->fontMetrics().horizontalAdvance(QLatin1Char('-')));
    remainingLayout->addWidget(timeField2);
    // Level with the elapsed time above its caption.
    remainingLayout->addSpacing(timeFieldCaption->sizeHint().height());
    layout->addWidget(remaining);
    return box;
}

QWidget *DocumentWindow::buildSpeedControls()
{
    auto *box = new QWidget(this);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    speedMinusButton = makeToolButton(QString(), QStringLiteral("\u2212"), tr("Slower"), box);
    speedSlide = new SpeedSlider(box);
    speedSlide->setToolTip(tr("Playback speed"));
    speedSlide->setFixedWidth(96);
    speedPlusButton = makeToolButton(QString(), QStringLiteral("+"), tr("Faster"), box);
    speedTextField = new QLineEdit(box);
    speedTextField->setAlignment(Qt::AlignCenter);
    speedTextField->setToolTip(tr("Playback speed (1 is normal speed)"));
    speedTextField->setValidator(new QDoubleValidator(
        SpeedSlider::speedForValue(SpeedSlider::kMinimumValue),
        SpeedSlider::speedForValue(SpeedSlider::kMaximumValue), 2, speedTextField));
    speedTextField->setFixedWidth(
        speedTextField->fontMetrics().horizontalAdvance(QStringLiteral("00.00")) + 16);
    layout->addWidget(speedMinusButton);
    layout->addWidget(speedSlide);
    layout->addWidget(speedPlusButton);
    layout->addWidget(speedTextField);
    return box;
}

QWidget *DocumentWindow::buildSidebar()
{
    // What the next recording takes stays in view above the sections it opens and shuts.
    auto *inputs = new QWidget(this);
    auto *inputsLayout = new QHBoxLayout(inputs);
    inputsLayout->setContentsMargins(8, 6, 8, 6);
    inputsLayout->addWidget(new QLabel(tr("Record:"), inputs));
    audioCheckBox = makeCheckBox(tr("Audio"), inputs);
    videoCheckBox = makeCheckBox(tr("Video"), inputs);
    inputsLayout->addWidget(audioCheckBox);
    inputsLayout->addWidget(videoCheckBox);
    inputsLayout->addStretch(1);

    auto *audio = new QWidget(this);
    auto *audioLayout = new QVBoxLayout(audio);
    audioLayout->setContentsMargins(kSectionIndent, 0, 0, 0);
    audioLayout->setSpacing(2);
    audioPreviewCheckBox = makeCheckBox(tr("Preview audio input"), audio);
    audioMeter = new AudioMeter(audio);
    audioMeter->setMinimumHeight(16);
    audioLayout->addWidget(audioPreviewCheckBox);
    audioLayout->addWidget(audioMeter);

    auto *video = new QWidget(this);
    auto *videoLayout = new QVBoxLayout(video);
    videoLayout->setContentsMargins(0, 0, 0, 0);
    videoLayout->setSpacing(2);
    auto *previewRow = new QHBoxLayout;
    previewRow->setContentsMargins(kSectionIndent, 0, 0, 0);
    videoPreviewCheckBox = makeCheckBox(tr("Preview camera"), video);
    previewRow->addWidget(videoPreviewCheckBox);
    videoDisplayView = new AspectPane(video);
    videoLayout->addLayout(previewRow);
    videoLayout->addWidget(videoDisplayView);
    slidesDisplayView = buildSlidesPane();

    auto *inner = new MediaSidebarView(this);
    auto *innerLayout = new QVBoxLayout(inner);
    innerLayout->setContentsMargins(0, 0, 0, 0);
    innerLayout->setSpacing(0);
    innerLayout->addWidget(inputs);
    audioSectionView = new SidebarSection(tr("Audio"), audio, inner);
    videoSectionView = new SidebarSection(tr("Video"), video, inner);
    slidesSectionView = new SidebarSection(tr("Slides"), slidesDisplayView, inner);
    videoSectionView->setBordered(true);
    slidesSectionView->setBordered(true);
    innerLayout->addWidget(audioSectionView);
    innerLayout->addWidget(videoSectionView);
    innerLayout->addWidget(slidesSectionView);
    innerLayout->addStretch(1);

    mediaSideBar = new QScrollArea(this);
    mediaSideBar->setObjectName(QStringLiteral("mediaSideBar"));
    mediaSideBar->setWidgetResizable(true);
    mediaSideBar->setFrameShape(QFrame::NoFrame);
    mediaSideBar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A click on the sidebar's controls would otherwise give the keyboard to the scroll area.
    mediaSideBar->setFocusPolicy(Qt::NoFocus);
    mediaSideBar->setMinimumWidth(200);
    mediaSideBar->setBackgroundRole(QPalette::Window);
    mediaSideBar->setWidget(inner);
    return mediaSideBar;
}

QWidget *DocumentWindow::buildSlidesPane()
{
    auto *pane = new QWidget(this);
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    slidesPane = new AspectPane(pane);
    // Until the note has slides, the pane is the place to drop them on.
    slidesDropTarget = new DragFileView(slidesPane);
    slidesDropTarget->setToolTip(tr("Drop a slides PDF or an audio or video file here."));
    auto *dropLayout = new QVBoxLayout(slidesDropTarget);
    dropLayout->setContentsMargins(0, 0, 0, 0);
    slidesPDFMiniView = new PDFMiniView(slidesDropTarget);
    slidesPDFMiniView->hide();
    dropLayout->addWidget(slidesPDFMiniView);
    slidesPane->layout()->addWidget(slidesDropTarget);
    layout->addWidget(slidesPane);

    auto *navigation = new QHBoxLayout;
    navigation->setContentsMargins(0, 0, 0, 0);
    navigation->setSpacing(4);
    prevSlideButton = new lq::ImageButton(pane);
    prevSlideButton->setToolTip(tr("Previous slide"));
    nextSlideButton = new lq::ImageButton(pane);
    nextSlideButton->setToolTip(tr("Next slide"));
    slideNumField = new QLineEdit(pane);
    slideNumField->setPlaceholderText(tr("Go to"));
    slideNumField->setToolTip(tr("Type a slide number and press Return"));
    slideNumField->setFixedWidth(slideNumField->fontMetrics().horizontalAdvance(u"Go to 000"_s));
    totalSlidesField = makeSmallLabel(QString(), pane);
    totalSlidesField->hide();
    navigation->addWidget(prevSlideButton);
    navigation->addWidget(nextSlideButton);
    navigation->addWidget(slideNumField);
    navigation->addWidget(totalSlidesField, 1);
    layout->addLayout(navigation);
    return pane;
}

QWidget *DocumentWindow::buildInformationBar()
{
    auto *bar = new BottomBar(this);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);

    // Its note gives it its image and tool tip.
    listButton = makeToolButton(QString(), tr("Lists"), QString(), bar);
    listButton->setIconSize(QSize(16, 16));
    layout->addWidget(listButton);
    // The note places each field after the text before it, so the fields have no layout: they
    // keep the bar's height and their vertical place, and the note sets their x.
    auto *fields = new QWidget(bar);
    fields->setFixedHeight(kFootHeight);
    fields->setMinimumWidth(420);
    int x = 12;
    const auto addField = [&](const QString &iconName, QLabel **icon, QLabel **field) {
        *icon = makeIconLabel(iconName, fields);
        (*icon)->move(x, (kFootHeight - (*icon)->height()) / 2);
        *field = makeSmallLabel(QString(), fields);
        (*field)->setFixedHeight(kFootHeight);
        (*field)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        (*field)->move(x + (*icon)->width() + 3, 0);
    };
    addField(QStringLiteral("x-office-calendar"), &notesDateImageView, &notesDateField);
    addField(QStringLiteral("accessories-text-editor"), &charCountImageView, &charCountField);
    addField(QStringLiteral("audio-input-microphone"), &recImageView, &recLengthField);
    layout->addWidget(fields, 1);
    collapseButton =
        makeToolButton(QString(), QString(), tr("Hide or show the media sidebar"), bar);
    collapseButton->setArrowType(Qt::RightArrow);
    layout->addWidget(collapseButton);
    return bar;
}

QWidget *DocumentWindow::buildEditLockStrip()
{
    editLockView = new LockBackgroundView(docView);
    editLockView->setFixedHeight(kFootHeight + 4);
    auto *layout = new QHBoxLayout(editLockView);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(2);
    editLockButton = makeToolButton(QString(), QString(), QString(), editLockView);
    layout->addWidget(editLockButton);
    editLockText = makeToolButton(QString(), QString(), QString(), editLockView);
    editLockText->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(editLockText);
    layout->addStretch(1);
    // Shown while playback runs.
    editLockView->hide();
    return editLockView;
}
