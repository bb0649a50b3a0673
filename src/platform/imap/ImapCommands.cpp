#include "ImapCommands.h"

#include <algorithm>
#include <cstring>
#include <libetpan/libetpan.h>

namespace kestrel::platform::imap {

namespace {

// Consecutive UIDs as ranges: a set of thousands stays a short command.
mailimap_set* setOf(QList<uint32_t> uids)
{
    std::sort(uids.begin(), uids.end());
    mailimap_set* set = mailimap_set_new_empty();
    qsizetype i = 0;
    while (i < uids.size()) {
        qsizetype end = i;
        while (end + 1 < uids.size() && uids[end + 1] <= uids[end] + 1)
            ++end;
        mailimap_set_add_interval(set, uids[i], uids[end]);
        i = end + 1;
    }
    return set;
}

QList<uint32_t> uidsOf(const mailimap_set* set)
{
    QList<uint32_t> out;
    if (!set)
        return out;
    for (clistiter* it = clist_begin(set->set_list); it; it = clist_next(it)) {
        const auto* item = static_cast<mailimap_set_item*>(clist_content(it));
        for (uint64_t uid = item->set_first; uid <= item->set_last && uid != 0; ++uid)
            out.append(uint32_t(uid));
    }
    return out;
}

void readCopyResult(uint32_t validity, mailimap_set* source, mailimap_set* dest, CopyResult& result)
{
    const QList<uint32_t> from = uidsOf(source);
    const QList<uint32_t> to = uidsOf(dest);
    result.validity = validity;
    result.known = source && dest && from.size() == to.size();
    if (result.known) {
        for (qsizetype i = 0; i < from.size(); ++i)
            result.newUid.insert(from[i], to[i]);
    }
    if (source)
        mailimap_set_free(source);
    if (dest)
        mailimap_set_free(dest);
}

mailimap_flag_list* flagListOf(const RawMessage& message)
{
    mailimap_flag_list* list = mailimap_flag_list_new_empty();
    for (const QString& flag : message.flags) {
        const QString f = flag.toLower();
        mailimap_flag* made = f == QLatin1String("\\seen")       ? mailimap_flag_new_seen()
                              : f == QLatin1String("\\answered") ? mailimap_flag_new_answered()
                              : f == QLatin1String("\\flagged")  ? mailimap_flag_new_flagged()
                              : f == QLatin1String("\\draft")    ? mailimap_flag_new_draft()
                                                                 : nullptr;
        if (made)
            mailimap_flag_list_add(list, made);
    }
    for (const QString& keyword : message.keywords)
        mailimap_flag_list_add(list, mailimap_flag_new_flag_keyword(strdup(keyword.toUtf8())));
    return list;
}

} // namespace

int listMailboxes(mailimap* session, QList<MailboxInfo>& out)
{
    clist* list = nullptr;
    const int code = mailimap_list(session, "", "*", &list);
    if (code != MAILIMAP_NO_ERROR)
        return code;
    for (clistiter* it = clist_begin(list); it; it = clist_next(it)) {
        const auto* mb = static_cast<mailimap_mailbox_list*>(clist_content(it));
        MailboxInfo info;
        info.name = QByteArray(mb->mb_name);
        info.delimiter = mb->mb_delimiter;
        if (mb->mb_flag) {
            info.noSelect = mb->mb_flag->mbf_type == MAILIMAP_MBX_LIST_FLAGS_SFLAG &&
                            mb->mb_flag->mbf_sflag == MAILIMAP_MBX_LIST_SFLAG_NOSELECT;
            for (clistiter* f = clist_begin(mb->mb_flag->mbf_oflags); f; f = clist_next(f)) {
                const auto* flag = static_cast<mailimap_mbx_list_oflag*>(clist_content(f));
                if (flag->of_type != MAILIMAP_MBX_LIST_OFLAG_FLAG_EXT || !flag->of_flag_ext)
                    continue;
                if (strcasecmp(flag->of_flag_ext, "Trash") == 0)
                    info.trash = true;
                if (strcasecmp(flag->of_flag_ext, "NonExistent") == 0)
                    info.noSelect = true;
            }
        }
        out.append(info);
    }
    mailimap_list_result_free(list);
    return code;
}

int statusOf(mailimap* session, const QByteArray& mailbox, uint32_t* messages, uint32_t* validity)
{
    mailimap_status_att_list* atts = mailimap_status_att_list_new_empty();
    mailimap_status_att_list_add(atts, MAILIMAP_STATUS_ATT_MESSAGES);
    mailimap_status_att_list_add(atts, MAILIMAP_STATUS_ATT_UIDVALIDITY);
    mailimap_mailbox_data_status* status = nullptr;
    const int code = mailimap_status(session, mailbox.constData(), atts, &status);
    mailimap_status_att_list_free(atts);
    if (code != MAILIMAP_NO_ERROR)
        return code;
    for (clistiter* it = status && status->st_info_list ? clist_begin(status->st_info_list)
                                                        : nullptr;
         it; it = clist_next(it)) {
        const auto* info = static_cast<mailimap_status_info*>(clist_content(it));
        if (info->st_att == MAILIMAP_STATUS_ATT_MESSAGES && messages)
            *messages = info->st_value;
        if (info->st_att == MAILIMAP_STATUS_ATT_UIDVALIDITY && validity)
            *validity = info->st_value;
    }
    if (status)
        mailimap_mailbox_data_status_free(status);
    return code;
}

int createMailbox(mailimap* session, const QByteArray& mailbox)
{
    return mailimap_create(session, mailbox.constData());
}

int searchUids(mailimap* session, mailimap_search_key* key, QList<uint32_t>& out)
{
    if (!key)
        key = mailimap_search_key_new_all();
    clist* result = nullptr;
    const int code = mailimap_uid_search(session, nullptr, key, &result);
    mailimap_search_key_free(key);
    if (code != MAILIMAP_NO_ERROR)
        return code;
    for (clistiter* it = clist_begin(result); it; it = clist_next(it))
        out.append(*static_cast<uint32_t*>(clist_content(it)));
    mailimap_search_result_free(result);
    std::sort(out.begin(), out.end());
    return code;
}

int presentUids(mailimap* session, const QList<uint32_t>& uids, QList<uint32_t>& out)
{
    if (uids.isEmpty())
        return MAILIMAP_NO_ERROR;
    return searchUids(session, mailimap_search_key_new_uid(setOf(uids)), out);
}

namespace {

int fetch(mailimap* session, const QList<uint32_t>& uids, mailimap_fetch_type* type,
          const std::function<void(const mailimap_msg_att*)>& each)
{
    mailimap_set* set = setOf(uids);
    clist* result = nullptr;
    const int code = mailimap_uid_fetch(session, set, type, &result);
    mailimap_set_free(set);
    mailimap_fetch_type_free(type);
    if (code != MAILIMAP_NO_ERROR)
        return code;
    for (clistiter* it = clist_begin(result); it; it = clist_next(it))
        each(static_cast<mailimap_msg_att*>(clist_content(it)));
    mailimap_fetch_list_free(result);
    return code;
}

} // namespace

int fetchSummaries(mailimap* session, const QList<uint32_t>& uids, QList<MessageSummary>& out)
{
    if (uids.isEmpty())
        return MAILIMAP_NO_ERROR;
    mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_uid());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_flags());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_internaldate());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_rfc822_size());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_envelope());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_bodystructure());
    return fetch(session, uids, type, [&](const mailimap_msg_att* att) {
        MessageSummary summary = summaryOf(att);
        if (summary.uid != 0)
            out.append(std::move(summary));
    });
}

