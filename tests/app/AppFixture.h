#pragma once
// A real main window on a TestMeter, with its own settings file and a recording sound sink.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <memory>

#include "app/GlimoraApp.h"
#include "support/SettingsStore.h"
#include "support/Sounds.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/TestMeter.h"

struct AppFixture {
    QTemporaryDir dir;
    // The settings file the window's store reads at Start() (write values with Store() before).
    QString iniPath = dir.filePath(QStringLiteral("config/Glimora/Glimora.ini"));
    support::RecordingSoundSink sounds;
    TestMeter* meter = nullptr;
    std::unique_ptr<GlimoraApp> app;

    AppFixture()
    {
        support::SetSounds(&sounds);
        meter = new TestMeter;
    }
    ~AppFixture()
    {
        app.reset();
        testing::ClearModals();
        support::SetSounds(nullptr);
    }
    void Store(const QString& section, const QString& key, const QString& value)
    {
        support::SettingsStore store(iniPath);
        store.SaveSetting(section, key, value);
        QVERIFY(store.Sync());
    }
    // Creates and loads the window on a store of its own; answers the no-password warning when it comes.
    void Start(bool expectWarning = true)
    {
        app = std::make_unique<GlimoraApp>(meter, std::make_unique<support::SettingsStore>(iniPath));
        if (expectWarning)
            testing::WhenModal([](QWidget* w) { static_cast<QMessageBox*>(w)->accept(); }, QStringLiteral("Password Protection Warning"));
        app->Load();
        app->show();
        sounds.sounds.clear();
    }
    QAction* Button(const QString& key) const { return app->ToolbarButtons.value(key); }
    QString Ini() const
    {
        QFile f(iniPath);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
};
