"""Compares two packages entry for entry: names, order, CRC, sizes, method.

Usage: oacmp_same.py A.pk3 B.pk3
Prints "equal (N entries)" or the differences, and exits 0 only when equal.
"""
import sys
import zipfile


def entries(path):
    with zipfile.ZipFile(path) as z:
        return [(i.filename, i.CRC, i.file_size, i.compress_size, i.compress_type)
                for i in z.infolist()]


a, b = entries(sys.argv[1]), entries(sys.argv[2])
if a == b:
    print("equal (%d entries)" % len(a))
    sys.exit(0)
names_a, names_b = [e[0] for e in a], [e[0] for e in b]
print("differ: %d against %d entries" % (len(a), len(b)))
for n in sorted(set(names_a) - set(names_b))[:10]:
    print("  only in first: " + n)
for n in sorted(set(names_b) - set(names_a))[:10]:
    print("  only in second: " + n)
if sorted(names_a) == sorted(names_b) and names_a != names_b:
    print("  same names, other order; first at %d" % next(
        i for i, (x, y) in enumerate(zip(names_a, names_b)) if x != y))
other = {e[0]: e for e in b}
for e in a:
    if e[0] in other and other[e[0]] != e:
        print("  %s: (crc, size, stored, method) %s against %s" % (e[0], e[1:], other[e[0]][1:]))
sys.exit(1)
