// Judging readings in the real window: a standard made in the editor behind the password,
// readings judged with their verdicts in the store, the list's tint and the sounds; a control
// chart over the history with a rule broken on purpose; a certificate read back as text.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>

#include "quality/ControlChartWindow.h"
#include "quality/StandardCheck.h"
#include "quality/StandardsEditor.h"
#include "quality/StandardsStore.h"
#include "settings/Preferences.h"
#include "store/LocalStore.h"
#include "store/MeasurementHistory.h"
#include "tests/app/AppFixture.h"

using quality::StandardsEditor;

namespace {
// A series of a chart by the name its legend shows.
QXYSeries* SeriesIn(QChartView* view, const char* name)
{
    for (QAbstractSeries* series : view->chart()->series())
        if (series->name() == QLatin1String(name)) return qobject_cast<QXYSeries*>(series);
    return nullptr;
}

void Read(AppFixture& f, double doi)
{
    static QDateTime when(QDate(2026, 12, 1), QTime(9, 0));
    when = when.addSecs(60);  // each reading a minute after the one before
    f.meter->SetNextReading(50, doi, 1, 2, QStringLiteral("Std A"), when);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
}

// Answers the dialog (by its object name) that a click opens while another dialog's answer runs:
// the modal helper's own poll does not run again until that answer returns.
QTimer* AnswerNested(const QString& objectName, std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w->objectName() != objectName) return;
        timer->stop();
        timer->deleteLater();
        answer(w);
    });
    timer->start(10);
    return timer;
}

QStringList StoredVerdicts()
{
    store::LocalStore local(store::LocalStore::DefaultPath());
    QSqlQuery q(local.Database());
    q.exec(QStringLiteral("SELECT standard, verdict FROM readings ORDER BY rowid"));
    QStringList out;
    while (q.next()) out << q.value(0).toString() + QLatin1Char('/') + q.value(1).toString();
    return out;
}
}  // namespace

