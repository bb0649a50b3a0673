#include "dialogs/QtMessageBoxService.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace kestrel::dialogs;

TEST(QtMessageBoxService, BoxesCarryTheProductTitleIconButtonsAndDefault)
{
    MessageBoxRequest stop;
    stop.text = "Could not initialse Redemption";
    stop.title = "Kestrel Mailkeep";
    auto box = QtMessageBoxService::build(nullptr, stop);
    EXPECT_EQ(box->windowTitle(), "Kestrel Mailkeep");
    EXPECT_EQ(box->text(), "Could not initialse Redemption");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

    MessageBoxRequest question;
    question.text = "Sure?";
    question.title = "Kestrel Mailkeep";
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    question.defaultButton = MessageAnswer::No;
    box = QtMessageBoxService::build(nullptr, question);
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));

    MessageBoxRequest information;
    information.icon = MessageIcon::Information;
    box = QtMessageBoxService::build(nullptr, information);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
}
