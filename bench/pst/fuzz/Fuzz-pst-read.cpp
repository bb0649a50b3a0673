// libFuzzer: the Outlook data file reader on damaged copies of the real test
// files. The input is a recipe rather than a whole file, so that each run stays
// small to mutate: its first byte picks the file (.pst or .ost), the next four
// may cut it short, and every following five bytes flip bits at an offset.
// Each damaged copy is opened, its tree walked and every item read (its
// properties, its MIME and a .msg file); every call must answer, with a value or
// its reason, without crashing, hanging or unbounded memory.

#include "platform/MailPlatform.h"
#include "platform/pst/PstStores.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace kestrel::platform;

QByteArray base(int which)
{
    static const QByteArray files[2] = {
        [] {
            QFile f(QStringLiteral(KESTREL_PST_TESTDATA "/enron.pst"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }(),
        [] {
            QFile f(QStringLiteral(KESTREL_PST_TESTDATA "/pstextractortest@outlook.com.ost"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }()};
    if (files[0].isEmpty() || files[1].isEmpty())
        std::abort(); // the npm test data is missing: nothing to fuzz
    return files[which];
}

quint32 word(const std::uint8_t* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

QByteArray damaged(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes = base(size > 0 ? data[0] & 1 : 0);
    if (size >= 5 && (data[1] & 0x80))
        bytes.truncate(qsizetype(word(data + 1) % quint32(bytes.size())));
    for (std::size_t i = 5; i + 5 <= size && !bytes.isEmpty(); i += 5)
        bytes[qsizetype(word(data + i) % quint32(bytes.size()))] ^= char(data[i + 4]);
    return bytes;
}

// A call that gives nothing must say why.
template <typename T> void check(const std::optional<T>& value, const ErrorHolder& from)
{
    if (!value && from.lastError().ok())
        __builtin_trap();
}

void readItem(MailItem& item, const QString& msgPath)
{
    item.typeName();
    check(item.entryId(), item);
    check(item.subject(), item);
    check(item.senderName(), item);
    check(item.senderEmailAddress(), item);
    check(item.receivedByName(), item);
    item.firstRecipientName();
    item.firstRecipientAddress();
    item.creationTime();
    item.receivedTime();
    item.sentOn();
    item.lastModificationTime();
    check(item.noAging(), item);
    check(item.unRead(), item);
    check(item.size(), item);
    check(item.rawMessage(), item);
    if (!item.saveAs(msgPath, kMsgFormat) && item.lastError().ok())
        __builtin_trap();
    QFile::remove(msgPath);
}

void walk(Folder& folder, const QString& msgPath, int depth)
{
    check(folder.name(), folder);
    if (depth > 64)
        __builtin_trap(); // a tree that loops
    if (auto items = folder.items()) {
        const std::optional<qint64> n = items->count();
        check(n, *items);
        for (qint64 i = 1; n && i <= *n; ++i) {
            if (std::unique_ptr<MailItem> item = items->item(i))
                readItem(*item, msgPath);
        }
    }
    if (auto folders = folder.folders()) {
        const std::optional<int> n = folders->count();
        for (int i = 1; n && i <= *n; ++i) {
            if (std::unique_ptr<Folder> child = folders->item(i))
                walk(*child, msgPath, depth + 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("damaged.pst"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(damaged(data, size));
    }
    MailProfile profile;
    profile.stores.append(StoreEntry{QStringLiteral("Fuzzed"), file, QStringLiteral("pst"), {}});
    std::unique_ptr<Namespace> ns = pst::openPstStores(profile);
    if (!ns->logon())
        return 0;
    if (!ns->unusableStores().isEmpty()) {
        if (ns->unusableStores().front().text.isEmpty())
            __builtin_trap();
        return 0;
    }
    if (auto stores = ns->folders()) {
        if (std::unique_ptr<Folder> root = stores->item(1))
            walk(*root, dir.filePath(QStringLiteral("item.msg")), 0);
    }
    ns->logoff();
    return 0;
}
