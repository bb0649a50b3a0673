#include "dialogs/QtMessageBoxService.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace kestrel::dialogs;

// The root-folder question must not go ahead on Enter: its default is No.
TEST(QtMessageBoxService, QuestionsKeepTheirDefaultButton)
{
    MessageBoxRequest question;
    question.text = "Sure?";
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    question.defaultButton = MessageAnswer::No;
    auto box = QtMessageBoxService::build(nullptr, question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
}
