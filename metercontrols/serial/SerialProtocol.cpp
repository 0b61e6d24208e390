#include "metercontrols/serial/SerialProtocol.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>

namespace serialmeter {

namespace {

// Every word of the command set. Another instrument's dialect is a change of this table.
constexpr std::array<CommandWord, 33> kCommands{{
    {Command::Protocol, "SYST:PROT", Form::Query, 64},
    {Command::Identify, "*IDN", Form::Query, 160},
    {Command::Reset, "*RST", Form::Action, 64},
    {Command::Status, "STAT", Form::Query, 64},
    {Command::Version, "SYST:VERS", Form::Query, 64},
    {Command::SerialNumber, "SYST:SER", Form::Setting, 64},
    {Command::Authority, "SYST:AUTH", Form::Query, 64},
    {Command::Unlock, "SYST:UNL", Form::Action, 48},
    {Command::Read, "MEAS:READ", Form::Action, 64},
    {Command::FetchReading, "FETC:READ", Form::Query, 400},
    {Command::Scan, "MEAS:SCAN", Form::Action, 64},
    {Command::StopScan, "MEAS:SCAN:STOP", Form::Action, 64},
    {Command::FetchScan, "FETC:SCAN", Form::Query, 7600},
    {Command::Standard, "CAL:STD", Form::Query, 96},
    {Command::Calibrate, "CAL:RUN", Form::Action, 64},
    {Command::Correct, "CAL:CORR", Form::Action, 64},
    {Command::ClearCalibration, "CAL:CLE", Form::Action, 64},
    {Command::Normalize, "CAL:NORM", Form::Action, 64},
    {Command::Cancel, "ABOR", Form::Action, 64},
    {Command::TurnOff, "SYST:OFF", Form::Action, 64},
    {Command::UpdateInfo, "SYST:UPD", Form::Action, 64},
    {Command::Center, "CONF:CENT", Form::Setting, 64},
    {Command::DutyCycle, "CONF:DCYC", Form::Setting, 64},
    {Command::RefCenter, "CONF:RCEN", Form::Setting, 64},
    {Command::RefDutyCycle, "CONF:RDCY", Form::Setting, 64},
    {Command::Intensity, "CONF:INT", Form::Setting, 64},
    {Command::BlackLevel, "CONF:BLAC", Form::Setting, 64},
    {Command::Deg2Distortion, "CONF:D2D", Form::Setting, 64},
    {Command::DOIDistortion, "CONF:DOID", Form::Setting, 64},
    {Command::CalIndex, "CONF:CALI", Form::Setting, 64},
    {Command::KeepAlive, "CONF:KEEP", Form::Setting, 64},
    {Command::EnableButton, "CONF:BUTT", Form::Setting, 64},
    {Command::ConstDC, "CONF:CDC", Form::Setting, 64},
}};

constexpr std::array<EventWord, 8> kEvents{{
    {Event::State, "STATE", 1},
    {Event::SwitchedOff, "OFF", 3},
    {Event::Warning, "WARN", 6},
    {Event::Busy, "BUSY", 9},
    {Event::Button, "BUTTON", 9},
    {Event::Idle, "IDLE", 10},
    {Event::ReadingReady, "READING", 12},
    {Event::ScanReady, "SCAN", 21},
}};

constexpr int kMaxLine = 8192;

char Checksum(const QByteArray& text)
{
    char sum = 0;
    for (char c : text) sum = char(sum ^ c);
    return sum;
}

// The check digits of a line: two for the XOR of version 1, four for the CRC.
QByteArray CheckDigits(const QByteArray& text, int version)
{
    const uint check = version == 1 ? uint(uchar(Checksum(text))) : uint(Crc16(text));
    return QByteArray::number(check, 16).rightJustified(version == 1 ? 2 : 4, '0').toUpper();
}

}  // namespace

std::span<const CommandWord> Commands()
{
    return kCommands;
}
std::span<const EventWord> Events()
{
    return kEvents;
}

const CommandWord& WordOf(Command command)
{
    return kCommands[size_t(command)];
}

const EventWord& WordOf(Event event)
{
    return kEvents[size_t(event)];
}

quint16 Crc16(const QByteArray& text)
{
    quint16 crc = 0xFFFF;
    for (char c : text) {
        crc ^= quint16(uchar(c) << 8);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray Frame(const QByteArray& text, int version)
{
    return text + '#' + CheckDigits(text, version) + '\n';
}

std::optional<QByteArray> Unframe(QByteArray line, int version)
{
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    const qsizetype digits = version == 1 ? 2 : 4;
    if (line.size() < digits + 1 || line.size() > kMaxLine || line.at(line.size() - digits - 1) != '#')
        return std::nullopt;
    const QByteArray check = line.right(digits);
    line.chop(digits + 1);
    if (check != CheckDigits(line, version) || line.contains('\n')) return std::nullopt;
    return line;
}

int ReplyLimitMs(const QByteArray& sent, Command command, qint32 baudRate, int allowanceMs)
{
    // Ten bits a byte on the line (start, eight data bits, stop).
    const qint64 bytes = sent.size() + WordOf(command).longestReply;
    const qint64 lineMs = baudRate > 0 ? (bytes * 10 * 1000 + baudRate - 1) / baudRate : 0;
    return int(std::min<qint64>(allowanceMs + 2 * lineMs, 600000));
}

QByteArray Quote(const QString& text)
{
    QString clean = text;
    for (QChar& c : clean)
        if (c.unicode() < 0x20) c = QLatin1Char(' ');
    return '"' + clean.toUtf8().replace('"', "\"\"") + '"';
}

QByteArray Number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1();
}

QByteArray Stamp(const QDateTime& when, int version)
{
    if (!when.isValid()) return QByteArray();
    return (version == 1 ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
                         : when.toUTC().toString(Qt::ISODateWithMs))
        .toLatin1();
}

std::optional<QStringList> SplitFields(const QByteArray& text)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        QByteArray field;
        if (i < n && text.at(i) == '"') {
            ++i;
            while (true) {
                if (i >= n) return std::nullopt;  // unterminated text
                if (text.at(i) == '"') {
                    if (i + 1 < n && text.at(i + 1) == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text.at(i++);
            }
            if (i < n && text.at(i) != ',') return std::nullopt;
        } else {
            while (i < n && text.at(i) != ',') {
                if (text.at(i) == '"') return std::nullopt;
                field += text.at(i++);
            }
        }
        fields << QString::fromUtf8(field);
        if (i >= n) break;
        ++i;  // the comma
    }
    return fields;
}

QByteArray CommandText(Command command, bool query, const QByteArray& arguments)
{
    QByteArray text = WordOf(command).word;
    if (query) text += '?';
    if (!arguments.isEmpty()) text += ' ' + arguments;
    return text;
}

std::optional<CommandLine> ParseCommand(const QByteArray& text)
{
    const qsizetype blank = text.indexOf(' ');
    QByteArray word = blank < 0 ? text : text.left(blank);
    CommandLine line;
    line.query = word.endsWith('?');
    if (line.query) word.chop(1);
    word = word.toUpper();
    const CommandWord* found = nullptr;
    for (const CommandWord& w : kCommands)
        if (word == w.word) found = &w;
    if (!found) return std::nullopt;
    if ((found->form == Form::Query && !line.query) || (found->form == Form::Action && line.query)) return std::nullopt;
    line.command = found->command;
    if (blank >= 0) {
        auto fields = SplitFields(text.mid(blank + 1));
        if (!fields) return std::nullopt;
        line.arguments = *fields;
    }
    return line;
}

QByteArray ReplyText(Command command, bool query, const QByteArray& body)
{
    return CommandText(command, query) + ' ' + body;
}

QByteArray EventText(Event event, const QByteArray& fields)
{
    return '!' + QByteArray(WordOf(event).word) + (fields.isEmpty() ? QByteArray() : ' ' + fields);
}

std::optional<MeterLine> ParseMeterLine(const QByteArray& text)
{
    MeterLine line;
    const qsizetype blank = text.indexOf(' ');
    if (text.startsWith('!')) {
        const QByteArray word = text.mid(1, blank < 0 ? -1 : blank - 1);
        const EventWord* found = nullptr;
        for (const EventWord& e : kEvents)
            if (word == e.word) found = &e;
        if (!found) return std::nullopt;
        line.kind = MeterLine::Event;
        line.event = found->event;
        if (blank >= 0) {
            auto fields = SplitFields(text.mid(blank + 1));
            if (!fields) return std::nullopt;
            line.fields = *fields;
        }
        return line;
    }
    if (blank < 0) return std::nullopt;
    QByteArray word = text.left(blank);
    line.query = word.endsWith('?');
    if (line.query) word.chop(1);
    const CommandWord* found = nullptr;
    for (const CommandWord& w : kCommands)
        if (word == w.word) found = &w;
    if (!found) return std::nullopt;
    line.command = found->command;
    const QByteArray body = text.mid(blank + 1);
    if (body == "OK") return line;
    if (body.startsWith("ERR ")) {
        auto fields = SplitFields(body.mid(4));
        if (!fields || fields->size() != 2) return std::nullopt;
        const auto code = WholeField(fields->at(0));
        if (!code || *code <= 0 || *code > 999) return std::nullopt;
        line.kind = MeterLine::Error;
        line.error = int(*code);
        line.fields = QStringList{fields->at(1)};
        return line;
    }
    auto fields = SplitFields(body);
    if (!fields) return std::nullopt;
    line.kind = MeterLine::Values;
    line.fields = *fields;
    return line;
}

QByteArray StatusFields(const Status& status, int version)
{
    const QByteArray fields =
        QByteArray::number(status.state) + ',' + (status.busy ? '1' : '0') + ',' + QByteArray::number(status.battery);
    return version == 1 ? fields : QByteArray::number(status.event) + ',' + fields;
}

std::optional<Status> ParseStatus(const QStringList& fields)
{
    if (fields.size() != 4) return std::nullopt;
    const auto event = WholeField(fields.at(0));
    const auto state = WholeField(fields.at(1));
    const auto busy = WholeField(fields.at(2));
    const auto battery = WholeField(fields.at(3));
    if (!event || !state || !busy || !battery || *event < 0 || *busy < 0 || *busy > 1 || *state < 0 || *state > 99
        || *battery < 0 || *battery > 2)
        return std::nullopt;
    return Status{*event, int(*state), *busy == 1, int(*battery)};
}

std::optional<qint64> WholeField(const QString& field)
{
    if (field.isEmpty() || field.size() > 19) return std::nullopt;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == QLatin1Char('-') && field.size() > 1))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

std::optional<double> RealField(const QString& field)
{
    if (field.isEmpty() || field.trimmed() != field) return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(field, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<QDateTime> StampField(const QString& field)
{
    if (field.isEmpty()) return QDateTime();
    if (!field.endsWith(QLatin1Char('Z'))) return std::nullopt;
    const QDateTime when = QDateTime::fromString(field, Qt::ISODateWithMs);
    if (!when.isValid()) return std::nullopt;
    return when.toLocalTime();
}

}  // namespace serialmeter
