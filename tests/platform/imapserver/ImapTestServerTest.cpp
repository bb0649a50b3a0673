#include "ImapTestServer.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <libetpan/libetpan.h>

namespace kestrel::test {
namespace {

// A bare libetpan session, independent of the backend under test.
class PlainClient {
public:
    PlainClient() : m_imap(mailimap_new(0, nullptr)) {}
    ~PlainClient()
    {
        mailimap_logout(m_imap);
        mailimap_free(m_imap);
    }
    bool connect(const ImapTestServer& server, bool tls)
    {
        const QByteArray host = server.host().toUtf8();
        const int result = tls ? mailimap_ssl_connect(m_imap, host, uint16_t(server.tlsPort()))
                               : mailimap_socket_connect(m_imap, host, uint16_t(server.port()));
        return ok(result) &&
               ok(mailimap_login(m_imap, server.user().toUtf8(), server.password().toUtf8()));
    }
    QString peerFingerprint()
    {
        unsigned char* der = nullptr;
        const ssize_t size = mailstream_ssl_get_certificate(m_imap->imap_stream, &der);
        const QByteArray hash = QCryptographicHash::hash(
            QByteArray(reinterpret_cast<const char*>(der), int(size > 0 ? size : 0)),
            QCryptographicHash::Sha256);
        free(der);
        return QString::fromLatin1(hash.toHex());
    }
    QStringList mailboxes()
    {
        clist* list = nullptr;
        QStringList names;
        if (!ok(mailimap_list(m_imap, "", "*", &list)))
            return names;
        for (clistiter* it = clist_begin(list); it; it = clist_next(it))
            names.append(
                QString::fromUtf8(static_cast<mailimap_mailbox_list*>(clist_content(it))->mb_name));
        mailimap_list_result_free(list);
        names.sort();
        return names;
    }
    bool hasCapability(const char* name)
    {
        mailimap_capability_data* data = nullptr;
        if (ok(mailimap_capability(m_imap, &data)))
            mailimap_capability_data_free(data);
        return mailimap_has_extension(m_imap, name) != 0;
    }
    // EXISTS and UIDVALIDITY of the mailbox.
    std::pair<uint32_t, uint32_t> select(const char* mailbox)
    {
        if (!ok(mailimap_select(m_imap, mailbox)))
            return {0, 0};
        const mailimap_selection_info* info = m_imap->imap_selection_info;
        return {info->sel_exists, info->sel_uidvalidity};
    }

private:
    static bool ok(int result)
    {
        return result == MAILIMAP_NO_ERROR_NON_AUTHENTICATED ||
               result == MAILIMAP_NO_ERROR_AUTHENTICATED || result == MAILIMAP_NO_ERROR;
    }
    mailimap* m_imap;
};

TEST(ImapTestServer, ServesDeliveredMailAcrossRestartsAndUidValidityChanges)
{
    if (ImapTestServer::executable().isEmpty())
        GTEST_SKIP() << "dovecot is not installed";
    ImapTestServer server;
    ASSERT_TRUE(server.start({.withoutCapabilities = {"MOVE"}}))
        << server.lastError().toStdString();
    const QDateTime received(QDate(2020, 3, 1), QTime(10, 0));
    ASSERT_TRUE(server.deliver("Archive", {{.date = received},
                                           {.date = received, .flags = ""},
                                           {.date = received, .keywords = {"$NoArchive"}}}))
        << server.lastError().toStdString();

    {
        PlainClient client;
        ASSERT_TRUE(client.connect(server, true)) << server.log().toStdString();
        EXPECT_EQ(client.peerFingerprint(), server.certificateFingerprint());
        EXPECT_EQ(client.mailboxes(), QStringList({"Archive", "INBOX", "Trash"}));
        EXPECT_FALSE(client.hasCapability("MOVE"));
        EXPECT_TRUE(client.hasCapability("UIDPLUS"));
        EXPECT_EQ(client.select("Archive").first, 3u);
    }

    const std::optional<quint32> validity = server.uidValidity("Archive");
    ASSERT_TRUE(validity) << server.lastError().toStdString();
    ASSERT_TRUE(server.setUidValidity("Archive", *validity + 7))
        << server.lastError().toStdString();
    const int port = server.port();
    ASSERT_TRUE(server.restart(ImapServerOptions{})) << server.lastError().toStdString();
    EXPECT_EQ(server.port(), port);

    PlainClient client;
    ASSERT_TRUE(client.connect(server, false)) << server.log().toStdString();
    EXPECT_TRUE(client.hasCapability("MOVE"));
    EXPECT_EQ(client.select("Archive"), std::make_pair(3u, *validity + 7));
    const auto rows = server.fetch("flags", "Archive");
    ASSERT_TRUE(rows) << server.lastError().toStdString();
    QStringList flags;
    for (const DoveadmRow& row : *rows)
        flags.append(row.value("flags"));
    flags.sort();
    EXPECT_EQ(flags, QStringList({"", "\\Seen", "\\Seen $NoArchive"}));
}

} // namespace
} // namespace kestrel::test
