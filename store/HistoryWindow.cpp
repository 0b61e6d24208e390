#include "store/HistoryWindow.h"

#include <QAbstractTableModel>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>
#include <atomic>

#include "dialogs/FileChooser.h"
#include "store/LabConnection.h"
#include "store/LocalStore.h"
#include "store/MeasurementHistory.h"

namespace store {

// The window's queries, on the window's thread for them, through a connection of their own.
class HistorySource : public QObject {
public:
    ~HistorySource() override { Close(); }

    // Opens the local store (connection empty) or the lab database; false and *problem when not.
    bool Open(const QString& localPath, const QString& connection, QString* problem, std::function<void()> announced)
    {
        Close();
        static std::atomic<int> counter{0};
        const QString name = QStringLiteral("store-history-%1").arg(++counter);
        m_name = connection.isEmpty() ? LocalStore::OpenConnection(localPath, name, 2000, problem)
                                      : OpenLabConnection(connection, name, problem);
        if (m_name.isEmpty() || connection.isEmpty()) return !m_name.isEmpty();
        // The lab database announces new readings; a stations's commit shows here at once.
        QSqlDriver* driver = QSqlDatabase::database(m_name, false).driver();
        driver->subscribeToNotification(QStringLiteral("glimora_readings"));
        QObject::connect(driver, &QSqlDriver::notification, this, [announced] { announced(); });
        return true;
    }
    void Close()
    {
        if (m_name.isEmpty()) return;
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
    }
    QSqlDatabase Db() const { return QSqlDatabase::database(m_name, false); }
    bool IsOpen() const { return !m_name.isEmpty(); }

private:
    QString m_name;
};

class HistoryTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    std::vector<ReadingRecord> rows;

    void Set(std::vector<ReadingRecord> r)
    {
        beginResetModel();
        rows = std::move(r);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(Headers().size());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (role != Qt::DisplayRole || o != Qt::Horizontal) return {};
        return Headers().value(section);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)) return {};
        const ReadingRecord& r = rows[std::size_t(index.row())];
        const bool number = index.column() >= 5 && index.column() <= 8;
        if (role == Qt::TextAlignmentRole) return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        const double values[] = {r.specular, r.doi, r.haze2, r.haze15};
        switch (index.column()) {
        case 0: return r.takenAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case 1: return r.station;
        case 2: return r.operatorName;
        case 3: return r.serialNumber;
        case 4: return r.calStandard;
        case 5:
        case 6:
        case 7:
        case 8: return QString::number(values[index.column() - 5], 'f', r.digits);
        case 9: {
            QStringList texts;
            for (const QString& t : r.commentTexts)
                if (!t.isEmpty()) texts << t;
            return texts.join(QStringLiteral(" | "));
        }
        case 10: return r.dataFile;
        default: return {};
        }
    }
    static QStringList Headers()
    {
        return {QStringLiteral("Time"),          QStringLiteral("Station"),      QStringLiteral("Operator"),
                QStringLiteral("Serial Number"), QStringLiteral("Cal Standard"), QStringLiteral("Specular"),
                QStringLiteral("DOI"),           QStringLiteral("2 Deg"),        QStringLiteral("15 Deg"),
                QStringLiteral("Comments"),      QStringLiteral("Data File")};
    }
};

namespace {

template <typename W>
W* Named(W* w, const char* name, const QString& accessible)
{
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}

QDateEdit* DateFilter(QWidget* parent, const char* name, const QString& accessible)
{
    auto* edit = Named(new QDateEdit(parent), name, accessible);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    // The earliest date stands for "no limit".
    edit->setMinimumDate(QDate(2000, 1, 1));
    edit->setSpecialValueText(QStringLiteral("Any"));
    edit->setDate(edit->minimumDate());
    return edit;
}

}  // namespace

