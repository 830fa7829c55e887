"""Reads ARCHIVE [PASSWORD] with Python's zipfile, a reader independent of ours: fails unless every CRC
checks out, else writes per entry a line (method, size, date-time, flags, name length),
name, data."""
import sys, zipfile

try:
    with zipfile.ZipFile(sys.argv[1]) as z:
        z.setpassword(sys.argv[2].encode() if len(sys.argv) > 2 else None)
        assert z.testzip() is None, "bad entry %s" % z.testzip()
        for i in z.infolist():
            name = i.orig_filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437")
            line = [i.compress_type, i.file_size, *i.date_time, i.flag_bits, len(name)]
            sys.stdout.buffer.write(" ".join(map(str, line)).encode() + b"\n" + name + z.read(i))
except Exception as e:  # any failure to read is the answer
    sys.exit("%s: %s" % (type(e).__name__, e))
