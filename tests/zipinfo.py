"""Reads an archive with Python's zipfile, as an independent reader.

Usage: zipinfo.py ARCHIVE OUTDIR
Prints "ok" when every entry's CRC checks out, then one line an entry:
hex of the raw name, method, CRC, size, and the six date-time fields,
tab-separated.  Entry i's data is written to OUTDIR/i.
"""
import os
import sys
import zipfile


def raw_name(info):
    if info.flag_bits & 0x800:
        return info.orig_filename.encode("utf-8")
    return info.orig_filename.encode("cp437")


def main():
    archive, outdir = sys.argv[1], sys.argv[2]
    try:
        with zipfile.ZipFile(archive) as z:
            bad = z.testzip()
            if bad is not None:
                print("bad entry", bad)
                return 1
            lines = []
            for i, info in enumerate(z.infolist()):
                with open(os.path.join(outdir, str(i)), "wb") as out:
                    out.write(z.read(info))
                fields = [raw_name(info).hex(), str(info.compress_type),
                          "%08x" % info.CRC, str(info.file_size)]
                fields += [str(v) for v in info.date_time]
                lines.append("\t".join(fields))
    except Exception as e:  # any failure to read is the answer
        print("error", type(e).__name__, e)
        return 1
    print("ok")
    for line in lines:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
