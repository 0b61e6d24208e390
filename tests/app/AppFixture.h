#pragma once
// A real main window on a TestMeter, with its own settings store and a recording sound sink.
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
    std::unique_ptr<support::SettingsStore> store;
    RecordingSoundSink sounds;
    TestMeter* meter = nullptr;
    std::unique_ptr<GlimoraApp> app;

    // Prepares the store (write values with Store() before Start()).
    AppFixture()
    {
        store = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("config/Glimora/Glimora.ini")));
        support::SettingsStore::SetInstance(store.get());
        support::SetSounds(&sounds);
        meter = new TestMeter;
    }
    ~AppFixture()
    {
        app.reset();
        testing::ClearModals();
        support::SetSounds(nullptr);
        support::SettingsStore::SetInstance(nullptr);
    }
    void Store(const QString& section, const QString& key, const QString& value)
    {
        store->SaveSetting(section, key, value);
        store->Sync();
    }
    // Creates and loads the window; answers the no-password warning when it comes.
    void Start(bool expectWarning = true)
    {
        app = std::make_unique<GlimoraApp>(meter);
        if (expectWarning)
            testing::WhenModal([](QWidget* w) { static_cast<QMessageBox*>(w)->accept(); }, QStringLiteral("Password Protection Warning"));
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
        QFile f(store->FilePath());
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
};
