"""Reads ARCHIVE with Python's zipfile, a reader independent of ours: a line
per entry (method, CRC in hex, size, six date-time fields, then the raw name
and the data, each in hex after an "x"); fails unless every CRC checks out."""
import sys
import zipfile

try:
    with zipfile.ZipFile(sys.argv[1]) as z:
        if z.testzip() is not None:
            sys.exit("bad entry " + z.testzip())
        for i in z.infolist():
            name = i.orig_filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437")
            print(i.compress_type, "%x" % i.CRC, i.file_size, *i.date_time,
                  "x" + name.hex(), "x" + z.read(i).hex())
except Exception as e:  # any failure to read is the answer
    sys.exit("%s: %s" % (type(e).__name__, e))
