#include "JournalLine.h"

#include <QFile>
#include <QJsonDocument>

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <iterator>
#include <nettle/sha2.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::engine {

namespace {

struct OutcomeWord {
    ReportOutcome outcome;
    const char* word;
};

constexpr std::array<OutcomeWord, 7> kOutcomeWords{{
    {ReportOutcome::Moved, "moved"},
    {ReportOutcome::Copied, "copied"},
    {ReportOutcome::Deleted, "deleted"},
    {ReportOutcome::Exported, "exported"},
    {ReportOutcome::Skipped, "skipped"},
    {ReportOutcome::AlreadyGone, "already gone"},
    {ReportOutcome::Failed, "failed"},
}};

// A text of the line before and its JSON, quoted and escaped.
struct KeptText {
    QString text;
    std::string json;
    bool invalid = false; // not valid UTF-16
};

// The printable ASCII characters a JSON string holds as they are.
constexpr std::array<bool, 0x80> kPlain = [] {
    std::array<bool, 0x80> plain{};
    for (char16_t c = 0x20; c < 0x7f; ++c)
        plain[c] = c != u'"' && c != u'\\';
    return plain;
}();

// A compact JSON object written straight to bytes: a run of 100,000 moves
// writes as many lines, and building each through QJsonObject cost more than
// the move itself. JournalReader reads them back with QJsonDocument.
class JsonLine {
public:
    JsonLine() { m_bytes.reserve(512); }
    void put(const char* key, const QString& value)
    {
        openKey(key);
        putString(value);
    }
    // A text that is most often the one of the line before (the folders of a
    // run's items): its JSON is made again only when it differs from kept's.
    void put(const char* key, const QString& value, KeptText& kept)
    {
        openKey(key);
        if (kept.text.isNull() || kept.text != value) {
            const std::size_t start = m_bytes.size();
            putString(value);
            kept.text = value;
            kept.json.assign(m_bytes, start);
            kept.invalid = m_invalid;
            return;
        }
        m_bytes += kept.json;
        m_invalid = m_invalid || kept.invalid;
    }
    void put(const char* key, qint64 value)
    {
        openKey(key);
        char digits[24];
        const auto done = std::to_chars(std::begin(digits), std::end(digits), value);
        m_bytes.append(digits, done.ptr);
    }
    // Whether a text was not valid UTF-16, which this line cannot carry.
    bool invalid() const { return m_invalid; }
    QByteArray take()
    {
        m_bytes += m_bytes.empty() ? "{}" : "}";
        return QByteArray(m_bytes.data(), qsizetype(m_bytes.size()));
    }

private:
    // Identifiers, paths and most subjects are printable ASCII: those are
    // copied a character to a byte, with no conversion or escape; false (and
    // nothing written) for any other text.
    bool putPlainAscii(const QString& value)
    {
        const std::size_t start = m_bytes.size();
        m_bytes.resize(start + std::size_t(value.size()));
        char* out = m_bytes.data() + start;
        const char16_t* in = reinterpret_cast<const char16_t*>(value.utf16());
        for (qsizetype i = 0; i < value.size(); ++i) {
            const char16_t c = in[i];
            if (c >= kPlain.size() || !kPlain[c]) {
                m_bytes.resize(start);
                return false;
            }
            out[i] = char(c);
        }
        return true;
    }
    void putString(const QString& value)
    {
        m_bytes += '"';
        if (!putPlainAscii(value))
            putEscaped(value);
        m_bytes += '"';
    }
    void putEscaped(const QString& value)
    {
        if (!value.isValidUtf16())
            m_invalid = true;
        const QByteArray utf8 = value.toUtf8();
        const char* run = utf8.constData(); // bytes that need no escape, appended at once
        const char* const end = run + utf8.size();
        for (const char* at = run; at < end; ++at) {
            const char c = *at;
            if (c != '"' && c != '\\' && uchar(c) >= 0x20)
                continue;
            m_bytes.append(run, at);
            run = at + 1;
            if (c == '"' || c == '\\') {
                m_bytes += '\\';
                m_bytes += c;
            } else {
                static const char hex[] = "0123456789abcdef";
                m_bytes += "\\u00";
                m_bytes += hex[uchar(c) >> 4];
                m_bytes += hex[uchar(c) & 15];
            }
        }
        m_bytes.append(run, end);
    }
    void openKey(const char* key)
    {
        m_bytes += m_bytes.empty() ? "{\"" : ",\"";
        m_bytes += key;
        m_bytes += "\":";
    }
    std::string m_bytes;
    bool m_invalid = false;
};

// The fields that are most often those of the line before: a run's folders.
enum KeptField { kFolder, kSourceFolder, kDestinationFolder, kKeptFields };

// Hands each field of the report's line to put(key, value), empty texts left
// out, and the fields kept from line to line to put(key, value, KeptField).
template <typename Put> void putFields(const ItemReport& report, Put&& put)
{
    const auto text = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            put(key, value);
    };
    const auto kept = [&](const char* key, const QString& value, KeptField field) {
        if (!value.isEmpty())
            put(key, value, field);
    };
    for (const OutcomeWord& word : kOutcomeWords) {
        if (word.outcome == report.outcome)
            put("outcome", QString::fromLatin1(word.word));
    }
    kept("folder", report.folderPath, kFolder);
    text("subject", report.subject);
    text("source", report.sourceId);
    kept("sourceFolder", report.sourceFolderId, kSourceFolder);
    text("destination", report.destinationId);
    kept("destinationFolder", report.destinationFolderId, kDestinationFolder);
    text("file", report.file);
    text("messageId", report.messageId);
    text("error", report.reason);
    if (report.size >= 0)
        put("size", report.size);
    if (report.outcome == ReportOutcome::Exported) {
        const FileFingerprint print = FingerprintOf(report.file);
        if (print.size >= 0) {
            put("fileSize", print.size);
            put("fileModified", print.modified);
            put("fileHash", QString::fromLatin1(print.hash));
        }
    }
}

} // namespace

