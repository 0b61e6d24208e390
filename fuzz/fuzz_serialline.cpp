// The parser of the serial meter's lines with arbitrary bytes: it never fails, a line it takes
// is framed exactly as the meter would send it, and every typed field it returns reads back.
#include <cmath>

#include "fuzz/FuzzSupport.h"
#include "metercontrols/serial/SerialProtocol.h"

using namespace serialmeter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzing::Bytes(data, size);
    const auto text = Unframe(bytes);
    if (text) {
        QByteArray sent = bytes.endsWith('\n') ? bytes.chopped(1) : bytes;
        if (sent.endsWith('\r')) sent.chop(1);
        FUZZ_CHECK(Frame(*text).chopped(1) == sent);
    }

    for (const QByteArray& candidate : {bytes, text.value_or(QByteArray())}) {
        if (const auto line = ParseMeterLine(candidate)) {
            if (line->kind == MeterLine::Error) FUZZ_CHECK(line->error > 0 && line->fields.size() == 1);
            if (line->kind == MeterLine::Ok) FUZZ_CHECK(candidate == ReplyText(line->command, line->query, "OK"));
            if (line->kind == MeterLine::Event) FUZZ_CHECK(candidate.startsWith('!'));
            for (const QString& field : line->fields) {
                if (const auto v = RealField(field)) FUZZ_CHECK(std::isfinite(*v));
                if (const auto w = WholeField(field)) FUZZ_CHECK(RealField(field) || field.size() > 15);
                if (const auto s = StampField(field)) FUZZ_CHECK(field.isEmpty() || s->isValid());
            }
            if (line->kind == MeterLine::Values) {
                // Quoting every field and splitting again gives the same fields.
                QByteArray joined;
                for (const QString& field : line->fields) joined += (joined.isEmpty() ? "" : ",") + Quote(field);
                const auto again = SplitFields(joined);
                FUZZ_CHECK(again.has_value());
                for (qsizetype i = 0; i < again->size(); ++i) {
                    bool control = false;
                    for (QChar c : line->fields.at(i)) control |= c.unicode() < 0x20;
                    if (!control) FUZZ_CHECK(again->at(i) == line->fields.at(i));
                }
            }
            if (const auto status = ParseStatus(line->fields)) FUZZ_CHECK(status->battery >= 0 && status->battery <= 2);
        }
        if (const auto command = ParseCommand(candidate))
            FUZZ_CHECK(WordOf(command->command).form != Form::Action || !command->query);
    }
    return 0;
}
