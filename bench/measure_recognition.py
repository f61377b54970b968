#!/usr/bin/env python3
"""Side measurement of the recognition rules (docs/encodings.md): makes test files of every kind
from Japanese texts of the system (vim's Japanese tutor, GnuPG's Japanese help) and from tables
(NEC row 13, IBM extensions, half-width katakana, Western words), lets bench_recognition
--classify recognise each with the new code and the old, and uchardet too when installed, and
prints per kind how many files each reading got.

    bench/measure_recognition.py build/bench/bench_recognition [folder]
"""
import collections, os, random, shutil, subprocess, sys, tempfile

tool = sys.argv[1]
folder = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix='zimo-measure-')
os.makedirs(folder, exist_ok=True)

sources = ['/usr/share/vim/vim90/tutor/tutor.ja.utf-8', '/usr/share/gnupg/help.ja.txt']
paragraphs = []
for path in sources:
    text = open(path, encoding='utf-8').read().replace('\r\n', '\n')
    for p in text.split('\n\n'):
        p = p.strip('\n')
        if sum(ord(c) > 0x7F for c in p) >= 10:
            paragraphs.append(p.replace('\n', '\r\n') + '\r\n')
random.seed(21)
paragraphs = [p for p in paragraphs if all(ord(c) < 0x10000 for c in p)]

# Code page 932's NEC row 13 and its IBM extensions, and where Windows' EUC-JP puts them.
def cp932_cell(b):
    try:
        return b.decode('cp932')
    except UnicodeDecodeError:
        return None
row13 = [c for t in range(0x40, 0x9F) if t != 0x7F for c in [cp932_cell(bytes([0x87, t]))] if c]
ibm = {}  # character -> EUC-JP bytes in rows F9..FC (from the NEC-selected cells ED40..EEFC)
for lead in (0xED, 0xEE):
    for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
        c = cp932_cell(bytes([lead, trail]))
        if not c:
            continue
        row = 89 + (lead - 0xED) * 2 + (1 if trail >= 0x9F else 0)
        cell = trail - 0x9E if trail >= 0x9F else trail - 0x3F - (1 if trail > 0x7F else 0)
        ibm[c] = bytes([0xA0 + row, 0xA0 + cell])
ibm_kanji = [c for c in ibm if ord(c) >= 0x4E00]

def sjis_to_euc(b):
    """Windows' EUC-JP of code page 932 bytes, by the JIS row and cell arithmetic."""
    out, i = bytearray(), 0
    while i < len(b):
        x = b[i]
        if x < 0x80:
            out.append(x); i += 1; continue
        if 0xA1 <= x <= 0xDF:
            out += bytes([0x8E, x]); i += 1; continue
        y = b[i + 1]
        c = bytes([x, y]).decode('cp932')
        if c in ibm:
            out += ibm[c]; i += 2; continue
        row = (x - 0x81) * 2 + 1 if x <= 0x9F else (x - 0xE0) * 2 + 63
        if y >= 0x9F:
            row += 1; cell = y - 0x9E
        else:
            cell = y - 0x3F - (1 if y > 0x7F else 0)
        out += bytes([0xA0 + row, 0xA0 + cell]); i += 2
    return bytes(out)

def iconv(text, to):
    r = subprocess.run(['iconv', '-f', 'UTF-8', '-t', to], input=text.encode(), capture_output=True)
    return r.stdout if r.returncode == 0 else None

def with_extensions(p, k):
    chars = list(p)
    for _ in range(k):
        pos = random.randrange(len(chars))
        chars.insert(pos, random.choice(row13[:20] + ibm_kanji[:200]))
    return ''.join(chars)

files = collections.defaultdict(list)  # kind -> file names
def add(kind, data):
    if data is None:
        return
    name = os.path.join(folder, '%s-%03d' % (kind, len(files[kind])))
    open(name, 'wb').write(data)
    files[kind].append(name)

def half_width(s):
    full = 'アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン'
    return s

