#include "quality/StandardsEditor.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "dialogs/dlgError.h"
#include "dialogs/dlgYesNo.h"
#include "quality/StandardsLibrary.h"

namespace quality {

namespace {
QDoubleSpinBox* NumberBox(QWidget* parent, const QString& name, double low, double high)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setDecimals(3);
    box->setAccessibleName(name);
    box->setObjectName(name);
    return box;
}
}  // namespace

StandardsEditor::StandardsEditor(StandardsLibrary& library, std::function<bool()> authorize, QWidget* parent)
    : QDialog(parent)
    , m_library(library)
    , m_authorize(std::move(authorize))
{
    setWindowTitle(QStringLiteral("Standards"));
    setObjectName(QStringLiteral("dlgStandards"));

    lstStandards = new QListWidget(this);
    lstStandards->setObjectName(QStringLiteral("lstStandards"));
    lstStandards->setAccessibleName(QStringLiteral("Standards"));
    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setAccessibleName(QStringLiteral("Name"));

    auto* grid = new QGridLayout;
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    nameLabel->setBuddy(txtName);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(txtName, 0, 1, 1, 5);
    const QStringList heads{QStringLiteral("Judged"), QStringLiteral("Target"), QStringLiteral("Lower limit"),
                            QStringLiteral("Upper limit"), QStringLiteral("Warning band %")};
    for (int c = 0; c < heads.size(); ++c) grid->addWidget(new QLabel(heads[c], this), 1, c + 1);
    for (int p = 0; p < kParameterCount; ++p) {
        const QString name = ParameterName(p);
        auto& r = rows[static_cast<std::size_t>(p)];
        r.judged = new QCheckBox(name, this);
        r.judged->setObjectName(name + QStringLiteral(" judged"));
        r.judged->setAccessibleName(name + QStringLiteral(" judged"));
        r.target = NumberBox(this, name + QStringLiteral(" target"), -1e6, 1e6);
        r.lower = NumberBox(this, name + QStringLiteral(" lower limit"), -1e6, 1e6);
        r.upper = NumberBox(this, name + QStringLiteral(" upper limit"), -1e6, 1e6);
        r.warn = NumberBox(this, name + QStringLiteral(" warning band"), 0, 100);
        grid->addWidget(r.judged, p + 2, 0, 1, 2);
        grid->addWidget(r.target, p + 2, 2);
        grid->addWidget(r.lower, p + 2, 3);
        grid->addWidget(r.upper, p + 2, 4);
        grid->addWidget(r.warn, p + 2, 5);
    }

    auto button = [this](const QString& text, const char* name, void (StandardsEditor::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        if (slot) connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    btnAdd = button(QStringLiteral("&Add"), "btnAdd", &StandardsEditor::Add);
    btnCopy = button(QStringLiteral("&Copy"), "btnCopy", &StandardsEditor::Copy);
    btnDelete = button(QStringLiteral("&Delete"), "btnDelete", &StandardsEditor::Delete);
    btnSave = button(QStringLiteral("&Save"), "btnSave", &StandardsEditor::Save);
    btnClose = button(QStringLiteral("Close"), "btnClose", nullptr);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnAdd, btnCopy, btnDelete, btnSave}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto* right = new QVBoxLayout;
    right->addLayout(grid);
    right->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(lstStandards, 1);
    top->addLayout(right, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(lstStandards, &QListWidget::currentRowChanged, this, &StandardsEditor::Chosen);
    Reload(QString());
}

void StandardsEditor::Reload(const QString& select)
{
    const QSignalBlocker block(lstStandards);
    lstStandards->clear();
    for (const Standard& s : m_library.Standards()) lstStandards->addItem(s.name);
    const auto found = lstStandards->findItems(select, Qt::MatchExactly);
    lstStandards->setCurrentRow(found.isEmpty() ? (lstStandards->count() ? 0 : -1) : lstStandards->row(found.first()));
    Chosen();
}

void StandardsEditor::Chosen()
{
    const int row = lstStandards->currentRow();
    const auto all = m_library.Standards();
    if (row >= 0 && row < int(all.size())) {
        ShowStandard(all[static_cast<std::size_t>(row)]);
    } else {
        ShowStandard(Standard{});
    }
    btnCopy->setEnabled(!m_editingId.isEmpty());
    btnDelete->setEnabled(!m_editingId.isEmpty());
}

void StandardsEditor::ShowStandard(const Standard& s)
{
    m_editingId = s.id;
    txtName->setText(s.name);
    for (int p = 0; p < kParameterCount; ++p) {
        const Tolerance& t = s.tolerances[static_cast<std::size_t>(p)];
        auto& r = rows[static_cast<std::size_t>(p)];
        r.judged->setChecked(t.judged);
        r.target->setValue(t.target);
        r.lower->setValue(t.lower);
        r.upper->setValue(t.upper);
        r.warn->setValue(t.warnPercent);
    }
}

Standard StandardsEditor::FormStandard() const
{
    Standard s;
    s.id = m_editingId;
    s.name = txtName->text().trimmed();
    for (int p = 0; p < kParameterCount; ++p) {
        const auto& r = rows[static_cast<std::size_t>(p)];
        s.tolerances[static_cast<std::size_t>(p)] = {r.judged->isChecked(), r.target->value(), r.lower->value(),
                                                     r.upper->value(), r.warn->value()};
    }
    return s;
}

void StandardsEditor::Add()
{
    lstStandards->setCurrentRow(-1);
    ShowStandard(Standard{});
    btnCopy->setEnabled(false);
    btnDelete->setEnabled(false);
    txtName->setFocus();
}

void StandardsEditor::Copy()
{
    Standard copy = FormStandard();
    copy.id.clear();
    copy.name += QStringLiteral(" (copy)");
    const QSignalBlocker block(lstStandards);
    lstStandards->setCurrentRow(-1);
    ShowStandard(copy);
    btnCopy->setEnabled(false);
    btnDelete->setEnabled(false);
    txtName->setFocus();
}

bool StandardsEditor::Authorized()
{
    if (!m_authorized) m_authorized = m_authorize();
    return m_authorized;
}

void StandardsEditor::Delete()
{
    if (m_editingId.isEmpty()) return;
    const QString name = txtName->text();
    if (AskYesNo(this, QStringLiteral("Standards"), QStringLiteral("Delete the standard \"%1\"?").arg(name), true)
        != dlgYesNo::Yes)
        return;
    if (!Authorized()) return;
    QString problem;
    if (!m_library.Remove(m_editingId, &problem))
        ShowErrorDialog(this, QStringLiteral("Standards"),
                        QStringLiteral("The standard could not be deleted: %1").arg(problem));
    Reload(QString());
}

void StandardsEditor::Save()
{
    Standard s = FormStandard();
    const QString refusal = StandardProblem(s);
    if (!refusal.isEmpty()) {
        ShowErrorDialog(this, QStringLiteral("Standards"), refusal);
        return;
    }
    if (!Authorized()) return;
    QString problem;
    if (!m_library.Save(s, &problem)) {
        ShowErrorDialog(this, QStringLiteral("Standards"),
                        QStringLiteral("The standard could not be saved: %1").arg(problem));
        return;
    }
    Reload(s.name);
}

}  // namespace quality
