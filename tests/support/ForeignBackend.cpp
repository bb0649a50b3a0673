#include "ForeignBackend.h"

#include "platform/maildir/MaildirStores.h"

namespace kestrel::test {

std::vector<qsizetype> ForeignBatchLog::sizes() const
{
    std::vector<qsizetype> out;
    for (const ForeignBatch& batch : batches)
        out.push_back(qsizetype(batch.outcomes.size()));
    return out;
}

namespace {

using platform::ErrorHolder;
using platform::Folder;
using platform::FolderCollection;
using platform::ItemCollection;
using platform::ItemOutcome;
using platform::MailItem;
using platform::Namespace;
using platform::RawMessage;
using platform::Session;

struct Shared;

// Each wrapper answers with what the Maildir object below it answered,
// error included.
template <typename Interface> class Relay : public Interface {
protected:
    explicit Relay(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

    template <typename T> T pass(T value, const ErrorHolder& from)
    {
        if (value)
            this->clearError();
        else
            this->setError(from.lastError());
        return value;
    }

    std::shared_ptr<Shared> m_shared;
};

std::unique_ptr<Folder> wrap(const std::shared_ptr<Shared>& shared, std::unique_ptr<Folder> inner);
std::unique_ptr<MailItem> wrap(const std::shared_ptr<Shared>& shared,
                               std::unique_ptr<MailItem> inner);

class ForeignBatchActions : public platform::BatchActions {
public:
    explicit ForeignBatchActions(std::shared_ptr<ForeignBatchLog> log) : m_log(std::move(log)) {}

    std::vector<ItemOutcome> move(std::span<MailItem* const> items, Folder& destination) override
    {
        return each(QStringLiteral("move"), items, [&](MailItem& item, ItemOutcome& outcome) {
            outcome.moved = item.move(destination);
            outcome.done = outcome.moved != nullptr;
        });
    }
    std::vector<ItemOutcome> copy(std::span<MailItem* const> items, Folder& destination) override
    {
        return each(QStringLiteral("copy"), items, [&](MailItem& item, ItemOutcome& outcome) {
            outcome.done = item.copyTo(destination);
        });
    }
    std::vector<ItemOutcome> remove(std::span<MailItem* const> items) override
    {
        return each(QStringLiteral("remove"), items,
                    [](MailItem& item, ItemOutcome& outcome) { outcome.done = item.deleteItem(); });
    }

private:
    template <typename Act>
    std::vector<ItemOutcome> each(const QString& name, std::span<MailItem* const> items, Act act)
    {
        ForeignBatch batch{name, {}};
        std::vector<ItemOutcome> outcomes(items.size());
        for (std::size_t k = 0; k < items.size(); ++k) {
            act(*items[k], outcomes[k]);
            if (!outcomes[k].done)
                outcomes[k].error = items[k]->lastError();
            batch.outcomes.push_back(outcomes[k].error.kind);
        }
        if (m_log)
            m_log->batches.push_back(std::move(batch));
        return outcomes;
    }

    std::shared_ptr<ForeignBatchLog> m_log;
};

struct Shared {
    Shared(std::shared_ptr<ForeignBatchLog> log, bool readOnly)
        : actions(std::move(log)), readOnly(readOnly)
    {
    }
    ForeignBatchActions actions;
    bool readOnly;
};

class ForeignFolder;

// The Maildir folder below a folder of this namespace; any other folder as it is.
Folder& unwrapped(const std::shared_ptr<Shared>& shared, Folder& folder);

class ForeignItem : public Relay<MailItem> {
public:
    ForeignItem(std::shared_ptr<Shared> shared, std::unique_ptr<MailItem> inner)
        : Relay(std::move(shared)), m_inner(std::move(inner))
    {
    }

    QString typeName() override { return m_inner->typeName(); }
    std::optional<QString> entryId() override { return pass(m_inner->entryId(), *m_inner); }
    std::optional<QString> subject() override { return pass(m_inner->subject(), *m_inner); }
    std::optional<QString> senderName() override { return pass(m_inner->senderName(), *m_inner); }
    std::optional<QString> senderEmailAddress() override
    {
        return pass(m_inner->senderEmailAddress(), *m_inner);
    }
    std::optional<QString> receivedByName() override
    {
        return pass(m_inner->receivedByName(), *m_inner);
    }
    std::optional<QString> firstRecipientName() override
    {
        return pass(m_inner->firstRecipientName(), *m_inner);
    }
    std::optional<QString> firstRecipientAddress() override
    {
        return pass(m_inner->firstRecipientAddress(), *m_inner);
    }
    std::optional<QDateTime> creationTime() override
    {
        return pass(m_inner->creationTime(), *m_inner);
    }
    std::optional<QDateTime> receivedTime() override
    {
        return pass(m_inner->receivedTime(), *m_inner);
    }
    std::optional<QDateTime> sentOn() override { return pass(m_inner->sentOn(), *m_inner); }
    std::optional<QDateTime> lastModificationTime() override
    {
        return pass(m_inner->lastModificationTime(), *m_inner);
    }
    std::optional<bool> noAging() override { return pass(m_inner->noAging(), *m_inner); }
    std::optional<bool> unRead() override { return pass(m_inner->unRead(), *m_inner); }
    std::optional<qint64> size() override { return pass(m_inner->size(), *m_inner); }
    bool deleteItem() override { return pass(m_inner->deleteItem(), *m_inner); }
    bool deletePermanently() override { return pass(m_inner->deletePermanently(), *m_inner); }
    std::unique_ptr<MailItem> move(Folder& destination) override
    {
        return wrap(m_shared, pass(m_inner->move(unwrapped(m_shared, destination)), *m_inner));
    }
    bool copyTo(Folder& destination) override
    {
        return pass(m_inner->copyTo(unwrapped(m_shared, destination)), *m_inner);
    }
    bool save() override { return pass(m_inner->save(), *m_inner); }
    bool importFile(const QString& path, int format) override
    {
        return pass(m_inner->importFile(path, format), *m_inner);
    }
    bool saveAs(const QString& path, int format) override
    {
        return pass(m_inner->saveAs(path, format), *m_inner);
    }
    std::optional<RawMessage> rawMessage() override
    {
        return pass(m_inner->rawMessage(), *m_inner);
    }
    platform::BatchActions* batchActions() override { return &m_shared->actions; }

private:
    std::unique_ptr<MailItem> m_inner;
};

class ForeignItems : public Relay<ItemCollection> {
public:
    ForeignItems(std::shared_ptr<Shared> shared, std::unique_ptr<ItemCollection> inner)
        : Relay(std::move(shared)), m_inner(std::move(inner))
    {
    }

    std::unique_ptr<ItemCollection> restrict(const QString& filter) override
    {
        std::unique_ptr<ItemCollection> found = pass(m_inner->restrict(filter), *m_inner);
        return found ? std::make_unique<ForeignItems>(m_shared, std::move(found)) : nullptr;
    }
    std::optional<qint64> count() override { return pass(m_inner->count(), *m_inner); }
    std::unique_ptr<MailItem> item(qint64 index) override
    {
        return wrap(m_shared, pass(m_inner->item(index), *m_inner));
    }

private:
    std::unique_ptr<ItemCollection> m_inner;
};

class ForeignFolders : public Relay<FolderCollection> {
public:
    ForeignFolders(std::shared_ptr<Shared> shared, std::unique_ptr<FolderCollection> inner)
        : Relay(std::move(shared)), m_inner(std::move(inner))
    {
    }

    std::optional<int> count() override { return pass(m_inner->count(), *m_inner); }
    std::unique_ptr<Folder> item(int position) override
    {
        return wrap(m_shared, pass(m_inner->item(position), *m_inner));
    }
    std::unique_ptr<Folder> item(const QString& name) override
    {
        return wrap(m_shared, pass(m_inner->item(name), *m_inner));
    }
    std::unique_ptr<Folder> add(const QString& name) override
    {
        return wrap(m_shared, pass(m_inner->add(name), *m_inner));
    }

private:
    std::unique_ptr<FolderCollection> m_inner;
};

std::unique_ptr<FolderCollection> wrap(const std::shared_ptr<Shared>& shared,
                                       std::unique_ptr<FolderCollection> inner)
{
    return inner ? std::make_unique<ForeignFolders>(shared, std::move(inner)) : nullptr;
}

class ForeignFolder : public Relay<Folder> {
public:
    ForeignFolder(std::shared_ptr<Shared> shared, std::unique_ptr<Folder> inner)
        : Relay(std::move(shared)), m_inner(std::move(inner))
    {
    }

    Folder& inner() { return *m_inner; }
    const Shared* shared() const { return m_shared.get(); }

    std::optional<QString> name() override { return pass(m_inner->name(), *m_inner); }
    std::optional<QString> storeId() override { return pass(m_inner->storeId(), *m_inner); }
    std::optional<QString> entryId() override { return pass(m_inner->entryId(), *m_inner); }
    std::optional<QString> folderPath() override { return pass(m_inner->folderPath(), *m_inner); }
    std::optional<bool> isStoreRoot() override { return pass(m_inner->isStoreRoot(), *m_inner); }
    std::optional<int> defaultItemType() override
    {
        return pass(m_inner->defaultItemType(), *m_inner);
    }
    bool isReadOnly() override { return m_shared->readOnly; }
    std::unique_ptr<ItemCollection> items() override
    {
        std::unique_ptr<ItemCollection> found = pass(m_inner->items(), *m_inner);
        return found ? std::make_unique<ForeignItems>(m_shared, std::move(found)) : nullptr;
    }
    std::unique_ptr<FolderCollection> folders() override
    {
        return wrap(m_shared, pass(m_inner->folders(), *m_inner));
    }
    std::unique_ptr<MailItem> addItem() override
    {
        return wrap(m_shared, pass(m_inner->addItem(), *m_inner));
    }
    std::unique_ptr<MailItem> append(const RawMessage& message) override
    {
        return wrap(m_shared, pass(m_inner->append(message), *m_inner));
    }

private:
    std::unique_ptr<Folder> m_inner;
};

Folder& unwrapped(const std::shared_ptr<Shared>& shared, Folder& folder)
{
    auto* own = dynamic_cast<ForeignFolder*>(&folder);
    return own && own->shared() == shared.get() ? own->inner() : folder;
}

std::unique_ptr<Folder> wrap(const std::shared_ptr<Shared>& shared, std::unique_ptr<Folder> inner)
{
    return inner ? std::make_unique<ForeignFolder>(shared, std::move(inner)) : nullptr;
}

std::unique_ptr<MailItem> wrap(const std::shared_ptr<Shared>& shared,
                               std::unique_ptr<MailItem> inner)
{
    return inner ? std::make_unique<ForeignItem>(shared, std::move(inner)) : nullptr;
}

class ForeignSession : public Relay<Session> {
public:
    ForeignSession(std::shared_ptr<Shared> shared, std::unique_ptr<Session> inner)
        : Relay(std::move(shared)), m_inner(std::move(inner))
    {
    }

    std::unique_ptr<Folder> getFolderFromId(const QString& entryId) override
    {
        return wrap(m_shared, pass(m_inner->getFolderFromId(entryId), *m_inner));
    }
    std::unique_ptr<MailItem> getMessageFromId(const QString& entryId) override
    {
        return wrap(m_shared, pass(m_inner->getMessageFromId(entryId), *m_inner));
    }
    std::optional<QString> defaultStoreId() override
    {
        return pass(m_inner->defaultStoreId(), *m_inner);
    }
    std::optional<QString> currentUserAddress() override
    {
        return pass(m_inner->currentUserAddress(), *m_inner);
    }

private:
    std::unique_ptr<Session> m_inner;
};

class ForeignNamespace : public Relay<Namespace> {
public:
    ForeignNamespace(std::shared_ptr<Shared> shared, std::unique_ptr<Namespace> inner)
        : Relay(std::move(shared)), m_inner(std::move(inner))
    {
    }

    bool logon() override { return pass(m_inner->logon(), *m_inner); }
    void logoff() override { m_inner->logoff(); }
    std::unique_ptr<FolderCollection> folders() override
    {
        return wrap(m_shared, pass(m_inner->folders(), *m_inner));
    }
    std::unique_ptr<Session> openSession() override
    {
        std::unique_ptr<Session> session = pass(m_inner->openSession(), *m_inner);
        return session ? std::make_unique<ForeignSession>(m_shared, std::move(session)) : nullptr;
    }
    QList<platform::PlatformError> unusableStores() const override
    {
        return m_inner->unusableStores();
    }

private:
    std::unique_ptr<Namespace> m_inner;
};

} // namespace

platform::BackendRegistry withForeignBackend(std::shared_ptr<ForeignBatchLog> log)
{
    platform::BackendRegistry backends = platform::installedBackends();
    for (const bool readOnly : {false, true}) {
        backends.add(
            QLatin1String(readOnly ? kReadOnlyType : kForeignType),
            [log, readOnly](const platform::MailProfile& stores) -> std::unique_ptr<Namespace> {
                std::unique_ptr<Namespace> inner = platform::maildir::openMaildirStores(stores);
                if (!inner)
                    return nullptr;
                return std::make_unique<ForeignNamespace>(std::make_shared<Shared>(log, readOnly),
                                                          std::move(inner));
            });
    }
    return backends;
}

} // namespace kestrel::test
