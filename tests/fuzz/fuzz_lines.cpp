// The line reader and the field reader that every file and settings reader goes through, each
// against a plain reference written here from its documented rules.

#include "fuzzcheck.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace zimo;

namespace {

// A line ends at CR LF or at a lone CR, neither kept; a lone LF is part of its line; the last line
// may have no end; no bytes, no lines.
std::vector<std::string> referenceLines(const std::string &bytes)
{
    std::vector<std::string> lines;
    std::string line;
    bool open = false; // bytes of a line without its end yet
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += bytes[i];
            open = true;
        }
    }
    if (open)
        lines.push_back(line);
    return lines;
}

struct ReferenceField
{
    bool atEndBefore; // atEnd() before the field is asked for
    std::optional<std::string> field;
};

// Fields one after another: blanks (space, tab) before a field skipped; a field that starts with
// a double quote runs to the next one (or the end) without the quotes, and whatever follows up to
// the field's end is ignored; any other field runs to the next comma, CR or LF, trailing blanks
// dropped. The end is a comma, CR LF, CR or LF.
std::vector<ReferenceField> referenceFields(const std::string &bytes)
{
    std::vector<ReferenceField> fields;
    std::size_t pos = 0;
    const std::size_t n = bytes.size();
    for (;;) {
        ReferenceField f{pos >= n, std::nullopt};
        pos = std::min(bytes.find_first_not_of(" \t", pos), n);
        if (pos == n) {
            fields.push_back(f);
            return fields;
        }
        std::size_t end;
        if (bytes[pos] == '"') {
            const std::size_t close = std::min(bytes.find('"', pos + 1), n);
            f.field = bytes.substr(pos + 1, close - pos - 1);
            end = close == n ? n : std::min(bytes.find_first_of(",\r\n", close + 1), n);
        } else {
            end = std::min(bytes.find_first_of(",\r\n", pos), n);
            std::string text = bytes.substr(pos, end - pos);
            text.erase(text.find_last_not_of(" \t") + 1);
            f.field = text;
        }
        pos = end;
        if (pos < n) {
            if (bytes.compare(pos, 2, "\r\n") == 0)
                pos += 2;
            else
                pos += 1;
        }
        fields.push_back(f);
    }
}

std::string str(const QByteArray &bytes)
{
    return bytes.toStdString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    // Failure reports are made only on failure: building them for every input would cost more
    // than the readers.
    const auto detail = [&] { return fuzz::hex(input); };

    const QList<QByteArray> lines = splitLines(input);
    const std::vector<std::string> expectedLines = referenceLines(bytes);
    FUZZ_CHECK(std::size_t(lines.size()) == expectedLines.size(), detail());
    for (std::size_t i = 0; i < expectedLines.size(); ++i)
        FUZZ_CHECK(str(lines[qsizetype(i)]) == expectedLines[i],
                   detail() + QStringLiteral(" line ") + QString::number(i));

    FieldReader reader(input);
    const std::vector<ReferenceField> expectedFields = referenceFields(bytes);
    for (std::size_t i = 0; i < expectedFields.size(); ++i) {
        const auto where = [&] {
            return detail() + QStringLiteral(" field ") + QString::number(i);
        };
        FUZZ_CHECK(reader.atEnd() == expectedFields[i].atEndBefore, where());
        const std::optional<QByteArray> field = reader.next();
        FUZZ_CHECK(field.has_value() == expectedFields[i].field.has_value(), where());
        if (field)
            FUZZ_CHECK(str(*field) == *expectedFields[i].field, where());
    }
    // Past the end it stays at the end.
    FUZZ_CHECK(reader.atEnd() && !reader.next(), detail());
    return 0;
}
