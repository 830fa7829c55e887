"""What the window benchmarks share: xdotool, and the order Tab walks the form in."""
import subprocess

# Past the description, Tab reaches the four browse buttons, then the eight modes.
TABS = ["URL"] * 4 + ["FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"]


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True,
                          timeout=60).stdout.split()


def shown(*match):  # without a window manager the program's windows are the root's children
    return xdotool("search", "--maxdepth", "1", "--onlyvisible", *match)
