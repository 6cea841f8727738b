#include "platform/ui/QtAlertPresenter.h"

#include "support/ModalWatcher.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using lq::AlertRequest;
using lq::AlertResponse;

QAbstractButton *buttonTitled(const QMessageBox *box, const QString &title)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

AlertRequest saveRequest()
{
    AlertRequest request;
    request.messageText = QStringLiteral("Do you want to save the changes?");
    request.informativeText = QStringLiteral("Your changes will be lost if you don't save them.");
    request.buttons = {QStringLiteral("Save"), QStringLiteral("Cancel"),
                       QStringLiteral("Don't Save")};
    return request;
}

TEST(QtAlertPresenterTest, ModalAlertAnswersTheIndexOfTheClickedButton)
{
    const AlertRequest request = saveRequest();
    for (int index = 0; index < request.buttons.size(); ++index) {
        QString shownText;
        QString shownInformativeText;
        QString defaultButton;
        whenModalShown<QMessageBox>([&](QMessageBox *box) {
            shownText = box->text();
            shownInformativeText = box->informativeText();
            defaultButton = box->defaultButton()->text();
            buttonTitled(box, request.buttons.at(index))->click();
        });

        const AlertResponse response = lq::QtAlertPresenter().runModal(request);

        EXPECT_EQ(response.buttonIndex, index);
        EXPECT_FALSE(response.suppressed);
        EXPECT_EQ(shownText, request.messageText);
        EXPECT_EQ(shownInformativeText, request.informativeText);
        EXPECT_EQ(defaultButton, QStringLiteral("Save"));
    }
}

TEST(QtAlertPresenterTest, EachKindOfAlertShowsItsIcon)
{
    using Style = AlertRequest::Style;
    const std::pair<Style, QMessageBox::Icon> cases[] = {
        {Style::Warning, QMessageBox::Warning},
        {Style::Informational, QMessageBox::Information},
        {Style::Critical, QMessageBox::Critical},
    };
    for (const auto &[style, icon] : cases) {
        AlertRequest request;
        request.messageText = QStringLiteral("The note could not be saved.");
        request.style = style;
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        whenModalShown<QMessageBox>([&](QMessageBox *box) {
            shown = box->icon();
            box->defaultButton()->click();
        });
        lq::QtAlertPresenter().runModal(request);
        EXPECT_EQ(shown, icon);
    }
    EXPECT_EQ(AlertRequest().style, Style::Warning);
}

TEST(QtAlertPresenterTest, SuppressionBoxReportsItsState)
{
    AlertRequest request;
    request.messageText = QStringLiteral("Recording stopped.");
    request.showsSuppressionButton = true;
    QString boxTitle;
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        boxTitle = box->checkBox()->text();
        box->checkBox()->setChecked(true);
        buttonTitled(box, QStringLiteral("OK"))->click();
    });

    const AlertResponse response = lq::QtAlertPresenter().runModal(request);

    EXPECT_EQ(response.buttonIndex, 0);
    EXPECT_TRUE(response.suppressed);
    EXPECT_EQ(boxTitle, QStringLiteral("Do not show this message again"));
}

TEST(QtAlertPresenterTest, SheetIsWindowModalAndCallsDoneOnce)
{
    QWidget window;
    window.show();
    QList<AlertResponse> answers;

    lq::QtAlertPresenter().beginSheet(
        saveRequest(), &window, [&](const AlertResponse &response) { answers.append(response); });
    auto *box = window.findChild<QMessageBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(answers.isEmpty());

    buttonTitled(box, QStringLiteral("Don't Save"))->click();

    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(answers.first().buttonIndex, 2);
}

} // namespace