HistoryWindow::HistoryWindow(MeasurementHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("Measurement History"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_source = Named(new QComboBox(this), "HistorySource", QStringLiteral("Source"));
    m_source->addItem(QStringLiteral("This Station"));
    if (!m_history.Server().isEmpty()) m_source->addItem(QStringLiteral("Lab Database"));
    m_from = DateFilter(this, "HistoryFrom", QStringLiteral("From date"));
    m_to = DateFilter(this, "HistoryTo", QStringLiteral("To date"));
    m_station = Named(new QLineEdit(this), "HistoryStation", QStringLiteral("Station"));
    m_serial = Named(new QLineEdit(this), "HistorySerial", QStringLiteral("Instrument serial number"));
    m_calStandard = Named(new QLineEdit(this), "HistoryCalStandard", QStringLiteral("Cal standard"));
    m_comment = Named(new QLineEdit(this), "HistoryComment", QStringLiteral("Text in the comments"));
    for (QLineEdit* e : {m_station, m_serial, m_calStandard, m_comment}) e->setClearButtonEnabled(true);

    auto* filters = new QFormLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Source:"), this));
    top->addWidget(m_source);
    top->addSpacing(12);
    for (auto [label, edit] : {std::pair<const char*, QWidget*>{"From:", m_from}, {"To:", m_to}}) {
        auto* l = new QLabel(QLatin1String(label), this);
        l->setBuddy(edit);
        top->addWidget(l);
        top->addWidget(edit);
    }
    top->addStretch(1);
    filters->addRow(top);
    auto* second = new QHBoxLayout;
    for (auto [label, edit] : {std::pair<const char*, QWidget*>{"Station:", m_station},
                               {"Serial:", m_serial},
                               {"Cal Standard:", m_calStandard},
                               {"Comment Text:", m_comment}}) {
        auto* l = new QLabel(QLatin1String(label), this);
        l->setBuddy(edit);
        second->addWidget(l);
        second->addWidget(edit, 1);
    }
    filters->addRow(second);

    m_model = new HistoryTableModel(this);
    m_table = Named(new QTableView(this), "HistoryTable", QStringLiteral("Readings"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setAlternatingRowColors(true);

    m_trendValue = Named(new QComboBox(this), "HistoryTrendValue", QStringLiteral("Trend value"));
    m_trendValue->addItems(
        {QStringLiteral("Specular"), QStringLiteral("DOI"), QStringLiteral("2 Deg"), QStringLiteral("15 Deg")});
    m_chart = Named(new QChartView(new QChart, this), "HistoryTrend", QStringLiteral("Trend"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->chart()->legend()->hide();
    m_chart->setMinimumHeight(180);

    m_newer =
        Named(new QPushButton(QStringLiteral("< &Newer"), this), "HistoryNewer", QStringLiteral("Newer readings"));
    m_older =
        Named(new QPushButton(QStringLiteral("&Older >"), this), "HistoryOlder", QStringLiteral("Older readings"));
    m_export = Named(new QPushButton(QStringLiteral("&Export..."), this), "HistoryExport", QStringLiteral("Export"));
    m_waiting = Named(new QLabel(this), "HistoryWaiting", QStringLiteral("Waiting for the lab database"));
    m_status = Named(new QLabel(this), "HistoryStatus", QStringLiteral("Status"));
    m_status->setWordWrap(true);

    auto* trendRow = new QHBoxLayout;
    auto* trendLabel = new QLabel(QStringLiteral("&Trend of:"), this);
    trendLabel->setBuddy(m_trendValue);
    trendRow->addWidget(trendLabel);
    trendRow->addWidget(m_trendValue);
    trendRow->addStretch(1);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_table);
    auto* trendBox = new QWidget(split);
    auto* trendColumn = new QVBoxLayout(trendBox);
    trendColumn->setContentsMargins(0, 0, 0, 0);
    trendColumn->addLayout(trendRow);
    trendColumn->addWidget(m_chart, 1);
    split->addWidget(trendBox);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_newer);
    buttons->addWidget(m_older);
    buttons->addSpacing(12);
    buttons->addWidget(m_waiting);
    buttons->addStretch(1);
    buttons->addWidget(m_export);
    auto* column = new QVBoxLayout(this);
    column->addLayout(filters);
    column->addWidget(split, 1);
    column->addLayout(buttons);
    column->addWidget(m_status);
    resize(980, 640);

    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("store-history"));
    m_worker = new HistorySource;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();

    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(250);
    connect(m_debounce, &QTimer::timeout, this, [this] {
        m_pages.assign(1, PageCursor{});
        Refresh();
    });
    for (QLineEdit* e : {m_station, m_serial, m_calStandard, m_comment})
        connect(e, &QLineEdit::textChanged, m_debounce, qOverload<>(&QTimer::start));
    for (QDateEdit* e : {m_from, m_to}) connect(e, &QDateEdit::dateChanged, m_debounce, qOverload<>(&QTimer::start));
    connect(m_source, &QComboBox::currentIndexChanged, this, &HistoryWindow::SourceChanged);
    connect(m_trendValue, &QComboBox::currentIndexChanged, this, &HistoryWindow::ShowTrend);
    connect(m_newer, &QPushButton::clicked, this, &HistoryWindow::NewerPage);
    connect(m_older, &QPushButton::clicked, this, &HistoryWindow::OlderPage);
    connect(m_export, &QPushButton::clicked, this, &HistoryWindow::ExportCommand);
    connect(&m_history.Local(), &LocalStore::Recorded, this, [this] {
        ShowWaiting();
        if (m_source->currentIndex() == 0) Announced();
    });
    connect(&m_history, &MeasurementHistory::ServerStateChanged, this, &HistoryWindow::ShowWaiting);
    ShowWaiting();
    SourceChanged();
}

HistoryWindow::~HistoryWindow()
{
    m_thread->quit();
    m_thread->wait();
}

HistoryFilter HistoryWindow::Filter() const
{
    HistoryFilter f;
    if (m_from->date() != m_from->minimumDate()) f.from = m_from->date();
    if (m_to->date() != m_to->minimumDate()) f.to = m_to->date();
    f.station = m_station->text().trimmed();
    f.serialNumber = m_serial->text().trimmed();
    f.calStandard = m_calStandard->text().trimmed();
    f.commentText = m_comment->text().trimmed();
    return f;
}

void HistoryWindow::SourceChanged()
{
    const QString path = m_history.Local().Path();
    const QString server = m_source->currentIndex() == 1 ? m_history.Server() : QString();
    QPointer<HistoryWindow> self(this);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, path, server, self] {
        QString problem;
        auto announced = [self] {
            if (self)
                QMetaObject::invokeMethod(self, [self] {
                    if (self) self->Announced();
                });
        };
        if (!worker->Open(path, server, &problem, announced) && self)
            QMetaObject::invokeMethod(self, [self, problem] {
                if (self) self->m_status->setText(problem);
            });
    });
    m_pages.assign(1, PageCursor{});
    Refresh();
}

