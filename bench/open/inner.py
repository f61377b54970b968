# Usage: perf script -i X.data -F comm,tid,ip,sym | python3 inner.py REGEX [ROWS]
# Self time of the innermost frames among samples whose stack holds the pattern argv[1].
import sys, re, collections
pat = re.compile(sys.argv[1]); c = collections.Counter(); n = 0; total = 0; stack = []
def flush():
    global n, total
    if not stack: return
    total += 1
    if any(pat.search(f) for f in stack):
        n += 1; c[re.sub(r"\+0x[0-9a-f]+$", "", stack[0])] += 1
for line in sys.stdin:
    if line.startswith((" ", "\t")) and line.strip():
        p = line.strip().split(None, 1); stack.append(p[1] if len(p) == 2 else p[0])
    else:
        flush(); stack = []
flush()
print(f"{n} of {total} samples")
for f, k in c.most_common(int(sys.argv[2]) if len(sys.argv) > 2 else 12):
    print(f"{100*k/total:5.1f} %  {f[:90]}")
