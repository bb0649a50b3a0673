#include "MessageFactory.h"

#include <QDateTime>
#include <QTimeZone>

namespace kestrel::demo {

namespace {

const QList<QString> kFirstNames = {"Alice",
                                    "Bob",
                                    "Carla",
                                    "David",
                                    "Emma",
                                    "Frank",
                                    "Grace",
                                    "Henry",
                                    "Ines",
                                    "Jonas",
                                    "Karin",
                                    "Liam",
                                    "Maria",
                                    "Noah",
                                    "Olga",
                                    "Peter",
                                    "Quinn",
                                    "Rosa",
                                    "Sam",
                                    "Tara",
                                    QStringLiteral("Zoë"),
                                    QStringLiteral("José"),
                                    QStringLiteral("Łukasz"),
                                    QStringLiteral("Søren"),
                                    QStringLiteral("Françoise")};
const QList<QString> kLastNames = {"Adams",
                                   "Baker",
                                   "Chen",
                                   "Dubois",
                                   "Evans",
                                   "Fischer",
                                   "Garcia",
                                   "Hughes",
                                   "Ivanova",
                                   "Jensen",
                                   "Kowalski",
                                   "Lopez",
                                   "Martin",
                                   "Nakamura",
                                   "O'Brien",
                                   "Patel",
                                   "Rossi",
                                   QStringLiteral("Müller"),
                                   QStringLiteral("Lefèvre"),
                                   QStringLiteral("Ørsted")};
const QList<QString> kDomains = {"acme.example", "globex.example",   "initech.example",
                                 "example.org",  "umbrella.example", "mail.example.net"};
const QList<QString> kTopics = {"Budget",           "Contract",       "Schedule",
                                "Quarterly review", "Shipment",       "Travel plans",
                                "Release notes",    "Team lunch",     "Project status",
                                "Proposal",         "Security audit", "Hiring"};
const QList<QString> kNewsletters = {"Weekly Digest", "Product News", "Industry Briefing",
                                     "Community Update"};
const QList<int> kOffsets = {0, 60, 120, -300, -480, 330, 540, -180};
const QList<QString> kMonths = {"January",   "February", "March",    "April",
                                "May",       "June",     "July",     "August",
                                "September", "October",  "November", "December"};

qint64 utcEpoch(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
}

DemoPerson person(DemoRandom& random)
{
    const QString first = random.pick(kFirstNames);
    const QString last = random.pick(kLastNames);
    QString local = (first + '.' + last).toLower();
    local = local.normalized(QString::NormalizationForm_KD);
    QString ascii;
    for (QChar ch : local) {
        if (ch.isLetter() && ch.unicode() < 0x80)
            ascii += ch;
        else if (ch == '.')
            ascii += ch;
    }
    return {first + ' ' + last, ascii + '@' + random.pick(kDomains)};
}

QString subjectFor(FolderRole role, const QStringList& path, DemoRandom& random, qint64 when)
{
    const QDate date = QDateTime::fromSecsSinceEpoch(when, QTimeZone::utc()).date();
    const QString month = kMonths.at(date.month() - 1);
    if (role == FolderRole::Invoices)
        return QStringLiteral("Invoice %1-%2 from Acme")
            .arg(date.year())
            .arg(random.between(1, 9999), 4, 10, QChar('0'));
    if (role == FolderRole::Newsletter)
        return QStringLiteral("%1 – %2 %3").arg(random.pick(kNewsletters), month).arg(date.year());
    if (path.last().startsWith(QStringLiteral("Réunions")))
        return QStringLiteral("Réunion du %1 %2 à Zürich").arg(date.day()).arg(month);
    if (path.last().startsWith(QStringLiteral("Q1/Q2")))
        return QStringLiteral("Q%1/%2 report: figures").arg(random.between(1, 4)).arg(date.year());
    QString subject = QStringLiteral("%1 for %2").arg(random.pick(kTopics), month);
    if (random.chance(20))
        subject.prepend(QStringLiteral("Re: "));
    else if (random.chance(5))
        subject.prepend(QStringLiteral("Fwd: "));
    return subject;
}

} // namespace

MessageFactory::MessageFactory(quint64 seed) : m_seed(seed)
{
    for (const DemoFolder& folder : demoFolders())
        m_totalWeight += folder.weight;
}

const DemoPerson& MessageFactory::user()
{
    static const DemoPerson me{QStringLiteral("Demo User"),
                               QStringLiteral("demo.user@example.com")};
    return me;
}

qint64 MessageFactory::firstReceived()
{
    return utcEpoch(2012, 1, 1);
}

qint64 MessageFactory::lastReceived()
{
    return utcEpoch(2026, 11, 30);
}

int MessageFactory::pickFolder(DemoRandom& random) const
{
    std::int64_t ticket = random.below(m_totalWeight);
    const QList<DemoFolder>& folders = demoFolders();
    for (int i = 0; i < folders.size(); ++i) {
        ticket -= folders.at(i).weight;
        if (ticket < 0)
            return i;
    }
    return bulkFolderIndex();
}

void MessageFactory::fillPeople(PlannedMessage& planned, DemoRandom& random) const
{
    DemoMessage& m = planned.message;
    const FolderRole role = demoFolders().at(planned.folder).role;
    if (role == FolderRole::Sent) {
        m.from = user();
        for (int i = int(random.between(1, 3)); i > 0; --i)
            m.to.append(person(random));
    } else if (role == FolderRole::Newsletter) {
        m.from = {random.pick(kNewsletters), QStringLiteral("news@") + random.pick(kDomains)};
        m.to = {user()};
        return;
    } else {
        m.from = person(random);
        m.to = {user()};
        for (int i = int(random.below(3)); i > 0; --i)
            m.to.append(person(random));
    }
    if (random.chance(30)) {
        for (int i = int(random.between(1, 3)); i > 0; --i)
            m.cc.append(person(random));
    }
}

void MessageFactory::fillContent(PlannedMessage& planned, DemoRandom& random, bool bulk) const
{
    DemoMessage& m = planned.message;
    const DemoFolder& folder = demoFolders().at(planned.folder);
    m.subject = subjectFor(folder.role, folder.path, random, planned.receivedUtc);
    m.paragraphs = int(random.chance(3) ? random.between(20, 60) : random.between(1, bulk ? 4 : 8));
    const int attachPercent = bulk ? 1 : folder.role == FolderRole::Invoices ? 60 : 8;
    const int htmlPercent = folder.role == FolderRole::Newsletter ? 85 : bulk ? 10 : 15;
    if (random.chance(attachPercent)) {
        m.kind = DemoKind::Attachment;
        m.attachmentBytes = int(bulk               ? random.between(512, 16384)
                                : random.chance(3) ? random.between(150000, 400000)
                                                   : random.between(2048, 48000));
        m.attachmentName = folder.role == FolderRole::Invoices
                               ? m.subject.section(' ', 1, 1) + QStringLiteral(".pdf")
                               : QStringLiteral("document-%1.pdf").arg(random.between(1, 999));
    } else if (random.chance(htmlPercent)) {
        m.kind = DemoKind::Html;
    }
}

void MessageFactory::fillTimes(PlannedMessage& planned, DemoRandom& random) const
{
    const DemoFolder& folder = demoFolders().at(planned.folder);
    const qint64 first = firstReceived();
    const qint64 last = folder.archived ? utcEpoch(2020, 1, 1) : lastReceived();
    planned.receivedUtc = random.between(first, last);
    // Archived mail entered its store one to three years after it arrived.
    const qint64 delay =
        folder.archived ? random.between(365, 3 * 365) * 86400 : random.between(1, 120);
    planned.createdUtc = std::min(planned.receivedUtc + delay, lastReceived());
    planned.micros = int(random.below(1000000));
    DemoMessage& m = planned.message;
    m.utcOffsetMinutes = random.pick(kOffsets);
    m.sentUtc = planned.receivedUtc - random.between(5, 900);
}

void MessageFactory::fillFlags(PlannedMessage& planned, DemoRandom& random) const
{
    const DemoFolder& folder = demoFolders().at(planned.folder);
    StoredFlags& f = planned.flags;
    const bool recent = planned.receivedUtc > lastReceived() - 365 * 86400;
    f.seen = folder.role == FolderRole::Sent || random.chance(recent ? 55 : 88);
    f.flagged = random.chance(4);
    f.replied = folder.role != FolderRole::Sent && f.seen && random.chance(12);
    f.noArchive = random.chance(6);
    f.inNew = !f.seen && !f.flagged && !f.noArchive && folder.path == QStringList{"Inbox"} &&
              planned.receivedUtc > lastReceived() - 60 * 86400;
}

PlannedMessage MessageFactory::plan(int index) const
{
    DemoRandom random(m_seed * 0x2545f4914f6cdd1dULL + quint64(index) + 1);
    PlannedMessage planned;
    const bool bulk = index >= kDemoSpreadCount;
    planned.folder = bulk || index < 2 ? bulkFolderIndex() : pickFolder(random);
    fillTimes(planned, random);
    fillPeople(planned, random);
    fillContent(planned, random, bulk);
    fillFlags(planned, random);
    DemoMessage& m = planned.message;
    m.messageId = QStringLiteral("%1.%2@demo.kestrel.example").arg(index).arg(m_seed);
    m.bodySeed = random.next();
    if (index == 0) {
        m.kind = DemoKind::Report;
        m.from = {QStringLiteral("Mail Delivery System"),
                  QStringLiteral("MAILER-DAEMON@mx.example.com")};
        m.cc.clear();
        m.subject = QStringLiteral("Undelivered Mail Returned to Sender");
    } else if (index == 1) {
        m.kind = DemoKind::Meeting;
        m.subject = QStringLiteral("Invitation: Quarterly review");
    }
    return planned;
}

} // namespace kestrel::demo