void HistoryWindow::Announced()
{
    // A new reading belongs on the first page only; other pages stay as they are.
    if (m_pages.size() == 1) Refresh();
}

void HistoryWindow::Refresh()
{
    const int request = ++m_request;
    const HistoryFilter filter = Filter();
    const PageCursor start = m_pages.back();
    const bool trend = m_pages.size() == 1;
    QPointer<HistoryWindow> self(this);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, self, request, filter, start, trend] {
        std::vector<ReadingRecord> rows, trendRows;
        QString problem;
        if (!worker->IsOpen()) problem = QStringLiteral("The history cannot be read.");
        else if (ReadPage(worker->Db(), filter, start, PageSize, rows, &problem) && trend)
            ReadPage(worker->Db(), filter, PageCursor{}, TrendPoints, trendRows, &problem);
        QMetaObject::invokeMethod(
            self, [self, request, rows = std::move(rows), trendRows = std::move(trendRows), problem]() mutable {
                if (self) self->ShowPage(request, std::move(rows), std::move(trendRows), problem);
            });
    });
}

void HistoryWindow::ShowPage(int request, std::vector<ReadingRecord> rows, std::vector<ReadingRecord> trend,
                             const QString& problem)
{
    if (request != m_request) return;  // a later request is on its way
    m_status->setText(problem);
    const bool full = int(rows.size()) == PageSize;
    m_model->Set(std::move(rows));
    m_table->resizeColumnsToContents();
    m_newer->setEnabled(m_pages.size() > 1);
    m_older->setEnabled(full);
    if (m_pages.size() == 1) {
        m_trend = std::move(trend);
        ShowTrend();
    }
    emit PageShown();
}