int fetchMessages(mailimap* session, const QList<uint32_t>& uids, QHash<uint32_t, RawMessage>& out)
{
    if (uids.isEmpty())
        return MAILIMAP_NO_ERROR;
    mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_uid());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_flags());
    mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_internaldate());
    mailimap_fetch_type_new_fetch_att_list_add(
        type, mailimap_fetch_att_new_body_peek_section(mailimap_section_new(nullptr)));
    return fetch(session, uids, type, [&](const mailimap_msg_att* att) {
        uint32_t uid = 0;
        RawMessage message;
        bool hasBody = false;
        for (clistiter* it = clist_begin(att->att_list); it; it = clist_next(it)) {
            const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(it));
            if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC)
                continue;
            const mailimap_msg_att_static* s = item->att_data.att_static;
            if (s->att_type == MAILIMAP_MSG_ATT_UID) {
                uid = s->att_data.att_uid;
            } else if (s->att_type == MAILIMAP_MSG_ATT_INTERNALDATE) {
                const qint64 msecs = msecsOf(s->att_data.att_internal_date);
                if (msecs >= 0)
                    message.received = QDateTime::fromMSecsSinceEpoch(msecs);
            } else if (s->att_type == MAILIMAP_MSG_ATT_BODY_SECTION &&
                       s->att_data.att_body_section) {
                const mailimap_msg_att_body_section* b = s->att_data.att_body_section;
                message.content =
                    QByteArray(b->sec_body_part ? b->sec_body_part : "", qsizetype(b->sec_length));
                hasBody = b->sec_body_part != nullptr;
            }
        }
        readFlags(att, message.flags, message.keywords);
        if (uid != 0 && hasBody)
            out.insert(uid, std::move(message));
    });
}

