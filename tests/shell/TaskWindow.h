#pragma once

// The real main window on stores built for the test (TempMaildir), with the
// helpers the run tests share: ticking folders and a probe that runs inside
// every yield of a run.

#include "ShellFixture.h"
#include "support/TempMaildir.h"

#include <QTimer>

#include <functional>

class QTreeWidgetItem;

namespace kestrel::test {

class TaskWindow : public ShellFixture {
protected:
    void SetUp() override;

    // "Personal Folders" (the default) and "Archive", profile written.
    void writeStores();
    // n read messages in folder of "Personal Folders", received on 10 June 2020.
    void addMessages(const QString& folder, int n, const QString& subject = QStringLiteral("M"));
    // The tree node whose name (without its count) is name.
    QTreeWidgetItem* node(shell::frmMain& window, const QString& name);
    // Ticks or unticks exactly that node, as the selection code would.
    void tick(shell::frmMain& window, const QString& name, bool flag = true);

    std::unique_ptr<TempMaildir> maildir;
    // Each confirmation shown: "action | source | destination".
    QStringList confirmations;
    // Answer the next confirmations with Cancel instead of Confirm.
    bool cancelConfirmation = false;
};

// Runs a function each time the window lets its event queue run, from
// start() until it is destroyed.
class YieldProbe {
public:
    explicit YieldProbe(std::function<void()> onYield);
    int calls() const { return m_calls; }

private:
    QTimer m_timer;
    std::function<void()> m_onYield;
    int m_calls = 0;
};

} // namespace kestrel::test
