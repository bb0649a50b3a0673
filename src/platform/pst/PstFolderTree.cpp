#include "PstFolderTree.h"

#include "../MailPlatform.h"
#include "../msg/PropertyAccess.h"
#include "PffHandles.h"
#include "PstFile.h"
#include "PstProperties.h"

#include <QtEndian>

namespace kestrel::platform::pst {

namespace {

constexpr std::uint16_t kPidIpmSubtreeEntryId = 0x35E0;
constexpr std::uint16_t kPidFolderType = 0x3601;
constexpr std::uint16_t kPidContainerClass = 0x3613;
constexpr std::uint32_t kSearchFolder = 2;
constexpr int kMaxDepth = 64;
constexpr int kMaxFolders = 1 << 20;

int itemTypeOf(const msg::PropertyMap& props)
{
    if (msg::getLong(props, kPidFolderType).value_or(0) == kSearchFolder)
        return kSearchFolderItemType;
    const QString cls = msg::getString(props, kPidContainerClass, 1252).value_or(QString());
    const auto is = [&cls](const char* prefix) {
        return cls.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
    };
    if (cls.isEmpty() || is("IPF.Note") || is("IPF.Imap"))
        return MailFolderType;
    if (is("IPF.Appointment"))
        return AppointmentFolderType;
    if (is("IPF.Contact"))
        return ContactFolderType;
    if (is("IPF.Task"))
        return TaskFolderType;
    if (is("IPF.Journal"))
        return JournalFolderType;
    if (is("IPF.StickyNote"))
        return NoteFolderType;
    // Any other kind (configuration, RSS, conversation actions) is not mail either.
    return NoteFolderType;
}

bool isTopName(const QString& name)
{
    return name == QLatin1String("Top of Personal Folders") ||
           name == QLatin1String("Top of Information Store") ||
           name == QLatin1String("IPM_SUBTREE");
}

PffItem childNamed(libpff_item_t* folder, int depth)
{
    int count = 0;
    if (depth <= 0 || libpff_folder_get_number_of_sub_folders(folder, &count, nullptr) != 1)
        return nullptr;
    for (int i = 0; i < count; ++i) {
        libpff_item_t* raw = nullptr;
        if (libpff_folder_get_sub_folder(folder, i, &raw, nullptr) != 1 || !raw)
            continue;
        PffItem sub(raw);
        const msg::PropertyMap props = readPropertyMap(raw, PropertyFilter::SmallOnly);
        const QString name = msg::getString(props, msg::pid::DisplayName, 1252).value_or(QString());
        if (isTopName(name))
            return sub;
        // The public folders' subtree is the server's, not the user's.
        if (name == QLatin1String("Root - Public"))
            continue;
        if (PffItem found = childNamed(raw, depth - 1))
            return found;
    }
    return nullptr;
}

PffItem topFolder(const PstFile& file, PffError& pffError)
{
    libpff_item_t* raw = nullptr;
    if (libpff_file_get_message_store(file.handle(), &raw, pffError.out()) == 1 && raw) {
        const PffItem store(raw);
        const msg::PropertyMap props = readPropertyMap(raw, PropertyFilter::SmallOnly);
        const QByteArray entryId =
            msg::getBinary(props, kPidIpmSubtreeEntryId).value_or(QByteArray());
        // An entry identifier: 4 flag bytes, the provider's 16, then the node.
        if (entryId.size() >= 24) {
            const std::uint32_t nid = qFromLittleEndian<quint32>(entryId.constData() + 20);
            libpff_item_t* top = nullptr;
            if (libpff_file_get_item_by_identifier(file.handle(), nid, &top, nullptr) == 1 && top)
                return PffItem(top);
        }
    }
    raw = nullptr;
    if (libpff_file_get_root_folder(file.handle(), &raw, pffError.out()) != 1 || !raw)
        return nullptr;
    PffItem root(raw);
    // Offline files may point elsewhere: look for the top by its names, at
    // most two levels down ("Root - Mailbox\IPM_SUBTREE").
    if (PffItem top = childNamed(root.get(), 2))
        return top;
    return root;
}

class TreeReader {
public:
    explicit TreeReader(std::vector<PstFolderNode>& nodes) : m_nodes(nodes) {}