// libetpan sends the literal with CRLF line ends whatever the content has
// (a Maildir file's LF ones included) and counts its size so.
int appendMessage(mailimap* session, const QByteArray& mailbox, const RawMessage& message,
                  uint32_t* validity, uint32_t* uid)
{
    mailimap_flag_list* flags = flagListOf(message);
    mailimap_date_time* date = message.received.isValid() ? dateTimeOf(message.received) : nullptr;
    *validity = 0;
    *uid = 0;
    const int code = mailimap_uidplus_append(session, mailbox.constData(), flags, date,
                                             message.content.constData(),
                                             size_t(message.content.size()), validity, uid);
    mailimap_flag_list_free(flags);
    if (date)
        mailimap_date_time_free(date);
    return code;
}

int moveUids(mailimap* session, const QList<uint32_t>& uids, const QByteArray& mailbox,
             CopyResult& result)
{
    mailimap_set* set = setOf(uids);
    uint32_t validity = 0;
    mailimap_set* source = nullptr;
    mailimap_set* dest = nullptr;
    const int code =
        mailimap_uidplus_uid_move(session, set, mailbox.constData(), &validity, &source, &dest);
    mailimap_set_free(set);
    readCopyResult(validity, source, dest, result);
    return code;
}

int copyUids(mailimap* session, const QList<uint32_t>& uids, const QByteArray& mailbox,
             CopyResult& result)
{
    mailimap_set* set = setOf(uids);
    uint32_t validity = 0;
    mailimap_set* source = nullptr;
    mailimap_set* dest = nullptr;
    const int code =
        mailimap_uidplus_uid_copy(session, set, mailbox.constData(), &validity, &source, &dest);
    mailimap_set_free(set);
    readCopyResult(validity, source, dest, result);
    return code;
}

int storeDeleted(mailimap* session, const QList<uint32_t>& uids)
{
    mailimap_set* set = setOf(uids);
    mailimap_flag_list* flags = mailimap_flag_list_new_empty();
    mailimap_flag_list_add(flags, mailimap_flag_new_deleted());
    mailimap_store_att_flags* att = mailimap_store_att_flags_new_add_flags_silent(flags);
    const int code = mailimap_uid_store(session, set, att);
    mailimap_store_att_flags_free(att);
    mailimap_set_free(set);
    return code;
}

int expungeUids(mailimap* session, const QList<uint32_t>& uids)
{
    mailimap_set* set = setOf(uids);
    const int code = mailimap_uid_expunge(session, set);
    mailimap_set_free(set);
    return code;
}

} // namespace kestrel::platform::imap
