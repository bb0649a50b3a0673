#pragma once

#include "DemoLayout.h"
#include "DemoMessage.h"
#include "DemoRandom.h"
#include "MaildirStoreWriter.h"

namespace kestrel::demo {

// One generated message: its content and where and how it is stored.
struct PlannedMessage {
    int folder = 0; // index into demoFolders()
    DemoMessage message;
    StoredFlags flags;
    qint64 receivedUtc = 0;
    qint64 createdUtc = 0;
    int micros = 0;
};

// Decides message number `index` from the seed alone, so the first messages of
// a large run are the same as those of a small one.
class MessageFactory {
public:
    explicit MessageFactory(quint64 seed);

    PlannedMessage plan(int index) const;

    static const DemoPerson& user();
    static qint64 firstReceived(); // 2012-01-01
    static qint64 lastReceived();  // 2026-11-30

private:
    int pickFolder(DemoRandom& random) const;
    void fillPeople(PlannedMessage& planned, DemoRandom& random) const;
    void fillContent(PlannedMessage& planned, DemoRandom& random, bool bulk) const;
    void fillTimes(PlannedMessage& planned, DemoRandom& random) const;
    void fillFlags(PlannedMessage& planned, DemoRandom& random) const;

    quint64 m_seed;
    int m_totalWeight = 0;
};

} // namespace kestrel::demo
