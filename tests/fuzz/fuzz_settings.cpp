// The settings files, zimo_2.ini (display font) and zimo.ini (explore folder).
// - Any bytes go through both readers; a size that start-up takes is a finite number of at
//   least 11 points (smaller ones become 14) and at most the font dialog's largest.
// - What the format command writes reads back with the same size, bold and italic, whatever the
//   face name; what "Ok" writes into zimo.ini reads back as the same folder.
// The input's last three bytes give the written size and flags, the bytes before them the face
// name and the folder.

#include "document/cp932.h"
#include "fuzzcheck.h"
#include "settings/exploresettings.h"
#include "settings/fontsettings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace zimo;

namespace {

QByteArray without(QByteArray bytes, const char *drop)
{
    bytes.removeIf([drop](char c) { return c != '\0' && std::strchr(drop, c) != nullptr; });
    return bytes;
}

QByteArray trimmedBlanks(QByteArray bytes)
{
    while (bytes.startsWith(' ') || bytes.startsWith('\t'))
        bytes.remove(0, 1);
    while (bytes.endsWith(' ') || bytes.endsWith('\t'))
        bytes.chop(1);
    return bytes;
}

void readers(const QByteArray &input)
{
    const StartupFont font = readStartupFont(input);
    if (font.size)
        FUZZ_CHECK(std::isfinite(*font.size) && *font.size >= 11 && *font.size <= largestFontSize,
                   fuzz::hex(input) + QStringLiteral(" size ") + QString::number(*font.size));

    const std::optional<QString> folder = readExploreFolder(input);
    // Only a file of nothing but blanks holds no folder.
    FUZZ_CHECK(folder.has_value() == !trimmedBlanks(input).isEmpty(), fuzz::hex(input));
}

void fontRoundTrip(const QByteArray &nameBytes, unsigned sizeSixteenths, unsigned flags)
{
    // Any face name: one with a comma, a double quote or a line end is written in double quotes
    // (its own double quotes left out), so the fields after it stay where they are.
    const FontChoice font{cp932::decode(nameBytes), sizeSixteenths / 16.0, (flags & 1) != 0,
                          (flags & 2) != 0};
    const QByteArray file = zimo2IniBytes(font);
    const StartupFont read = readStartupFont(file);
    const auto detail = [&] { return fuzz::hex(file); };

    FUZZ_CHECK(read.bold == std::optional<bool>(font.bold), detail());
    FUZZ_CHECK(read.italic == std::optional<bool>(font.italic), detail());
    if (font.size < 11) {
        FUZZ_CHECK(read.size == std::optional<double>(14), detail());
    } else if (font.size > largestFontSize) {
        // Larger than the font dialog takes: start-up keeps the layout's size.
        FUZZ_CHECK(!read.size, detail());
    } else {
        // The file holds seven significant digits.
        FUZZ_CHECK(read.size && std::abs(*read.size - font.size) <= font.size * 1e-6, detail());
    }
}

void folderRoundTrip(const QByteArray &pathBytes)
{
    // A folder that zimo.ini can hold: no comma, double quote or line break, no blanks around it
    // (the reader takes the first field of the file).
    const QString folder = cp932::decode(trimmedBlanks(without(pathBytes, "\r\n,\"")));
    const cp932::EncodeResult stored = exploreIniBytes(folder);
    FUZZ_CHECK(stored.ok(), fuzz::units(folder));
    FUZZ_CHECK(readExploreFolder(stored.bytes) == std::optional<QString>(folder),
               fuzz::hex(stored.bytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    readers(input);
    if (size < 3)
        return 0;
    const QByteArray text = input.first(input.size() - 3);
    fontRoundTrip(text, unsigned(data[size - 3]) << 8 | data[size - 2], data[size - 1]);
    folderRoundTrip(text);
    return 0;
}
