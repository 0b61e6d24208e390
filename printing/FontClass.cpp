#include "printing/FontClass.h"

#include "printing/RichText.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextCursor>
#include <limits>

namespace {

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A stored whole number: the text read as a number (0 when it is not one),
// rounded half to even. A number that does not fit the target type counts as 0, just like
// text that is not a number: saturating would turn a damaged value into an extreme one
// (a 32767-point size, or a colour of white), while 0 is the plain fallback of the store.
template <typename T>
T StoredWholeNumber(const QString& text)
{
    const double v = support::RoundHalfEven(support::StoredNumber(text));
    if (v < double(std::numeric_limits<T>::min()) || v > double(std::numeric_limits<T>::max())) return 0;
    return static_cast<T>(v);
}

// The largest size the box takes; larger or non-positive sizes are not applied.
constexpr int kLargestBoxSize = 1638;

}  // namespace

void FontClass::SetSize(int value)
{
    if (value >= m_minSize && value <= m_maxSize) m_size = static_cast<int16_t>(value);
}

void FontClass::SetFontName(const QString& value)
{
    if (!value.isEmpty()) m_fontName = value;
}

void FontClass::CopyTo(FontClass* fnt) const
{
    if (!fnt) return;
    fnt->SetMaxSize(m_maxSize);
    fnt->SetMinSize(m_minSize);
    fnt->SetFontName(m_fontName);
    fnt->SetColor(m_color);
    fnt->SetBold(m_bold);
    fnt->SetItalic(m_italic);
    fnt->SetStrikeThru(m_strikeThru);
    fnt->SetUnderline(m_underline);
    fnt->SetSize(m_size);
}

bool FontClass::IsEqual(const FontClass* fnt) const
{
    if (!fnt) return false;
    return m_maxSize == fnt->m_maxSize && m_minSize == fnt->m_minSize && m_fontName == fnt->m_fontName
        && m_color == fnt->m_color && m_bold == fnt->m_bold && m_italic == fnt->m_italic
        && m_strikeThru == fnt->m_strikeThru && m_underline == fnt->m_underline && m_size == fnt->m_size;
}

void FontClass::ReadProperties(const support::SettingsStore& thisApp, const QString& thisPref)
{
    auto get = [&](const char* key, const QString& current) {
        return thisApp.GetSetting(thisPref, QLatin1String(key), current);
    };

    SetFontName(get("FontName", m_fontName));
    // Size and colour are taken as stored, without the size bounds.
    m_size = StoredWholeNumber<int16_t>(get("FontSize", QString::number(m_size)));
    m_color = StoredWholeNumber<int32_t>(get("FontColor", QString::number(m_color)));
    m_bold = get("FontBold", BoolText(m_bold)) == QLatin1String("True");
    m_italic = get("FontItalic", BoolText(m_italic)) == QLatin1String("True");
    m_underline = get("FontUnderline", BoolText(m_underline)) == QLatin1String("True");
    m_strikeThru = get("FontStrikeThru", BoolText(m_strikeThru)) == QLatin1String("True");
}

bool FontClass::WriteProperties(support::SettingsStore& thisApp, const QString& thisPref) const
{
    support::SettingsStore& store = thisApp;
    store.SaveSetting(thisPref, QStringLiteral("FontName"), m_fontName);
    store.SaveSetting(thisPref, QStringLiteral("FontSize"), QString::number(m_size));
    store.SaveSetting(thisPref, QStringLiteral("FontColor"), QString::number(m_color));
    store.SaveSetting(thisPref, QStringLiteral("FontBold"), BoolText(m_bold));
    store.SaveSetting(thisPref, QStringLiteral("FontItalic"), BoolText(m_italic));
    store.SaveSetting(thisPref, QStringLiteral("FontUnderline"), BoolText(m_underline));
    store.SaveSetting(thisPref, QStringLiteral("FontStrikeThru"), BoolText(m_strikeThru));
    return store.Sync();
}

void FontClass::InstallFont(QTextCursor* Box) const
{
    if (!Box || Box->isNull()) return;
    QTextCharFormat fmt;
    fmt.setFontFamilies(QStringList{m_fontName});
    fmt.setFontWeight(m_bold ? QFont::Bold : QFont::Normal);
    fmt.setForeground(printing::ColorFromValue(m_color));
    if (m_size > 0 && m_size <= kLargestBoxSize) fmt.setFontPointSize(m_size);
    fmt.setFontItalic(m_italic);
    fmt.setFontUnderline(m_underline);
    fmt.setFontStrikeOut(m_strikeThru);
    Box->mergeCharFormat(fmt);
}
