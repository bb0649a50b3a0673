#include "MimeToMsg.h"

#include "Charsets.h"
#include "CompressedRtf.h"
#include "ExchangeAddress.h"
#include "GMimeSupport.h"
#include "HeaderBounds.h"
#include "HeaderText.h"
#include "HtmlToText.h"
#include "MsgLimits.h"
#include "PropertyAccess.h"

#include <QRegularExpression>

namespace kestrel::platform::msg {

namespace {

constexpr std::uint32_t StoreUnicodeOk = 0x00040000;
const char* const ClassHeader = "X-Kestrel-Message-Class";
const char* const SignedClass = "IPM.Note.SMIME.MultipartSigned";

struct Address {
    QString name;
    QString address;
};

QString nonEmpty(const QString& a, const QString& b)
{
    return a.isEmpty() ? b : a;
}

void collectAddresses(InternetAddressList* list, std::vector<Address>* out, int depth = 0)
{
    if (!list || depth > 8)
        return;
    const int n = internet_address_list_length(list);
    for (int i = 0; i < n; ++i) {
        InternetAddress* a = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(a)) {
            collectAddresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(a)), out,
                             depth + 1);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(a)) {
            const char* name = internet_address_get_name(a);
            const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a));
            out->push_back(
                {QString::fromUtf8(name ? name : ""), QString::fromUtf8(addr ? addr : "")});
        }
    }
}

std::vector<Address> addresses(GMimeMessage* message, GMimeAddressType type)
{
    std::vector<Address> out;
    collectAddresses(g_mime_message_get_addresses(message, type), &out);
    return out;
}

QString header(GMimeObject* object, const char* name)
{
    const char* value = g_mime_object_get_header(object, name);
    return value ? QString::fromUtf8(value).simplified() : QString();
}

QDateTime toQDateTime(GDateTime* dt)
{
    if (!dt)
        return {};
    return QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(dt), Qt::UTC);
}

QString normalizeNewlines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

// "Re: ", "FW: " and the like: up to three characters and a colon.
void setSubject(PropertyMap& props, const QString& subject)
{
    setUnicode(props, pid::Subject, subject);
    static const QRegularExpression prefix(QStringLiteral("^([^\\s:\\d]{1,3}:\\s*)"));
    const auto m = prefix.match(subject);
    const QString pre = m.hasMatch() ? m.captured(1) : QString();
    setUnicode(props, pid::SubjectPrefix, pre);
    setUnicode(props, pid::NormalizedSubject, subject.mid(pre.size()));
    setUnicode(props, pid::ConversationTopic, subject.mid(pre.size()));
}

void setAddressProps(PropertyMap& props, std::uint16_t nameId, std::uint16_t typeId,
                     std::uint16_t emailId, std::uint16_t smtpId, const Address& a)
{
    if (auto x500 = fromImceaex(a.address)) {
        setUnicode(props, nameId, nonEmpty(a.name, *x500));
        setUnicode(props, typeId, QStringLiteral("EX"));
        setUnicode(props, emailId, *x500);
        return;
    }
    setUnicode(props, nameId, nonEmpty(a.name, a.address));
    setUnicode(props, typeId, QStringLiteral("SMTP"));
    setUnicode(props, emailId, a.address);
    if (smtpId)
        setUnicode(props, smtpId, a.address);
}

QString fileExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

// 8.3 form for PR_ATTACH_FILENAME.
QString shortName(const QString& longName)
{
    QString base = longName;
    QString ext = fileExtension(longName);
    if (!ext.isEmpty())
        base.chop(ext.size());
    base.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_\\-]")));
    ext.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")));
    if (base.isEmpty())
        base = QStringLiteral("ATTACH");
    if (base.size() > 8)
        base = base.left(6) + QStringLiteral("~1");
    return (base + ext.left(4)).toUpper();
}

