#pragma once

#include "../DateRestriction.h"
#include "../MailPlatform.h"
#include "../msg/MsgObject.h"
#include "PstBackend.h"
#include "PstMessageList.h"

#include <memory>

namespace kestrel::platform::pst {

// The message's value of a date property, as its MailItem getter gives it.
std::optional<QDateTime> summaryDate(const PstMessageSummary& summary, DateProperty property);

// A message of an Outlook data file. Its getters answer from the folder
// listing; copying it reads it whole, into a .msg file with every property it
// has or, for a store of another backend, through the .msg codec's MIME form.
class PstMailItem : public MailItem {
public:
    PstMailItem(std::shared_ptr<PstBackend> backend, int store, std::uint32_t folder,
                std::shared_ptr<const PstMessageSummary> summary);

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
    bool save() override;
    bool importFile(const QString& path, int format) override;
    bool saveAs(const QString& path, int format) override;
    std::optional<RawMessage> rawMessage() override;
    std::unique_ptr<MailItem> takeMade() override;

private:
    bool readable();
    std::optional<QString> text(std::uint16_t id);
    std::optional<QDateTime> date(DateProperty property);
    const msg::PropertyMap* firstRecipient();
    const msg::MsgObject* whole();
    bool refuse();

    std::shared_ptr<PstBackend> m_backend;
    int m_store;
    std::uint32_t m_folder;
    std::shared_ptr<const PstMessageSummary> m_summary;
    std::unique_ptr<msg::MsgObject> m_whole;
    std::unique_ptr<MailItem> m_made;
};

} // namespace kestrel::platform::pst