void HistoryWindow::ShowTrend()
{
    QChart* chart = m_chart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* series = new QLineSeries(chart);
    series->setPointsVisible(m_trend.size() < 60);
    const int which = m_trendValue->currentIndex();
    double low = 0, high = 0;
    for (auto it = m_trend.rbegin(); it != m_trend.rend(); ++it) {
        const double values[] = {it->specular, it->doi, it->haze2, it->haze15};
        const double v = values[which];
        if (series->count() == 0) low = high = v;
        low = std::min(low, v);
        high = std::max(high, v);
        series->append(double(it->takenAt.toMSecsSinceEpoch()), v);
    }
    chart->addSeries(series);
    chart->setTitle(
        m_trend.empty()
            ? QStringLiteral("No readings")
            : QStringLiteral("%1 of the last %2 readings").arg(m_trendValue->currentText()).arg(m_trend.size()));
    auto* x = new QDateTimeAxis(chart);
    x->setFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    x->setTickCount(5);
    if (!m_trend.empty())
        x->setRange(m_trend.back().takenAt.toLocalTime(),
                    m_trend.front().takenAt.toLocalTime().addSecs(m_trend.size() == 1 ? 60 : 0));
    auto* y = new QValueAxis(chart);
    const double margin = std::max((high - low) * 0.1, 0.5);
    y->setRange(low - margin, high + margin);
    y->setTitleText(m_trendValue->currentText());
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    m_chart->setAccessibleDescription(chart->title());
}

void HistoryWindow::NewerPage()
{
    if (m_pages.size() > 1) m_pages.pop_back();
    Refresh();
}

void HistoryWindow::OlderPage()
{
    if (m_model->rows.empty()) return;
    m_pages.push_back(CursorAfter(m_model->rows.back()));
    Refresh();
}

void HistoryWindow::ExportCommand()
{
    FileChooser dialog(this);
    dialog.setWindowTitle(QStringLiteral("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    ListEveryFileForStarDotStar(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    const HistoryFilter filter = Filter();
    m_status->setText(QStringLiteral("Exporting to %1...").arg(path));
    m_export->setEnabled(false);
    QPointer<HistoryWindow> self(this);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, self, filter, path] {
        QString problem;
        qint64 rows = -1;
        QSaveFile file(path);
        if (!worker->IsOpen()) problem = QStringLiteral("the history cannot be read");
        else if (!file.open(QIODevice::WriteOnly)) problem = file.errorString();
        else if ((rows = ExportReadings(worker->Db(), filter, ExportFormat::Csv, file, &problem)) >= 0
                 && !file.commit())
            problem = file.errorString();
        const QString text = problem.isEmpty() ? QStringLiteral("Exported %1 readings to %2.").arg(rows).arg(path)
                                               : QStringLiteral("The export to %1 failed: %2").arg(path, problem);
        QMetaObject::invokeMethod(self, [self, text] {
            if (!self) return;
            self->m_status->setText(text);
            self->m_export->setEnabled(true);
        });
    });
}

void HistoryWindow::ShowWaiting()
{
    if (m_history.Server().isEmpty()) {
        m_waiting->setText(QStringLiteral("No lab database is set."));
    } else {
        const int unsent = m_history.Unsent();
        QString text = QStringLiteral("Waiting for the lab database: %1")
                           .arg(unsent < 0 ? QStringLiteral("?") : QString::number(unsent));
        // The first line of the forwarder's problem here, all of it in the tool tip.
        const QString problem = m_history.ServerProblem();
        if (!problem.isEmpty()) text += QStringLiteral(" - ") + problem.section(QLatin1Char('\n'), 0, 0).trimmed();
        m_waiting->setText(text);
        m_waiting->setToolTip(problem);
    }
    m_waiting->setAccessibleDescription(m_waiting->text());
}

}  // namespace store