QString defaultExtension(const QString& mimeType)
{
    static const std::pair<const char*, const char*> table[] = {
        {"text/plain", ".txt"},
        {"text/html", ".htm"},
        {"text/calendar", ".ics"},
        {"image/jpeg", ".jpg"},
        {"image/png", ".png"},
        {"image/gif", ".gif"},
        {"application/pdf", ".pdf"},
        {"message/delivery-status", ".txt"},
        {"text/rfc822-headers", ".txt"},
        {"application/pkcs7-signature", ".p7s"},
        {"application/pgp-signature", ".asc"},
    };
    for (const auto& [type, ext] : table) {
        if (mimeType == QLatin1String(type))
            return QLatin1String(ext);
    }
    return QStringLiteral(".dat");
}

class Builder {
public:
    Builder(int depth, GMimeParserOptions* options) : m_depth(depth), m_options(options) {}

    // What the file would lose of the message (parts nested too deep, text cut
    // at a NUL); empty when it keeps it all.
    const QString& loss() const { return m_loss; }

    MsgObject build(GMimeMessage* message, const MsgEnvelope& envelope, const QByteArray& raw)
    {
        MsgObject out;
        PropertyMap& p = out.props;
        GMimeObject* object = GMIME_OBJECT(message);

        QString messageClass = envelope.messageClass;
        if (messageClass.isEmpty())
            messageClass = header(object, ClassHeader);
        GMimeObject* body = g_mime_message_get_mime_part(message);
        if (messageClass.isEmpty())
            messageClass = classFor(body);
        setUnicode(p, pid::MessageClass, messageClass);

        setSubject(p, decodeHeaderText(rawHeader(object, "Subject"), m_options));

        std::vector<Address> from = addresses(message, GMIME_ADDRESS_TYPE_FROM);
        std::vector<Address> sender = addresses(message, GMIME_ADDRESS_TYPE_SENDER);
        if (sender.empty())
            sender = from;
        if (!from.empty())
            setAddressProps(p, pid::SentRepresentingName, pid::SentRepresentingAddrType,
                            pid::SentRepresentingEmail, pid::SentRepresentingSmtpAddress, from[0]);
        if (!sender.empty())
            setAddressProps(p, pid::SenderName, pid::SenderAddrType, pid::SenderEmail,
                            pid::SenderSmtpAddress, sender[0]);

        addRecipients(out, message);

        const QDateTime date = toQDateTime(g_mime_message_get_date(message));
        const bool unsent = header(object, "X-Unsent") == QLatin1String("1");
        QDateTime received = envelope.receivedTime;
        if (!received.isValid())
            received = date;
        setTime(p, pid::ClientSubmitTime, date);
        // Received mail needs a delivery time to show as received; a draft keeps
        // one only when the store knows it.
        if (envelope.receivedTime.isValid())
            setTime(p, pid::MessageDeliveryTime, envelope.receivedTime);
        else if (!unsent)
            setTime(p, pid::MessageDeliveryTime,
                    received.isValid() ? received : QDateTime::currentDateTimeUtc());
        const QDateTime created =
            envelope.creationTime.isValid() ? envelope.creationTime : received;
        setTime(p, pid::CreationTime, created);
        setTime(p, pid::LastModificationTime,
                envelope.lastModificationTime.isValid() ? envelope.lastModificationTime : created);

        const char* messageId = g_mime_message_get_message_id(message);
        if (messageId && *messageId)
            setUnicode(p, pid::InternetMessageId,
                       QStringLiteral("<%1>").arg(QString::fromUtf8(messageId)));
        const QString inReplyTo = header(object, "In-Reply-To");
        if (!inReplyTo.isEmpty())
            setUnicode(p, pid::InReplyTo, inReplyTo);
        const QString references = header(object, "References");
        if (!references.isEmpty())
            setUnicode(p, pid::InternetReferences, references);
        const QByteArray headers = headerBlock(raw);
        if (!headers.isEmpty())
            setUnicode(p, pid::TransportHeaders,
                       normalizeNewlines(decodeEightBit(headers, m_options)));
        setImportance(p, object);

        if (body && messageClass == QLatin1String(SignedClass) && GMIME_IS_MULTIPART_SIGNED(body))
            addSignedEntity(GMIME_MULTIPART(body), out);
        else if (body)
            walk(body, out, 0);
        finishBody(out);

        std::uint32_t flags = envelope.unread ? 0 : MsgFlagRead;
        if (unsent)
            flags |= MsgFlagUnsent;
        if (!out.attachments.empty())
            flags |= MsgFlagHasAttach;
        setLong(p, pid::MessageFlags, flags);
        setBool(p, pid::HasAttach, !out.attachments.empty());
        setLong(p, pid::StoreSupportMask, StoreUnicodeOk);
        setLong(p, pid::MessageCodepage, 65001);
        if (envelope.noAging)
            out.named[NamedKey{psetidCommon(), LidAgingDontAgeMe}] = Property{PtBoolean, 1, {}};
        setFollowUp(p, envelope);
        return out;
    }

private:
    // The file holds one last verb: a message both answered and forwarded shows as answered,
    // as the reply is what a reader looks for first.
    static void setFollowUp(PropertyMap& p, const MsgEnvelope& envelope)
    {
        if (envelope.flagged) {
            setLong(p, pid::FlagStatus, FlagStatusFlagged);
            setLong(p, pid::FollowupIcon, FollowupIconRed);
        }
        if (envelope.answered) {
            setLong(p, pid::LastVerbExecuted, VerbReplyToSender);
            setLong(p, pid::IconIndex, IconRepliedMail);
        } else if (envelope.forwarded) {
            setLong(p, pid::LastVerbExecuted, VerbForward);
            setLong(p, pid::IconIndex, IconForwardedMail);
        }
    }

