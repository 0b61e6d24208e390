#include "metercontrols/serial/SerialProtocol.h"

#include <QLocale>
#include <array>
#include <cmath>

namespace serialmeter {

namespace {

// Every word of the command set. Another instrument's dialect is a change of this table.
constexpr std::array<CommandWord, 32> kCommands{{
    {Command::Identify, "*IDN", Form::Query},
    {Command::Reset, "*RST", Form::Action},
    {Command::Status, "STAT", Form::Query},
    {Command::Version, "SYST:VERS", Form::Query},
    {Command::SerialNumber, "SYST:SER", Form::Setting},
    {Command::Authority, "SYST:AUTH", Form::Query},
    {Command::Unlock, "SYST:UNL", Form::Action},
    {Command::Read, "MEAS:READ", Form::Action},
    {Command::FetchReading, "FETC:READ", Form::Query},
    {Command::Scan, "MEAS:SCAN", Form::Action},
    {Command::StopScan, "MEAS:SCAN:STOP", Form::Action},
    {Command::FetchScan, "FETC:SCAN", Form::Query},
    {Command::Standard, "CAL:STD", Form::Query},
    {Command::Calibrate, "CAL:RUN", Form::Action},
    {Command::Correct, "CAL:CORR", Form::Action},
    {Command::ClearCalibration, "CAL:CLE", Form::Action},
    {Command::Normalize, "CAL:NORM", Form::Action},
    {Command::Cancel, "ABOR", Form::Action},
    {Command::TurnOff, "SYST:OFF", Form::Action},
    {Command::UpdateInfo, "SYST:UPD", Form::Action},
    {Command::Center, "CONF:CENT", Form::Setting},
    {Command::DutyCycle, "CONF:DCYC", Form::Setting},
    {Command::RefCenter, "CONF:RCEN", Form::Setting},
    {Command::RefDutyCycle, "CONF:RDCY", Form::Setting},
    {Command::Intensity, "CONF:INT", Form::Setting},
    {Command::BlackLevel, "CONF:BLAC", Form::Setting},
    {Command::Deg2Distortion, "CONF:D2D", Form::Setting},
    {Command::DOIDistortion, "CONF:DOID", Form::Setting},
    {Command::CalIndex, "CONF:CALI", Form::Setting},
    {Command::KeepAlive, "CONF:KEEP", Form::Setting},
    {Command::EnableButton, "CONF:BUTT", Form::Setting},
    {Command::ConstDC, "CONF:CDC", Form::Setting},
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

}  // namespace

std::span<const CommandWord> Commands() { return kCommands; }
std::span<const EventWord> Events() { return kEvents; }

const CommandWord& WordOf(Command command)
{
    return kCommands[size_t(command)];
}

const EventWord& WordOf(Event event)
{
    return kEvents[size_t(event)];
}

QByteArray Frame(const QByteArray& text)
{
    return text + '#' + QByteArray::number(uchar(Checksum(text)), 16).rightJustified(2, '0').toUpper() + '\n';
}

std::optional<QByteArray> Unframe(QByteArray line)
{
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    if (line.size() < 3 || line.size() > kMaxLine || line.at(line.size() - 3) != '#') return std::nullopt;
    const QByteArray digits = line.right(2);
    for (char c : digits)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return std::nullopt;
    const uint sum = digits.toUInt(nullptr, 16);
    line.chop(3);
    if (sum != uchar(Checksum(line)) || line.contains('\n')) return std::nullopt;
    return line;
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

QByteArray Stamp(const QDateTime& when)
{
    return when.isValid() ? when.toString(Qt::ISODateWithMs).toLatin1() : QByteArray();
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
                if (i >= n) return std::nullopt;   // unterminated text
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
        ++i;   // the comma
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

QByteArray StatusFields(const Status& status)
{
    return QByteArray::number(status.state) + ',' + (status.busy ? '1' : '0') + ',' + QByteArray::number(status.battery);
}

std::optional<Status> ParseStatus(const QStringList& fields, int first)
{
    if (fields.size() < first + 3) return std::nullopt;
    const auto state = WholeField(fields.at(first));
    const auto busy = WholeField(fields.at(first + 1));
    const auto battery = WholeField(fields.at(first + 2));
    if (!state || !busy || !battery || *busy < 0 || *busy > 1 || *state < 0 || *state > 99 || *battery < 0 || *battery > 2)
        return std::nullopt;
    return Status{int(*state), *busy == 1, int(*battery)};
}

std::optional<qint64> WholeField(const QString& field)
{
    if (field.isEmpty() || field.size() > 19) return std::nullopt;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == QLatin1Char('-') && field.size() > 1)) return std::nullopt;
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
    const QDateTime when = QDateTime::fromString(field, Qt::ISODateWithMs);
    if (!when.isValid()) return std::nullopt;
    return when;
}

}  // namespace serialmeter
