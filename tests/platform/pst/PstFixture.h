#pragma once

// A profile whose first store is an Outlook data file and whose second is an
// empty Maildir store "Archive", opened through the platform and the engine
// harness as the program opens its profile.

#include "PffExport.h"
#include "support/EngineHarness.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace kestrel::test {

inline QString pstStoreName()
{
    return QStringLiteral("Outlook");
}

struct PstHarness {
    explicit PstHarness(const QString& pstFile) : h({pstStoreName(), QStringLiteral("Archive")})
    {
        {
            QSettings profile(h.stores.profilePath(), QSettings::IniFormat);
            profile.setValue(QStringLiteral("Store1/Type"), QStringLiteral("pst"));
            profile.setValue(QStringLiteral("Store1/Path"), pstFile);
        }
        opened = h.stores.open();
    }

    // Every folder of the data file below its top, as the short paths a run ticks.
    std::unique_ptr<platform::Folder> folder(const QString& path)
    {
        std::unique_ptr<platform::Folder> current = h.stores.root(0);
        for (const QString& name : path.split('\\', Qt::SkipEmptyParts)) {
            if (!current)
                break;
            current = current->folders()->item(name);
        }
        return current;
    }

    EngineHarness h;
    bool opened = false;
};

// Skips the test when the npm test data or pffexport is missing.
#define KESTREL_REQUIRE_PST(var, name)                                                             \
    const QString var = pstTestFile(QStringLiteral(name));                                         \
    if (var.isEmpty())                                                                             \
    GTEST_SKIP() << "pst-extractor's test data is not installed (scripts/setup)"

} // namespace kestrel::test
