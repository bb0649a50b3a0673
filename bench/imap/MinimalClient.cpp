#include "MinimalClient.h"

#include <QElapsedTimer>

#include <algorithm>
#include <libetpan/libetpan.h>
#include <vector>

namespace kestrel::bench {

namespace {

bool ok(int result)
{
    return result == MAILIMAP_NO_ERROR || result == MAILIMAP_NO_ERROR_AUTHENTICATED ||
           result == MAILIMAP_NO_ERROR_NON_AUTHENTICATED;
}

} // namespace

MinimalMove searchAndMove(int port, const QString& user, const QString& password,
                          const QString& from, const QString& to, const QDate& before)
{
    MinimalMove run;
    mailimap* imap = mailimap_new(0, nullptr);
    const auto failed = [&](const char* step) {
        run.error = QStringLiteral("%1 failed: %2")
                        .arg(QLatin1String(step),
                             QString::fromUtf8(imap->imap_response ? imap->imap_response : ""));
        mailimap_free(imap);
        return run;
    };
    if (!ok(mailimap_socket_connect(imap, "127.0.0.1", uint16_t(port))))
        return failed("connect");
    if (!ok(mailimap_login(imap, user.toUtf8().constData(), password.toUtf8().constData())))
        return failed("LOGIN");

    QElapsedTimer timer;
    timer.start();
    if (!ok(mailimap_select(imap, from.toUtf8().constData())))
        return failed("SELECT");
    mailimap_search_key* key = mailimap_search_key_new_before(
        mailimap_date_new(before.day(), before.month(), before.year()));
    clist* uids = nullptr;
    const int searched = mailimap_uid_search(imap, nullptr, key, &uids);
    mailimap_search_key_free(key);
    if (!ok(searched))
        return failed("UID SEARCH");
    std::vector<uint32_t> found;
    for (clistiter* it = clist_begin(uids); it; it = clist_next(it))
        found.push_back(*static_cast<uint32_t*>(clist_content(it)));
    mailimap_search_result_free(uids);
    std::sort(found.begin(), found.end());
    run.moved = int(found.size());
    // Runs of consecutive UIDs as ranges: "4,7,9:20".
    mailimap_set* set = mailimap_set_new_empty();
    for (size_t i = 0; i < found.size();) {
        size_t last = i;
        while (last + 1 < found.size() && found[last + 1] == found[last] + 1)
            ++last;
        mailimap_set_add_interval(set, found[i], found[last]);
        i = last + 1;
    }
    const int moved =
        run.moved ? mailimap_uid_move(imap, set, to.toUtf8().constData()) : MAILIMAP_NO_ERROR;
    mailimap_set_free(set);
    if (!ok(moved))
        return failed("UID MOVE");
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.ok = true;
    mailimap_logout(imap);
    mailimap_free(imap);
    return run;
}

} // namespace kestrel::bench
