#include "quality/StandardCheck.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "quality/StandardsLibrary.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"

namespace quality {

namespace {
const QString kSection = QStringLiteral("Quality");
const QString kKey = QStringLiteral("Standard");

QColor VerdictColour(Verdict v)
{
    switch (v) {
    case Verdict::Pass: return QColor(0xc8f0c8);
    case Verdict::Warn: return QColor(0xffe0a0);
    case Verdict::Fail: return QColor(0xffb8b8);
    case Verdict::None: break;
    }
    return {};
}
}  // namespace

StandardCheck::StandardCheck(StandardsLibrary& library, support::SettingsStore& settings, QObject* parent)
    : QObject(parent)
    , m_library(library)
    , m_settings(settings)
    , m_name(settings.GetSetting(kSection, kKey))
{
    connect(&m_library, &StandardsLibrary::Changed, this, &StandardCheck::Updated);
}

const Standard* StandardCheck::Current() const
{
    return m_name.isEmpty() ? nullptr : m_library.Find(m_name);
}

void StandardCheck::Choose(const QString& name)
{
    m_name = name;
    m_settings.SaveSetting(kSection, kKey, name);
    m_counts = {};
    m_last = {};
    emit Updated();
}

Judgement StandardCheck::JudgeReading(const std::array<double, kParameterCount>& values)
{
    const Standard* standard = Current();
    if (!standard) return {};
    m_last = Judge(standard, values);
    m_lastValues = values;
    ++m_counts[static_cast<std::size_t>(m_last.overall)];
    emit ReadingJudged();
    return m_last;
}

CheckWindow::CheckWindow(StandardCheck& check, std::function<int()> digits, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_check(check)
    , m_digits(std::move(digits))
{
    setWindowTitle(QStringLiteral("Check Against Standard"));
    setObjectName(QStringLiteral("frmCheckAgainstStandard"));
    cboStandard = new QComboBox(this);
    cboStandard->setObjectName(QStringLiteral("cboStandard"));
    cboStandard->setAccessibleName(QStringLiteral("Standard:"));
    tblVerdicts = new QTableWidget(kParameterCount, 4, this);
    tblVerdicts->setObjectName(QStringLiteral("tblVerdicts"));
    tblVerdicts->setAccessibleName(QStringLiteral("Last reading"));
    tblVerdicts->setHorizontalHeaderLabels(
        {QStringLiteral("Value"), QStringLiteral("Lower"), QStringLiteral("Upper"), QStringLiteral("Verdict")});
    QStringList names;
    for (int p = 0; p < kParameterCount; ++p) names << ParameterName(p);
    tblVerdicts->setVerticalHeaderLabels(names);
    tblVerdicts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblVerdicts->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int p = 0; p < kParameterCount; ++p)
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(c < 3 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
            tblVerdicts->setItem(p, c, item);
        }
    lblOverall = new QLabel(this);
    lblOverall->setObjectName(QStringLiteral("lblOverall"));
    QFont big = lblOverall->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    lblOverall->setFont(big);
    lblOverall->setAlignment(Qt::AlignCenter);
    lblOverall->setAutoFillBackground(true);
    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Standard:"), cboStandard);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(tblVerdicts);
    layout->addWidget(lblOverall);
    layout->addWidget(lblCounts);
    resize(460, 300);

    connect(cboStandard, &QComboBox::activated, this,
            [this](int index) { m_check.Choose(index <= 0 ? QString() : cboStandard->itemText(index)); });
    connect(&m_check, &StandardCheck::Updated, this, &CheckWindow::RefreshChoice);
    connect(&m_check, &StandardCheck::ReadingJudged, this, &CheckWindow::RefreshVerdict);
    RefreshChoice();
}

void CheckWindow::RefreshChoice()
{
    {
        const QSignalBlocker block(cboStandard);
        cboStandard->clear();
        cboStandard->addItem(QStringLiteral("(none)"));
        for (const Standard& s : m_check.Library().Standards()) cboStandard->addItem(s.name);
        const int at = cboStandard->findText(m_check.CurrentName(), Qt::MatchExactly);
        cboStandard->setCurrentIndex(m_check.Current() && at > 0 ? at : 0);
    }
    RefreshVerdict();
}

// Only texts and tints change here: a reading's road passes through it.
void CheckWindow::RefreshVerdict()
{
    const Standard* standard = m_check.Current();
    const Judgement& j = m_check.LastJudgement();
    const bool judged = standard && j.overall != Verdict::None;
    const int digits = m_digits();
    for (int p = 0; p < kParameterCount; ++p) {
        const Tolerance* t = standard ? &standard->tolerances[static_cast<std::size_t>(p)] : nullptr;
        const bool limits = t && t->judged;
        const QString texts[4] = {
            judged ? support::FormatValue(m_check.LastValues()[static_cast<std::size_t>(p)], digits) : QString(),
            limits ? support::FormatValue(t->lower, digits) : QString(),
            limits ? support::FormatValue(t->upper, digits) : QString(),
            !limits      ? QStringLiteral("not judged")
                : judged ? VerdictText(j.parameters[static_cast<std::size_t>(p)])
                         : QString()};
        for (int c = 0; c < 4; ++c) {
            QTableWidgetItem* item = tblVerdicts->item(p, c);
            if (item->text() != texts[c]) item->setText(texts[c]);
            if (c == 3) {
                const QColor tint =
                    judged && limits ? VerdictColour(j.parameters[static_cast<std::size_t>(p)]) : QColor();
                item->setBackground(tint.isValid() ? QBrush(tint) : QBrush());
            }
        }
    }
    const QString overall = !standard ? QStringLiteral("No standard chosen: readings are not judged")
        : judged                      ? VerdictText(j.overall)
                                      : QStringLiteral("Waiting for a reading");
    if (overall != m_shownOverall) {
        m_shownOverall = overall;
        lblOverall->setText(overall);
        lblOverall->setAccessibleName(QStringLiteral("Overall: ") + overall);
        QPalette palette = lblOverall->palette();
        palette.setColor(QPalette::Window, judged ? VerdictColour(j.overall) : this->palette().color(QPalette::Window));
        lblOverall->setPalette(palette);
    }
    lblCounts->setText(QStringLiteral("Since the choice: %1 judged, %2 PASS, %3 WARN, %4 FAIL")
                           .arg(m_check.Judged())
                           .arg(m_check.Count(Verdict::Pass))
                           .arg(m_check.Count(Verdict::Warn))
                           .arg(m_check.Count(Verdict::Fail)));
    lblCounts->setAccessibleName(lblCounts->text());
}

}  // namespace quality
