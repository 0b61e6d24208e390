#pragma once
// The print page: a window that is never shown, hosting the rich-text box TB on which the
// report is composed in changing fonts and from which it is printed.
#include <QTextCursor>
#include <QWidget>

#include "printing/FontClass.h"
#include "printing/TabClass.h"

class QPagedPaintDevice;
class QTextDocument;
class QTextEdit;

class dlgPrintForm : public QWidget {
    Q_OBJECT
public:
    explicit dlgPrintForm(QWidget* parent = nullptr);
    ~dlgPrintForm() override;

    // The rich-text box; its document holds the page.
    QTextEdit* TB;

    // Empties the page; the insertion point goes to the start.
    void ClearPage();
    // Appends strx at the end in the page's current font; line breaks and tabs stay in the text.
    void AddText(const QString& strx);
    // Copies Tabs into the page's tab list and sets it on every paragraph of the page. Null: nothing.
    void SetTabs(const TabClass* Tabs);
    // Copies fnt into the page's current font for the text appended afterwards. Null: nothing.
    void SetFont(const FontClass* fnt);
    // Asks for a printer with the print dialog (parent dialogParent) and prints the whole page.
    // Cancelling, an unusable printer or a failing print job end silently.
    void PrintMe(QWidget* dialogParent);

    // Prints the whole page on `device`, page after page, laid out for its printable area,
    // without headers, footers or page numbers. False when nothing could be printed.
    bool PrintTo(QPagedPaintDevice& device) const;

private:
    QTextCursor m_selection;
    FontClass m_font;
    TabClass m_tabs;
};
