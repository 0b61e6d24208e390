#include "printing/DataReport.h"

#include "printing/dlgPrintForm.h"
#include "support/Numbers.h"
#include "vantrel/MeterReading.h"

#include <QAbstractItemModel>

namespace {
const QString kTab = QStringLiteral("\t");
const QString kLine = QStringLiteral("\r\n");
}  // namespace

void SetPrintDefaults(FontClass& HeaderFont, FontClass& DataFont, TabClass& PrintTabs)
{
    DataFont.SetFontName(QStringLiteral("Arial"));
    DataFont.SetBold(false);
    DataFont.SetItalic(false);
    DataFont.SetSize(10);
    DataFont.SetStrikeThru(false);
    DataFont.SetUnderline(false);

    DataFont.CopyTo(&HeaderFont);
    HeaderFont.SetBold(true);
    HeaderFont.SetItalic(true);

    // 1.5 inch, four steps of 0.75 inch, one of 1.2 inch and one of 1.5 inch; each step is added
    // to the stop before it as read back from the list.
    PrintTabs.SetTabCount(7);
    PrintTabs.Add(2160);
    const int32_t steps[] = {1080, 1080, 1080, 1080, 1728, 2160};
    for (int i = 0; i < 6; ++i) PrintTabs.Add(PrintTabs.Tabs(i + 1) + steps[i]);
}

void ComposeReport(dlgPrintForm& page, const FontClass& HeaderFont, const FontClass& DataFont,
                   const TabClass& PrintTabs, const ReportInputs& inputs)
{
    const int digits = support::DigitsOfFormat(inputs.numberFormat);
    auto value = [digits](double v) { return support::FormatValue(v, digits) + kLine; };

    page.ClearPage();
    page.SetFont(&HeaderFont);
    page.AddText(kTab + kTab + kTab + QStringLiteral("DOI/Haze Measurements") + kLine);
    page.SetFont(&HeaderFont);
    page.AddText(QStringLiteral("Printed:") + kTab);
    page.SetFont(&DataFont);
    const QDateTime when = inputs.now.isValid() ? inputs.now : QDateTime::currentDateTime();
    page.AddText(support::FormatDateTime(when) + kLine + kLine);
    page.SetFont(&HeaderFont);
    page.AddText(QStringLiteral("Unit Serial Number:") + kTab);
    page.SetFont(&DataFont);
    page.AddText(inputs.serialNumber + kLine);
    page.SetFont(&HeaderFont);

    // The averages only when the summary shows numbers.
    const MeterReading* avg = inputs.averages;
    if (avg && !avg->HasMessage()) {
        page.SetFont(&HeaderFont);
        page.AddText((avg->PixelAvg ? QStringLiteral("Area Averaged Data") : QStringLiteral("Total Energy Data"))
                     + kLine);
        const struct {
            const char* label;
            double value;
        } lines[] = {
            {"Average Specular:", avg->Specular()},
            {"Average DOI:", avg->DOI()},
            {"Average 2 Degree:", avg->Deg2()},
            {"Average 15 Degree:", avg->Deg15()},
        };
        for (const auto& line : lines) {
            page.SetFont(&HeaderFont);
            page.AddText(QLatin1String(line.label) + kTab);
            page.SetFont(&DataFont);
            page.AddText(value(line.value));
        }
        page.SetFont(&HeaderFont);
    }

    if (const QAbstractItemModel* list = inputs.list) {
        const int columns = list->columnCount();
        // The column titles, each followed by a tab.
        QString header = kLine;
        for (int c = 0; c < columns; ++c)
            header += list->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() + kTab;
        page.SetFont(&HeaderFont);
        page.AddText(header + kLine);

        page.SetFont(&DataFont);
        const int rows = list->rowCount();
        for (int r = 0; r < rows; ++r) {
            QString line = list->data(list->index(r, 0), Qt::DisplayRole).toString();
            for (int c = 1; c < columns; ++c) line += kTab + list->data(list->index(r, c), Qt::DisplayRole).toString();
            page.AddText(line + kLine);
        }
    }

    page.SetTabs(&PrintTabs);
}

void PrintDataReport(QWidget* mainWindow, const FontClass& HeaderFont, const FontClass& DataFont,
                     const TabClass& PrintTabs, const ReportInputs& inputs)
{
    dlgPrintForm page;
    ComposeReport(page, HeaderFont, DataFont, PrintTabs, inputs);
    page.PrintMe(mainWindow);
}
