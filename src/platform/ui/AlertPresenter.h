#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace lq {

struct AlertRequest
{
    // The kind of alert, shown by its icon.
    enum class Style { Warning, Informational, Critical };

    QString messageText;
    QString informativeText;
    QStringList buttons{QStringLiteral("OK")}; // first is the default button
    int escapeButton = -1;                     // answers Escape; -1: a "Cancel" button does
    bool showsSuppressionButton = false;
    QString suppressionTitle; // "Do not show this message again" when empty
    Style style = Style::Warning;
};

struct AlertResponse
{
    int buttonIndex = 0; // position in AlertRequest::buttons
    bool suppressed = false;
};

// Shows alerts: application-modal, or as a sheet on a window. Main thread only; callers on
// other threads hop there first.
class AlertPresenter
{
public:
    virtual ~AlertPresenter() = default;

    virtual AlertResponse runModal(const AlertRequest &request) = 0;
    // Shows the alert attached to window and calls done when it is answered.
    virtual void beginSheet(const AlertRequest &request, QWidget *window,
                            std::function<void(const AlertResponse &)> done) = 0;

    // The presenter every caller uses: message boxes unless a test installed a scripted one.
    static AlertPresenter &current();
    static AlertPresenter *setCurrent(AlertPresenter *presenter);
};

} // namespace lq

// Alerts travel in notifications' user info (a low-level failure's "alert").
Q_DECLARE_METATYPE(lq::AlertRequest)