bool IsJournalled(ReportOutcome outcome)
{
    for (const OutcomeWord& word : kOutcomeWords) {
        if (word.outcome == outcome)
            return true;
    }
    return false;
}

FileFingerprint FingerprintOf(const QString& path)
{
    FileFingerprint print;
    if (path.isEmpty())
        return print;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return print;
    // nettle hashes with the CPU's SHA instructions where it has them: a run
    // of many exports hashed each file in software for longer than it took
    // to write it.
    sha256_ctx hash;
    sha256_init(&hash);
    std::array<uint8_t, 64 * 1024> buffer;
    bool whole = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            whole = got == 0;
            break;
        }
        sha256_update(&hash, size_t(got), buffer.data());
    }
    struct stat info {};
    const bool known = whole && ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!known)
        return print;
    std::array<uint8_t, SHA256_DIGEST_SIZE> digest;
    sha256_digest(&hash, digest.size(), digest.data());
    print.size = info.st_size;
    print.modified = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    print.hash = QByteArray::fromRawData(reinterpret_cast<const char*>(digest.data()),
                                         qsizetype(digest.size()))
                     .toHex();
    return print;
}

QByteArray JournalLine(const ItemReport& report)
{
    thread_local std::array<KeptText, kKeptFields> kept;
    JsonLine line;
    putFields(report, [&](const char* key, const auto& value, auto... field) {
        if constexpr (sizeof...(field) == 0)
            line.put(key, value);
        else
            line.put(key, value, kept[size_t(field)]...);
    });
    if (!line.invalid())
        return line.take();
    // Names with bytes that are not UTF-8 keep QJsonDocument's reading of them.
    QJsonObject object;
    putFields(report, [&](const char* key, const auto& value, auto...) {
        object.insert(QLatin1String(key), value);
    });
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<JournalAction> JournalActionFrom(const QJsonObject& line)
{
    const QString word = line.value(QStringLiteral("outcome")).toString();
    JournalAction action;
    bool known = false;
    for (const OutcomeWord& outcome : kOutcomeWords) {
        if (word == QLatin1String(outcome.word)) {
            action.outcome = outcome.outcome;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    const auto text = [&](const char* key) { return line.value(QLatin1String(key)).toString(); };
    const auto number = [&](const char* key) {
        return line.value(QLatin1String(key)).toInteger(-1);
    };
    action.folderPath = text("folder");
    action.subject = text("subject");
    action.sourceId = text("source");
    action.sourceFolderId = text("sourceFolder");
    action.destinationId = text("destination");
    action.destinationFolderId = text("destinationFolder");
    action.file = text("file");
    action.messageId = text("messageId");
    action.error = text("error");
    action.size = number("size");
    action.fileSize = number("fileSize");
    action.fileModified = number("fileModified");
    action.fileHash = text("fileHash").toLatin1();
    return action;
}

} // namespace kestrel::engine
