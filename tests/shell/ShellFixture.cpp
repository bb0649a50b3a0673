#include "ShellFixture.h"

#include "DemoProfileBuilder.h"
#include "platform/PlatformRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace kestrel::test {

static TempDir* s_demoDir = nullptr;

void ShellFixture::SetUpTestSuite()
{
    if (s_demoDir)
        return;
    s_demoDir = new TempDir;
    demo::DemoProfileBuilder builder(s_demoDir->filePath("demo"), 60, 7);
    ASSERT_TRUE(builder.build()) << builder.errorText().toStdString();
}

void ShellFixture::TearDownTestSuite()
{
    delete s_demoDir;
    s_demoDir = nullptr;
}

QString ShellFixture::demoProfile()
{
    return s_demoDir->filePath("demo/profile.ini");
}

QString ShellFixture::demoStoreDir(const QString& name)
{
    QSettings profile(demoProfile(), QSettings::IniFormat);
    for (const QString& group : profile.childGroups()) {
        if (profile.value(group + "/Name").toString() == name)
            return QDir(s_demoDir->filePath("demo"))
                .absoluteFilePath(profile.value(group + "/Path").toString());
    }
    return {};
}

void ShellFixture::SetUp()
{
    ASSERT_TRUE(s_demoDir);
    QApplication::setQuitOnLastWindowClosed(false);
    useProfile(demoProfile());
    settings = std::make_unique<shell::SettingsStore>(dir.filePath("settings.ini"));
    messages.log = &log;
    dialogs.log = &log;
    places.home = dir.filePath("home");
    places.userName = "tester";
    places.dataHome = places.home + "/.local/share";
    places.notmuchConfig = places.home + "/.notmuch-config";
    places.doveconf = {"false"};
    QDir().mkpath(places.home);
}

void ShellFixture::TearDown()
{
    qunsetenv("KESTREL_PROFILE");
}

void ShellFixture::useProfile(const QString& profileIni)
{
    qputenv("KESTREL_PROFILE", profileIni.toLocal8Bit());
}

QString ShellFixture::writeProfile(const QList<QPair<QString, QString>>& stores)
{
    const QString folder = dir.filePath(QStringLiteral("profile%1").arg(++m_profiles));
    QDir().mkpath(folder);
    QByteArray text = "[Profile]\nUserName=Test User\nUserAddress=test@example.org\n";
    if (!stores.isEmpty())
        text += "DefaultStore=" + stores.first().first.toUtf8() + "\n";
    for (int i = 0; i < stores.size(); ++i)
        text += "\n[Store" + QByteArray::number(i + 1) + "]\nName=" + stores[i].first.toUtf8() +
                "\nPath=" + stores[i].second.toUtf8() + "\n";
    QFile file(folder + "/profile.ini");
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return file.fileName();
}

std::unique_ptr<shell::frmMain> ShellFixture::start(shell::StartupOutcome expected)
{
    shell::ShellServices services;
    services.settings = settings.get();
    services.messages = &messages;
    services.dialogs = &dialogs;
    services.beep = [this] {
        ++beeps;
        log.append("beep");
    };
    services.createApplication = [this]() -> std::unique_ptr<platform::Application> {
        auto real = platform::createApplication(backends);
        log.append(real ? "application created" : "no application");
        if (!real)
            return nullptr;
        return std::make_unique<RecordingApplication>(std::move(real), log, &unopenableStores);
    };
    services.openUrl = [this](const QUrl& url) { openedUrls.append(url); };
    services.folderPicker = picker;
    services.sound = sound;
    services.mailPlaces = [this] { return places; };
    services.keyring = keyring;
    auto window = std::make_unique<shell::frmMain>(services);
    QObject::connect(window.get(), &shell::frmMain::programEnded, [this] {
        ++m_ended;
        log.append("program ended");
    });
    EXPECT_EQ(window->startUp(), expected);
    return window;
}

QStringList ShellFixture::configKeys()
{
    QSettings file(dir.filePath("settings.ini"), QSettings::IniFormat);
    file.beginGroup("Config");
    return file.childKeys();
}

} // namespace kestrel::test
