#include "MaildirItemCollection.h"

#include "../DateRestriction.h"
#include "FileAccess.h"
#include "FolderCount.h"
#include "MaildirMailItem.h"
#include "MessageFile.h"
#include "NativeName.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

constexpr qint64 kMaxKeptHeaderBytes = 32 * 1024 * 1024;
// Fewer items than this are read as they are taken: a thread would cost
// more than it saves.
constexpr std::size_t kReadAheadFrom = 32;
// Fewer entries than this are walked by one thread.
constexpr qsizetype kWalkInTwoFrom = 4096;

// What a walk of a restriction found, from the last position it walked. Its
// room is reserved by the caller's thread: a walk on another thread would
// otherwise grow it in that thread's own heap, which keeps the memory after.
struct Matches {
    explicit Matches(qsizetype room)
    {
        positions.reserve(size_t(room));
        facts.reserve(size_t(room));
    }
    std::vector<quint32> positions;
    std::vector<FileFacts> facts;
};

} // namespace

MaildirItemCollection::MaildirItemCollection(std::shared_ptr<MaildirBackend> backend,
                                             FolderRef folder)
    : m_backend(std::move(backend)), m_folder(std::move(folder)),
      m_dir(m_backend->folderDir(m_folder))
{
    if (m_folder.isStoreRoot())
        m_listing = std::make_shared<FolderListing>(); // the store root holds no items
}

MaildirItemCollection::MaildirItemCollection(std::shared_ptr<MaildirBackend> backend,
                                             FolderRef folder,
                                             std::shared_ptr<const FolderListing> listing,
                                             std::vector<quint32> positions, MatchFacts facts,
                                             bool readAhead)
    : m_backend(std::move(backend)), m_folder(std::move(folder)),
      m_dir(m_backend->folderDir(m_folder)), m_listing(std::move(listing)),
      m_positions(std::move(positions)), m_facts(std::move(facts))
{
    if (readAhead && m_positions->size() >= kReadAheadFrom)
        m_readAhead = std::make_unique<HeaderReadAhead>(m_dir, m_listing, *m_positions);
}

bool MaildirItemCollection::listed()
{
    if (!m_listing)
        m_listing = m_backend->scan(m_dir, &m_listError);
    return m_listError.ok();
}

qsizetype MaildirItemCollection::size() const
{
    return m_positions ? qsizetype(m_positions->size()) : m_listing->size();
}

qsizetype MaildirItemCollection::positionAt(qsizetype index) const
{
    return m_positions ? qsizetype((*m_positions)[size_t(index)]) : index;
}

