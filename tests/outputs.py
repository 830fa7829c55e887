"""What the program says and writes, run as a user runs it, against what it said when recorded in
tests/outputs/: each row's exit status, standard output and error, the entries of the package it
wrote (every byte but the times), and the texts of the dialogs the window tests meet.
outputs.py PROGRAM GUI_TESTS SOURCE_DIR [--record]: compares (a diff on failure), or records anew.
Run under an X server (for the window tests)."""
import difflib, hashlib, os, re, shlex, shutil, subprocess, sys, tempfile, zipfile

GAME = "/usr/share/games/openarena/baseoa"  # the game's paks, from Debian's openarena-data
VOLUME = GAME + "/z_oacmp-volume1-v3.pk3"  # Debian's openarena-oacmp1
SAMPLE = ("--bsp maps/crateyard.bsp --aas maps/crateyard.aas --levelshot levelshots/crateyard.jpg "
          "--textures textures --name crateyard --description 'Crate Yard' --modes ffa,tourney")
L = "C.UTF-8 --bsp l.bsp --name"
E = "en_US.UTF-8 --bsp l.bsp --name"
# Per file, the folder, then per row the locale and the arguments.  A "fixtures" folder holds the
# command-line test's files, fresh for each row; a "sample" folder is the sample map for all rows.
GROUPS = {
    "command_line": ("fixtures", f"""\
{L} m --fast
C.UTF-8 --name m --bsp
C.UTF-8 --bsp l.bsp --modes ffa
C.UTF-8 --name m --yes
{L} m m.pk3
{L} m --modes ffa,dm
{L} m --verify --dry-run
{L} m --textures l.bsp
{L} m --levelshot l.bsp/x
{L} m --name n
C --bsp l.bsp --name m --name n
{L} m --modes ffa --modes ctf,1v1
C.UTF-8 --bsp '' --name m
{L} {"n" * 52} --modes ctf --dry-run
{L} {"n" * 53} --yes
{L} 'm;quit' --yes
C.UTF-8 --bsp bad.bsp --name m --modes ffa
C.UTF-8 --bsp bad.bsp --name m --modes 1v1 --yes
C.UTF-8 --bsp bad.bsp --name m
{L} m --yes
{L} m --dry-run
{L} dir --yes
{L} dir --yes --quiet
{L} m --help
C.UTF-8 --version
C --version
C --bsp l.bsp --name m
C.UTF-8 --check bad.bsp
C.UTF-8 --check dir.pk3
C.UTF-8 --check bad.bsp --bsp l.bsp
C.UTF-8 --dry-run --check l.bsp
"""),
    "sample": ("sample", f"C.UTF-8 {SAMPLE} --dry-run\nC.UTF-8 {SAMPLE}\nC.UTF-8 --check crateyard.pk3\n"
               "C --check crateyard.pk3 --quiet\n"),
    "volume": ("sample", f"C.UTF-8 --check {VOLUME}\nC.UTF-8 --check {VOLUME} --game {GAME}\n"
               f"C.UTF-8 {SAMPLE} --game {GAME} --dry-run\nC.UTF-8 {SAMPLE} --game {GAME}\n"
               f"C.UTF-8 --check crateyard.pk3 --game {GAME}\n"),
    # The English catalog (scripts/test.sh makes the locale): the main flows.
    "english": ("fixtures", f"""\
{E} m --fast
en_US.UTF-8 --name m --bsp
en_US.UTF-8 --bsp l.bsp --modes ffa
{E} m --modes ffa,dm
{E} m --verify --dry-run
{E} m --textures l.bsp
{E} m --levelshot l.bsp
{E} m --name n
en_US.UTF-8 --bsp '' --name m
{E} {"n" * 53} --yes
en_US.UTF-8 --bsp bad.bsp --name m --modes ffa
en_US.UTF-8 --bsp bad.bsp --name m --modes 1v1 --yes
{E} m --yes
{E} m --dry-run
{E} dir --yes
en_US.UTF-8 --help
en_US.UTF-8 --version
en_US.UTF-8 --check bad.bsp
en_US.UTF-8 --check dir.pk3
en_US.UTF-8 --check bad.bsp --bsp l.bsp
en_US.UTF-8 --dry-run --check l.bsp
"""),
}


