#pragma once
// The line-based ASCII command set of the serial meter: one table of command words and event
// words, the framing of a line, and the parser of what the meter sends. Pure functions, no I/O:
// the serial meter control and the instrument emulator both speak through them.
//
// A line is its text, '#', four upper-case hex digits of the text's CRC-16 (CCITT), and "\n"
// (a '\r' before the '\n' is ignored). A line whose check digits do not match is not a line.
// Fields are separated by ',', texts are quoted with '"' and a '"' inside is doubled.
//
// Version 1 of the command set framed a line with the XOR of its bytes and had no event numbers;
// it is kept here only to recognise such a meter and to let the emulator play one.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <limits>
#include <optional>
#include <span>

namespace serialmeter {

// The version of the command set this program speaks; a meter that speaks another is refused.
constexpr int kProtocolVersion = 2;

enum class Command {
    Protocol,
    Identify,
    Reset,
    Status,
    Version,
    SerialNumber,
    Authority,
    Unlock,
    Read,
    FetchReading,
    Scan,
    StopScan,
    FetchScan,
    Standard,
    Calibrate,
    Correct,
    ClearCalibration,
    Normalize,
    Cancel,
    TurnOff,
    UpdateInfo,
    // The settings: each one has a query form (WORD?) and a write form (WORD value).
    Center,
    DutyCycle,
    RefCenter,
    RefDutyCycle,
    Intensity,
    BlackLevel,
    Deg2Distortion,
    DOIDistortion,
    CalIndex,
    KeepAlive,
    EnableButton,
    ConstDC,
};

enum class Form { Query, Action, Setting };

struct CommandWord {
    Command command;
    const char* word;  // without the '?' of a query
    Form form;
    int longestReply;  // bytes of its longest answer, line end included: sets its time limit
};

// Events the meter raises by itself, each with the meter control's event code.
enum class Event { State, SwitchedOff, Warning, Busy, Button, Idle, ReadingReady, ScanReady };

struct EventWord {
    Event event;
    const char* word;  // sent as '!' followed by the word
    int code;  // MeterEvent code raised for it
};

std::span<const CommandWord> Commands();
std::span<const EventWord> Events();
const CommandWord& WordOf(Command command);
const EventWord& WordOf(Event event);

// Error numbers of an ERR reply.
enum ErrorCode { ErrorUnknownCommand = 1, ErrorBadArgument = 2, ErrorRefused = 3 };

// Framing. Frame adds the check digits and the line end; Unframe returns the text of a received
// line (without its line end) or nothing when the line is damaged. version 1: the old XOR frame.
quint16 Crc16(const QByteArray& text);  // CRC-16/CCITT-FALSE: polynomial 0x1021, start 0xFFFF
QByteArray Frame(const QByteArray& text, int version = kProtocolVersion);
std::optional<QByteArray> Unframe(QByteArray line, int version = kProtocolVersion);

// How long the host waits for the answer to a command at this baud rate: a fixed allowance for
// the meter, plus the time the command and its longest answer take on the line, twice over.
int ReplyLimitMs(const QByteArray& sent, Command command, qint32 baudRate, int allowanceMs);

// Fields.
QByteArray Quote(const QString& text);
QByteArray Number(double value);  // shortest text that reads back as the same double
// ISO 8601 in UTC with milliseconds and 'Z' (version 1: local time without offset); empty when invalid.
QByteArray Stamp(const QDateTime& when, int version = kProtocolVersion);
std::optional<QStringList> SplitFields(const QByteArray& text);

// What the host sends: the command word with '?' for a query, then a blank and the fields.
QByteArray CommandText(Command command, bool query, const QByteArray& arguments = QByteArray());

// One command line as the meter reads it.
struct CommandLine {
    Command command;
    bool query = false;
    QStringList arguments;
};
std::optional<CommandLine> ParseCommand(const QByteArray& text);

// What the meter answers: the command as it was sent (word and '?'), a blank, then "OK",
// "ERR <number>,<text>" or the values. Carrying the command lets the host match every reply to
// its command, also when an earlier reply came late.
QByteArray ReplyText(Command command, bool query, const QByteArray& body);
QByteArray EventText(Event event, const QByteArray& fields);

// One line from the meter.
struct MeterLine {
    enum Kind { Ok, Error, Values, Event } kind = Ok;
    Command command = Command::Identify;  // a reply: the command it answers
    bool query = false;
    serialmeter::Event event = serialmeter::Event::State;  // Kind Event
    int error = 0;  // Kind Error
    QStringList fields;  // Values: the values; Error: the text; Event: its fields
};
std::optional<MeterLine> ParseMeterLine(const QByteArray& text);

// The meter's status as it is sent with every event and in answer to the status query:
// "<event>,<state>,<busy>,<battery>" (version 1: without the event number).
struct Status {
    qint64 event = 0;  // number of the latest event the meter sent (in an event: its own)
    int state = 1;  // MeterState
    bool busy = false;  // an operation is in progress
    int battery = 0;  // BatteryState
};
QByteArray StatusFields(const Status& status, int version = kProtocolVersion);
std::optional<Status> ParseStatus(const QStringList& fields);

// Typed field readers: nothing when the field is not exactly a number of that kind.
std::optional<qint64> WholeField(const QString& field);
std::optional<double> RealField(const QString& field);
// A whole-number field into a value of type T: false, and into untouched, when it is not one or
// does not fit.
template <typename T>
bool TakeWhole(const QString& field, T& into)
{
    const auto v = WholeField(field);
    if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max()) return false;
    into = T(*v);
    return true;
}
// A UTC time stamp as local time; an empty field: an invalid date.
std::optional<QDateTime> StampField(const QString& field);

}  // namespace serialmeter
