#pragma once

// Wraps the real platform objects and notes, in order, the calls that start-up
// and shutdown make on them and when each object is released.

#include "platform/MailPlatform.h"

#include <QStringList>

#include <memory>

namespace kestrel::test {

class RecordingSession : public platform::Session {
public:
    RecordingSession(std::unique_ptr<platform::Session> real, QStringList& log)
        : m_real(std::move(real)), m_log(log)
    {
    }
    ~RecordingSession() override { m_log.append("session released"); }
    std::unique_ptr<platform::Folder> getFolderFromId(const QString& id) override
    {
        return m_real->getFolderFromId(id);
    }
    std::unique_ptr<platform::MailItem> getMessageFromId(const QString& id) override
    {
        return m_real->getMessageFromId(id);
    }
    std::optional<QString> defaultStoreId() override { return m_real->defaultStoreId(); }
    std::optional<QString> currentUserAddress() override { return m_real->currentUserAddress(); }

private:
    std::unique_ptr<platform::Session> m_real;
    QStringList& m_log;
};

// The stores of a profile whose root cannot be opened, as when a data file
// has gone: the store list still holds them, a look-up by name finds nothing.
class UnopenableStores : public platform::FolderCollection {
public:
    UnopenableStores(std::unique_ptr<platform::FolderCollection> real, const QStringList& names)
        : m_real(std::move(real)), m_names(names)
    {
    }
    std::optional<int> count() override { return m_real->count(); }
    std::unique_ptr<platform::Folder> item(int position) override { return m_real->item(position); }
    std::unique_ptr<platform::Folder> item(const QString& name) override
    {
        if (m_names.contains(name)) {
            setError(platform::ErrorKind::NotFound, QStringLiteral("The store cannot be opened"),
                     name);
            return nullptr;
        }
        return m_real->item(name);
    }
    std::unique_ptr<platform::Folder> add(const QString& name) override
    {
        return m_real->add(name);
    }

private:
    std::unique_ptr<platform::FolderCollection> m_real;
    const QStringList& m_names;
};

class RecordingNamespace : public platform::Namespace {
public:
    RecordingNamespace(std::unique_ptr<platform::Namespace> real, QStringList& log,
                       const QStringList* unopenable = nullptr)
        : m_real(std::move(real)), m_log(log), m_unopenable(unopenable)
    {
    }
    ~RecordingNamespace() override { m_log.append("namespace released"); }
    bool logon() override
    {
        const bool ok = m_real->logon();
        m_log.append(ok ? "logon" : "logon failed");
        setError(m_real->lastError()); // the window tells the user why
        return ok;
    }
    void logoff() override
    {
        m_log.append("logoff");
        m_real->logoff();
    }
    std::unique_ptr<platform::FolderCollection> folders() override
    {
        auto real = m_real->folders();
        if (!real || !m_unopenable)
            return real;
        return std::make_unique<UnopenableStores>(std::move(real), *m_unopenable);
    }
    std::unique_ptr<platform::Session> openSession() override
    {
        auto session = m_real->openSession();
        m_log.append(session ? "session opened" : "no session");
        setError(m_real->lastError());
        if (!session)
            return nullptr;
        return std::make_unique<RecordingSession>(std::move(session), m_log);
    }
    QList<platform::PlatformError> unusableStores() const override
    {
        return m_real->unusableStores();
    }

private:
    std::unique_ptr<platform::Namespace> m_real;
    QStringList& m_log;
    const QStringList* m_unopenable;
};

class RecordingApplication : public platform::Application {
public:
    RecordingApplication(std::unique_ptr<platform::Application> real, QStringList& log,
                         const QStringList* unopenable = nullptr)
        : m_real(std::move(real)), m_log(log), m_unopenable(unopenable)
    {
    }
    ~RecordingApplication() override { m_log.append("application released"); }
    std::unique_ptr<platform::Namespace> getNamespace(const QString& type) override
    {
        m_log.append("namespace " + type);
        auto ns = m_real->getNamespace(type);
        if (!ns)
            return nullptr;
        return std::make_unique<RecordingNamespace>(std::move(ns), m_log, m_unopenable);
    }
    void quit() override
    {
        m_log.append("quit");
        m_real->quit();
    }

private:
    std::unique_ptr<platform::Application> m_real;
    QStringList& m_log;
    const QStringList* m_unopenable;
};

} // namespace kestrel::test