    // Outlook keeps a signed message whole, as one "smime.p7m" attachment holding the
    // multipart/signed entity, and shows the bodies of its first part.
    void addSignedEntity(GMimeMultipart* signedPart, MsgObject& out)
    {
        MsgObject scratch;
        if (g_mime_multipart_get_count(signedPart) > 0)
            walk(g_mime_multipart_get_part(signedPart, 0), scratch, 1);
        const QByteArray entity = objectToBytes(GMIME_OBJECT(signedPart));
        AttachmentObject attachment;
        PropertyMap& p = attachment.props;
        const QString name = QStringLiteral("smime.p7m");
        setCommonAttachmentProps(p, 0, AttachByValue, name);
        setUnicode(p, pid::AttachFilename, name.toUpper());
        setUnicode(p, pid::AttachExtension, QStringLiteral(".p7m"));
        setUnicode(p, pid::AttachMimeTag, QStringLiteral("multipart/signed"));
        setBinary(p, pid::AttachDataBin, entity);
        setLong(p, pid::AttachSize, std::uint32_t(entity.size()));
        out.attachments.push_back(std::move(attachment));
    }

    static QString classFor(GMimeObject* body)
    {
        if (!body)
            return QStringLiteral("IPM.Note");
        GMimeContentType* type = g_mime_object_get_content_type(body);
        if (g_mime_content_type_is_type(type, "multipart", "report")) {
            const char* report = g_mime_content_type_get_parameter(type, "report-type");
            if (report && g_ascii_strcasecmp(report, "disposition-notification") == 0)
                return QStringLiteral("REPORT.IPM.Note.IPNRN");
            if (report && g_ascii_strcasecmp(report, "delivery-status") == 0)
                return QStringLiteral("REPORT.IPM.Note.NDR");
        }
        if (g_mime_content_type_is_type(type, "multipart", "signed")) {
            const char* protocol = g_mime_content_type_get_parameter(type, "protocol");
            if (protocol && QByteArray(protocol).toLower().contains("pkcs7-signature"))
                return QLatin1String(SignedClass);
        }
        if (g_mime_content_type_is_type(type, "application", "pkcs7-mime") ||
            g_mime_content_type_is_type(type, "application", "x-pkcs7-mime"))
            return QStringLiteral("IPM.Note.SMIME");
        return meetingClass(body, 0);
    }

