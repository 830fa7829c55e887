"""Prints the table of a measured run: one row per map, from the checker's and the client's JSON.

Usage: oacmp_table.py RUN_DIR RELEASE_DIR NOISE_JSON
"needed": the stored bytes of the entries the map uses that the game does not ship.
RUN_DIR holds MAP.json (checker), MAP.client.json (client) and work/MAP.dialogs (window),
RELEASE_DIR the release's client runs.  NOISE_JSON is the client on one of the game's own maps,
no package: the warnings the game gives on any map.  A client warning counts when it is not game
noise; "beyond release" counts those the release's run for the same map does not give.
"""
import json
import os
import sys

run_dir, release_dir, noise_file = sys.argv[1:4]
noise = set(json.load(open(noise_file))["warnings"])
maps = sorted(f[:-5] for f in os.listdir(run_dir) if f.endswith(".json") and "." not in f[:-5])


def load(path):
    return json.load(open(path)) if os.path.exists(path) else None


print("| map | entries | size (MB) | needed (MB) | missing vs release | game files in package"
      " | unused files | dialogs | client loaded | client warnings (not game noise)"
      " | beyond release |")
print("|---|---|---|---|---|---|---|---|---|---|---|")
tot = {"entries": 0, "size": 0, "needed": 0, "missing": 0, "shipped": 0, "unused": 0, "beyond": 0}
for m in maps:
    r = load(os.path.join(run_dir, m + ".json"))
    c = load(os.path.join(run_dir, m + ".client.json"))
    rc = load(os.path.join(release_dir, m + ".client.json"))
    d = load(os.path.join(run_dir, "work", m + ".dialogs"))
    own = sorted(set(c["warnings"]) - noise) if c else []
    beyond = sorted(set(own) - set(rc["warnings"])) if c and rc else []
    miss = r["missing_vs_release"]
    print("| %s | %d | %.1f | %.1f | %d%s | %d | %d%s | %s | %s | %d | %s |" % (
        m, r["entries"], r["size"] / 1e6, r["needed_stored"] / 1e6, len(miss),
        (": " + ", ".join(miss[:3]) + (" ..." if len(miss) > 3 else "")) if miss else "",
        len(r["game_shipped"]), len(r["unused"]),
        (" (" + ", ".join("%s %d" % kv for kv in sorted(r["unused_by_top"].items())) + ")")
        if r["unused"] else "", d if d is not None else "-",
        ("yes" if c["loaded"] else "NO") if c else "-", len(own),
        (str(len(beyond)) + (": " + ", ".join(beyond[:3]) if beyond else "")) if rc else "-"))
    tot["entries"] += r["entries"]
    tot["size"] += r["size"]
    tot["needed"] += r["needed_stored"]
    tot["missing"] += len(miss)
    tot["shipped"] += len(r["game_shipped"])
    tot["unused"] += len(r["unused"])
    tot["beyond"] += len(beyond)
print("| all %d | %d | %.1f | %.1f | %d | %d | %d | | | | %d |" % (
    len(maps), tot["entries"], tot["size"] / 1e6, tot["needed"] / 1e6, tot["missing"],
    tot["shipped"], tot["unused"], tot["beyond"]))
