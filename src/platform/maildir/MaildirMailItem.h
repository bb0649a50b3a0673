#pragma once

#include "../MailPlatform.h"
#include "../MsgCodec.h"
#include "FolderRef.h"
#include "MaildirBackend.h"
#include "MessageFile.h"

#include <memory>
#include <optional>

namespace kestrel::platform::maildir {

// One message file of a folder, or a new message that is not saved yet
// (Folder::addItem, then importFile and save).
//
// Names: senderName is the From display name, or its address when it has none;
// receivedByName is the name of the To/Cc/Delivered-To mailbox that is the
// profile user (the profile's UserName when that mailbox has no name), empty
// for mail the user sent, else the first To name.
class MaildirMailItem : public MailItem {
public:
    // seen: the entry comes from a listing just made, so the file need not be
    // looked for again before it is used.
    // facts: what a listing's filter read of the file, used instead of reading
    // again; fields: its header block's fields, when scanned already.
    MaildirMailItem(std::shared_ptr<MaildirBackend> backend, FolderRef folder, MessageEntry entry,
                    bool seen = false, FileFacts facts = {},
                    std::shared_ptr<const HeaderFields> fields = {});
    static std::unique_ptr<MaildirMailItem> createUnsaved(std::shared_ptr<MaildirBackend> backend,
                                                          FolderRef folder);

    QString typeName() override;
    std::optional<QString> entryId() override;

    std::optional<QString> subject() override;
    std::optional<QString> senderName() override;
    std::optional<QString> senderEmailAddress() override;
    std::optional<QString> receivedByName() override;
    std::optional<QString> firstRecipientName() override;
    std::optional<QString> firstRecipientAddress() override;
    std::optional<QDateTime> creationTime() override;
    std::optional<QDateTime> receivedTime() override;
    std::optional<QDateTime> sentOn() override;
    std::optional<qint64> dateMsecs(DateProperty property) override;
    std::optional<QDateTime> lastModificationTime() override;
    std::optional<bool> noAging() override;
    std::optional<bool> unRead() override;
    std::optional<qint64> size() override;

    bool deleteItem() override;
    bool deletePermanently() override;
    std::unique_ptr<MailItem> move(Folder& destination) override;
    bool copyTo(Folder& destination) override;
    std::unique_ptr<MailItem> takeMade() override { return std::move(m_made); }
    bool save() override;
    bool importFile(const QString& path, int format) override;
    bool saveAs(const QString& path, int format) override;
    std::optional<RawMessage> rawMessage() override;

private:
    MaildirMailItem(std::shared_ptr<MaildirBackend> backend, FolderRef folder);

    // The stored file as it is now (a flag change may have renamed it).
    bool resolve();
    // Whether destination is a folder of this item's backend (a rename away).
    bool isOwnFolder(Folder& destination) const;
    const MessageHeaders* headers();
    // The stored file's header block, read once (found again after a flag change).
    bool loadHeaderBlock();
    std::optional<QList<MailAddress>> from();
    std::optional<qint64> msecsOf(std::optional<qint64> (MessageFile::*read)(PlatformError*));
    std::optional<qint64> sentOnMsecs();
    std::optional<QDateTime> timeOf(std::optional<qint64> (MessageFile::*read)(PlatformError*),
                                    const QDateTime msg::MsgEnvelope::*unsaved);
    std::optional<MailAddress> firstRecipient();
    // Where a move or copy goes: the destination's folder (Inbox for a store root).
    std::optional<FolderRef> targetOf(Folder& destination);
    std::optional<MessageEntry> transferTo(const FolderRef& target, bool copy);

    std::shared_ptr<MaildirBackend> m_backend;
    FolderRef m_folder;
    std::optional<MessageFile> m_file;         // a stored message
    std::optional<msg::MsgEnvelope> m_unsaved; // a new one, once imported
    std::optional<MessageHeaders> m_unsavedHeaders;
    bool m_isNew = false;
    bool m_gone = false;     // moved away or deleted
    bool m_resolved = false; // the file was seen at its path
    std::optional<qint64> m_size;
    std::unique_ptr<MailItem> m_made; // by the last copyTo or deleteItem
    std::optional<QString> m_typeName;
    std::optional<QString> m_entryId;
};

} // namespace kestrel::platform::maildir
