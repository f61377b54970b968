// Prints how the colour scanner classifies each character of an HTML file, in the letters of
// html5classes.py (which prints html5lib's): t a tag, c a comment or declaration, s raw
// contents, . text; one letter a Unicode character, line ends kept. The file is UTF-8 with LF
// line ends.
//
//   htmlclasses FILE

#include "html/htmlspans.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace zimo;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: htmlclasses FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "htmlclasses: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(file.readAll());
    QString out;
    HtmlState state;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (!out.isEmpty() || line.data() != text.data())
            out += u'\n';
        const HtmlLine scanned = htmlSpans(line, state);
        QString classes(line.size(), u'.');
        for (qsizetype k = 0; k < scanned.spans.size(); ++k) {
            const HtmlSpan &span = scanned.spans[k];
            char16_t letter = u'.';
            switch (span.kind) {
            case HtmlKind::TagMark:
            case HtmlKind::TagName:
            case HtmlKind::AttrName:
            case HtmlKind::AttrValue:
                letter = u't';
                break;
            case HtmlKind::Comment:
            case HtmlKind::Doctype:
                letter = u'c';
                break;
            case HtmlKind::Script:
                letter = u's';
                break;
            case HtmlKind::Reference: {
                // A reference in a value is part of the tag; in text it is text.
                const bool inValue = k > 0 && scanned.spans[k - 1].kind == HtmlKind::AttrValue &&
                                     scanned.spans[k - 1].start + scanned.spans[k - 1].length == span.start;
                letter = inValue ? u't' : u'.';
                break;
            }
            }
            for (qsizetype c = span.start; c < span.start + span.length; ++c)
                classes[c] = letter;
        }
        // One letter a character: the second half of a surrogate pair takes none.
        for (qsizetype c = 0; c < line.size(); ++c)
            if (!(line[c].isLowSurrogate() && c > 0 && line[c - 1].isHighSurrogate()))
                out += classes[c];
        state = scanned.out;
    }
    QTextStream(stdout) << out;
    return 0;
}
