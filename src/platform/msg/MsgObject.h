#pragma once

// The property-level model of an Outlook item: what MS-OXMSG stores, before
// it is laid out in a compound file or mapped to MIME.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kestrel::platform::msg {

// Property types (the low 16 bits of a tag).
enum PropType : std::uint16_t {
    PtShort = 0x0002,
    PtLong = 0x0003,
    PtFloat = 0x0004,
    PtDouble = 0x0005,
    PtCurrency = 0x0006,
    PtAppTime = 0x0007,
    PtError = 0x000A,
    PtBoolean = 0x000B,
    PtObject = 0x000D,
    PtLong64 = 0x0014,
    PtString8 = 0x001E,
    PtUnicode = 0x001F,
    PtSysTime = 0x0040,
    PtClsid = 0x0048,
    PtBinary = 0x0102,
};

constexpr std::uint32_t makeTag(std::uint16_t id, std::uint16_t type)
{
    return (std::uint32_t(id) << 16) | type;
}
constexpr std::uint16_t tagId(std::uint32_t tag)
{
    return std::uint16_t(tag >> 16);
}
constexpr std::uint16_t tagType(std::uint32_t tag)
{
    return std::uint16_t(tag & 0xFFFF);
}

// The stream that holds a variable-size property: "__substg1.0_" and the tag in hex.
// Hex digits by hand: a .msg file names dozens of streams, and a formatted
// print of each cost more than its write.
inline QString hexNamed(QString prefix, std::uint32_t value)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    const qsizetype start = prefix.size();
    prefix.resize(start + 8);
    QChar* at = prefix.data() + start + 8;
    for (int i = 0; i < 8; ++i, value >>= 4)
        *--at = QChar(digits[value & 15]);
    return prefix;
}

inline QString substgName(std::uint32_t tag)
{
    return hexNamed(QStringLiteral("__substg1.0_"), tag);
}

// Fixed-size values live in the property stream; everything else in its own stream.
constexpr bool isFixedType(std::uint16_t type)
{
    switch (type) {
    case PtShort:
    case PtLong:
    case PtFloat:
    case PtDouble:
    case PtCurrency:
    case PtAppTime:
    case PtError:
    case PtBoolean:
    case PtLong64:
    case PtSysTime:
        return true;
    default:
        return false;
    }
}

// Property IDs used by the codec.
namespace pid {
constexpr std::uint16_t Importance = 0x0017;
constexpr std::uint16_t MessageClass = 0x001A;
constexpr std::uint16_t Priority = 0x0026;
constexpr std::uint16_t Sensitivity = 0x0036;
constexpr std::uint16_t Subject = 0x0037;
constexpr std::uint16_t ClientSubmitTime = 0x0039;
constexpr std::uint16_t SubjectPrefix = 0x003D;
constexpr std::uint16_t ReceivedByName = 0x0040;
constexpr std::uint16_t SentRepresentingName = 0x0042;
constexpr std::uint16_t SentRepresentingAddrType = 0x0064;
constexpr std::uint16_t SentRepresentingEmail = 0x0065;
constexpr std::uint16_t ConversationTopic = 0x0070;
constexpr std::uint16_t ReceivedByAddrType = 0x0075;
constexpr std::uint16_t ReceivedByEmail = 0x0076;
constexpr std::uint16_t TransportHeaders = 0x007D;
constexpr std::uint16_t SenderName = 0x0C1A;
constexpr std::uint16_t SenderAddrType = 0x0C1E;
constexpr std::uint16_t SenderEmail = 0x0C1F;
constexpr std::uint16_t RecipientType = 0x0C15;
constexpr std::uint16_t DisplayBcc = 0x0E02;
constexpr std::uint16_t DisplayCc = 0x0E03;
constexpr std::uint16_t DisplayTo = 0x0E04;
constexpr std::uint16_t MessageDeliveryTime = 0x0E06;
constexpr std::uint16_t MessageFlags = 0x0E07;
constexpr std::uint16_t HasAttach = 0x0E1B;
constexpr std::uint16_t NormalizedSubject = 0x0E1D;
constexpr std::uint16_t RtfInSync = 0x0E1F;
constexpr std::uint16_t AttachSize = 0x0E20;
constexpr std::uint16_t AttachNum = 0x0E21;
constexpr std::uint16_t ObjectType = 0x0FFE;
constexpr std::uint16_t Body = 0x1000;
constexpr std::uint16_t RtfCompressed = 0x1009;
constexpr std::uint16_t IconIndex = 0x1080;
constexpr std::uint16_t LastVerbExecuted = 0x1081;
constexpr std::uint16_t FlagStatus = 0x1090;
constexpr std::uint16_t FollowupIcon = 0x1095;
constexpr std::uint16_t Html = 0x1013;
constexpr std::uint16_t InternetMessageId = 0x1035;
constexpr std::uint16_t InternetReferences = 0x1039;
constexpr std::uint16_t InReplyTo = 0x1042;
constexpr std::uint16_t RowId = 0x3000;
constexpr std::uint16_t DisplayName = 0x3001;
constexpr std::uint16_t AddrType = 0x3002;
constexpr std::uint16_t EmailAddress = 0x3003;
constexpr std::uint16_t CreationTime = 0x3007;
constexpr std::uint16_t LastModificationTime = 0x3008;
constexpr std::uint16_t StoreSupportMask = 0x340D;
constexpr std::uint16_t AttachDataBin = 0x3701; // also the embedded-message object
constexpr std::uint16_t AttachExtension = 0x3703;
constexpr std::uint16_t AttachFilename = 0x3704;
constexpr std::uint16_t AttachMethod = 0x3705;
constexpr std::uint16_t AttachLongFilename = 0x3707;
constexpr std::uint16_t RenderingPosition = 0x370B;
constexpr std::uint16_t AttachMimeTag = 0x370E;
constexpr std::uint16_t AttachContentId = 0x3712;
constexpr std::uint16_t AttachContentLocation = 0x3713;
constexpr std::uint16_t AttachFlags = 0x3714;
constexpr std::uint16_t DisplayType = 0x3900;
constexpr std::uint16_t SmtpAddress = 0x39FE;
constexpr std::uint16_t InternetCodepage = 0x3FDE;
constexpr std::uint16_t MessageCodepage = 0x3FFD;
constexpr std::uint16_t SenderSmtpAddress = 0x5D01;
constexpr std::uint16_t SentRepresentingSmtpAddress = 0x5D02;
constexpr std::uint16_t RecipientDisplayName = 0x5FF6;
constexpr std::uint16_t AttachmentHidden = 0x7FFE;
} // namespace pid

