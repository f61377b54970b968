#include "check/tidyreport.h"

#include <QHash>

namespace zimo {

namespace {

// Japanese for Tidy's messages, by Tidy's key. %1, %2, ... stand for Tidy's arguments in Tidy's
// order (an element Tidy names comes with its brackets, "<img>"). The messages tell the writer
// what is wrong with the page: where Tidy's text says what Tidy would do about it in its tidied
// copy, the Japanese says what the page holds, since ZIMO never changes the page.
const QHash<QByteArray, QString> &table()
{
    static const QHash<QByteArray, QString> t = {
        // End tags and nesting.
        {"MISSING_ENDTAG_FOR", QStringLiteral("</%1> がありません")},
        {"MISSING_ENDTAG_BEFORE", QStringLiteral("%2 の前に </%1> がありません")},
        {"MISSING_ENDTAG_OPTIONAL", QStringLiteral("省略できる終了タグ </%1> がありません")},
        {"MISSING_STARTTAG", QStringLiteral("<%1> がありません")},
        {"INSERTING_TAG", QStringLiteral("ここで <%1> が補われます")},
        {"UNEXPECTED_ENDTAG", QStringLiteral("対応する開始タグのない </%1> があります")},
        {"UNEXPECTED_ENDTAG_ERR", QStringLiteral("対応する開始タグのない </%1> があります")},
        {"UNEXPECTED_ENDTAG_IN", QStringLiteral("<%2> の中に対応する開始タグのない </%1> があります")},
        {"DISCARDING_UNEXPECTED", QStringLiteral("ここには書けない %1 があります（無視されます）")},
        {"NON_MATCHING_ENDTAG", QStringLiteral("%1 は </%2> の誤りではありませんか")},
        {"COERCE_TO_ENDTAG", QStringLiteral("<%1> は </%2> の誤りではありませんか")},
        {"REPLACING_UNEX_ELEMENT", QStringLiteral("ここには書けない %1 があります（%2 の誤りではありませんか）")},
        {"NESTED_EMPHASIS", QStringLiteral("強調の %1 が二重になっています")},
        {"NESTED_QUOTATION", QStringLiteral("q 要素が入れ子になっています。書き誤りではありませんか")},
        {"ILLEGAL_NESTING", QStringLiteral("%1 を入れ子にするべきではありません")},
        {"CANT_BE_NESTED", QStringLiteral("%1 は入れ子にできません")},
        {"TAG_NOT_ALLOWED_IN", QStringLiteral("%1 は <%2> 要素の中には書けません")},
        {"TOO_MANY_ELEMENTS", QStringLiteral("%1 要素が多すぎます")},
        {"TOO_MANY_ELEMENTS_IN", QStringLiteral("<%2> の中の %1 要素が多すぎます")},
        {"ELEMENT_NOT_EMPTY", QStringLiteral("%1 要素が空でないか、閉じられていません")},
        {"TRIM_EMPTY_ELEMENT", QStringLiteral("中身のない %1 があります")},
        {"CONTENT_AFTER_BODY", QStringLiteral("body の終わりより後に内容があります")},
        {"PREVIOUS_LOCATION", QStringLiteral("<%1> は前にも出てきています")},
        {"UNEXPECTED_END_OF_FILE", QStringLiteral("%1 の途中で文書が終わっています")},
        {"DUPLICATE_FRAMESET", QStringLiteral("FRAMESET 要素が繰り返されています")},
        {"NOFRAMES_CONTENT", QStringLiteral("%1 が noframes 要素の中にありません")},
        // Elements.
        {"UNKNOWN_ELEMENT", QStringLiteral("%1 は HTML にない要素です")},
        {"UNKNOWN_ELEMENT_LOOKS_CUSTOM", QStringLiteral("%1 は HTML にない要素です")},
        {"CUSTOM_TAG_DETECTED", QStringLiteral("独自の要素 %1 があります（%2 として扱われます）")},
        {"PROPRIETARY_ELEMENT", QStringLiteral("%1 は標準の HTML にない独自拡張の要素です")},
        {"ELEMENT_VERS_MISMATCH_ERROR", QStringLiteral("%1 要素は %2 では使えません")},
        {"ELEMENT_VERS_MISMATCH_WARN", QStringLiteral("%1 要素は %2 では使えません")},
        {"REMOVED_HTML5", QStringLiteral("%1 要素は HTML5 で廃止されました")},
        {"OBSOLETE_ELEMENT", QStringLiteral("%1 は廃止された要素です（代わりに %2 を使います）")},
        {"REPLACING_ELEMENT", QStringLiteral("%1 は %2 にするべきです")},
        {"USING_BR_INPLACE_OF", QStringLiteral("%1 は <br> にするべきです")},
        {"FOUND_STYLE_IN_BODY", QStringLiteral("<body> の中に <style> があります")},
        {"MOVED_STYLE_TO_HEAD", QStringLiteral("<body> の中に <style> があります")},
        // Attributes.
        {"MISSING_ATTRIBUTE", QStringLiteral("%1 に属性「%2」がありません")},
        {"MISSING_ATTR_VALUE", QStringLiteral("%1 の属性「%2」に値がありません")},
        {"MISMATCHED_ATTRIBUTE_WARN", QStringLiteral("%1 の属性「%2」は %3 では使えません")},
        {"MISMATCHED_ATTRIBUTE_ERROR", QStringLiteral("%1 の属性「%2」は %3 では使えません")},
        {"PROPRIETARY_ATTRIBUTE", QStringLiteral("%1 の属性「%2」は標準の HTML にない独自拡張です")},
        {"PROPRIETARY_ATTR_VALUE", QStringLiteral("%1 の属性値「%2」は標準の HTML にない独自拡張です")},
        {"BAD_ATTRIBUTE_VALUE", QStringLiteral("%1 の属性「%2」の値「%3」は正しくありません")},
        {"BAD_ATTRIBUTE_VALUE_REPLACED", QStringLiteral("%1 の属性「%2」の値「%3」は正しくありません")},
        {"ATTRIBUTE_VALUE_REPLACED", QStringLiteral("%1 の属性「%2」の値「%3」は正しくありません")},
        {"INVALID_ATTRIBUTE", QStringLiteral("%1 の属性名「%2」（値「%3」）は正しくありません")},
        {"REPEATED_ATTRIBUTE", QStringLiteral("%1 の属性「%3」が二度書かれています（値「%2」は使われません）")},
        {"JOINING_ATTRIBUTE", QStringLiteral("%1 の属性「%2」が二度書かれています")},
        {"ANCHOR_NOT_UNIQUE", QStringLiteral("%1 のアンカー「%2」は前にも定義されています")},
        {"ID_NAME_MISMATCH", QStringLiteral("%1 の id 属性と name 属性の値が違います")},
        {"XML_ID_SYNTAX", QStringLiteral("%1 の ID「%2」は XML の ID の書き方です")},
        {"INVALID_XML_ID", QStringLiteral("%1 の name 属性を id にできません")},
        {"ATTR_VALUE_NOT_LCASE", QStringLiteral("%1 の属性「%2」の値は XHTML では小文字で書きます")},
        {"ATTRIBUTE_IS_NOT_ALLOWED", QStringLiteral("%1 の属性「is」は独自の要素には使えません")},
        {"INSERTING_AUTO_ATTRIBUTE", QStringLiteral("%1 に属性「%2」（値「%3」）が必要です")},
        {"BAD_SUMMARY_HTML5", QStringLiteral("%1 要素の summary 属性は HTML5 で廃止されました")},
        {"MISSING_IMAGEMAP", QStringLiteral("%1 にはクライアント側のイメージマップを使ってください")},
        // Quotes and the tag's own syntax.
        {"MISSING_QUOTEMARK", QStringLiteral("%1 の属性値を閉じる引用符がありません")},
        {"MISSING_QUOTEMARK_OPEN", QStringLiteral("属性「%1」の値に引用符がありません")},
        {"SUSPECTED_MISSING_QUOTE", QStringLiteral("属性値の引用符が足りないようです")},
        {"UNEXPECTED_QUOTEMARK", QStringLiteral("%1 に余分な引用符があります")},
        {"UNEXPECTED_GT", QStringLiteral("%1 のタグを閉じる「>」がありません")},
        {"UNEXPECTED_EQUALSIGN", QStringLiteral("%1 に属性名のない「=」があります")},
        {"UNEXPECTED_END_OF_FILE_ATTR", QStringLiteral("%1 の属性の途中で文書が終わっています")},
        // References and characters.
        {"MISSING_SEMICOLON", QStringLiteral("文字参照「%1」の終わりに「;」がありません")},
        {"MISSING_SEMICOLON_NCR", QStringLiteral("数値文字参照「%1」の終わりに「;」がありません")},
        {"UNKNOWN_ENTITY", QStringLiteral("「%1」は知られていない文字参照です（「&」そのものは「&amp;」と書きます）")},
        {"UNESCAPED_AMPERSAND", QStringLiteral("「&」そのものは「&amp;」と書きます")},
        {"APOS_UNDEFINED", QStringLiteral("文字参照 &apos; は HTML 4 では定義されていません（XML と XHTML だけです）")},
        {"INVALID_NCR", QStringLiteral("%1 の数値文字参照 %2 は正しくありません")},
        {"INVALID_SGML_CHARS", QStringLiteral("%1 に使えない文字（コード %2）があります")},
        {"VENDOR_SPECIFIC_CHARS", QStringLiteral("%1 に機種依存の文字（コード %2）があります")},
        {"INVALID_UTF8", QStringLiteral("%1 に UTF-8 として正しくないバイト（コード %2）があります")},
        {"INVALID_UTF16", QStringLiteral("%1 に UTF-16 として正しくないサロゲート（コード %2）があります")},
        // Addresses.
        {"ESCAPED_ILLEGAL_URI", QStringLiteral("%1 の URI に、そのままでは書けない文字があります")},
        {"ILLEGAL_URI_CODEPOINT", QStringLiteral("%1 の URI に使えない文字があります")},
        {"ILLEGAL_URI_REFERENCE", QStringLiteral("%1 の URI のエスケープが正しくありません")},
        {"BACKSLASH_IN_URI", QStringLiteral("%1 の URI に「\\」があります。「/」の誤りではありませんか")},
        {"FIXED_BACKSLASH", QStringLiteral("%1 の URI に「\\」があります。「/」の誤りではありませんか")},
        {"NEWLINE_IN_URI", QStringLiteral("%1 の URI の中で改行しています")},
        {"WHITE_IN_URI", QStringLiteral("%1 の URI に空白があります")},
        // The document as a whole.
        {"MISSING_DOCTYPE", QStringLiteral("<!DOCTYPE> 宣言がありません")},
        {"MALFORMED_DOCTYPE", QStringLiteral("<!DOCTYPE> 宣言の書き方が正しくありません")},
        {"DOCTYPE_AFTER_TAGS", QStringLiteral("<!DOCTYPE> 宣言は要素より前に書きます")},
        {"MISSING_TITLE_ELEMENT", QStringLiteral("title 要素がありません")},
        {"XML_DECLARATION_DETECTED", QStringLiteral("XML 宣言があります（HTML として調べます）")},
        {"SPACE_PRECEDING_XMLDECL", QStringLiteral("XML 宣言の前に空白があります")},
        {"BAD_CDATA_CONTENT", QStringLiteral("ここでは「</」の後に英字を続けられません")},
        {"MALFORMED_COMMENT", QStringLiteral("コメントの中に「--」があります")},
        {"MALFORMED_COMMENT_WARN", QStringLiteral("コメントの中に「--」があります")},
        {"MALFORMED_COMMENT_DROPPING", QStringLiteral("ハイフンが一つ足りないため、コメントになっていないようです")},
        {"MALFORMED_COMMENT_EOS", QStringLiteral("コメントが閉じられないまま文書が終わっています")},
    };
    return t;
}

// The template with %1, %2, ... replaced by the arguments in one pass (an argument's own "%1"
// stays as it is). A number without an argument becomes nothing.
QString fill(const QString &pattern, const QStringList &arguments)
{
    QString out;
    out.reserve(pattern.size() + 32);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
            const qsizetype n = pattern[i + 1].unicode() - u'1';
            if (n < arguments.size())
                out += arguments[n];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString tidyMessageText(const TidyReport &report)
{
    const QString pattern = table().value(report.key);
    if (pattern.isEmpty())
        return report.english.isEmpty() ? QString::fromLatin1(report.key) : report.english;
    return fill(pattern, report.arguments);
}

QList<QByteArray> translatedTidyKeys()
{
    return table().keys();
}

QString tidyMessageTemplate(const QByteArray &key)
{
    return table().value(key);
}

} // namespace zimo
