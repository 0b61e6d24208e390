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
#include "readings/ReadingsModel.h"
#include "readings/ReadingsView.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/TestMeter.h"

struct AppFixture {
    QTemporaryDir dir;
    // The settings file the window's store reads at Start() (write values with Store() before).
    QString iniPath = dir.filePath(QStringLiteral("config/Glimora/Glimora.ini"));
    RecordingSoundSink sounds;
    TestMeter* meter = nullptr;
    std::unique_ptr<GlimoraApp> app;

    AppFixture()
    {
        testing::ClearModals();
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
            testing::WhenModal([](QWidget* w) { static_cast<QMessageBox*>(w)->accept(); },
                               QStringLiteral("Password Protection Warning"));
        app->Load();
        app->show();
        sounds.sounds.clear();
    }
    // Controls by their object names, as an operator's tool finds them.
    template <typename T = QAction>
    T* Find(const QString& name) const
    {
        T* found = app->findChild<T*>(name);
        if (!found) qFatal("no control %s", qPrintable(name));
        return found;
    }
    QAction* Button(const QString& key) const { return Find(QStringLiteral("Toolbar1_") + key); }
    QString Panel(int n) const { return Find<QLabel>(QStringLiteral("SBPanel%1").arg(n))->text(); }
    QString Label(const char* name) const { return Find<QLabel>(QLatin1String(name))->text(); }
    ReadingsView* List() const { return Find<ReadingsView>(QStringLiteral("LV1")); }
    ReadingsModel* Rows() const { return qobject_cast<ReadingsModel*>(List()->model()); }
    QString Ini() const
    {
        QFile f(iniPath);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
};
