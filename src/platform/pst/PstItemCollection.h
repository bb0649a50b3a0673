#pragma once

#include "../DateRestriction.h"
#include "../MailPlatform.h"
#include "PstBackend.h"
#include "PstMessageList.h"

#include <memory>

namespace kestrel::platform::pst {

// The messages of a folder of an Outlook data file, listed once when first
// asked, and restricted by dates without reading the file again.
class PstItemCollection : public ItemCollection {
public:
    PstItemCollection(std::shared_ptr<PstBackend> backend, int store, std::uint32_t folder);

    std::unique_ptr<ItemCollection> restrict(const QString& filter) override;
    std::optional<qint64> count() override;
    std::unique_ptr<MailItem> item(qint64 index) override;

private:
    const PstMessageList* list();

    std::shared_ptr<PstBackend> m_backend;
    int m_store;
    std::uint32_t m_folder;
    std::shared_ptr<const PstMessageList> m_list;
};

} // namespace kestrel::platform::pst
