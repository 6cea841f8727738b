// The media sidebar of the note's window.
#include "document/DocumentWindowController.h"
#include "document/MediaSidebar.h"
#include "document/MyDocument.h"

#include <QAbstractButton>
#include <QSplitter>

void MyDocument::setUpSidebar()
{
    const DocumentWindowOutlets &o = m_windowController->outlets();
    m_sidebar.reset();
    if (!o.mainSplitView || !o.mediaSideBar || !o.collapseButton)
        return;
    m_sidebar =
        std::make_unique<MediaSidebar>(*o.mainSplitView, *o.mediaSideBar, *o.collapseButton,
                                       mediaWidth, [this](double x) { positionDivider(x); });
}

void MyDocument::collapseButtonPressed()
{
    if (m_sidebar)
        m_sidebar->collapseButtonPressed();
}

void MyDocument::expandSidebar()
{
    if (m_sidebar)
        m_sidebar->expand();
}
