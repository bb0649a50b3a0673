#include "MsgStorageReader.h"

#include "CompoundReader.h"
#include "MsgLimits.h"
#include "NamedPropertyMap.h"

#include <QtEndian>

namespace kestrel::platform::msg {

namespace {

enum class Level { TopLevel, Embedded, Child };

qsizetype headerSize(Level level)
{
    switch (level) {
    case Level::TopLevel:
        return 32;
    case Level::Embedded:
        return 24;
    default:
        return 8;
    }
}

// The tag of a value stream's name, "__substg1.0_" and eight hex digits.
std::optional<std::uint32_t> valueStreamTag(const QString& name)
{
    static const QString prefix = QStringLiteral("__substg1.0_");
    if (name.size() != prefix.size() + 8 || !name.startsWith(prefix))
        return std::nullopt;
    std::uint32_t tag = 0;
    for (qsizetype i = prefix.size(); i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        tag = tag << 4 | std::uint32_t(digit);
    }
    return tag;
}

bool isVariableStreamType(std::uint16_t type)
{
    return type == PtString8 || type == PtUnicode || type == PtBinary || type == PtClsid;
}

class Reader {
public:
    Reader(CompoundReader& in, const NamedPropertyMap& names) : m_in(in), m_names(names) {}

    const QString& error() const { return m_error; }

    bool readMessage(const CompoundReader::Storage& storage, Level level, int depth, MsgObject* out)
    {
        if (depth > limits::MaxDepth)
            return fail(QStringLiteral("embedded messages nested too deeply"));
        const std::vector<QString> children = m_in.names(storage);
        PropertyMap props;
        if (!readProperties(storage, children, level, &props))
            return false;
        for (auto& [tag, p] : props) {
            if (tagId(tag) < 0x8000) {
                out->props.emplace(tag, std::move(p));
            } else if (auto key = m_names.keyFor(tagId(tag))) {
                out->named.emplace(*key, std::move(p));
            }
        }

        // Name and index of each recipient and attachment storage.
        std::vector<std::pair<QString, int>> recipients;
        std::vector<std::pair<QString, int>> attachments;
        for (int i = 0; i < int(children.size()); ++i) {
            if (children[i].startsWith(QLatin1String("__recip_version1.0_#")))
                recipients.emplace_back(children[i], i);
            else if (children[i].startsWith(QLatin1String("__attach_version1.0_#")))
                attachments.emplace_back(children[i], i);
        }
        if (int(recipients.size()) > limits::MaxRecipients ||
            int(attachments.size()) > limits::MaxAttachments)
            return fail(QStringLiteral("too many recipients or attachments"));
        m_objects += int(recipients.size() + attachments.size());
        if (m_objects > limits::MaxObjects)
            return fail(QStringLiteral("too many recipients or attachments"));
        // Storage names carry the row number in hex; keep that order.
        std::sort(recipients.begin(), recipients.end());
        std::sort(attachments.begin(), attachments.end());

        for (const auto& [name, index] : recipients) {
            PropertyMap row;
            const auto rowStorage = m_in.storageAt(storage, index);
            if (!readProperties(rowStorage, m_in.names(rowStorage), Level::Child, &row))
                return false;
            out->recipients.push_back(std::move(row));
        }
        for (const auto& [name, index] : attachments) {
            auto attachStorage = m_in.storageAt(storage, index);
            AttachmentObject attachment;
            if (!readProperties(attachStorage, m_in.names(attachStorage), Level::Child,
                                &attachment.props))
                return false;
            const QString objectName = substgName(makeTag(pid::AttachDataBin, PtObject));
            if (auto inner = m_in.storage(attachStorage, objectName)) {
                auto embedded = std::make_unique<MsgObject>();
                if (!readMessage(inner, Level::Embedded, depth + 1, embedded.get()))
                    return false;
                attachment.embedded = std::move(embedded);
            }
            out->attachments.push_back(std::move(attachment));
        }
        return true;
    }

private:
    bool fail(const QString& text)
    {
        if (m_error.isEmpty())
            m_error = text;
        return false;
    }

    bool readProperties(const CompoundReader::Storage& storage,
                        const std::vector<QString>& children, Level level, PropertyMap* out)
    {
        if (!storage)
            return fail(QStringLiteral("a message storage is missing"));
        // Fixed-size values come from the property stream; a missing stream only
        // means no such values.
        if (auto stream = m_in.stream(storage, QStringLiteral("__properties_version1.0"))) {
            const qsizetype skip = headerSize(level);
            const qsizetype count = stream->size() > skip ? (stream->size() - skip) / 16 : 0;
            if (count > limits::MaxProperties)
                return fail(QStringLiteral("too many properties (%1)").arg(count));
            const char* data = stream->constData() + skip;
            for (qsizetype i = 0; i < count; ++i) {
                const char* entry = data + i * 16;
                const auto tag = qFromLittleEndian<std::uint32_t>(entry);
                if (!isFixedType(tagType(tag)))
                    continue;
                out->emplace(tag, Property{tag, qFromLittleEndian<std::uint64_t>(entry + 8), {}});
            }
        }
        if (m_in.damaged())
            return fail(m_in.errorText());
        // Variable-size values: every value stream present, listed or not.
        int streams = 0;
        for (int index = 0; index < int(children.size()); ++index) {
            const QString& name = children[index];
            const std::optional<std::uint32_t> tag = valueStreamTag(name);
            if (!tag || !isVariableStreamType(tagType(*tag)))
                continue;
            if (++streams > limits::MaxProperties)
                return fail(QStringLiteral("too many properties"));
            // An attachment's bytes are read where they lie in the file; the
            // file outlives the message read from it.
            const bool inPlace =
                level == Level::Child && *tag == makeTag(pid::AttachDataBin, PtBinary);
            auto bytes = m_in.streamAt(storage, index, name, inPlace);
            // A value that cannot be read whole fails the file: dropping it would
            // lose part of the message without a word.
            if (!bytes)
                return fail(m_in.damaged() ? m_in.errorText()
                                           : QStringLiteral("stream \"%1\" vanished").arg(name));
            (*out)[*tag] = Property{*tag, 0, std::move(*bytes)};
        }
        return true;
    }

    CompoundReader& m_in;
    const NamedPropertyMap& m_names;
    int m_objects = 0;
    QString m_error;
};

} // namespace

std::optional<MsgObject> readMsgObject(const QByteArray& file, QString* error)
{
    CompoundReader in;
    if (!in.open(file)) {
        if (error)
            *error = in.errorText();
        return std::nullopt;
    }
    NamedPropertyMap names;
    names.read(in, in.root());
    if (in.damaged()) {
        if (error)
            *error = in.errorText();
        return std::nullopt;
    }
    Reader reader(in, names);
    MsgObject message;
    if (!reader.readMessage(in.root(), Level::TopLevel, 0, &message)) {
        if (error)
            *error = reader.error();
        return std::nullopt;
    }
    return message;
}

} // namespace kestrel::platform::msg