for p in paragraphs:
    try:
        p.encode('cp932')
    except UnicodeEncodeError:
        continue
    add('cp932', p.encode('cp932'))
    add('utf8', p.encode('utf-8'))
    e = iconv(p, 'EUC-JP')
    add('eucjp', e)
    x = with_extensions(p, 1 + random.randrange(3))
    add('cp932+ext', x.encode('cp932'))
    add('eucjp-windows+ext', sjis_to_euc(x.encode('cp932')))
    add('eucjp-ms+ext', iconv(x, 'EUC-JP-MS'))
    j = iconv(p, 'ISO-2022-JP')
    if j:
        add('iso2022jp', j)
        add('iso2022jp-1978', j.replace(b'\x1b$B', b'\x1b$@'))
        add('iso2022jp-roman', j.replace(b'\x1b(B', b'\x1b(J') if b'\\' not in j and b'~' not in j else None)
        # Half-width katakana by ESC ( I and by SO/SI, ① inside ESC $ B, as Windows writes them.
        kana = 'ﾃｽﾄ'.encode('cp932')
        k7 = bytes(b - 0x80 for b in kana)
        add('iso2022jp-esc-i', j.replace(b'\r\n', b'\x1b(I' + k7 + b'\x1b(B\r\n', 1))
        add('iso2022jp-so-si', j.replace(b'\r\n', b'\x0e' + k7 + b'\x0f\r\n', 1))
        add('iso2022jp-nec13', j.replace(b'\r\n', b'\x1b$B-!-"\x1b(B\r\n', 1))
    add('utf16le', p.encode('utf-16-le'))
    add('utf16be', p.encode('utf-16-be'))
    add('utf16le-bom', b'\xff\xfe' + p.encode('utf-16-le'))

# Short texts: half-width katakana words in code page 932, Western words in UTF-8.
katakana = ['ﾃｷｽﾄ', 'ﾃｷ', 'ﾐｽ', 'ﾌｧｲﾙ', 'ﾍﾟｰｼﾞ', 'ﾒﾓ', 'ﾃﾞｰﾀ', 'ｺｰﾄﾞ', 'ﾎｰﾑ', 'ﾘﾝｸ', 'ｶﾅ', 'ﾀｸﾞ',
            'ｻｲﾄ', 'ﾄｯﾌﾟ', 'ﾒﾆｭｰ', 'ﾍﾙﾌﾟ', 'ﾃｽﾄ', 'ﾆｭｰｽ', 'ｲﾝﾃﾞｯｸｽ', 'ﾌﾞﾛｸﾞ']
for a in katakana:
    for b in katakana:
        add('short-cp932-kana', (a + b).encode('cp932'))
western = ['café', 'naïve', 'Größe', 'über', 'señor', 'garçon', 'Привет', 'Ελλάδα', 'déjà vu',
           'São Paulo', 'Zürich', 'crème brûlée', 'Ångström', 'façade', 'fiancée', 'résumé',
           '© 2026', '25 °C', '± 5', 'smörgåsbord']
for a in western:
    add('short-utf8-western', a.encode('utf-8'))
    add('short-utf8-western', (a + ' ' + random.choice(western)).encode('utf-8'))

names = [n for kind in files for n in files[kind]]
out = subprocess.run([tool, '--classify'] + names, capture_output=True, text=True, check=True).stdout
got = {}
for line in out.splitlines():
    name, new, old, same = line.split('\t')
    got[name] = (new, old, same)
uchardet = shutil.which('uchardet')
for kind in files:
    new = collections.Counter(got[n][0] for n in files[kind])
    old = collections.Counter(got[n][1] for n in files[kind])
    same = sum(got[n][2] == 'same' for n in files[kind])
    line = '| %s | %d | %d | %s | %s |' % (kind, len(files[kind]), same,
        ', '.join('%s %d' % kv for kv in new.most_common()),
        ', '.join('%s %d' % kv for kv in old.most_common()))
    if uchardet:
        u = collections.Counter(subprocess.run([uchardet, n], capture_output=True, text=True).stdout.strip()
                                for n in files[kind])
        line += ' %s |' % ', '.join('%s %d' % kv for kv in u.most_common())
    print(line)
print('files in', folder)