def stream(name, data):  # as it came, a missing end of the last line made visible
    if not data:
        return []
    said = data.decode("utf-8", "backslashreplace")
    return ["-- " + name, said[:-1] if said.endswith("\n") else said + "\n\\ no newline at end"]


def package(path):  # the entries, and a digest of every byte but the entries' times
    data = bytearray(open(path, "rb").read())
    # Two readers of our own choosing read every entry back, data and CRC.
    tested = subprocess.run(["unzip", "-tqq", path], capture_output=True, text=True)
    assert tested.returncode == 0, ("unzip -t", path, tested.stdout, tested.stderr)
    with zipfile.ZipFile(path) as z:
        assert z.testzip() is None, ("zipfile", path)
        lines, at = ["entries of %s, comment %r" % (os.path.basename(path), z.comment)], z.start_dir
        for i in z.infolist():
            lines.append("%s method %d size %d packed %d crc %08x flags %d attr %x extra %s" % (
                i.filename, i.compress_type, i.file_size, i.compress_size, i.CRC, i.flag_bits,
                i.external_attr, i.extra.hex()))
            data[i.header_offset + 10:i.header_offset + 14] = data[at + 12:at + 16] = bytes(4)
            at += 46 + sum(int.from_bytes(data[at + k:at + k + 2], "little") for k in (28, 30, 32))
    return lines + ["sha256 without times " + hashlib.sha256(data).hexdigest()]


def run_group(program, source, kind, rows):
    out, work = [], tempfile.mkdtemp(prefix="mapcrate-outputs-")
    if kind == "sample":
        shutil.copytree(os.path.join(source, "samples", "crateyard"), work, dirs_exist_ok=True)
    for row in rows.splitlines():
        locale, *args = shlex.split(row)
        if kind == "fixtures":
            shutil.rmtree(work)
            os.makedirs(os.path.join(work, "dir.pk3"))
            open(os.path.join(work, "l.bsp"), "wb").write(b"IBSP.\0\0\0" + bytes(17 * 8))
            open(os.path.join(work, "bad.bsp"), "wb").write(b"BSP\n")
        before = set(os.listdir(work))
        # No display, and no game whatever is installed.
        env = dict(os.environ, LC_ALL=locale, MAPCRATE_GAME_DIR="")
        env.pop("DISPLAY", None)
        r = subprocess.run([program, *args], cwd=work, env=env, input=b"y\n", capture_output=True)
        out += ["$ LC_ALL=%s mapcrate %s => %d" % (locale, shlex.join(args), r.returncode),
                *stream("out", r.stdout), *stream("err", r.stderr)]
        after = set(os.listdir(work))
        out += ["gone " + name for name in sorted(before - after)]
        for made in sorted(after - before):
            out += package(os.path.join(work, made)) if made.endswith(".pk3") else ["made " + made]
    shutil.rmtree(work)
    return "\n".join(out).replace(work, "<work>") + "\n"


def dialogs(gui_tests):  # each dialog the window tests answered, as the test support logs it
    with tempfile.NamedTemporaryFile() as log:
        env = dict(os.environ, MAPCRATE_DIALOG_LOG=log.name, ASAN_OPTIONS="detect_leaks=0",
                   LC_ALL="C.UTF-8")  # the French, whatever the user's locale
        subprocess.run([gui_tests], env=env, capture_output=True, check=True)
        return re.sub(r"mapcrate-test-\w{6}", "<work>", open(log.name, errors="replace").read())


if __name__ == "__main__":
    program, gui_tests, source = map(os.path.abspath, sys.argv[1:4])
    said = {name: run_group(program, source, *group) for name, group in GROUPS.items()}
    said["dialogs"] = dialogs(gui_tests)
    failed = False
    for name, now in said.items():
        golden = os.path.join(source, "tests", "outputs", name + ".txt")
        if sys.argv[4:] == ["--record"]:
            open(golden, "w").write(now)
        was = open(golden).read() if os.path.exists(golden) else ""
        failed = failed or now != was
        sys.stdout.writelines(difflib.unified_diff(was.splitlines(True), now.splitlines(True),
                                                   golden, "now"))
    if not os.path.exists(VOLUME):
        sys.exit("%s is missing: install Debian's openarena-oacmp1" % VOLUME)
    sys.exit(1 if failed else 0)