std::unique_ptr<ItemCollection> MaildirItemCollection::restrict(const QString& filter)
{
    QString problem;
    const std::optional<DateRestriction> parsed = DateRestriction::parse(filter, &problem);
    if (!parsed) {
        setError(ErrorKind::Invalid, QStringLiteral("The filter cannot be parsed"), problem);
        return nullptr;
    }
    if (!listed()) {
        setError(m_listError);
        return nullptr;
    }
    // stat relative to the open cur/ and new/: a folder of 100,000 messages
    // would otherwise walk the whole path 100,000 times.
    const DirectoryHandle cur(m_dir + QLatin1String("/cur"));
    const DirectoryHandle fresh(m_dir + QLatin1String("/new"));
    const auto comparesOnly = [&](auto test) {
        return std::all_of(parsed->clauses().cbegin(), parsed->clauses().cend(),
                           [&](const DateRestriction::Clause& c) {
                               return std::all_of(c.cbegin(), c.cend(), test);
                           });
    };
    const bool readsHeaders = !comparesOnly([](const DateRestriction::Comparison& one) {
        return one.property != DateProperty::SentOn;
    });
    // The received time is the file's modification time: the stat alone
    // tells, with no name or file object made for the many that do not match.
    const bool byReceivedTime = comparesOnly([](const DateRestriction::Comparison& one) {
        return one.property == DateProperty::ReceivedTime;
    });
    // Header blocks read for the filter are kept for the items up to a
    // bound, so that a huge folder's run does not hold them all. A run takes
    // the items from the last, so the walk goes backwards and keeps those.
    const auto walk = [&](qsizetype first, qsizetype last, qint64 maxKeptBytes, Matches& out) {
        qint64 keptBytes = 0;
        // A link or special file: never opened, but kept, so that taking it
        // as an item fails and is counted.
        const auto keepUnread = [&](qsizetype position) {
            out.positions.push_back(quint32(position));
            out.facts.emplace_back();
        };
        for (qsizetype i = last - 1; i >= first; --i) {
            const qsizetype position = positionAt(i);
            const int dirFd = m_listing->inNewAt(position) ? fresh.fd : cur.fd;
            if (byReceivedTime && dirFd >= 0) {
                struct stat st {};
                if (lstatAt(dirFd, m_listing->nameBytesAt(position), &st) && S_ISREG(st.st_mode)) {
                    FileFacts seen = FileFacts::ofStat(st);
                    if (parsed->matches([mtime = seen.mtime](DateProperty) { return mtime; })) {
                        out.positions.push_back(quint32(position));
                        out.facts.push_back(std::move(seen));
                    }
                    continue;
                }
                // Gone since the listing, or no regular file: looked at below as any other.
            }
            const MessageEntry entry = m_listing->at(position);
            MessageFile file(m_dir, entry);
            if (readsHeaders && entry.regular && dirFd >= 0) {
                // The open's own fstat serves the dates: no second lookup of the name.
                struct stat st {};
                const int fd = openRegularAt(dirFd, m_listing->nameBytesAt(position), &st);
                if (fd >= 0) {
                    file.readOpened(fd, st);
                } else if (errno == ELOOP || errno == EINVAL) {
                    keepUnread(position);
                    continue;
                }
            } else if (struct stat st{};
                       dirFd >= 0 && lstatAt(dirFd, m_listing->nameBytesAt(position), &st)) {
                if (!S_ISREG(st.st_mode)) {
                    keepUnread(position);
                    continue;
                }
                file.setStat(st);
            }
            const bool match = parsed->matches([&](DateProperty property) -> std::optional<qint64> {
                switch (property) {
                case DateProperty::ReceivedTime:
                    return file.receivedMsecs(nullptr);
                case DateProperty::SentOn:
                    if (dirFd >= 0)
                        file.loadHeaderBlockAt(dirFd, nullptr);
                    return file.sentOnMsecs(nullptr);
                case DateProperty::LastModificationTime:
                    return file.lastModifiedMsecs(nullptr);
                case DateProperty::CreationTime:
                    return file.creationMsecs(nullptr);
                }
                return std::nullopt;
            });
            if (!match)
                continue;
            out.positions.push_back(quint32(position));
            FileFacts seen = file.takeFacts();
            if (seen.headerBlock) {
                keptBytes += seen.headerBlock->size();
                if (keptBytes > maxKeptBytes)
                    seen.headerBlock.reset();
            }
            out.facts.push_back(std::move(seen));
        }
    };
    // A large folder is walked by two threads, one a half each: the walk is
    // all file system lookups and header reads, which run side by side. The
    // bound on kept header blocks is shared out between them.
    const bool inTwo = size() >= kWalkInTwoFrom;
    const qsizetype half = inTwo ? size() / 2 : 0;
    Matches lower(half);
    Matches upper(size() - half);
    if (inTwo) {
        std::thread helper([&] { walk(0, half, kMaxKeptHeaderBytes / 2, lower); });
        walk(half, size(), kMaxKeptHeaderBytes / 2, upper);
        helper.join();
    } else {
        walk(0, size(), kMaxKeptHeaderBytes, upper);
    }
    // Each walk went from its last position: taken from the back, in listing order.
    std::vector<quint32> positions;
    positions.reserve(lower.positions.size() + upper.positions.size());
    positions.insert(positions.end(), lower.positions.crbegin(), lower.positions.crend());
    positions.insert(positions.end(), upper.positions.crbegin(), upper.positions.crend());
    clearError();
    // A filter that read no headers leaves them to a read-ahead: every item a
    // run takes is read for its kind and its report row.
    return std::make_unique<MaildirItemCollection>(
        m_backend, m_folder, m_listing, std::move(positions),
        MatchFacts(std::move(lower.facts), std::move(upper.facts)), !readsHeaders);
}

std::optional<qint64> MaildirItemCollection::count()
{
    // A count alone (the folder tree asks one for every folder) needs no list
    // of names nor the folder's index: it is counted from the directories.
    if (!m_listing) {
        PlatformError error;
        const std::optional<qint64> counted =
            countFolderMessages(m_dir, m_backend->isStoreRootDir(m_dir), &error);
        if (!counted)
            setError(error);
        else
            clearError();
        return counted;
    }
    if (!listed()) {
        setError(m_listError);
        return std::nullopt;
    }
    clearError();
    return size();
}

std::unique_ptr<MailItem> MaildirItemCollection::item(qint64 index)
{
    if (!listed()) {
        setError(m_listError);
        return nullptr;
    }
    if (index < 1 || index > size()) {
        setError(ErrorKind::NotFound, QStringLiteral("No item at this position"),
                 QString::number(index));
        return nullptr;
    }
    FileFacts facts;
    if (index <= m_facts.size())
        facts = m_facts.take(index - 1);
    std::optional<qint64> readAt;
    std::shared_ptr<const HeaderFields> fields;
    if (m_readAhead && !facts.headerBlock) {
        if (std::optional<HeaderReadAhead::Block> block = m_readAhead->take(index - 1)) {
            facts.headerBlock = std::move(block->bytes);
            fields = std::move(block->fields);
            readAt = block->readAtNs;
        }
    }
    const MessageEntry entry = m_listing->at(positionAt(index - 1));
    auto item = std::make_unique<MaildirMailItem>(m_backend, m_folder, entry, true,
                                                  std::move(facts), std::move(fields));
    if (!item->lastError().ok()) {
        setError(item->lastError());
        return nullptr;
    }
    if (readAt) // read a moment ago, as if by the item itself
        m_backend->noteRead(m_dir, entry, *readAt);
    clearError();
    return item;
}

} // namespace kestrel::platform::maildir