    bool add(libpff_item_t* folder, int parent, int depth, PlatformError* error)
    {
        if (depth > kMaxDepth || int(m_nodes.size()) >= kMaxFolders)
            return damaged(error, QStringLiteral("its folders nest too deeply"), {});
        PffError pffError;
        PstFolderNode node;
        node.parent = parent;
        if (libpff_item_get_identifier(folder, &node.id, pffError.out()) != 1)
            return damaged(error, QStringLiteral("a folder has no identifier"), pffError);
        const msg::PropertyMap props = readPropertyMap(folder, PropertyFilter::SmallOnly);
        node.name = msg::getString(props, msg::pid::DisplayName, 1252).value_or(QString());
        node.itemType = itemTypeOf(props);
        if (libpff_folder_get_number_of_sub_messages(folder, &node.messageCount, pffError.out()) !=
            1)
            return damaged(error, QStringLiteral("the messages of \"%1\"").arg(node.name),
                           pffError);
        int subFolders = 0;
        if (libpff_folder_get_number_of_sub_folders(folder, &subFolders, pffError.out()) != 1)
            return damaged(error, QStringLiteral("the folders of \"%1\"").arg(node.name), pffError);
        const int index = int(m_nodes.size());
        m_nodes.push_back(std::move(node));
        if (parent >= 0)
            m_nodes[std::size_t(parent)].children.append(index);
        for (int i = 0; i < subFolders; ++i) {
            libpff_item_t* raw = nullptr;
            if (libpff_folder_get_sub_folder(folder, i, &raw, pffError.out()) != 1 || !raw)
                return damaged(error, QStringLiteral("a folder of \"%1\"").arg(m_nodes[index].name),
                               pffError);
            const PffItem sub(raw);
            if (!add(raw, index, depth + 1, error))
                return false;
        }
        return true;
    }

private:
    static bool damaged(PlatformError* error, const QString& what, const PffError& pffError)
    {
        *error = {ErrorKind::Invalid, -1,
                  QStringLiteral("The Outlook data file is damaged: ") + what +
                      QStringLiteral(" cannot be read"),
                  pffError.text()};
        return false;
    }

    std::vector<PstFolderNode>& m_nodes;
};

} // namespace

std::optional<PstFolderTree> PstFolderTree::read(const PstFile& file, PlatformError* error)
{
    PffError pffError;
    const PffItem top = topFolder(file, pffError);
    if (!top) {
        *error = {ErrorKind::Invalid, -1,
                  QStringLiteral("The Outlook data file is damaged: it has no folders"),
                  file.path() + QStringLiteral(": ") + pffError.text()};
        return std::nullopt;
    }
    PstFolderTree tree;
    if (!TreeReader(tree.m_nodes).add(top.get(), -1, 0, error)) {
        error->detail = file.path() + QStringLiteral(": ") + error->detail;
        return std::nullopt;
    }
    *error = {};
    return tree;
}

int PstFolderTree::find(std::uint32_t id) const
{
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].id == id)
            return int(i);
    }
    return -1;
}

int PstFolderTree::child(int parent, const QString& name) const
{
    for (const int index : node(parent).children) {
        if (node(index).name.compare(name, Qt::CaseInsensitive) == 0)
            return index;
    }
    return -1;
}

QStringList PstFolderTree::namesOf(int index) const
{
    QStringList names;
    for (int i = index; i >= 0 && node(i).parent >= 0; i = node(i).parent)
        names.prepend(node(i).name);
    return names;
}

} // namespace kestrel::platform::pst
