#include "MsgToMime.h"

#include "AttachmentSplice.h"
#include "Charsets.h"
#include "CompressedRtf.h"
#include "ExchangeAddress.h"
#include "GMimeSupport.h"
#include "HtmlToText.h"
#include "MsgLimits.h"
#include "PropertyAccess.h"
#include "RtfDeencapsulator.h"

#include <QRegularExpression>

#include <cstring>

namespace kestrel::platform::msg {

namespace {

const char* const ClassHeader = "X-Kestrel-Message-Class";

int codepageOf(const PropertyMap& props, int inherited)
{
    if (auto cp = getLong(props, pid::MessageCodepage); cp && charsetForCodepage(int(*cp)))
        return int(*cp);
    if (auto cp = getLong(props, pid::InternetCodepage); cp && *cp)
        return ansiCodepageFor(int(*cp));
    return inherited;
}

QString withLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString strip(const QString& s)
{
    return s.trimmed();
}

// The charset an HTML body declares in a <meta> tag.
QByteArray metaCharset(const QByteArray& html)
{
    static const QRegularExpression re(
        QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?([A-Za-z0-9_\\-:.]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(QString::fromLatin1(html.left(4096)));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

bool isValidUtf8(const QByteArray& bytes)
{
    return g_utf8_validate(bytes.constData(), bytes.size(), nullptr);
}

// The encoding GMime would choose for a text of plain ASCII (no NUL), found
// in one pass instead of its charset and encoding scans; nullopt for any
// other text.
std::optional<GMimeContentEncoding> asciiEncoding(const QByteArray& text)
{
    qsizetype longest = 0;
    qsizetype lineStart = 0;
    bool fromLine = false; // a line starting "From " is quoted-printable, as GMime does
    const char* data = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == 0 || c >= 0x80)
            return std::nullopt;
        if (i == lineStart && text.size() - i >= 5 && std::memcmp(data + i, "From ", 5) == 0)
            fromLine = true;
        if (c == '\n') {
            longest = std::max(longest, i - lineStart);
            lineStart = i + 1;
        }
    }
    longest = std::max(longest, text.size() - lineStart);
    return longest > 998 || fromLine ? GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE
                                     : GMIME_CONTENT_ENCODING_DEFAULT;
}

GMimePart* textPart(const char* subtype, const QString& text)
{
    const QByteArray utf8 = withLf(text).toUtf8();
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
    GMimePart* p = GMIME_PART(part);
    if (const std::optional<GMimeContentEncoding> encoding = asciiEncoding(utf8)) {
        g_mime_text_part_set_charset(part, "us-ascii");
        GRef<GMimeStream> stream(
            g_mime_stream_mem_new_with_buffer(utf8.constData(), size_t(utf8.size())));
        GRef<GMimeDataWrapper> wrapper(
            g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(p, wrapper.get());
        g_mime_part_set_content_encoding(p, *encoding);
        return p;
    }
    g_mime_text_part_set_text(part, utf8.constData());
    g_mime_part_set_content_encoding(
        p, g_mime_part_get_best_content_encoding(p, GMIME_ENCODING_CONSTRAINT_7BIT));
    return p;
}

struct Bodies {
    QString text;
    QString html;
    QByteArray nativeRtf;
};

class Builder {
public:
    Builder(const MsgObject& message, int depth, int inheritedCodepage)
        : m_msg(message), m_depth(depth), m_cp(codepageOf(message.props, inheritedCodepage))
    {
    }

    QByteArray mime()
    {
        QByteArray text = write();
        if (m_splice.isEmpty())
            return text;
        if (std::optional<QByteArray> spliced = m_splice.apply(text))
            return std::move(*spliced);
        // A placeholder is not where it was put (never seen): GMime writes all.
        m_splice = AttachmentSplice();
        m_spliceAttachments = false;
        m_dataSize = 0;
        return write();
    }

private:
    QByteArray write()
    {
        GRef<GMimeMessage> message(g_mime_message_new(FALSE));
        GMimeObject* object = GMIME_OBJECT(message.get());
        setHeaders(message.get());
        GRef<GMimeObject> body(buildBody());
        g_mime_message_set_mime_part(message.get(), body.get());
        QByteArray headers =
            QByteArray(fromUtf8Owned(g_mime_object_get_headers(object, nullptr)).toUtf8());
        const QString transport = string(pid::TransportHeaders);
        if (transport.contains(QLatin1Char(':')))
            headers = mergeTransportHeaders(transport.toUtf8(), headers);
        // Headers and body go straight into one buffer sized for the encoded parts.
        return writeWithPrefix(headers + '\n', body.get(), m_dataSize * 4 / 3 + 65536);
    }

    // `data` must outlive the part: GMime reads it in place instead of copying
    // megabytes of attachment, or it waits in the splice until mime() is done.
    GMimePart* binaryPart(const QString& mimeType, const QByteArray& data)
    {
        QString type = mimeType.trimmed().toLower();
        if (!type.contains(QLatin1Char('/')))
            type = QStringLiteral("application/octet-stream");
        const QByteArray major = type.section(QLatin1Char('/'), 0, 0).toUtf8();
        const QByteArray minor =
            type.section(QLatin1Char('/'), 1).section(QLatin1Char(';'), 0, 0).trimmed().toUtf8();
        GMimePart* part = g_mime_part_new_with_type(major.constData(), minor.constData());
        if (m_spliceAttachments && !data.isEmpty()) {
            const QByteArray placeholder = m_splice.placeholder(data);
            GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(placeholder.constData(),
                                                                       size_t(placeholder.size())));
            GRef<GMimeDataWrapper> wrapper(
                g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_BASE64));
            g_mime_part_set_content(part, wrapper.get());
        } else {
            GRef<GMimeStream> stream(borrowedStream(data));
            GRef<GMimeDataWrapper> wrapper(
                g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
            g_mime_part_set_content(part, wrapper.get());
            m_dataSize += data.size();
        }
        g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
        return part;
    }

    QString string(std::uint16_t id) const
    {
        return getString(m_msg.props, id, m_cp).value_or(QString());
    }
    QString string(const PropertyMap& p, std::uint16_t id) const
    {
        return getString(p, id, m_cp).value_or(QString());
    }

    static void addMailbox(GMimeMessage* message, GMimeAddressType type, const QString& name,
                           const QString& address)
    {
        addMailbox(g_mime_message_get_addresses(message, type), name, address);
    }

    static void addMailbox(InternetAddressList* list, const QString& name, const QString& address)
    {
        // An Exchange-internal address (an X.500 name) goes in its SMTP form.
        const QString mail = address.startsWith(QLatin1Char('/')) ? toImceaex(address) : address;
        if (name.isEmpty() && mail.isEmpty())
            return;
        GRef<InternetAddress> mailbox(internet_address_mailbox_new(
            name == mail ? nullptr : name.toUtf8().constData(), mail.toUtf8().constData()));
        internet_address_list_add(list, mailbox.get());
    }

    QString smtpOf(std::uint16_t smtpId, std::uint16_t emailId, std::uint16_t typeId) const
    {
        const QString smtp = string(smtpId);
        if (!smtp.isEmpty())
            return smtp;
        const QString email = string(emailId);
        if (string(typeId).compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0 ||
            email.contains(QLatin1Char('@')))
            return email;
        return email;
    }

    void setHeaders(GMimeMessage* message)
    {
        GMimeObject* object = GMIME_OBJECT(message);
        const QString fromName = string(pid::SentRepresentingName);
        const QString fromAddr = smtpOf(pid::SentRepresentingSmtpAddress,
                                        pid::SentRepresentingEmail, pid::SentRepresentingAddrType);
        const QString senderName = string(pid::SenderName);
        const QString senderAddr =
            smtpOf(pid::SenderSmtpAddress, pid::SenderEmail, pid::SenderAddrType);
        if (!fromName.isEmpty() || !fromAddr.isEmpty()) {
            addMailbox(message, GMIME_ADDRESS_TYPE_FROM, fromName, fromAddr);
            if (!senderAddr.isEmpty() && senderAddr.compare(fromAddr, Qt::CaseInsensitive) != 0)
                addMailbox(message, GMIME_ADDRESS_TYPE_SENDER, senderName, senderAddr);
        } else {
            addMailbox(message, GMIME_ADDRESS_TYPE_FROM, senderName, senderAddr);
        }

        // Each list is filled apart and handed to the message once: GMime writes
        // the whole header again on every change of a message's own list.
        GRef<InternetAddressList> lists[3] = {
            GRef<InternetAddressList>(internet_address_list_new()),
            GRef<InternetAddressList>(internet_address_list_new()),
            GRef<InternetAddressList>(internet_address_list_new())};
        for (const PropertyMap& row : m_msg.recipients) {
            const auto type = getLong(row, pid::RecipientType).value_or(1) & 0xF;
            InternetAddressList* kind = type == 2   ? lists[1].get()
                                        : type == 3 ? lists[2].get()
                                                    : lists[0].get();
            QString address = string(row, pid::SmtpAddress);
            if (address.isEmpty())
                address = string(row, pid::EmailAddress);
            QString name = string(row, pid::DisplayName);
            if (name.isEmpty())
                name = string(row, pid::RecipientDisplayName);
            addMailbox(kind, name, address);
        }
        const GMimeAddressType kinds[3] = {GMIME_ADDRESS_TYPE_TO, GMIME_ADDRESS_TYPE_CC,
                                           GMIME_ADDRESS_TYPE_BCC};
        for (int i = 0; i < 3; ++i) {
            if (internet_address_list_length(lists[i].get()) > 0)
                internet_address_list_append(g_mime_message_get_addresses(message, kinds[i]),
                                             lists[i].get());
        }

        QString subject = string(pid::Subject);
        if (subject.isEmpty())
            subject = string(pid::SubjectPrefix) + string(pid::NormalizedSubject);
        g_mime_message_set_subject(message, subject.toUtf8().constData(), "utf-8");

        QDateTime date = getTime(m_msg.props, pid::ClientSubmitTime).value_or(QDateTime());
        if (!date.isValid())
            date = getTime(m_msg.props, pid::MessageDeliveryTime).value_or(QDateTime());
        if (!date.isValid())
            date = getTime(m_msg.props, pid::CreationTime).value_or(QDateTime());
        if (date.isValid()) {
            GDateTime* dt = g_date_time_new_from_unix_utc(date.toSecsSinceEpoch());
            g_mime_message_set_date(message, dt);
            g_date_time_unref(dt);
        }

        QString messageId = strip(string(pid::InternetMessageId));
        if (messageId.startsWith(QLatin1Char('<')) && messageId.endsWith(QLatin1Char('>')))
            messageId = messageId.mid(1, messageId.size() - 2);
        if (!messageId.isEmpty())
            g_mime_message_set_message_id(message, messageId.toUtf8().constData());
        setRawHeader(object, "In-Reply-To", strip(string(pid::InReplyTo)));
        setRawHeader(object, "References", strip(string(pid::InternetReferences)));

        const QString messageClass = string(pid::MessageClass);
        if (!messageClass.isEmpty() &&
            messageClass.compare(QLatin1String("IPM.Note"), Qt::CaseInsensitive) != 0)
            setRawHeader(object, ClassHeader, messageClass);
        if (getLong(m_msg.props, pid::MessageFlags).value_or(0) & MsgFlagUnsent)
            setRawHeader(object, "X-Unsent", QStringLiteral("1"));
        const auto importance = getLong(m_msg.props, pid::Importance);
        if (importance && *importance == 2)
            setRawHeader(object, "Importance", QStringLiteral("high"));
        else if (importance && *importance == 0)
            setRawHeader(object, "Importance", QStringLiteral("low"));
    }

    static void setRawHeader(GMimeObject* object, const char* name, const QString& value)
    {
        if (!value.isEmpty())
            g_mime_object_set_header(object, name, value.toUtf8().constData(), "utf-8");
    }

    Bodies bodies() const
    {
        Bodies b;
        b.text = string(pid::Body);
        if (auto html = getBinary(m_msg.props, pid::Html)) {
            b.html = decodeHtml(*html);
        } else {
            b.html = string(pid::Html);
        }
        if (auto compressed = getBinary(m_msg.props, pid::RtfCompressed)) {
            if (auto rtf = decompressRtf(*compressed)) {
                while (rtf->endsWith('\0')) // Outlook ends the RTF with a NUL
                    rtf->chop(1);
                switch (rtfKind(*rtf)) {
                case RtfKind::Html:
                    if (b.html.isEmpty())
                        b.html = deencapsulateRtf(*rtf);
                    break;
                case RtfKind::Text:
                    if (b.text.isEmpty())
                        b.text = deencapsulateRtf(*rtf);
                    break;
                case RtfKind::Native:
                    b.nativeRtf = *rtf;
                    if (b.text.isEmpty())
                        b.text = deencapsulateRtf(*rtf).trimmed();
                    break;
                }
            }
        }
        if (b.text.isEmpty() && !b.html.isEmpty())
            b.text = htmlToText(b.html);
        return b;
    }

    QString decodeHtml(const QByteArray& html) const
    {
        QByteArray bytes = html;
        while (bytes.endsWith('\0'))
            bytes.chop(1);
        if (auto cpid = getLong(m_msg.props, pid::InternetCodepage)) {
            if (const char* charset = charsetForCodepage(int(*cpid)))
                return decodeCharset(bytes, charset);
        }
        const QByteArray declared = metaCharset(bytes);
        if (!declared.isEmpty() && codepageForCharset(declared))
            return decodeCodepage(bytes, codepageForCharset(declared));
        if (isValidUtf8(bytes))
            return QString::fromUtf8(bytes);
        return decodeCodepage(bytes, m_cp);
    }

    // Signed S/MIME: Outlook keeps the whole multipart/signed entity as one attachment.
    GMimeObject* signedBody() const
    {
        if (!string(pid::MessageClass)
                 .startsWith(QLatin1String("IPM.Note.SMIME"), Qt::CaseInsensitive) ||
            m_msg.attachments.size() != 1)
            return nullptr;
        const PropertyMap& p = m_msg.attachments.front().props;
        if (!string(p, pid::AttachMimeTag)
                 .startsWith(QLatin1String("multipart/signed"), Qt::CaseInsensitive))
            return nullptr;
        const QByteArray data = getBinary(p, pid::AttachDataBin).value_or(QByteArray());
        GRef<GMimeStream> stream(
            g_mime_stream_mem_new_with_buffer(data.constData(), size_t(data.size())));
        GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
        GMimeObject* entity = g_mime_parser_construct_part(parser.get(), nullptr);
        if (entity && !GMIME_IS_MULTIPART_SIGNED(entity)) {
            g_object_unref(entity);
            return nullptr;
        }
        return entity;
    }

    GMimeObject* buildBody()
    {
        if (GMimeObject* entity = signedBody())
            return entity;
        // A member: the parts built below read the RTF bytes in place.
        m_bodies = bodies();
        const Bodies& b = m_bodies;
        std::vector<GMimeObject*> alternatives;
        if (!b.text.isEmpty() || (b.html.isEmpty() && b.nativeRtf.isEmpty()))
            alternatives.push_back(GMIME_OBJECT(textPart("plain", b.text)));

        std::vector<const AttachmentObject*> inlined;
        std::vector<const AttachmentObject*> attached;
        for (const auto& a : m_msg.attachments) {
            const QString cid = string(a.props, pid::AttachContentId);
            if (!b.html.isEmpty() && !cid.isEmpty() && !a.embedded &&
                b.html.contains(QStringLiteral("cid:") + cid, Qt::CaseInsensitive))
                inlined.push_back(&a);
            else
                attached.push_back(&a);
        }
        if (!b.html.isEmpty()) {
            GMimeObject* html = GMIME_OBJECT(textPart("html", b.html));
            if (!inlined.empty()) {
                GMimeMultipart* related = g_mime_multipart_new_with_subtype("related");
                g_mime_multipart_add(related, html);
                g_object_unref(html);
                for (const AttachmentObject* a : inlined) {
                    if (GMimeObject* part = attachmentPart(*a, true)) {
                        g_mime_multipart_add(related, part);
                        g_object_unref(part);
                    }
                }
                html = GMIME_OBJECT(related);
            }
            alternatives.push_back(html);
        }
        if (!b.nativeRtf.isEmpty())
            alternatives.push_back(
                GMIME_OBJECT(binaryPart(QStringLiteral("text/rtf"), b.nativeRtf)));

        GMimeObject* body = nullptr;
        if (alternatives.size() == 1) {
            body = alternatives.front();
        } else {
            GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
            for (GMimeObject* part : alternatives) {
                g_mime_multipart_add(alternative, part);
                g_object_unref(part);
            }
            body = GMIME_OBJECT(alternative);
        }
        std::vector<GMimeObject*> parts;
        for (const AttachmentObject* a : attached) {
            if (GMimeObject* part = attachmentPart(*a, false))
                parts.push_back(part);
        }
        if (parts.empty())
            return body;
        GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
        g_mime_multipart_add(mixed, body);
        g_object_unref(body);
        for (GMimeObject* part : parts) {
            g_mime_multipart_add(mixed, part);
            g_object_unref(part);
        }
        return GMIME_OBJECT(mixed);
    }

    GMimeObject* attachmentPart(const AttachmentObject& a, bool inlinePart)
    {
        const PropertyMap& p = a.props;
        if (a.embedded) {
            if (m_depth >= limits::MaxDepth)
                return nullptr;
            const QByteArray inner = Builder(*a.embedded, m_depth + 1, m_cp).mime();
            GRef<GMimeMessage> message(parseMimeMessage(inner));
            if (!message)
                return nullptr;
            return GMIME_OBJECT(g_mime_message_part_new_with_message("rfc822", message.get()));
        }
        const auto data = getBinary(p, pid::AttachDataBin);
        if (!data)
            return nullptr; // by reference or an OLE object: nothing to carry
        QString name = string(p, pid::AttachLongFilename);
        if (name.isEmpty())
            name = string(p, pid::AttachFilename);
        if (name.isEmpty())
            name = string(p, pid::DisplayName);
        QString mimeType = string(p, pid::AttachMimeTag);
        if (mimeType.isEmpty())
            mimeType = QStringLiteral("application/octet-stream");
        GMimePart* part = binaryPart(mimeType, *data);
        GMimeObject* object = GMIME_OBJECT(part);
        g_mime_object_set_disposition(object, inlinePart ? "inline" : "attachment");
        if (!name.isEmpty())
            g_mime_part_set_filename(part, name.toUtf8().constData());
        QString cid = strip(string(p, pid::AttachContentId));
        if (cid.startsWith(QLatin1Char('<')) && cid.endsWith(QLatin1Char('>')))
            cid = cid.mid(1, cid.size() - 2);
        if (!cid.isEmpty())
            g_mime_part_set_content_id(part, cid.toUtf8().constData());
        const QString location = string(p, pid::AttachContentLocation);
        if (!location.isEmpty())
            g_mime_part_set_content_location(part, location.toUtf8().constData());
        return object;
    }

    // Saved transport headers are the message's own: keep them, replacing only
    // the content headers that describe the body built here.
    static QByteArray mergeTransportHeaders(const QByteArray& transport,
                                            const QByteArray& builtHeaders)
    {
        const auto unfold = [](const QByteArray& block) {
            std::vector<std::pair<QByteArray, QByteArray>> fields; // lower-case name, lines
            for (const QByteArray& line : block.split('\n')) {
                if (line.isEmpty())
                    continue;
                if ((line[0] == ' ' || line[0] == '\t') && !fields.empty()) {
                    fields.back().second += line + '\n';
                    continue;
                }
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0)
                    continue; // not a header line
                fields.push_back({line.left(colon).trimmed().toLower(), line + '\n'});
            }
            return fields;
        };
        const auto isContentHeader = [](const QByteArray& name) {
            return name.startsWith("content-") || name == "mime-version";
        };
        const QByteArray transportBlock = headerBlock(transport);

        QByteArray out;
        std::vector<QByteArray> present;
        // Exchange leaves internal senders without an address: ours is better then.
        const auto isAddressless = [](const QByteArray& name, const QByteArray& lines) {
            static const QByteArrayList addressFields = {"from", "sender", "to", "cc", "reply-to"};
            return addressFields.contains(name) && !lines.contains('@');
        };
        for (const auto& [name, lines] : unfold(transportBlock)) {
            if (isContentHeader(name) || isAddressless(name, lines))
                continue;
            present.push_back(name);
            out += lines;
        }
        for (const auto& [name, lines] : unfold(builtHeaders)) {
            const bool have = std::find(present.begin(), present.end(), name) != present.end();
            if (isContentHeader(name) || !have)
                out += lines;
        }
        if (!out.contains("\nMIME-Version:") && !out.startsWith("MIME-Version:"))
            out += "MIME-Version: 1.0\n";
        return out;
    }

    const MsgObject& m_msg;
    int m_depth;
    int m_cp;
    qsizetype m_dataSize = 0; // attachment bytes GMime encodes, to size the output
    bool m_spliceAttachments = true;
    AttachmentSplice m_splice;
    Bodies m_bodies;
};

} // namespace

MsgEnvelope msgToMime(const MsgObject& message)
{
    ensureGMime();
    MsgEnvelope envelope;
    envelope.mime = Builder(message, 0, 1252).mime();
    const auto flags = getLong(message.props, pid::MessageFlags);
    envelope.unread = flags && !(*flags & MsgFlagRead);
    auto aging = message.named.find(NamedKey{psetidCommon(), LidAgingDontAgeMe});
    envelope.noAging = aging != message.named.end() && tagType(aging->second.tag) == PtBoolean &&
                       (aging->second.fixed & 0xFFFF) != 0;
    envelope.flagged = getLong(message.props, pid::FlagStatus) == FlagStatusFlagged;
    // Files from older writers carry only the icon.
    const auto verb = getLong(message.props, pid::LastVerbExecuted);
    const auto icon = getLong(message.props, pid::IconIndex);
    envelope.answered =
        verb ? *verb == VerbReplyToSender || *verb == VerbReplyToAll : icon == IconRepliedMail;
    envelope.forwarded = verb ? *verb == VerbForward : icon == IconForwardedMail;
    envelope.receivedTime = getTime(message.props, pid::MessageDeliveryTime).value_or(QDateTime());
    envelope.creationTime = getTime(message.props, pid::CreationTime).value_or(QDateTime());
    envelope.lastModificationTime =
        getTime(message.props, pid::LastModificationTime).value_or(QDateTime());
    envelope.messageClass = getString(message.props, pid::MessageClass, 1252).value_or(QString());
    return envelope;
}

} // namespace kestrel::platform::msg
