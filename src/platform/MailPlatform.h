#pragma once

// The mail platform: every operation the program calls on the mail data.
// Modelled on a desktop client's object model (application, namespace,
// folders, items) plus an extended session (objects by identifier, move, copy,
// .msg import and export). Backends live in sub-folders (maildir/).
//
// Ownership: every object is handed out as a std::unique_ptr owned by the
// caller and lives only as long as the code that obtained it. Objects never
// keep each other alive; a child may outlive its parent's handle because both
// refer to the backend's shared state internally.
//
// Errors: a call that fails returns nullptr, std::nullopt or false and leaves
// the reason in lastError() of the object it was called on.

#include "PlatformError.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kestrel::platform {

class BatchActions;
class Folder;
class MailItem;

// Kind names of items, as the engine tests them.
inline constexpr const char* kMailItemType = "MailItem";
inline constexpr const char* kMeetingItemType = "MeetingItem";
inline constexpr const char* kReportItemType = "ReportItem";

// Default item types of folders (0 = mail).
enum FolderItemType {
    MailFolderType = 0,
    AppointmentFolderType = 1,
    ContactFolderType = 2,
    TaskFolderType = 3,
    JournalFolderType = 4,
    NoteFolderType = 5
};

// File format code of SaveAs/Import for Outlook .msg files.
inline constexpr int kMsgFormat = 3;

// A message as it travels between stores of different backends: its RFC 5322
// bytes and the state a store keeps beside them.
struct RawMessage {
    QByteArray content;
    QStringList flags;    // system flags: "\\Seen", "\\Flagged", "\\Answered", "\\Draft"
    QStringList keywords; // "$Forwarded", "$NoArchive", and any other
    QDateTime received;   // invalid: when it is stored
};

class ItemCollection : public ErrorHolder {
public:
    virtual ~ItemCollection() = default;
    // The matching items. The filter is the text of a DateRestriction
    // (DateRestriction.h); an unparsable filter fails.
    virtual std::unique_ptr<ItemCollection> restrict(const QString& filter) = 0;
    virtual std::optional<qint64> count() = 0;
    // 1-based. Returns an item of any kind (see MailItem::typeName).
    virtual std::unique_ptr<MailItem> item(qint64 index) = 0;
};

class FolderCollection : public ErrorHolder {
public:
    virtual ~FolderCollection() = default;
    virtual std::optional<int> count() = 0;
    virtual std::unique_ptr<Folder> item(int position) = 0;        // 1-based
    virtual std::unique_ptr<Folder> item(const QString& name) = 0; // NotFound when missing
    virtual std::unique_ptr<Folder> add(const QString& name) = 0;  // a new mail folder
};

class Folder : public ErrorHolder {
public:
    virtual ~Folder() = default;
    virtual std::optional<QString> name() = 0;
    virtual std::optional<QString> storeId() = 0;
    virtual std::optional<QString> entryId() = 0;
    // "\\Store\Folder\Sub", written by FolderPath (FolderPath.h).
    virtual std::optional<QString> folderPath() = 0;
    // True exactly for a store's root folder (its parent is the namespace).
    virtual std::optional<bool> isStoreRoot() = 0;
    virtual std::optional<int> defaultItemType() = 0;
    // True when the folder's store can only be read (an Outlook data file):
    // its items can be copied out, never moved, deleted or added to.
    virtual bool isReadOnly() { return false; }
    virtual std::unique_ptr<ItemCollection> items() = 0;
    virtual std::unique_ptr<FolderCollection> folders() = 0;
    // A new, unsaved mail message in this folder (Items.Add(0)); Save commits it.
    virtual std::unique_ptr<MailItem> addItem() = 0;
    // Stores a message from another backend; when it returns the message is
    // durable here. The store root takes it into its Inbox.
    virtual std::unique_ptr<MailItem> append(const RawMessage& message);
};

enum class DateProperty;

class MailItem : public ErrorHolder {
public:
    virtual ~MailItem() = default;
    virtual QString typeName() = 0; // "MailItem", "MeetingItem", "ReportItem", ...
    virtual std::optional<QString> entryId() = 0;

    virtual std::optional<QString> subject() = 0;
    virtual std::optional<QString> senderName() = 0;
    virtual std::optional<QString> senderEmailAddress() = 0;
    virtual std::optional<QString> receivedByName() = 0;
    virtual std::optional<QString> firstRecipientName() = 0;
    virtual std::optional<QString> firstRecipientAddress() = 0;
    // Local date-times.
    virtual std::optional<QDateTime> creationTime() = 0;
    virtual std::optional<QDateTime> receivedTime() = 0;
    virtual std::optional<QDateTime> sentOn() = 0;
    virtual std::optional<QDateTime> lastModificationTime() = 0;
    // One of those as epoch milliseconds, for callers that only compare or
    // keep the instant: a backend may answer it without converting to local time.
    virtual std::optional<qint64> dateMsecs(DateProperty property);
    virtual std::optional<bool> noAging() = 0;
    virtual std::optional<bool> unRead() = 0;
    // Bytes. Kept from when the item was read, so it still answers after a move or delete.
    virtual std::optional<qint64> size() = 0;

