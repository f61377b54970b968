// Code page 932 both ways.
// - Any bytes: decoding then encoding gives the same bytes back, except that a folded duplicate
//   cell (docs/codepage932.md, 398 cells) may come back as another cell of the same character;
//   the result always encodes completely and reopens as the same text.
// - The same bytes read as UTF-16 text: encoding reports exactly the characters canEncodeAt
//   refuses, in order, and writes nothing in their place: the bytes reopen as the text without
//   them (the one-way mappings reopening as their Microsoft forms).

#include "document/cp932.h"
#include "fuzzcheck.h"

#include <QHash>

#include <cstddef>
#include <cstdint>

using namespace zimo;

namespace {

using Cell = std::uint16_t; // lead byte << 8 | trail byte

// The trail bytes of a row in cell order: 40..7E, 80..FC.
QList<int> trailBytes()
{
    QList<int> trails;
    for (int t = 0x40; t <= 0xFC; ++t) {
        if (t != 0x7F)
            trails.append(t);
    }
    return trails;
}

// Every cell of a character that has more than one, mapped to the cell the encoder writes for it.
// Written down from the table in docs/codepage932.md, independently of the codec.
QHash<Cell, Cell> foldedCells()
{
    QHash<Cell, Cell> canonical;
    auto fold = [&](Cell duplicate, Cell written) {
        canonical.insert(duplicate, written);
        canonical.insert(written, written);
    };
    // NEC row 13 math symbols that JIS row 2 also has.
    const Cell nec13[][2] = {{0x8790, 0x81E0}, {0x8791, 0x81DF}, {0x8792, 0x81E7},
                             {0x8795, 0x81E3}, {0x8796, 0x81DB}, {0x8797, 0x81DA},
                             {0x879A, 0x81E6}, {0x879B, 0x81BF}, {0x879C, 0x81BE}};
    for (const auto &pair : nec13)
        fold(pair[0], pair[1]);
    // NEC-selected IBM extensions: ED40..EEEC are FA5C..FC4B in the same cell order.
    const QList<int> trails = trailBytes();
    QList<Cell> necSelected, ibm;
    for (int lead : {0xED, 0xEE}) {
        for (int t : trails) {
            if (lead == 0xEE && t > 0xEC)
                break;
            necSelected.append(Cell(lead << 8 | t));
        }
    }
    for (int lead : {0xFA, 0xFB, 0xFC}) {
        for (int t : trails) {
            if ((lead == 0xFA && t < 0x5C) || (lead == 0xFC && t > 0x4B))
                continue;
            ibm.append(Cell(lead << 8 | t));
        }
    }
    FUZZ_CHECK(necSelected.size() == 360 && ibm.size() == 360, QString());
    for (qsizetype i = 0; i < necSelected.size(); ++i)
        fold(necSelected[i], ibm[i]);
    for (int k = 0; k < 10; ++k) {
        fold(Cell(0xEEEF + k), Cell(0xFA40 + k)); // small roman numerals
        fold(Cell(0xFA4A + k), Cell(0x8754 + k)); // capital roman numerals
    }
    fold(0xEEF9, 0x81CA);
    fold(0xFA54, 0x81CA);
    fold(0xEEFA, 0xFA55);
    fold(0xEEFB, 0xFA56);
    fold(0xEEFC, 0xFA57);
    fold(0xFA58, 0x878A);
    fold(0xFA59, 0x8782);
    fold(0xFA5A, 0x8784);
    fold(0xFA5B, 0x81E6);

    qsizetype duplicates = 0;
    for (auto it = canonical.cbegin(); it != canonical.cend(); ++it) {
        if (it.key() != it.value())
            ++duplicates;
    }
    FUZZ_CHECK(duplicates == 398, QString::number(duplicates));
    // The list agrees with the codec: a duplicate reads as the same character as the cell the
    // encoder writes for it, and encodes to that cell.
    for (auto it = canonical.cbegin(); it != canonical.cend(); ++it) {
        const char dup[2] = {char(it.key() >> 8), char(it.key() & 0xFF)};
        const char written[2] = {char(it.value() >> 8), char(it.value() & 0xFF)};
        const QString c = cp932::decode(QByteArrayView(dup, 2));
        FUZZ_CHECK(c.size() == 1 && c == cp932::decode(QByteArrayView(written, 2)),
                   fuzz::hex(QByteArray(dup, 2)));
        FUZZ_CHECK(cp932::encode(c).bytes == QByteArray(written, 2), fuzz::hex(QByteArray(dup, 2)));
    }
    return canonical;
}

Cell cellAt(const QByteArray &bytes, qsizetype i)
{
    return Cell(static_cast<unsigned char>(bytes[i]) << 8 |
                static_cast<unsigned char>(bytes[i + 1]));
}

void decodeThenEncode(const QByteArray &input)
{
    static const QHash<Cell, Cell> folded = foldedCells();

    const QString text = cp932::decode(input);
    const cp932::EncodeResult saved = cp932::encode(text);
    const auto detail = [&] {
        return fuzz::hex(input) + QStringLiteral(" -> ") + fuzz::hex(saved.bytes);
    };
    FUZZ_CHECK(saved.ok(), detail());
    FUZZ_CHECK(saved.bytes.size() == input.size(), detail());
    // Byte for byte, except where one cell of a folded character was written as another.
    for (qsizetype i = 0; i < input.size();) {
        if (input[i] == saved.bytes[i]) {
            ++i;
            continue;
        }
        FUZZ_CHECK(i + 1 < input.size(), detail());
        const auto from = folded.constFind(cellAt(input, i));
        const auto to = folded.constFind(cellAt(saved.bytes, i));
        FUZZ_CHECK(from != folded.cend() && to != folded.cend() && *from == *to,
                   detail() + QStringLiteral(" at ") + QString::number(i));
        i += 2;
    }
    FUZZ_CHECK(cp932::decode(saved.bytes) == text, detail());
}

bool isStandIn(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// What a character the code page holds reopens as: itself, or for the one-way mappings the
// Microsoft form of the same cell.
char16_t reopensAs(char16_t c)
{
    switch (c) {
    case 0x301C:
        return 0xFF5E;
    case 0x00A2:
        return 0xFFE0;
    case 0x00A3:
        return 0xFFE1;
    case 0x00AC:
        return 0xFFE2;
    case 0x2014:
        return 0x2015;
    case 0x2016:
        return 0x2225;
    case 0x2212:
        return 0xFF0D;
    default:
        return c;
    }
}

void encodeAnyText(const QByteArray &input)
{
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(input.constData()), input.size() / 2);
    const cp932::EncodeResult saved = cp932::encode(text);
    const auto detail = [&] {
        return fuzz::units(text) + QStringLiteral(" -> ") + fuzz::hex(saved.bytes);
    };
    FUZZ_CHECK(saved.bytes.size() <= 2 * text.size(), detail());

    QString expected;
    bool standIns = false;
    qsizetype next = 0; // index into saved.unencodable
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                          QChar::isLowSurrogate(text[i + 1].unicode());
        const bool reported = next < saved.unencodable.size() && saved.unencodable[next] == i;
        FUZZ_CHECK(reported == !cp932::canEncodeAt(text, i),
                   detail() + QStringLiteral(" at ") + QString::number(i));
        FUZZ_CHECK(next >= saved.unencodable.size() || saved.unencodable[next] >= i, detail());
        if (reported)
            ++next;
        else
            expected += QChar(reopensAs(c));
        standIns = standIns || isStandIn(c);
        if (pair)
            ++i;
    }
    FUZZ_CHECK(next == saved.unencodable.size(), detail());
    // With a stand-in for a lead byte the written bytes may group into other characters (the
    // user built that text), so the reopen check needs a text without stand-ins.
    if (!standIns)
        FUZZ_CHECK(cp932::decode(saved.bytes) == expected, detail());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    decodeThenEncode(input);
    encodeAnyText(input);
    return 0;
}
