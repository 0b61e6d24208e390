#pragma once
// The operations the print page needs of its rich-text box. The box is a QTextDocument; a
// QTextCursor over it is the box's selection (or insertion point when nothing is selected).
#include <QColor>
#include <QTextCursor>
#include <cstdint>

namespace printing {

// Selects `length` characters from `start`; both are clamped to the text, so
// SelectRange(box, 0, 999999) selects everything and SelectRange(box, 999999, 0) puts the
// insertion point at the end.
void SelectRange(QTextCursor& box, int start, int length);

// Layout measures of a QTextDocument (tab stops, tab distance) are given in logical units of
// which one inch holds UnitsPerInch(); the document layout scales them to the paint device,
// the printer included, so a stop set here lands at the same inch position on paper.
double UnitsPerInch();
double TwipsToUnits(int32_t twips);

// The 32-bit colour value: red in the lowest byte, then green, then blue (0 is black).
QColor ColorFromValue(int32_t value);

}  // namespace printing
