#pragma once

// One window's worth of engine for a test: stores, a recording view, fixed
// settings, a silent sound player and the runner.

#include "EngineStores.h"
#include "RecordingView.h"
#include "engine/SettingsReader.h"
#include "engine/SoundPlayer.h"
#include "engine/TaskRunner.h"
#include "engine/TaskSettings.h"

#include <QHash>

namespace kestrel::test {

class FixedSettings : public engine::SettingsReader {
public:
    QString readSetting(const QString& section, const QString& key,
                        const QString& defaultValue) const override
    {
        return values.value(section + '/' + key, defaultValue);
    }
    QHash<QString, QString> values;
};

class SilentSound : public engine::SoundPlayer {
public:
    void playAsync(const QString& wavePath) override { played << wavePath; }
    QStringList played;
};

class EngineHarness {
public:
    explicit EngineHarness(const QStringList& storeNames);

    // Settings for a run from store 0 into store `archive`, or into the disk
    // folder `disk` when it is not empty; the range is the year 2020.
    engine::TaskSettings settings(int action, bool preview, int archive = 1,
                                  const QString& disk = {});
    // Runs over the given short paths ("Inbox\Clients" of store 0), all ticked.
    void run(engine::TaskSettings settings, const QStringList& folders, int priority = 0);
    static QString folderPath(const QString& store, const QString& path);

    EngineStores stores;
    RecordingView view;
    FixedSettings settingsReader;
    SilentSound sound;
    engine::TaskRunner runner;
};

} // namespace kestrel::test
