#!/usr/bin/python3
"""Prints how a browser's tokenizer (html5lib, driven by its tree builder, so that <script>,
<title>, <textarea>, <svg> and the like switch it as a browser's does) classifies each character of
an HTML file, one class letter per character, line ends kept:

  t  a tag (start or end, with its attributes)
  c  a comment, a DOCTYPE or another markup declaration
  s  raw contents: script or style data, RAWTEXT (xmp, iframe, noembed, noframes), plaintext
  .  text (character data, RCDATA of title and textarea, references, CDATA in foreign content)

The file must use LF line ends (html5lib turns CR and CR LF into LF)."""

import sys

import html5lib
from html5lib import _tokenizer
from html5lib.constants import tokenTypes

RAW_STATES = ("scriptData", "rawtext", "plaintext")


def classify(text):
    if text.startswith("\ufeff"):
        # html5lib drops a byte-order mark; the scanner sees it as a character of text.
        return "." + classify(text[1:])
    classes = [None] * len(text)
    line_starts = [0]
    for i, ch in enumerate(text):
        if ch == "\n":
            line_starts.append(i + 1)

    original = _tokenizer.HTMLTokenizer.__iter__

    def recording(self):
            done = 0
            for token in original(self):
                line, col = self.stream.position()
                end = min(line_starts[line - 1] + col, len(text)) if line - 1 < len(line_starts) else len(text)
                kind = token["type"]
                if kind == tokenTypes["ParseError"]:
                    yield token
                    continue
                if kind in (tokenTypes["StartTag"], tokenTypes["EndTag"], tokenTypes["EmptyTag"]):
                    letter = "t"
                elif kind in (tokenTypes["Comment"], tokenTypes["Doctype"]):
                    letter = "c"
                else:
                    name = self.state.__name__
                    letter = "s" if name.startswith(RAW_STATES) else "."
                for i in range(done, end):
                    classes[i] = letter
                done = max(done, end)
                yield token
            for i in range(done, len(text)):
                classes[i] = classes[i] or "."

    _tokenizer.HTMLTokenizer.__iter__ = recording
    try:
        html5lib.HTMLParser().parse(text)
    finally:
        _tokenizer.HTMLTokenizer.__iter__ = original
    return "".join("\n" if text[i] == "\n" else (c or ".") for i, c in enumerate(classes))


if __name__ == "__main__":
    with open(sys.argv[1], encoding="utf-8") as f:
        sys.stdout.write(classify(f.read()))
