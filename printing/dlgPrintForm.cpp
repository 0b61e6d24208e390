#include "printing/dlgPrintForm.h"

#include "printing/RichText.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <QVBoxLayout>
#include <memory>

namespace {
// The window's client area: 5760 x 4170 twips at 15 twips a pixel.
constexpr int kClientWidth = 5760 / 15;
constexpr int kClientHeight = 4170 / 15;
// A whole-text selection: any text the program produces is shorter.
constexpr int kAllText = 999999;

// The print dialog offers only what the report honours: the whole report, never a range of
// pages nor odd or even pages alone. The dialog sets up its choices again when shown and when
// another printer is chosen; they are taken away after it.
class ReportPrintDialog : public QPrintDialog {
public:
    ReportPrintDialog(QPrinter* printer, QWidget* parent)
        : QPrintDialog(printer, parent)
    {
        if (auto* printers = findChild<QComboBox*>(QStringLiteral("printers")))
            connect(
                printers, &QComboBox::currentIndexChanged, this, [this] { HidePageChoices(); }, Qt::QueuedConnection);
    }
    void setVisible(bool visible) override
    {
        QPrintDialog::setVisible(visible);
        if (visible) HidePageChoices();
    }

private:
    void HidePageChoices()
    {
        for (const char* name : {"gbPrintRange", "pageSetLabel", "pageSetCombo"})
            if (auto* w = findChild<QWidget*>(QLatin1String(name))) w->hide();
    }
};
}  // namespace

dlgPrintForm::dlgPrintForm(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dlgPrintForm"));
    setWindowTitle(QStringLiteral("Never Shown!!!!!"));
    // The page only composes and prints; even a stray show() must not put it on the screen.
    setAttribute(Qt::WA_DontShowOnScreen);

    TB = new QTextEdit(this);
    TB->setObjectName(QStringLiteral("TB"));
    TB->setAccessibleName(QStringLiteral("Report page"));
    TB->setReadOnly(true);
    TB->document()->setUndoRedoEnabled(false);
    // The box fills the client area, on load and on every resize.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(TB);
    resize(kClientWidth, kClientHeight);

    m_selection = QTextCursor(TB->document());
}

dlgPrintForm::~dlgPrintForm() = default;

void dlgPrintForm::ClearPage()
{
    TB->document()->setPlainText(QString());
    m_selection = QTextCursor(TB->document());
    printing::SelectRange(m_selection, kAllText, 0);
}

void dlgPrintForm::AddText(const QString& strx)
{
    // Insertion point at the end, nothing selected.
    printing::SelectRange(m_selection, kAllText, 0);
    m_font.InstallFont(&m_selection);
    m_selection.insertText(strx);
}

void dlgPrintForm::SetTabs(const TabClass* Tabs)
{
    if (!Tabs) return;
    Tabs->CopyTo(&m_tabs);
    m_tabs.InstallTabs(&m_selection, true);
    // The further measure of 720 twips (half an inch) is the distance between the default stops
    // that follow the last set stop: a line with more fields than stops keeps its extra fields
    // apart and aligned on half inches instead of the layout's own default distance.
    QTextOption option = TB->document()->defaultTextOption();
    option.setTabStopDistance(printing::TwipsToUnits(720));
    TB->document()->setDefaultTextOption(option);
}

void dlgPrintForm::SetFont(const FontClass* fnt)
{
    if (fnt) fnt->CopyTo(&m_font);
}

void dlgPrintForm::PrintMe(QWidget* dialogParent)
{
    printing::SelectRange(m_selection, 0, kAllText);
    // Without a print queue there is nothing to choose from.
    if (QPrinterInfo::availablePrinterNames().isEmpty()) return;

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("DOI-Haze Measurements"));
    ReportPrintDialog dialog(&printer, dialogParent);
    // No print to file, no page range, no selection, no current page.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);

    if (dialog.exec() != QDialog::Accepted) return;

    // A queue that is unknown makes QPrinter fall back to writing a PDF file without a name:
    // print only to a real queue that the system knows.
    const QString queue = printer.printerName();
    if (printer.outputFormat() != QPrinter::NativeFormat || queue.isEmpty()
        || !QPrinterInfo::availablePrinterNames().contains(queue) || !printer.isValid())
        return;
    printer.setPrintRange(QPrinter::AllPages);
    PrintTo(printer);
}

bool dlgPrintForm::PrintTo(QPagedPaintDevice& device) const
{
    const std::unique_ptr<QTextDocument> doc(TB->document()->clone());
    doc->setUndoRedoEnabled(false);

    QPainter painter;
    if (!painter.begin(&device)) return false;

    // Lay the text out with the device's own font metrics, on pages of its printable area
    // (sizes in device pixels). Tab stops and tab distance are scaled to the device by the layout.
    doc->documentLayout()->setPaintDevice(&device);
    doc->setDocumentMargin(0);
    const QSizeF page(device.width(), device.height());
    if (page.width() <= 0 || page.height() <= 0) return false;
    doc->setPageSize(page);

    const int pages = doc->pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage()) return false;
        const QRectF view(0, i * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}
