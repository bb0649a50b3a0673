#pragma once

#include "../MailPlatform.h"
#include "../MsgCodec.h"
#include "ImapBackend.h"

#include <memory>
#include <optional>

namespace kestrel::platform::imap {

// One message of a mailbox, answering from what the listing fetched, or a
// new message not stored yet (Folder::addItem, then importFile and save).
//
// Times: ReceivedTime is the INTERNALDATE; CreationTime and
// LastModificationTime are the INTERNALDATE too (IMAP tells no time of a
// flag change, and the library cannot ask for SAVEDATE). Names as the Maildir
// backend gives them, from the ENVELOPE (which has no Delivered-To).
class ImapMailItem : public MailItem {
public:
    ImapMailItem(std::shared_ptr<ImapBackend> backend, int store, QByteArray mailbox,
                 uint32_t validity, MessageSummary summary);
    static std::unique_ptr<ImapMailItem> createUnsaved(std::shared_ptr<ImapBackend> backend,
                                                       int store, QByteArray mailbox);
    // APPEND; the new message, or nullptr and *error.
    static std::unique_ptr<ImapMailItem> appendTo(std::shared_ptr<ImapBackend> backend, int store,
                                                  const QByteArray& mailbox,
                                                  const RawMessage& message, PlatformError* error);

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
    BatchActions* batchActions() override;

    int store() const { return m_store; }
    const QByteArray& mailbox() const { return m_mailbox; }
    uint32_t validity() const { return m_validity; }
    uint32_t uid() const { return m_summary.uid; }
    const MessageSummary& knownSummary() const { return m_summary; }
    // Moved away or deleted: every later action fails with NotFound.
    void markGone() { m_gone = true; }
    bool isGone() const { return m_gone; }

private:
    ImapMailItem(std::shared_ptr<ImapBackend> backend, int store, QByteArray mailbox);
    // The summary with everything FETCH tells (fetched once when the item lacks it).
    const MessageSummary* summary();
    std::optional<QDateTime> receivedOrError();
    // A stored message that is still there, as far as this item knows.
    bool checkStored();
    bool takeOutcome(ItemOutcome outcome);

    std::shared_ptr<ImapBackend> m_backend;
    int m_store = -1;
    QByteArray m_mailbox;
    uint32_t m_validity = 0;
    MessageSummary m_summary;
    bool m_gone = false;
    bool m_isNew = false;
    std::optional<msg::MsgEnvelope> m_unsaved;
    std::unique_ptr<MailItem> m_made; // by the last copyTo or deleteItem
};

} // namespace kestrel::platform::imap
