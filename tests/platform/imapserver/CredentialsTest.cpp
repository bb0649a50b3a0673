#include "platform/imap/Credentials.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace kestrel::platform::imap {
namespace {

TEST(PasswordCommand, GivesTheFirstLineOfItsOutput)
{
    PlatformError error{ErrorKind::Io, 1, QStringLiteral("stale"), {}};
    EXPECT_EQ(runPasswordCommand(QStringLiteral("printf ' pa ss\\r\\nsecond\\n'"), &error),
              QStringLiteral(" pa ss"));
    EXPECT_TRUE(error.ok());
    EXPECT_EQ(runPasswordCommand(QStringLiteral("printf 'gr\\303\\274n'"), &error),
              QStringLiteral("gr\u00fcn"));
}

TEST(PasswordCommand, FailsWithTheCommandsReason)
{
    PlatformError error;
    EXPECT_FALSE(runPasswordCommand(QStringLiteral("echo 'no such entry' >&2; exit 3"), &error));
    EXPECT_EQ(error.kind, ErrorKind::AccessDenied);
    EXPECT_TRUE(error.text.contains(QStringLiteral("exit status 3"))) << error.text.toStdString();
    EXPECT_TRUE(error.text.contains(QStringLiteral("no such entry"))) << error.text.toStdString();

    EXPECT_FALSE(runPasswordCommand(QStringLiteral("true"), &error));
    EXPECT_EQ(error.kind, ErrorKind::AccessDenied);

    // A command stuck waiting, with a child of its own holding the output open.
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(runPasswordCommand(QStringLiteral("sleep 20 & sleep 20"), &error, 300));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(error.kind, ErrorKind::Io);
}

class FixedSource : public PasswordSource {
public:
    std::optional<QString> password(const ImapAccount&, const QString& whyAsked) override
    {
        asked.append(whyAsked);
        return answer;
    }
    std::optional<QString> answer;
    QStringList asked;
};

TEST(FindPassword, TakesTheAccountsCommandBeforeTheInstalledSource)
{
    ImapAccount account;
    account.host = QStringLiteral("mail.example.org");
    account.user = QStringLiteral("demo");
    FixedSource source;
    PlatformError error;

    EXPECT_FALSE(findPassword(account, {}, &error));
    EXPECT_EQ(error.kind, ErrorKind::AccessDenied);

    setPasswordSource(&source);
    source.answer = QStringLiteral("from the keyring");
    EXPECT_EQ(findPassword(account, QStringLiteral("Authentication failed."), &error),
              QStringLiteral("from the keyring"));
    EXPECT_EQ(source.asked, QStringList{QStringLiteral("Authentication failed.")});
    source.answer.reset();
    EXPECT_FALSE(findPassword(account, {}, &error));
    EXPECT_EQ(error.kind, ErrorKind::AccessDenied);

    account.passwordCommand = QStringLiteral("echo from-the-command");
    EXPECT_EQ(findPassword(account, {}, &error), QStringLiteral("from-the-command"));
    EXPECT_EQ(source.asked.size(), 2);
    setPasswordSource(nullptr);
}

} // namespace
} // namespace kestrel::platform::imap
