#pragma once
// The printed report of the readings list: title, print date, serial number, the averages and
// every row of the list, in the header font for labels and the data font for values.
#include <QDateTime>
#include <QString>

#include "printing/FontClass.h"
#include "printing/TabClass.h"

class MeterReading;
class QAbstractItemModel;
class QWidget;
class dlgPrintForm;

struct ReportInputs {
    // The readings list as displayed: column titles by headerData(section, Qt::Horizontal),
    // cell texts by data(index, Qt::DisplayRole), rows in display order. Null: no list part.
    const QAbstractItemModel* list = nullptr;
    // The running averages; null leaves out the averages block.
    const MeterReading* averages = nullptr;
    // "##0." .. "##0.000"
    QString numberFormat;
    QString serialNumber;
    // The print date; an invalid date time means now.
    QDateTime now;
};

// The print fonts and tab stops of SetDefaults: DataFont Arial 10 plain (its colour kept),
// HeaderFont a copy of it in bold italic, PrintTabs 2160, 3240, 4320, 5400, 6480, 8208, 10368.
void SetPrintDefaults(FontClass& HeaderFont, FontClass& DataFont, TabClass& PrintTabs);

// Composes the whole report on `page` (cleared first) and sets the tab stops on it.
void ComposeReport(dlgPrintForm& page, const FontClass& HeaderFont, const FontClass& DataFont,
                   const TabClass& PrintTabs, const ReportInputs& inputs);

// File > Print: composes the report on a fresh page, prints it through the print dialog
// (parent mainWindow) and discards the page. Cancel and printer failures end silently.
void PrintDataReport(QWidget* mainWindow, const FontClass& HeaderFont, const FontClass& DataFont,
                     const TabClass& PrintTabs, const ReportInputs& inputs);
