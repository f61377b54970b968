#include "document/documentfile.h"

#include "document/cp932.h"

#include <QFileInfo>

namespace zimo {

namespace {

// The code point at `pos` and how many UTF-16 units it takes (2 for a surrogate pair).
std::pair<char32_t, qsizetype> codePointAt(QStringView text, qsizetype pos)
{
    const QChar c = text[pos];
    if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text[pos + 1]), 2};
    return {c.unicode(), 1};
}

QString hexCode(char32_t codePoint)
{
    return QString::number(codePoint, 16).toUpper().rightJustified(4, u'0');
}

} // namespace

DocumentBytes encodeDocument(QStringView text, const QList<KeptSpan> &kept)
{
    cp932::EncodeResult encoded = cp932::encode(text);
    // The kept lines hold no character the code page cannot hold (they were read from bytes),
    // so the positions of those stay as they are. (Should the bytes not have the text's lines,
    // which code page 932 always keeps, the codec's bytes are written as they are.)
    if (!kept.isEmpty())
        putKeptBytes(text, encoded.bytes, kept, cp932LineCodec());
    encoded.bytes.append("\r\n", 2);
    return {std::move(encoded.bytes), std::move(encoded.unencodable)};
}

QByteArray encodeDocumentWithReferences(QStringView text, const QList<qsizetype> &unencodable,
                                        const QList<KeptSpan> &kept)
{
    QByteArray bytes;
    bytes.reserve(text.size() + unencodable.size() * 10 + 2);
    auto next = unencodable.cbegin();
    // The pieces between the characters are encoded one by one: code page 932 has no shift
    // state, so the pieces' bytes joined are the bytes of the whole.
    auto encodePiece = [&](qsizetype from, qsizetype to) {
        for (; next != unencodable.cend() && *next < to; ++next) {
            const qsizetype pos = *next;
            if (pos < from)
                continue;
            bytes.append(cp932::encode(text.sliced(from, pos - from)).bytes);
            const auto [codePoint, units] = codePointAt(text, pos);
            bytes.append(characterReference(codePoint).toLatin1());
            from = std::min(pos + units, to);
        }
        bytes.append(cp932::encode(text.sliced(from, to - from)).bytes);
    };
    appendAroundKept(text, kept, encodePiece, bytes);
    bytes.append("\r\n", 2);
    return bytes;
}

LineCodec cp932LineCodec()
{
    return {[](QByteArrayView bytes) { return cp932::decode(bytes); },
            [](QStringView text) { return cp932::encode(text).bytes; }};
}

QString characterReference(char32_t codePoint)
{
    return QStringLiteral("&#x") + QString::number(codePoint, 16).toUpper() + u';';
}

TextPlace placeOf(QStringView text, qsizetype position)
{
    TextPlace place;
    qsizetype i = 0;
    while (i < position && i < text.size()) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++place.line;
            place.column = 1;
            i += 2;
            continue;
        }
        i += codePointAt(text, i).second;
        ++place.column;
    }
    if (position >= 0 && position < text.size())
        place.codePoint = codePointAt(text, position).first;
    return place;
}

QString unencodablePrompt(QStringView text, const QList<qsizetype> &unencodable)
{
    if (unencodable.isEmpty())
        return {};
    const TextPlace place = placeOf(text, unencodable.first());
    const QString code = QStringLiteral("U+") + hexCode(place.codePoint);
    // The character itself is shown only when it has a visible form of its own; a control or
    // formatting character (or a broken surrogate) is named by its code alone.
    const bool visible = !QChar::isSurrogate(place.codePoint) && QChar::isPrint(place.codePoint) &&
                         QChar::category(place.codePoint) != QChar::Other_Format;
    const QString which = visible
                              ? QStringLiteral("「%1」（%2）").arg(QString::fromUcs4(&place.codePoint, 1), code)
                              : code;
    QString prompt = QStringLiteral("この文書には、シフトJIS（コード ページ 932）で保存できない文字が "
                                    "%1 個あります。\n\n")
                         .arg(unencodable.size());
    prompt += QStringLiteral("最初の文字：%1　%2 行目の %3 文字目\n\n")
                  .arg(which)
                  .arg(place.line)
                  .arg(place.column);
    prompt += QStringLiteral("これらの文字を HTML の数値文字参照（%1 の形）に置き換えて保存しますか？\n"
                             "［キャンセル］を選ぶと保存しません。")
                  .arg(characterReference(place.codePoint));
    return prompt;
}

QString writeFailurePrompt(const QString &path, bool existedBefore, const QString &reason)
{
    QString prompt = QStringLiteral("ファイル「%1」に保存できませんでした。\n\n").arg(path);
    prompt += reason.isEmpty() ? QStringLiteral("原因は分かりません。") : reason;
    // Only a file that was there can have been kept.
    if (existedBefore)
        prompt += QStringLiteral("\n\n元のファイルはそのまま残っています。");
    return prompt;
}

QString readFailurePrompt(const QString &path, const QString &systemReason)
{
    const QFileInfo info(path);
    QString reason;
    if (info.isDir())
        reason = QStringLiteral("フォルダは開けません。");
    else if (!info.isReadable())
        reason = QStringLiteral("読み取りの権限がありません。");

    QString prompt = QStringLiteral("ファイル「%1」を開けませんでした。\n\n").arg(path);
    if (!reason.isEmpty())
        prompt += reason;
    else
        prompt += systemReason.isEmpty() ? QStringLiteral("原因は分かりません。") : systemReason;
    return prompt;
}

} // namespace zimo