constexpr std::uint32_t MsgFlagRead = 0x00000001;
constexpr std::uint32_t MsgFlagUnsent = 0x00000008;
constexpr std::uint32_t MsgFlagHasAttach = 0x00000010;

// Follow-up flag, last verb and icon values (MS-OXOFLAG, MS-OXOMSG).
constexpr std::uint32_t FlagStatusFlagged = 2;
constexpr std::uint32_t FollowupIconRed = 6;
constexpr std::uint32_t VerbReplyToSender = 102;
constexpr std::uint32_t VerbReplyToAll = 103;
constexpr std::uint32_t VerbForward = 104;
constexpr std::uint32_t IconRepliedMail = 0x105;
constexpr std::uint32_t IconForwardedMail = 0x106;

constexpr std::uint32_t AttachByValue = 1;
constexpr std::uint32_t AttachEmbeddedMsg = 5;
constexpr std::uint32_t AttachOle = 6;

// One property value: fixed types keep their 8 bytes in `fixed`, the others their
// stream bytes in `data` (strings without the terminating NUL).
struct Property {
    std::uint32_t tag = 0;
    std::uint64_t fixed = 0;
    QByteArray data;
};

using PropertyMap = std::map<std::uint32_t, Property>;

struct MsgObject;

struct AttachmentObject {
    PropertyMap props;
    std::unique_ptr<MsgObject> embedded; // set for AttachEmbeddedMsg
};

// A message (top level or embedded): its properties, recipient rows and attachments.
// Named properties (IDs >= 0x8000) are kept by name in `named`, resolved against the
// file's one name map when written or read.
struct NamedKey {
    QByteArray guid; // 16 bytes, as stored
    std::uint32_t lid = 0;
    bool operator<(const NamedKey& o) const { return guid != o.guid ? guid < o.guid : lid < o.lid; }
};

struct MsgObject {
    PropertyMap props;
    std::map<NamedKey, Property> named; // tag holds only the type
    std::vector<PropertyMap> recipients;
    std::vector<AttachmentObject> attachments;
};

// PSETID_Common {00062008-0000-0000-C000-000000000046}, as stored on disk.
inline QByteArray psetidCommon()
{
    static const char bytes[16] = {0x08,       0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   char(0xC0), 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    return QByteArray(bytes, 16);
}
constexpr std::uint32_t LidAgingDontAgeMe = 0x850E;

} // namespace kestrel::platform::msg
