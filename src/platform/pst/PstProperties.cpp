#include "PstProperties.h"

#include "../msg/MsgLimits.h"
#include "../msg/PropertyAccess.h"
#include "PffHandles.h"

#include <QtEndian>

#include <cstring>

namespace kestrel::platform::pst {

namespace {

using namespace kestrel::platform::msg;

constexpr std::size_t kSmallValue = 4096;
constexpr std::uint16_t kMultiValueFlag = 0x1000;

bool isCarriedType(std::uint16_t type)
{
    // Multi-valued and object values have no single stream in the codec's
    // model; embedded messages come through their attachment instead.
    return isFixedType(type) || type == PtString8 || type == PtUnicode || type == PtBinary ||
           type == PtClsid;
}

std::optional<NamedKey> nameOf(libpff_record_entry_t* entry)
{
    // The map entry belongs to the file's name map: it is not freed here.
    libpff_name_to_id_map_entry_t* name = nullptr;
    if (libpff_record_entry_get_name_to_id_map_entry(entry, &name, nullptr) != 1 || !name)
        return std::nullopt;
    uint8_t kind = 0;
    uint32_t number = 0;
    uint8_t guid[16] = {};
    std::optional<NamedKey> key;
    // Properties named by a string have no place in the codec's name map.
    if (libpff_name_to_id_map_entry_get_type(name, &kind, nullptr) == 1 &&
        kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC &&
        libpff_name_to_id_map_entry_get_number(name, &number, nullptr) == 1 &&
        libpff_name_to_id_map_entry_get_guid(name, guid, sizeof guid, nullptr) == 1)
        key = NamedKey{QByteArray(reinterpret_cast<const char*>(guid), 16), number};
    return key;
}

std::optional<Property> valueOf(libpff_record_entry_t* entry, std::uint16_t type,
                                PropertyFilter filter)
{
    size_t size = 0;
    if (libpff_record_entry_get_data_size(entry, &size, nullptr) != 1)
        return std::nullopt;
    if (filter == PropertyFilter::SmallOnly && size > kSmallValue)
        return std::nullopt;
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    if (size > 0 && libpff_record_entry_get_data(entry, reinterpret_cast<uint8_t*>(data.data()),
                                                 size, nullptr) != 1)
        return std::nullopt;
    Property value;
    if (isFixedType(type)) {
        char fixed[8] = {};
        std::memcpy(fixed, data.constData(), std::min<size_t>(size, 8));
        value.fixed = qFromLittleEndian<quint64>(fixed);
        return value;
    }
    // Strings are stored with or without their terminator; the codec keeps none.
    if (type == PtUnicode) {
        while (data.size() >= 2 && data.endsWith(QByteArray(2, '\0')))
            data.chop(2);
    } else if (type == PtString8) {
        while (data.endsWith('\0'))
            data.chop(1);
    }
    value.data = std::move(data);
    return value;
}

// A data file stores a subject with a prefix ("RE: ") as 0x01, the prefix's
// length and then the text; a .msg file and MIME have the plain text.
void stripSubjectMarker(Property& subject)
{
    const std::uint16_t type = tagType(subject.tag);
    if (type == PtUnicode && subject.data.size() >= 4 && subject.data.at(0) == 1 &&
        subject.data.at(1) == 0)
        subject.data.remove(0, 4);
    else if (type == PtString8 && subject.data.size() >= 2 && subject.data.at(0) == 1)
        subject.data.remove(0, 2);
}

void readRecordSet(libpff_record_set_t* set, PropertyFilter filter, PropertyBag& bag)
{
    int entries = 0;
    if (libpff_record_set_get_number_of_entries(set, &entries, nullptr) != 1)
        return;
    for (int i = 0; i < entries && i < limits::MaxProperties; ++i) {
        libpff_record_entry_t* raw = nullptr;
        if (libpff_record_set_get_entry_by_index(set, i, &raw, nullptr) != 1 || !raw)
            continue;
        const PffRecordEntry entry(raw);
        uint32_t id = 0;
        uint32_t type = 0;
        if (libpff_record_entry_get_entry_type(raw, &id, nullptr) != 1 ||
            libpff_record_entry_get_value_type(raw, &type, nullptr) != 1)
            continue;
        if ((type & kMultiValueFlag) || !isCarriedType(std::uint16_t(type)))
            continue;
        std::optional<Property> value = valueOf(raw, std::uint16_t(type), filter);
        if (!value)
            continue;
        if (id >= 0x8000) {
            if (const std::optional<NamedKey> key = nameOf(raw)) {
                value->tag = std::uint16_t(type);
                bag.named[*key] = std::move(*value);
            }
            continue;
        }
        value->tag = makeTag(std::uint16_t(id), std::uint16_t(type));
        if (id == pid::Subject)
            stripSubjectMarker(*value);
        bag.props[value->tag] = std::move(*value);
    }
}

PropertyBag readSet(libpff_item_t* item, int index, PropertyFilter filter)
{
    PropertyBag bag;
    libpff_record_set_t* raw = nullptr;
    if (libpff_item_get_record_set_by_index(item, index, &raw, nullptr) == 1 && raw) {
        const PffRecordSet set(raw);
        readRecordSet(raw, filter, bag);
    }
    return bag;
}

bool fail(PlatformError* error, const QString& what, const PffError& pffError)
{
    *error = {ErrorKind::Invalid, -1,
              QStringLiteral("The message cannot be read from the Outlook data file: ") + what,
              pffError.text()};
    return false;
}

bool readInto(libpff_item_t* message, MsgObject& out, int depth, PlatformError* error);

bool readRecipients(libpff_item_t* message, MsgObject& out, PlatformError* error)
{
    libpff_item_t* raw = nullptr;
    PffError pffError;
    const int found = libpff_message_get_recipients(message, &raw, pffError.out());
    if (found == 0 || (found == 1 && !raw))
        return true; // a message without a recipient table (a draft, a note)
    if (found != 1)
        return fail(error, QStringLiteral("its recipients are damaged"), pffError);
    const PffItem recipients(raw);
    int rows = 0;
    if (libpff_item_get_number_of_record_sets(raw, &rows, pffError.out()) != 1)
        return fail(error, QStringLiteral("its recipients are damaged"), pffError);
    if (rows > limits::MaxRecipients)
        return fail(error, QStringLiteral("it has too many recipients"), pffError);
    for (int row = 0; row < rows; ++row) {
        PropertyBag bag = readSet(raw, row, PropertyFilter::All);
        setLong(bag.props, pid::RowId, std::uint32_t(row));
        out.recipients.push_back(std::move(bag.props));
    }
    return true;
}

bool readAttachment(libpff_item_t* attachment, AttachmentObject& out, int depth,
                    PlatformError* error)
{
    out.props = readProperties(attachment, PropertyFilter::All).props;
    int type = 0;
    PffError pffError;
    if (libpff_attachment_get_type(attachment, &type, pffError.out()) != 1)
        return fail(error, QStringLiteral("an attachment is damaged"), pffError);
    if (type != LIBPFF_ATTACHMENT_TYPE_ITEM)
        return true;
    libpff_item_t* raw = nullptr;
    if (libpff_attachment_get_item(attachment, &raw, pffError.out()) != 1 || !raw)
        return fail(error, QStringLiteral("an attached message is damaged"), pffError);
    const PffItem embedded(raw);
    out.props.erase(makeTag(pid::AttachDataBin, PtBinary));
    out.embedded = std::make_unique<MsgObject>();
    return readInto(raw, *out.embedded, depth + 1, error);
}

bool readInto(libpff_item_t* message, MsgObject& out, int depth, PlatformError* error)
{
    if (depth > limits::MaxDepth) {
        *error = {ErrorKind::Invalid,
                  -1,
                  QStringLiteral("The message nests attached messages too deeply"),
                  {}};
        return false;
    }
    PropertyBag bag = readProperties(message, PropertyFilter::All);
    out.props = std::move(bag.props);
    out.named = std::move(bag.named);
    if (!readRecipients(message, out, error))
        return false;
    int count = 0;
    PffError pffError;
    if (libpff_message_get_number_of_attachments(message, &count, pffError.out()) != 1)
        return fail(error, QStringLiteral("its attachments are damaged"), pffError);
    if (count > limits::MaxAttachments)
        return fail(error, QStringLiteral("it has too many attachments"), pffError);
    for (int i = 0; i < count; ++i) {
        libpff_item_t* raw = nullptr;
        if (libpff_message_get_attachment(message, i, &raw, pffError.out()) != 1 || !raw)
            return fail(error, QStringLiteral("an attachment is damaged"), pffError);
        const PffItem attachment(raw);
        AttachmentObject object;
        if (!readAttachment(raw, object, depth, error))
            return false;
        setLong(object.props, pid::AttachNum, std::uint32_t(i));
        out.attachments.push_back(std::move(object));
    }
    return true;
}

} // namespace

PropertyBag readProperties(libpff_item_t* item, PropertyFilter filter)
{
    return readSet(item, 0, filter);
}

std::optional<MsgObject> readMessage(libpff_item_t* message, PlatformError* error)
{
    MsgObject object;
    if (!readInto(message, object, 0, error))
        return std::nullopt;
    if (const std::optional<QString> tooBig = exceedsLimits(object)) {
        *error = {ErrorKind::Invalid, -1, *tooBig, {}};
        return std::nullopt;
    }
    *error = {};
    return object;
}

} // namespace kestrel::platform::pst