    // An invitation or cancellation carries its iCalendar METHOD on the part.
    static QString meetingClass(GMimeObject* object, int depth)
    {
        if (GMIME_IS_MULTIPART(object) && depth < 4) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                const QString cls =
                    meetingClass(g_mime_multipart_get_part(multipart, i), depth + 1);
                if (cls != QLatin1String("IPM.Note"))
                    return cls;
            }
        }
        GMimeContentType* type = g_mime_object_get_content_type(object);
        const char* method = g_mime_content_type_get_parameter(type, "method");
        if (g_mime_content_type_is_type(type, "text", "calendar") && method) {
            if (g_ascii_strcasecmp(method, "REQUEST") == 0)
                return QStringLiteral("IPM.Schedule.Meeting.Request");
            if (g_ascii_strcasecmp(method, "CANCEL") == 0)
                return QStringLiteral("IPM.Schedule.Meeting.Canceled");
        }
        return QStringLiteral("IPM.Note");
    }

    void setImportance(PropertyMap& p, GMimeObject* object)
    {
        QString importance = header(object, "Importance").toLower();
        const QString priority = header(object, "X-Priority");
        if (importance.isEmpty() && !priority.isEmpty()) {
            const QChar c = priority.at(0);
            importance = c == QLatin1Char('1') || c == QLatin1Char('2')   ? QStringLiteral("high")
                         : c == QLatin1Char('4') || c == QLatin1Char('5') ? QStringLiteral("low")
                                                                          : QString();
        }
        if (importance == QLatin1String("high"))
            setLong(p, pid::Importance, 2);
        else if (importance == QLatin1String("low"))
            setLong(p, pid::Importance, 0);
        else
            setLong(p, pid::Importance, 1);
    }

    void addRecipients(MsgObject& out, GMimeMessage* message)
    {
        const std::pair<GMimeAddressType, std::uint32_t> kinds[] = {
            {GMIME_ADDRESS_TYPE_TO, 1}, {GMIME_ADDRESS_TYPE_CC, 2}, {GMIME_ADDRESS_TYPE_BCC, 3}};
        QStringList display[4];
        for (const auto& [type, recipientType] : kinds) {
            for (const Address& a : addresses(message, type)) {
                PropertyMap row;
                setLong(row, pid::RowId, std::uint32_t(out.recipients.size()));
                setLong(row, pid::RecipientType, recipientType);
                setLong(row, pid::ObjectType, 6);  // a mail user
                setLong(row, pid::DisplayType, 0); // DT_MAILUSER
                setAddressProps(row, pid::DisplayName, pid::AddrType, pid::EmailAddress,
                                pid::SmtpAddress, a);
                setUnicode(row, pid::RecipientDisplayName, nonEmpty(a.name, a.address));
                display[recipientType] << nonEmpty(a.name, a.address);
                out.recipients.push_back(std::move(row));
            }
        }
        setUnicode(out.props, pid::DisplayTo, display[1].join(QStringLiteral("; ")));
        setUnicode(out.props, pid::DisplayCc, display[2].join(QStringLiteral("; ")));
        setUnicode(out.props, pid::DisplayBcc, display[3].join(QStringLiteral("; ")));
        const auto delivered = addresses(message, GMIME_ADDRESS_TYPE_TO);
        QString receivedBy = header(GMIME_OBJECT(message), "Delivered-To");
        if (receivedBy.isEmpty() && !delivered.empty())
            receivedBy = delivered[0].address;
        if (!receivedBy.isEmpty()) {
            QString name = receivedBy;
            for (const auto& a : delivered) {
                if (a.address.compare(receivedBy, Qt::CaseInsensitive) == 0 && !a.name.isEmpty())
                    name = a.name;
            }
            setUnicode(out.props, pid::ReceivedByName, name);
            setUnicode(out.props, pid::ReceivedByAddrType, QStringLiteral("SMTP"));
            setUnicode(out.props, pid::ReceivedByEmail, receivedBy);
        }
    }

    void walk(GMimeObject* object, MsgObject& out, int depth)
    {
        if (depth > limits::MaxDepth) {
            m_loss = QStringLiteral("MIME parts nested more than %1 deep").arg(limits::MaxDepth);
            return;
        }
        if (GMIME_IS_MESSAGE_PART(object)) {
            addEmbedded(GMIME_MESSAGE_PART(object), out);
            return;
        }
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int n = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < n; ++i)
                walk(g_mime_multipart_get_part(multipart, i), out, depth + 1);
            return;
        }
        if (!GMIME_IS_PART(object))
            return;
        GMimePart* part = GMIME_PART(object);
        GMimeContentType* type = g_mime_object_get_content_type(object);
        GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
        const bool isAttachment =
            disposition && g_mime_content_disposition_is_attachment(disposition);
        const char* filename = g_mime_part_get_filename(part);
        const bool named = filename && *filename;
        if (!isAttachment && !named && GMIME_IS_TEXT_PART(object)) {
            // The bodies are strings: text after a NUL would be cut off.
            if (partContent(part).contains('\0')) {
                addAttachment(part, out);
                return;
            }
            if (g_mime_content_type_is_type(type, "text", "plain")) {
                appendText(m_text, textOf(GMIME_TEXT_PART(object)));
                return;
            }
            if (g_mime_content_type_is_type(type, "text", "html")) {
                m_html += textOf(GMIME_TEXT_PART(object));
                return;
            }
            if (g_mime_content_type_is_type(type, "text", "rtf") ||
                g_mime_content_type_is_type(type, "text", "richtext")) {
                if (m_rtf.isEmpty()) {
                    m_rtf = partContent(part);
                    return;
                }
            }
        }
        addAttachment(part, out);
    }

    static QString textOf(GMimeTextPart* part)
    {
        // GMime falls back to raw bytes for charsets iconv does not know.
        return fromUtf8Owned(g_mime_text_part_get_text(part));
    }

    static void appendText(QString& into, const QString& text)
    {
        if (!into.isEmpty() && !text.isEmpty())
            into += QStringLiteral("\n\n");
        into += text;
    }

    void addAttachment(GMimePart* part, MsgObject& out)
    {
        GMimeObject* object = GMIME_OBJECT(part);
        const QString mimeType =
            fromUtf8Owned(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object)))
                .toLower();
        const char* filename = g_mime_part_get_filename(part);
        QString name = QString::fromUtf8(filename ? filename : "").trimmed();
        if (name.isEmpty())
            name = QStringLiteral("attachment%1%2")
                       .arg(out.attachments.size() + 1)
                       .arg(defaultExtension(mimeType));
        const QByteArray data = partContent(part);

        AttachmentObject attachment;
        PropertyMap& p = attachment.props;
        setCommonAttachmentProps(p, std::uint32_t(out.attachments.size()), AttachByValue, name);
        setUnicode(p, pid::AttachFilename, shortName(name));
        setUnicode(p, pid::AttachExtension, fileExtension(name));
        setUnicode(p, pid::AttachMimeTag, mimeType);
        setBinary(p, pid::AttachDataBin, data);
        setLong(p, pid::AttachSize, std::uint32_t(data.size()));
        const char* contentId = g_mime_part_get_content_id(part);
        if (contentId && *contentId) {
            setUnicode(p, pid::AttachContentId, QString::fromUtf8(contentId));
            GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
            const bool inlinePart =
                !disposition || !g_mime_content_disposition_is_attachment(disposition);
            if (inlinePart) {
                setLong(p, pid::AttachFlags, 4); // ATT_MHTML_REF: shown in the HTML body
                setBool(p, pid::AttachmentHidden, true);
            }
        }
        const char* location = g_mime_part_get_content_location(part);
        if (location && *location)
            setUnicode(p, pid::AttachContentLocation, QString::fromUtf8(location));
        out.attachments.push_back(std::move(attachment));
    }

    void addEmbedded(GMimeMessagePart* part, MsgObject& out)
    {
        GMimeMessage* inner = g_mime_message_part_get_message(part);
        if (!inner)
            return;
        AttachmentObject attachment;
        QString name = decodeHeaderText(rawHeader(GMIME_OBJECT(inner), "Subject"), m_options);
        if (name.isEmpty())
            name = QStringLiteral("Untitled message");
        setCommonAttachmentProps(attachment.props, std::uint32_t(out.attachments.size()),
                                 AttachEmbeddedMsg, name);
        setUnicode(attachment.props, pid::AttachMimeTag, QStringLiteral("message/rfc822"));
        if (m_depth >= limits::MaxDepth) {
            m_loss = QStringLiteral("messages nested more than %1 deep").arg(limits::MaxDepth);
            return;
        }
        MsgEnvelope envelope;
        const QByteArray raw = objectToBytes(GMIME_OBJECT(inner));
        Builder builder(m_depth + 1, m_options);
        attachment.embedded = std::make_unique<MsgObject>(builder.build(inner, envelope, raw));
        if (m_loss.isEmpty())
            m_loss = builder.loss();
        out.attachments.push_back(std::move(attachment));
    }

    static void setCommonAttachmentProps(PropertyMap& p, std::uint32_t number, std::uint32_t method,
                                         const QString& name)
    {
        setLong(p, pid::AttachNum, number);
        setLong(p, pid::AttachMethod, method);
        setLong(p, pid::ObjectType, 7); // an attachment
        setLong(p, pid::RenderingPosition, 0xFFFFFFFF);
        setUnicode(p, pid::DisplayName, name);
        if (method == AttachByValue)
            setUnicode(p, pid::AttachLongFilename, name);
    }

    void finishBody(MsgObject& out)
    {
        PropertyMap& p = out.props;
        if (!m_html.isEmpty()) {
            setBinary(p, pid::Html, m_html.toUtf8());
            setLong(p, pid::InternetCodepage, 65001);
            if (m_text.isEmpty())
                m_text = htmlToText(m_html);
        }
        setUnicode(p, pid::Body, normalizeNewlines(m_text));
        if (!m_rtf.isEmpty()) {
            setBinary(p, pid::RtfCompressed, wrapUncompressedRtf(m_rtf));
            setBool(p, pid::RtfInSync, false);
        }
    }

    int m_depth;
    GMimeParserOptions* m_options;
    QString m_loss;
    QString m_text;
    QString m_html;
    QByteArray m_rtf;
};

} // namespace

