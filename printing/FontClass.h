#pragma once
// One print font: name, size in points, colour, four style flags and the bounds that the size
// setter enforces. A plain value; CopyTo copies values.
#include <QString>
#include <cstdint>

class QTextCursor;
namespace support {
class SettingsStore;
}

class FontClass {
public:
    // Accepted only within MinSize..MaxSize; any other value leaves the size unchanged.
    int16_t Size() const { return m_size; }
    void SetSize(int value);
    bool Bold() const { return m_bold; }
    void SetBold(bool value) { m_bold = value; }
    bool Italic() const { return m_italic; }
    void SetItalic(bool value) { m_italic = value; }
    bool Underline() const { return m_underline; }
    void SetUnderline(bool value) { m_underline = value; }
    bool StrikeThru() const { return m_strikeThru; }
    void SetStrikeThru(bool value) { m_strikeThru = value; }
    // Red in the lowest byte, then green, then blue; 0 is black.
    int32_t Color() const { return m_color; }
    void SetColor(int32_t value) { m_color = value; }
    int16_t MaxSize() const { return m_maxSize; }
    void SetMaxSize(int16_t value) { m_maxSize = value; }
    int16_t MinSize() const { return m_minSize; }
    void SetMinSize(int16_t value) { m_minSize = value; }
    // An empty name is ignored.
    QString FontName() const { return m_fontName; }
    void SetFontName(const QString& value);

    // Copies every value into fnt through fnt's setters (bounds first, size last). Null: nothing.
    void CopyTo(FontClass* fnt) const;
    // Same bounds, name (case-sensitive), colour, styles and size. Null: false.
    bool IsEqual(const FontClass* fnt) const;

    // Loads the font from section thisPref of the application's settings store thisApp; a
    // missing key keeps the value it has.
    void ReadProperties(const support::SettingsStore& thisApp, const QString& thisPref);
    // Saves "FontName", "FontSize", "FontColor", "FontBold", "FontItalic", "FontUnderline",
    // "FontStrikeThru" and writes the store to disk; false when the file could not be written.
    bool WriteProperties(support::SettingsStore& thisApp, const QString& thisPref) const;

    // Sets this font on the box's selection, or at its insertion point for the text inserted
    // next. Null: nothing.
    void InstallFont(QTextCursor* Box) const;

private:
    int16_t m_size = 12;
    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
    bool m_strikeThru = false;
    int32_t m_color = 0;
    int16_t m_maxSize = 72;
    int16_t m_minSize = 6;
    QString m_fontName = QStringLiteral("Arial");
};
