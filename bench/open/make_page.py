# A Japanese HTML-like page of about MIB MiB for the open profile: markup and words mixed with
# kanji and kana, each line ended by CR LF.  python3 make_page.py MIB ENCODING OUT  (cp932, utf-8)
import random, sys
mib, enc, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
words = ["<P>", "</P>", "<BR>", '<A HREF="index.html">', "</A>", "ZIMO", "page", "2024", "text",
         "日本語", "テキスト", "ファイル", "編集", "保存します", "文字コード", "の", "を", "、", "。",
         "漢字と仮名", "ﾃｷｽﾄ", "①", "～", "吾輩は猫である。", "名前はまだ無い。"]
r = random.Random(932)
target = mib << 20
size = 0
with open(out, "wb") as f:
    while size < target:
        line = "".join(r.choice(words) for _ in range(r.randint(4, 14)))
        b = (line + "\r\n").encode(enc)
        f.write(b); size += len(b)