    // The desktop client's delete: into the store's "Deleted Items" (created
    // when missing); an item already there is removed for good.
    virtual bool deleteItem() = 0;
    // The session's delete: removed for good.
    virtual bool deletePermanently() = 0;
    // Returns the moved message; this one is gone from its folder.
    virtual std::unique_ptr<MailItem> move(Folder& destination) = 0;
    virtual bool copyTo(Folder& destination) = 0;
    // Commits a new message made by Folder::addItem and filled by importFile.
    virtual bool save() = 0;
    virtual bool importFile(const QString& path, int format) = 0;
    virtual bool saveAs(const QString& path, int format) = 0;
    // The stored message whole, for a store of another backend.
    virtual std::optional<RawMessage> rawMessage();
    // The backend's actions on many of its items at once, or nullptr when it
    // acts on one item at a time (the default). Items returning the same
    // object may be handed to it together.
    virtual BatchActions* batchActions() { return nullptr; }
    // The message the last successful copyTo or deleteItem made (the copy,
    // the item in "Deleted Items"), handed out once; nullptr when the backend
    // cannot tell. Undoing a run needs to find it again.
    virtual std::unique_ptr<MailItem> takeMade() { return nullptr; }
};

// The result of one item of a batch action.
struct ItemOutcome {
    bool done = false;
    PlatformError error; // why, when not done
    // The message the action made, when the backend can give it: a move's,
    // a copy's, a delete's in "Deleted Items".
    std::unique_ptr<MailItem> moved;
};

// Actions on a set of items of one backend, for a backend where each command
// costs a round trip (a server): one command per set instead of per item. The
// items all came from this object's batchActions(); outcomes are in the order
// of the items, one each, and true: an item is reported done only when it is
// (durable in the destination, gone from the source for a move).
class BatchActions {
public:
    virtual ~BatchActions() = default;
    virtual std::vector<ItemOutcome> move(std::span<MailItem* const> items,
                                          Folder& destination) = 0;
    virtual std::vector<ItemOutcome> copy(std::span<MailItem* const> items,
                                          Folder& destination) = 0;
    // MailItem::deleteItem of each item.
    virtual std::vector<ItemOutcome> remove(std::span<MailItem* const> items) = 0;
    // How many items a set should hold for one command to pay off while a
    // set still ends soon enough for Stop; destination is null for a delete.
    virtual std::size_t preferredSetSize(Folder* destination) const
    {
        (void)destination;
        return 500;
    }
};

// The batch actions for items of any backends: each run of consecutive items
// sharing a BatchActions goes to it as one set, every other item is acted on
// by its own move, copyTo or deleteItem. One outcome per item, in order.
std::vector<ItemOutcome> moveItems(std::span<MailItem* const> items, Folder& destination);
std::vector<ItemOutcome> copyItems(std::span<MailItem* const> items, Folder& destination);
std::vector<ItemOutcome> deleteItems(std::span<MailItem* const> items);

// Move and copy to a folder of another backend: the message is appended there
// (durable) before it is removed here, so that a crash leaves it in one store
// or both, never in neither. A backend's move and copyTo call these for
// destinations that are not its own.
std::unique_ptr<MailItem> moveAcross(MailItem& item, Folder& destination, PlatformError* error);
std::unique_ptr<MailItem> copyAcross(MailItem& item, Folder& destination, PlatformError* error);

// The extended session: objects by identifier, the default store, the user.
class Session : public ErrorHolder {
public:
    virtual ~Session() = default;
    virtual std::unique_ptr<Folder> getFolderFromId(const QString& entryId) = 0;
    virtual std::unique_ptr<MailItem> getMessageFromId(const QString& entryId) = 0;
    virtual std::optional<QString> defaultStoreId() = 0;
    virtual std::optional<QString> currentUserAddress() = 0;
};

class Namespace : public ErrorHolder {
public:
    virtual ~Namespace() = default;
    virtual bool logon() = 0;
    virtual void logoff() = 0;
    // The top-level folders, one per data store, in profile order.
    virtual std::unique_ptr<FolderCollection> folders() = 0;
    // A session attached to this namespace's logon, or nullptr.
    virtual std::unique_ptr<Session> openSession() = 0;
    // The stores of the profile left out because they cannot be opened, each
    // with its reason; the others are listed by folders().
    virtual QList<PlatformError> unusableStores() const { return {}; }
};

class Application : public ErrorHolder {
public:
    virtual ~Application() = default;
    virtual std::unique_ptr<Namespace> getNamespace(const QString& type) = 0; // "MAPI"
    virtual void quit() = 0;
};

} // namespace kestrel::platform