class TestQuality : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        // Each test starts from an empty history.
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(store::LocalStore::DefaultPath() + QLatin1String(suffix));
    }
    void cleanup() { testing::VerifyAllAnswered(); }

    void standardFromTheEditorJudgesEveryReading()
    {
        AppFixture f;
        f.Store(QStringLiteral("Preferences"), QStringLiteral("Password"), ScramblePassword(QStringLiteral("Secret7")));
        f.Start(false);
        int passwordAsked = 0;
        testing::WhenModal(
            [&](QWidget* w) {
                auto* e = static_cast<StandardsEditor*>(w);
                QCOMPARE(e->lstStandards->count(), 0);  // reading the standards asks nothing
                testing::TypeInto(e, QStringLiteral("txtName"), QStringLiteral("Panel A"));
                auto& doi = e->rows[quality::DOI];
                doi.judged->setChecked(true);
                doi.target->setValue(85);
                doi.lower->setValue(90);  // limits in the wrong order are refused before any password
                doi.upper->setValue(80);
                doi.warn->setValue(10);
                bool refused = false;
                AnswerNested(QStringLiteral("dlgError"), [&](QWidget* d) {
                    refused = d->windowTitle() == QLatin1String("Standards");
                    testing::Click(d, QStringLiteral("OKButton"));
                });
                e->btnSave->click();
                QVERIFY(refused);
                QCOMPARE(e->lstStandards->count(), 0);
                doi.lower->setValue(80);
                doi.upper->setValue(90);
                AnswerNested(QStringLiteral("dlgPassword"), [&](QWidget* d) {
                    ++passwordAsked;
                    testing::TypeInto(d, QStringLiteral("edPassword"), QStringLiteral("Secret7"));
                    testing::Click(d, QStringLiteral("Ok"));
                });
                e->btnSave->click();
                QCOMPARE(e->lstStandards->count(), 1);
                e->btnCopy->click();  // a copy, saved without a second password
                e->btnSave->click();
                QCOMPARE(e->lstStandards->count(), 2);
                QCOMPARE(e->lstStandards->item(1)->text(), QStringLiteral("Panel A (copy)"));
                // Deleting the copy asks first, and then says nothing more.
                AnswerNested(QStringLiteral("dlgYesNo"), [](QWidget* d) { testing::Click(d, QStringLiteral("YesButton")); });
                QString told;
                const QPointer<QTimer> error = AnswerNested(QStringLiteral("dlgError"), [&](QWidget* d) {
                    told = d->findChild<QLabel*>(QStringLiteral("ErrMsg"))->text();
                    testing::Click(d, QStringLiteral("OKButton"));
                });
                e->btnDelete->click();
                delete error.data();
                QCOMPARE(told, QString());
                QCOMPARE(e->lstStandards->count(), 1);
                QCOMPARE(e->lstStandards->item(0)->text(), QStringLiteral("Panel A"));
                e->btnClose->click();
            },
            QStringLiteral("Standards"));
        f.Find(QStringLiteral("mnuDataStandards"))->trigger();
        QCOMPARE(passwordAsked, 1);

        f.Find(QStringLiteral("mnuDataCheckAgainstStandard"))->trigger();
        auto* check = f.app->findChild<quality::CheckWindow*>();
        QVERIFY(check && check->isVisible());
        Read(f, 85);  // no standard chosen yet: not judged
        check->cboStandard->setCurrentIndex(check->cboStandard->findText(QStringLiteral("Panel A")));
        emit check->cboStandard->activated(check->cboStandard->currentIndex());
        QCOMPARE(f.app->Settings().GetSetting(QStringLiteral("Quality"), QStringLiteral("Standard")),
                 QStringLiteral("Panel A"));

        const QStringList expected{"PASS", "WARN", "FAIL"};
        const double doiValues[] = {85, 89.5, 90.01};
        for (int i = 0; i < 3; ++i) {
            f.sounds.sounds.clear();
            Read(f, doiValues[i]);
            const QModelIndex newest = f.Rows()->index(0, 0);  // sorted newest first
            QCOMPARE(newest.data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("Verdict: ") + expected[i]);
            QVERIFY(newest.data(Qt::BackgroundRole).value<QColor>().isValid());
            QCOMPARE(check->lblOverall->text(), expected[i]);
            // A FAIL sounds the warning after the reading's own sound.
            QCOMPARE(f.sounds.sounds, (i == 2 ? QList<int>{0, 48} : QList<int>{0}));
        }
        QCOMPARE(check->tblVerdicts->item(quality::DOI, 3)->text(), QStringLiteral("FAIL"));
        QCOMPARE(check->tblVerdicts->item(quality::Specular, 3)->text(), QStringLiteral("not judged"));
        QCOMPARE(check->lblCounts->text(), QStringLiteral("Since the choice: 3 judged, 1 PASS, 1 WARN, 1 FAIL"));
        QVERIFY(!f.Rows()->index(3, 0).data(Qt::BackgroundRole).isValid());
        f.app.reset();
        QCOMPARE(StoredVerdicts(), (QStringList{"/", "Panel A/PASS", "Panel A/WARN", "Panel A/FAIL"}));
    }

    void controlChartAndCertificateOfTheHistory()
    {
        store::LocalStore local(store::LocalStore::DefaultPath());
        quality::Standard s;
        s.name = QStringLiteral("Panel B");
        s.tolerances[quality::DOI] = {true, 85, 80, 90, 0};
        QVERIFY(quality::StandardsStore(local.Database()).Save(s));
        AppFixture f;
        f.Store(QStringLiteral("Quality"), QStringLiteral("Standard"), QStringLiteral("Panel B"));
        f.Store(QStringLiteral("Certificate"), QStringLiteral("Lab"), QStringLiteral("Coatings Lab North"));
        f.Start();
        // Ten readings around 85, then one beyond three sigma and the upper limit: rule 1 is broken on purpose.
        for (int i = 0; i < 10; ++i) Read(f, i % 2 ? 85.5 : 84.5);
        Read(f, 91);

        f.Find(QStringLiteral("mnuDataControlChart"))->trigger();
        auto* chart = f.app->findChild<quality::ControlChartWindow*>();
        QVERIFY(chart && chart->isVisible());
        QCOMPARE(chart->cboStandard->currentText(), QStringLiteral("Panel B"));
        chart->cboParameter->setCurrentIndex(quality::DOI);
        QCOMPARE(SeriesIn(chart->chartIndividuals, "Value")->count(), 11);
        chart->spnFirstN->setValue(10);
        chart->btnFixBaseline->click();
        QCOMPARE(SeriesIn(chart->chartIndividuals, "Centre")->at(0).y(), 85.0);
        // The baseline's record says how it was chosen: here the first ten readings, no time span.
        auto kept = quality::StandardsStore(local.Database()).FindBaseline(s.id, quality::DOI);
        QVERIFY(kept && kept->firstN == 10 && kept->count == 10 && !kept->from.isValid());
        QCOMPARE(chart->lstBreaks->count(), 1);
        QVERIFY(chart->lstBreaks->item(0)->text().startsWith(QStringLiteral("Reading 11 (")));
        QVERIFY(chart->lstBreaks->item(0)->text().endsWith(QStringLiteral("rule 1")));
        QCOMPARE(SeriesIn(chart->chartIndividuals, "Rule broken")->count(), 1);
        QCOMPARE(SeriesIn(chart->chartIndividuals, "Rule broken")->at(0), QPointF(11, 91));  // on reading 11
        chart->chkRule[0]->setChecked(false);
        QCOMPARE(chart->lstBreaks->count(), 0);
        chart->spnFirstN->setValue(11);  // a fixed baseline stays as it was fixed
        QCOMPARE(SeriesIn(chart->chartIndividuals, "Centre")->at(0).y(), 85.0);

        const QString pdf = f.dir.filePath(QStringLiteral("certificate.pdf"));
        testing::WhenModal(
            [](QWidget* w) {
                auto* d = static_cast<QInputDialog*>(w);
                QCOMPARE(d->textValue(), QStringLiteral("Panel B"));
                d->accept();
            },
            QStringLiteral("Certificate"));
        testing::AnswerFileDialog(pdf, QStringLiteral("Certificate"));
        f.Find(QStringLiteral("mnuDataCertificate"))->trigger();
        QProcess text;
        text.start(QStringLiteral(PDFTOTEXT), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(10000));
        const QString got = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString& part :
             QStringList{"Coatings Lab North", "Standard: Panel B", "Summary of 11 readings", "HZ001234", "FAIL",
                         "Operator: " + store::MeasurementHistory::OperatorName()})
            QVERIFY2(got.contains(part), qPrintable(part + QStringLiteral(" not in:\n") + got));
        QCOMPARE(got.count(QStringLiteral("PASS")), 10);
        // Each listed reading's values stand in their own columns, in the list's order.
        QVERIFY2(QRegularExpression(QStringLiteral(R"(50[.,]00\s+91[.,]00\s+1[.,]00\s+2[.,]00\s+Std A\s+FAIL)"))
                     .match(got)
                     .hasMatch(),
                 qPrintable(got));
        QVERIFY(
            QRegularExpression(QStringLiteral("SHA-256 of the listed records: [0-9a-f]{64}")).match(got).hasMatch());

        // Opened again, the chart shows the readings taken since.
        Read(f, 85);
        f.Find(QStringLiteral("mnuDataControlChart"))->trigger();
        QCOMPARE(SeriesIn(chart->chartIndividuals, "Value")->count(), 12);
        // A baseline over a time span keeps the span.
        chart->optDateRange->setChecked(true);
        const QDateTime from(QDate(2026, 11, 1), QTime(0, 0)), to(QDate(2027, 1, 1), QTime(0, 0));
        chart->dtFrom->setDateTime(from);
        chart->dtTo->setDateTime(to);
        chart->btnFixBaseline->click();
        kept = quality::StandardsStore(local.Database()).FindBaseline(s.id, quality::DOI);
        QVERIFY(kept && kept->firstN == 0 && kept->count == 12);
        QCOMPARE(kept->from.toSecsSinceEpoch(), from.toSecsSinceEpoch());
        QCOMPARE(kept->to.toSecsSinceEpoch(), to.toSecsSinceEpoch());
    }
};

QTEST_MAIN(TestQuality)
#include "tst_quality.moc"
