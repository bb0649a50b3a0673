#include "MessageSummary.h"

#include "../msg/GMimeSupport.h"

#include <QTimeZone>

#include <cstring>
#include <libetpan/libetpan.h>

namespace kestrel::platform::imap {

namespace {

QString decodedText(const char* raw)
{
    if (!raw)
        return {};
    msg::ensureGMime();
    return msg::fromUtf8Owned(g_mime_utils_header_decode_text(nullptr, raw));
}

QString decodedPhrase(const char* raw)
{
    if (!raw)
        return {};
    msg::ensureGMime();
    return msg::fromUtf8Owned(g_mime_utils_header_decode_phrase(nullptr, raw));
}

void appendAddresses(clist* list, QList<Address>& out)
{
    if (!list)
        return;
    for (clistiter* it = clist_begin(list); it; it = clist_next(it)) {
        const auto* a = static_cast<mailimap_address*>(clist_content(it));
        // A group's start and end markers have no host.
        if (!a || !a->ad_mailbox_name || !a->ad_host_name)
            continue;
        out.append(
            {decodedPhrase(a->ad_personal_name),
             QString::fromUtf8(a->ad_mailbox_name) + '@' + QString::fromUtf8(a->ad_host_name)});
    }
}

std::optional<qint64> dateOf(const char* raw)
{
    if (!raw || !*raw)
        return std::nullopt;
    msg::ensureGMime();
    GDateTime* date = g_mime_utils_header_decode_date(raw);
    if (!date)
        return std::nullopt;
    const qint64 msecs =
        qint64(g_date_time_to_unix(date)) * 1000 + g_date_time_get_microsecond(date) / 1000;
    g_date_time_unref(date);
    return msecs;
}

bool hasParameter(const mailimap_body_fields* fields, const char* name)
{
    if (!fields || !fields->bd_parameter)
        return false;
    for (clistiter* it = clist_begin(fields->bd_parameter->pa_list); it; it = clist_next(it)) {
        const auto* p = static_cast<mailimap_single_body_fld_param*>(clist_content(it));
        if (p && p->pa_name && strcasecmp(p->pa_name, name) == 0)
            return true;
    }
    return false;
}

// A text/calendar part with a method, as an invitation or reply carries it.
bool isMeetingPart(const mailimap_body* body)
{
    if (!body || body->bd_type != MAILIMAP_BODY_1PART || !body->bd_data.bd_body_1part)
        return false;
    const mailimap_body_type_1part* part = body->bd_data.bd_body_1part;
    if (part->bd_type != MAILIMAP_BODY_TYPE_1PART_TEXT || !part->bd_data.bd_type_text)
        return false;
    const mailimap_body_type_text* text = part->bd_data.bd_type_text;
    return text->bd_media_text && strcasecmp(text->bd_media_text, "calendar") == 0 &&
           hasParameter(text->bd_fields, "method");
}

// Parts of nested multiparts count; attached messages do not.
bool holdsMeetingPart(const mailimap_body* body)
{
    if (isMeetingPart(body))
        return true;
    if (!body || body->bd_type != MAILIMAP_BODY_MPART || !body->bd_data.bd_body_mpart)
        return false;
    for (clistiter* it = clist_begin(body->bd_data.bd_body_mpart->bd_list); it;
         it = clist_next(it)) {
        if (holdsMeetingPart(static_cast<mailimap_body*>(clist_content(it))))
            return true;
    }
    return false;
}

MessageKind kindOf(const mailimap_body* body)
{
    if (body && body->bd_type == MAILIMAP_BODY_MPART && body->bd_data.bd_body_mpart &&
        body->bd_data.bd_body_mpart->bd_media_subtype &&
        strcasecmp(body->bd_data.bd_body_mpart->bd_media_subtype, "report") == 0)
        return MessageKind::Report;
    return holdsMeetingPart(body) ? MessageKind::Meeting : MessageKind::Mail;
}

void readEnvelope(const mailimap_envelope* env, MessageSummary& summary)
{
    if (!env)
        return;
    summary.subject = decodedText(env->env_subject);
    summary.sent = dateOf(env->env_date);
    if (env->env_from)
        appendAddresses(env->env_from->frm_list, summary.from);
    if (env->env_to)
        appendAddresses(env->env_to->to_list, summary.to);
    if (env->env_cc)
        appendAddresses(env->env_cc->cc_list, summary.cc);
    if (env->env_bcc)
        appendAddresses(env->env_bcc->bcc_list, summary.bcc);
}

QString flagText(const mailimap_flag* flag, bool* keyword)
{
    *keyword = false;
    switch (flag->fl_type) {
    case MAILIMAP_FLAG_ANSWERED:
        return QStringLiteral("\\Answered");
    case MAILIMAP_FLAG_FLAGGED:
        return QStringLiteral("\\Flagged");
    case MAILIMAP_FLAG_DELETED:
        return QStringLiteral("\\Deleted");
    case MAILIMAP_FLAG_SEEN:
        return QLatin1String(kSeenFlag);
    case MAILIMAP_FLAG_DRAFT:
        return QStringLiteral("\\Draft");
    case MAILIMAP_FLAG_KEYWORD:
        *keyword = true;
        return QString::fromUtf8(flag->fl_data.fl_keyword);
    case MAILIMAP_FLAG_EXTENSION:
        return QStringLiteral("\\") + QString::fromUtf8(flag->fl_data.fl_extension);
    }
    return {};
}

} // namespace

bool MessageSummary::noArchive() const
{
    for (const QString& keyword : keywords) {
        if (keyword.compare(QLatin1String(kNoArchiveKeyword), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

qint64 msecsOf(const mailimap_date_time* d)
{
    if (!d)
        return -1;
    const int zone = d->dt_zone < 0 ? -d->dt_zone : d->dt_zone;
    const int offset = (zone / 100 * 3600 + zone % 100 * 60) * (d->dt_zone < 0 ? -1 : 1);
    const QDateTime time(QDate(d->dt_year, d->dt_month, d->dt_day),
                         QTime(d->dt_hour, d->dt_min, d->dt_sec), QTimeZone(offset));
    return time.isValid() ? time.toMSecsSinceEpoch() : -1;
}

mailimap_date_time* dateTimeOf(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    const int zone = (minutes / 60 * 100 + minutes % 60) * (offset < 0 ? -1 : 1);
    return mailimap_date_time_new(local.date().day(), local.date().month(), local.date().year(),
                                  local.time().hour(), local.time().minute(), local.time().second(),
                                  zone);
}

void readFlags(const mailimap_msg_att* att, QStringList& flags, QStringList& keywords)
{
    for (clistiter* it = clist_begin(att->att_list); it; it = clist_next(it)) {
        const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(it));
        if (item->att_type != MAILIMAP_MSG_ATT_ITEM_DYNAMIC || !item->att_data.att_dyn ||
            !item->att_data.att_dyn->att_list)
            continue;
        for (clistiter* f = clist_begin(item->att_data.att_dyn->att_list); f; f = clist_next(f)) {
            const auto* fetched = static_cast<mailimap_flag_fetch*>(clist_content(f));
            if (fetched->fl_type != MAILIMAP_FLAG_FETCH_OTHER || !fetched->fl_flag)
                continue; // \Recent belongs to the session, not the message
            bool keyword = false;
            const QString text = flagText(fetched->fl_flag, &keyword);
            if (!text.isEmpty())
                (keyword ? keywords : flags).append(text);
        }
    }
}

MessageSummary summaryOf(const mailimap_msg_att* att)
{
    MessageSummary summary;
    bool hasEnvelope = false, hasStructure = false, hasDate = false, hasSize = false;
    for (clistiter* it = clist_begin(att->att_list); it; it = clist_next(it)) {
        const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(it));
        if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC || !item->att_data.att_static)
            continue;
        const mailimap_msg_att_static* s = item->att_data.att_static;
        switch (s->att_type) {
        case MAILIMAP_MSG_ATT_UID:
            summary.uid = s->att_data.att_uid;
            break;
        case MAILIMAP_MSG_ATT_INTERNALDATE:
            summary.received = msecsOf(s->att_data.att_internal_date);
            hasDate = true;
            break;
        case MAILIMAP_MSG_ATT_RFC822_SIZE:
            summary.size = s->att_data.att_rfc822_size;
            hasSize = true;
            break;
        case MAILIMAP_MSG_ATT_ENVELOPE:
            readEnvelope(s->att_data.att_env, summary);
            hasEnvelope = true;
            break;
        case MAILIMAP_MSG_ATT_BODYSTRUCTURE:
            summary.kind = kindOf(s->att_data.att_bodystructure);
            hasStructure = true;
            break;
        default:
            break;
        }
    }
    readFlags(att, summary.flags, summary.keywords);
    summary.complete = hasEnvelope && hasStructure && hasDate && hasSize;
    return summary;
}

} // namespace kestrel::platform::imap
