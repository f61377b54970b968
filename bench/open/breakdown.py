# Usage: perf script -i X.data -F comm,tid,ip,sym | python3 breakdown.py CPU_SECONDS
# Reads `perf script` output and charges each sample to the first category found on its stack,
# looking from the innermost frame of the open's own steps outwards (the order below decides).
import sys, re, collections
cats = [  # (name, pattern on a frame's function), most specific first
    ("stamp: BLAKE2b of the bytes (stampOf)", r"zimo::stampOf"),
    ("read the file (readWholeFile)", r"zimo::readWholeFile"),
    ("recognition: which encoding (find, checks)", r"zimo::encoding::\(anonymous namespace\)::find\b|zimo::encoding::detail::check|zimo::encoding::recogni"),
    ("decode (bytes -> text)", r"zimo::encoding::decode\b|zimo::cp932::decode|Codec::decode"),
    ("kept lines (re-encode each line, compare)", r"zimo::KeptLines::remember|rememberKeptLines"),
    ("draft after the open (textSnapshot on the main thread)", r"zimo::DraftKeeper::save"),
    ("line-end conversion to the widget's form (toWidgetText)", r"zimo::PlainTextBox::toWidgetText"),
    ("widget document: QTextCursor::insertText (blocks, fragments)", r"QTextCursor::insertText|zimo::\(anonymous namespace\)::insertRuns"),
    ("file_text back from the widget (PlainTextBox::text)", r"zimo::PlainTextBox::text\b"),
    ("rest of setText (undo stack, signals, line-end table)", r"zimo::PlainTextBox::setText"),
    ("rest of takeFile/openDocument", r"zimo::DocumentCommands::(takeFile|openDocument)"),
    ("highlighter after the open (idle steps)", r"zimo::HtmlHighlighter::"),
    ("layout and painting", r"QPlainTextDocumentLayout|QWidgetRepaintManager|paintEvent"),
    ("start-up (Form1, QApplication, fonts)", r"zimo::Form1::Form1|QApplication::QApplication|QGuiApplication|QFontDatabase"),
    ("other threads (draft writer, Xlib, glib)", r"start_thread|clone3"),
]
pats = [(n, re.compile(p)) for n, p in cats]
counts = collections.Counter(); total = 0
stack = []
def flush():
    global total
    if not stack: return
    total += 1
    for name, pat in pats:
        if any(pat.search(f) for f in stack):
            counts[name] += 1; return
    counts["other (main loop, X11, memory)"] += 1
for line in sys.stdin:
    if not line.strip():
        flush(); stack = []; continue
    if line.startswith((" ", "\t")):
        parts = line.strip().split(None, 1)
        if len(parts) == 2: stack.append(parts[1])
    else:
        flush(); stack = []
flush()
secs = float(sys.argv[1]) if len(sys.argv) > 1 else 0
print(f"samples: {total}")
for name, _ in cats + [("other (main loop, X11, memory)", None)]:
    c = counts[name]
    print(f"| {name} | {100*c/total:.1f} % | {secs*c/total:.2f} s |")