std::optional<MsgObject> mimeToMsg(const MsgEnvelope& envelope, QString* why)
{
    ensureGMime();
    const QByteArray& mime = envelope.mime;
    const QByteArray headers = rawHeaderBlock(mime);
    // GMime ends header text at a NUL: whatever follows would vanish.
    if (headers.contains('\0')) {
        *why = QStringLiteral("the message headers hold NUL bytes, which a .msg file cannot keep");
        return std::nullopt;
    }
    const BoundedHeaders bounded = boundHeaders(headers);
    if (bounded.recipients > limits::MaxRecipients) {
        *why = QStringLiteral("about %1 recipients, more than the %2 a file may hold")
                   .arg(bounded.recipients)
                   .arg(limits::MaxRecipients);
        return std::nullopt;
    }
    const auto parse = [&](GMimeParserOptions* options) {
        if (!bounded.changed)
            return parseMimeMessage(mime, options);
        const QByteArray body = QByteArray::fromRawData(mime.constData() + headers.size(),
                                                        mime.size() - headers.size());
        GRef<GMimeStream> cat(g_mime_stream_cat_new());
        GRef<GMimeStream> head(borrowedStream(bounded.block));
        GRef<GMimeStream> rest(borrowedStream(body));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(cat.get()), head.get());
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(cat.get()), rest.get());
        return parseMimeMessage(cat.get(), options);
    };
    std::unique_ptr<GMimeParserOptions, void (*)(GMimeParserOptions*)> options(
        fallbackOptions({}), g_mime_parser_options_free);
    GRef<GMimeMessage> message(parse(options.get()));
    // Unlabelled 8-bit header text is most likely in the charset of the body.
    if (message && hasNonUtf8Bytes(headers)) {
        const QByteArray charset = bodyCharset(message.get());
        if (!charset.isEmpty()) {
            options.reset(fallbackOptions(charset));
            message.reset(parse(options.get()));
        }
    }
    Builder builder(0, options.get());
    std::optional<MsgObject> out;
    if (!message) {
        // Not even headers: keep the bytes as the text of an otherwise empty message.
        message.reset(g_mime_message_new(TRUE));
        GRef<GMimeTextPart> text(g_mime_text_part_new_with_subtype("plain"));
        g_mime_text_part_set_text(text.get(), QString::fromUtf8(mime).toUtf8().constData());
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(text.get()));
        out = builder.build(message.get(), envelope, QByteArray());
    } else {
        out = builder.build(message.get(), envelope, mime);
    }
    if (!builder.loss().isEmpty()) {
        *why = builder.loss();
        return std::nullopt;
    }
    return out;
}

} // namespace kestrel::platform::msg
