#!/usr/bin/env bash
# Mutation testing of chosen product files: small faults planted one at a time (an operator
# swapped, a constant moved, a condition negated, a '!' dropped, a returned value changed)
# and the tests that execute the planted line run against each. Used to show that a
# reworked suite kills every mutant the old one killed. Not part of the test command.
#
# Steps (SRC: a source tree; COVBUILD: its coverage build from scripts/coverage.sh run;
# BUILD: a plain -O0 build of SRC this script makes; FILE: product path, e.g.
# support/html_scanner.cpp):
#   bash scripts/mutate.sh map --coverage COVOUT --build COVBUILD OUT.json FILE...
#       From the counters scripts/coverage.sh saved after each test (COVOUT/pertest): which
#       lines of each FILE each test executes, and how long it takes.
#   bash scripts/mutate.sh gen --src SRC --map MAP.json [-n 20] FILE... > MUTANTS.tsv
#       About n mutants per file, deterministic, only on executed lines.
#   bash scripts/mutate.sh run --src SRC --build BUILD [--map MAP.json] --mutants MUTANTS.tsv
#       [--only RESULTS.tsv] [--rename from=to] [--skip-test REGEX] [--max-seconds N]
#       [--skip-case S.N] OUT.tsv
#       Per mutant: rebuilds only the test programs that execute the line, runs those tests
#       (fastest first, fail-fast, timed out at 4x their normal time; lld links), and writes
#       id, file, line, mutation, outcome (killed/survived/compile-error/not-found), killer.
#       Without --map every test runs against every mutant (a test that does not execute
#       the line cannot kill it; slower, but needs no coverage run of SRC).
#       --skip-test REGEX (repeatable), --max-seconds N (in the coverage run, or the
#       baseline without a map): tests left out, e.g. the end-to-end ones, which a
#       survivor would pay for every time.
#       --skip-case SUITE.NAME (repeatable): a GoogleTest case left out everywhere (one that
#       judges wall-clock time fails on a loaded machine, whatever the mutant).
#       --only: only the mutants killed in an earlier RESULTS.tsv. --resume: keep what OUT.tsv
#       already holds and run the rest. --no-baseline (with --map): trust that the tests pass
#       unmutated, as an interrupted run on the same tree has shown, and take their times
#       from the map. --rename: folder moved
#       between the tree the mutants were made on and SRC (engine/job/=job/).
#       SRC's file is restored after each mutant, also on Ctrl-C.
#   bash scripts/mutate.sh compare OLD.tsv NEW.tsv
#       Per file generated/compiled/killed, and every mutant OLD kills that NEW does not.
# SRC/../shared must be the shared data (link it), or the data tests skip and kill nothing.
# Builds and tests run at nice 19 with -j2 (JOBS=n to change): the machine is shared.
set -euo pipefail
exec python3 - "$@" <<'PY'
import json, os, random, re, shutil, signal, subprocess, sys, tempfile, time, zlib

JOBS = os.environ.get("JOBS", "2")
NICE = ["nice", "-n", "19"]

def die(msg):
    sys.stderr.write(msg + "\n"); sys.exit(2)

def opts(argv, known):
    """known: option -> takes value (bool); returns (dict, positionals)."""
    o, pos, i = {}, [], 0
    while i < len(argv):
        a = argv[i]
        if a in known:
            if known[a]:
                if i + 1 >= len(argv): die(f"{a} needs a value")
                o.setdefault(a, []).append(argv[i + 1]); i += 2
            else:
                o[a] = [True]; i += 1
        else:
            pos.append(a); i += 1
    return o, pos

def ctest_tests(build):
    out = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)["tests"]

# ---------------------------------------------------------------- map
def gcov_counts(gcno, gcda, f):
    """line -> count of source f, from one object's notes and counters."""
    d = tempfile.mkdtemp(prefix="qb-gcov-")
    try:
        shutil.copy(gcno, d); shutil.copy(gcda, d)
        r = subprocess.run(["gcov", "--json-format", "--stdout", "-o", d,
                            os.path.join(d, os.path.basename(gcda))],
                           capture_output=True, text=True, cwd=d)
        counts = {}
        for doc in r.stdout.splitlines():
            if not doc.strip(): continue
            for gf in json.loads(doc)["files"]:
                if gf["file"].endswith("/" + f) or gf["file"] == f:
                    for l in gf["lines"]:
                        counts[l["line_number"]] = counts.get(l["line_number"], 0) + l["count"]
        return counts
    finally:
        shutil.rmtree(d, ignore_errors=True)

def cmd_map(argv):
    o, pos = opts(argv, {"--build": True, "--coverage": True})
    if "--build" not in o or "--coverage" not in o or len(pos) < 2:
        die("usage: map --coverage COVOUT --build COVBUILD OUT.json FILE...")
    build = os.path.abspath(o["--build"][0]); cov = os.path.abspath(o["--coverage"][0])
    out, files = pos[0], pos[1:]
    # <build>/<folder>/CMakeFiles/<target>.dir/<path>.gcno is the object of <folder>/<path>.
    gcno = {}
    for root, _, names in os.walk(build):
        for n in names:
            rel = os.path.relpath(os.path.join(root, n), build)
            if not n.endswith(".gcno") or "/CMakeFiles/" not in "/" + rel: continue
            folder, rest = ("/" + rel).split("/CMakeFiles/", 1)
            source = (folder.strip("/") + "/" if folder.strip("/") else "") + rest.split("/", 1)[1][:-5]
            if source in files: gcno.setdefault(source, []).append(rel)
    missing = [f for f in files if f not in gcno]
    if missing: die(f"no coverage object for {missing}")
    runs = read_tsv(os.path.join(cov, "tests.tsv"))
    result = {"files": {f: {} for f in files}, "seconds": {}, "failed": []}
    before = {f: {} for f in files}
    for r in runs:
        name = r["test"]
        result["seconds"][name] = float(r["seconds"])
        if r["result"] != "passed": result["failed"].append(name)
        for f in files:
            now = {}
            for g in gcno[f]:
                gcda = os.path.join(cov, "pertest", r["n"], g[:-5] + ".gcda")
                if os.path.exists(gcda):
                    for l, c in gcov_counts(os.path.join(build, g), gcda, f).items():
                        now[l] = now.get(l, 0) + c
            ran = sorted(l for l, c in now.items() if c > before[f].get(l, 0))
            if ran: result["files"][f][name] = ran
            before[f] = now
    json.dump(result, open(out, "w"), indent=0)
    for f in files:
        print(f"  {f}: " + ", ".join(f"{t} ({len(ls)})" for t, ls in result["files"][f].items()), file=sys.stderr)

# ---------------------------------------------------------------- gen
def mask(line):
    """The line with string/char literals and the // comment blanked (same length)."""
    out, i, q = [], 0, None
    while i < len(line):
        c = line[i]
        if q:
            if c == "\\": out.append("  "); i += 2; continue
            out.append(" " if c != q else c); q = None if c == q else q
        elif c in "\"'":
            if c == "'" and i > 0 and line[i - 1].isalnum() and line[i - 1] not in "uUL":
                out.append(c)  # digit separator
            else:
                q = c; out.append(c)
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i)); break
        else:
            out.append(c)
        i += 1
    return "".join(out)[:len(line)]

SWAPS = [("rel", " < ", " <= "), ("rel", " <= ", " < "), ("rel", " > ", " >= "),
         ("rel", " >= ", " > "), ("rel", " == ", " != "), ("rel", " != ", " == "),
         ("arith", " + ", " - "), ("arith", " - ", " + "), ("arith", " * ", " / "),
         ("arith", " += ", " -= "), ("arith", " -= ", " += "), ("arith", " % ", " * "),
         ("logic", " && ", " || "), ("logic", " || ", " && "),
         ("bool", "true", "false"), ("bool", "false", "true")]

def candidates(lines, executed):
    cands = []
    for ln in sorted(executed):
        if ln > len(lines): continue
        text = lines[ln - 1]
        s = text.strip()
        if not s or s.startswith("#") or "static_assert" in s or s.startswith("template"):
            continue
        # array sizes: a smaller buffer is undefined behaviour no test without sanitizers sees
        if re.match(r"\s*(?:(?:static|const|constexpr)\s+)*[\w:]+\s+\w+\[[^\]]+\];", text):
            continue
        m = mask(text)
        for kind, a, b in SWAPS:
            for x in re.finditer(re.escape(a), m):
                if kind == "bool" and (x.start() > 0 and (m[x.start()-1].isalnum() or m[x.start()-1] == "_")
                                       or x.end() < len(m) and (m[x.end()].isalnum() or m[x.end()] == "_")):
                    continue
                if kind == "arith" and (m[x.start() - 1:x.start()] in "\"'" or m[x.end():x.end() + 1] in "\"'"):
                    continue  # text joined to text, not arithmetic
                if kind == "arith" and a == " * " and re.search(r"[A-Za-z_>]\s\*\s\w+\s*[=;,)]", m[max(0, x.start()-2):x.end()+20]):
                    continue
                if kind == "bool" and s.startswith("return"):
                    kind2 = "return"
                else:
                    kind2 = kind
                cands.append((ln, x.start(), a, b, kind2))
        for x in re.finditer(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.'])", m):
            v = int(x.group(1), 0)
            lit = x.group(1)
            for nv in ([v + 1, v - 1, 0] if v > 1 else [v + 1, 0] if v == 1 else [1]):
                if nv < 0: continue
                rep = (hex(nv) if lit.lower().startswith("0x") else str(nv))
                cands.append((ln, x.start(1), lit, rep, "const"))
        for x in re.finditer(r"\b(if|while) \(", m):
            # negate the whole condition: find the matching parenthesis
            depth, j = 0, x.end() - 1
            while j < len(m):
                if m[j] == "(": depth += 1
                elif m[j] == ")":
                    depth -= 1
                    if depth == 0: break
                j += 1
            if j < len(m):
                cond = text[x.end():j]
                cands.append((ln, x.end(), cond + ")", "!(" + cond + "))", "negate"))
        for x in re.finditer(r"!(?!=)", m):
            cands.append((ln, x.start(), "!", "", "not"))
        # a returned condition turned round (plain values: their constants and operators do)
        for x in re.finditer(r"\breturn ([^;]*(?: [<>]=? | [=!]= | && | \|\| )[^;]*);", m):
            expr = text[x.start(1):x.end(1)]
            cands.append((ln, x.start(1), expr, "!(" + expr + ")", "return"))
    return cands

def cmd_gen(argv):
    o, pos = opts(argv, {"--src": True, "--map": True, "-n": True})
    if "--src" not in o or "--map" not in o or not pos: die("usage: gen --src SRC --map MAP.json [-n 20] FILE...")
    src, cmap, n = o["--src"][0], json.load(open(o["--map"][0])), int(o.get("-n", ["20"])[0])
    print("id\tfile\tline\tkind\tfrom\tto\tcolumn\ttext")
    for f in pos:
        lines = open(os.path.join(src, f), encoding="utf-8").read().split("\n")
        executed = set()
        for ls in cmap["files"].get(f, {}).values(): executed |= set(ls)
        cands = candidates(lines, executed)
        rng = random.Random(zlib.crc32(f.encode()))
        bykind = {}
        for c in cands: bykind.setdefault(c[4], []).append(c)
        for k in bykind: rng.shuffle(bykind[k])
        chosen, used_lines = [], set()
        kinds = sorted(bykind)
        # round-robin over kinds, a line at most once while others are left
        for allow_same_line in (False, True):
            progress = True
            while len(chosen) < n and progress:
                progress = False
                for k in kinds:
                    if len(chosen) >= n: break
                    for c in bykind[k]:
                        if c in chosen or (not allow_same_line and c[0] in used_lines): continue
                        chosen.append(c); used_lines.add(c[0]); progress = True; break
        for ln, col, a, b, kind in sorted(chosen):
            mid = f"{f}:{ln}:{col}:{kind}"
            esc = lambda s: s.replace("\\", "\\\\").replace("\t", "\\t")
            print(f"{mid}\t{f}\t{ln}\t{kind}\t{esc(a)}\t{esc(b)}\t{col}\t{esc(lines[ln-1])}")

def read_tsv(p):
    rows = open(p, encoding="utf-8").read().rstrip("\n").split("\n")
    head = rows[0].split("\t")
    un = lambda s: re.sub(r"\\(.)", lambda x: "\t" if x.group(1) == "t" else x.group(1), s)
    return [dict(zip(head, map(un, r.split("\t")))) for r in rows[1:] if r]

# ---------------------------------------------------------------- run
def cmd_run(argv):
    o, pos = opts(argv, {"--src": True, "--build": True, "--map": True, "--mutants": True,
                         "--only": True, "--rename": True, "--max-seconds": True,
                         "--skip-case": True, "--skip-test": True, "--resume": False,
                         "--no-baseline": False})
    cap = float(o.get("--max-seconds", ["3600"])[0])
    skip_cases = ":".join(o.get("--skip-case", []))
    for k in ("--src", "--build", "--mutants"):
        if k not in o: die("usage: run --src SRC --build BUILD [--map MAP.json] --mutants M.tsv [--only R.tsv] [--rename a=b] OUT.tsv")
    if len(pos) != 1: die("one OUT.tsv")
    src, build = os.path.abspath(o["--src"][0]), os.path.abspath(o["--build"][0])
    cmap = json.load(open(o["--map"][0])) if "--map" in o else None
    skip_test = re.compile("|".join(o.get("--skip-test", [])) or "(?!)")
    out = pos[0]
    renames = [r.split("=", 1) for r in o.get("--rename", [])]
    mutants = read_tsv(o["--mutants"][0])
    if "--only" in o:
        keep = {r["id"] for r in read_tsv(o["--only"][0]) if r["outcome"] == "killed"}
        mutants = [m for m in mutants if m["id"] in keep]

    # One mutant of each file in turn: a run cut short still covers every file.
    rank = {}
    for m in mutants:
        m["rank"] = rank[m["file"]] = rank.get(m["file"], -1) + 1
    mutants.sort(key=lambda m: (m["rank"], m["file"]))

    def rename(f):
        for a, b in renames:
            if f.startswith(a): return b + f[len(a):]
        return f

    if not os.path.exists(os.path.join(build, "build.ninja")):
        subprocess.run(NICE + ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DQB_SANITIZE=OFF",
                               "-DCMAKE_BUILD_TYPE=None", "-DCMAKE_C_FLAGS=-O0", "-DCMAKE_CXX_FLAGS=-O0",
                               "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"],
                       check=True, stdout=subprocess.DEVNULL)
    tests = {t["name"]: t for t in ctest_tests(build)}

    outputs = set()
    for l in subprocess.run(["ninja", "-C", build, "-t", "targets", "all"], capture_output=True,
                            text=True, check=True).stdout.splitlines():
        outputs.add(l.rsplit(":", 1)[0])
    def targets_of(name):
        # what the test's command names that the build makes (its program, a script's program)
        cmd = tests[name].get("command", [])
        found = {os.path.relpath(a, build) for a in cmd if a.startswith(build + "/")
                 and os.path.relpath(a, build) in outputs}
        # a program not built yet has no path in ctest's list; its target has the test's name
        if name in outputs: found.add(name)
        return sorted(found)

    def build_targets(ts):
        if not ts: return True, ""
        r = subprocess.run(NICE + ["ninja", "-C", build, "-j", JOBS] + ts,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        return r.returncode == 0, r.stdout

    def run_test(name, limit):
        env = dict(os.environ, GTEST_FAIL_FAST="1")
        if skip_cases: env["GTEST_FILTER"] = "-" + skip_cases
        try:
            r = subprocess.run(NICE + ["timeout", "-k", "5", str(int(limit)), "ctest", "--test-dir", build,
                                       "-R", f"^{re.escape(name)}$", "--output-on-failure"],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               errors="replace")
        except KeyboardInterrupt:
            raise
        case = re.search(r"\[  FAILED  \] (\S+)", r.stdout)
        return r.returncode == 0, (r.returncode in (124, 137)) and "timeout" or (case and case.group(1) or "")

    def relevant(f, line):
        if cmap is None: return sorted(baseline, key=baseline.get)
        ts = [t for t, ls in cmap["files"].get(f, {}).items() if line in set(ls) and t in tests]
        return sorted(ts, key=lambda t: cmap["seconds"].get(t, 999))

    # Baseline: every test any mutant needs, built and passing on the unmutated tree.
    # Without a map that is every test: one that does not run the line cannot kill it.
    files = sorted({rename(m["file"]) for m in mutants})
    if cmap:
        needed = sorted({t for f in files for t in cmap["files"].get(f, {}) if t in tests})
    else:
        needed = sorted(t for t in tests if not t.startswith("layers_") and not t.endswith("_setup"))
    slow = [t for t in needed if skip_test.search(t) or cmap and cmap["seconds"].get(t, 0) > cap]
    if slow: print(f"  left out (--skip-test, --max-seconds): {' '.join(slow)}", file=sys.stderr)
    needed = [t for t in needed if t not in slow]
    t0 = time.time()
    ok, log = build_targets(sorted({x for t in needed for x in targets_of(t)}))
    if not ok: sys.stderr.write(log[-3000:]); die("the unmutated tree does not build")
    baseline = {}
    for t in needed:
        if "--no-baseline" in o and cmap:
            baseline[t] = cmap["seconds"].get(t, 30); continue
        s = time.time()
        passed, _ = run_test(t, min(cap, 3600))
        if not passed: passed, _ = run_test(t, min(cap, 3600))  # once more: the machine may be busy
        if not passed:
            print(f"  baseline: {t} FAILS unmutated; left out", file=sys.stderr); continue
        baseline[t] = time.time() - s
        print(f"  baseline: {t} {baseline[t]:.1f} s", file=sys.stderr)
    print(f"baseline took {time.time() - t0:.0f} s", file=sys.stderr)

    HEAD = "id\tfile\tline\tkind\tmutation\toutcome\tkiller\tseconds\n"
    originals, current = {}, [None]
    def restore():
        if current[0]:
            p, text = current[0]
            open(p, "w", encoding="utf-8").write(text)
            current[0] = None
    signal.signal(signal.SIGTERM, lambda *_: (restore(), sys.exit(1)))

    done = set()
    if "--resume" in o and os.path.exists(out):
        done = {r["id"] for r in read_tsv(out)
                if r.get("outcome") in ("killed", "survived", "compile-error", "no-test")}
        keep = [l for l in open(out).read().split("\n")[1:] if l and l.split("\t")[0] in done]
        fout = open(out, "w"); fout.write(HEAD + "".join(l + "\n" for l in keep))
    else:
        fout = open(out, "w"); fout.write(HEAD)
    mutants = [m for m in mutants if m["id"] not in done]
    try:
        for m in mutants:
            f = rename(m["file"]); path = os.path.join(src, f)
            if path not in originals: originals[path] = open(path, encoding="utf-8").read()
            lines = originals[path].split("\n")
            want, ln = m["text"], int(m["line"])
            if not (ln <= len(lines) and lines[ln - 1] == want):
                hits = [i + 1 for i, l in enumerate(lines) if l == want]
                ln = min(hits, key=lambda h: abs(h - ln)) if hits else 0
            mutation = f"{m['from']} -> {m['to']}".replace("\\", "\\\\").replace("\t", "\\t")
            s = time.time()
            outcome, killer = "not-found", ""
            col = int(m["column"])
            if ln and lines[ln - 1][col:col + len(m["from"])] == m["from"]:
                new_line = lines[ln - 1][:col] + m["to"] + lines[ln - 1][col + len(m["from"]):]
                mutated = lines[:]; mutated[ln - 1] = new_line
                current[0] = (path, originals[path])
                open(path, "w", encoding="utf-8").write("\n".join(mutated))
                ts = [t for t in relevant(f, ln) if t in baseline]
                # built lazily: a mutant most tests kill costs one program's link
                outcome = "survived" if ts else "no-test"
                for t in ts:
                    ok, _ = build_targets(targets_of(t))
                    if not ok:
                        outcome = "compile-error"; break
                    passed, detail = run_test(t, max(30, 4 * baseline[t]))
                    if not passed:
                        outcome, killer = "killed", t + (f" {detail}" if detail else "")
                        break
                restore()
            secs = time.time() - s
            fout.write(f"{m['id']}\t{m['file']}\t{m['line']}\t{m['kind']}\t{mutation}\t{outcome}\t{killer}\t{secs:.1f}\n")
            fout.flush()
            print(f"  {m['id']}: {outcome} {killer} ({secs:.0f} s)", file=sys.stderr)
    finally:
        restore()
        fout.close()
    # leave the build matching the unmutated tree
    build_targets(sorted({x for t in needed for x in targets_of(t)}))

# ---------------------------------------------------------------- compare
def cmd_compare(argv):
    if len(argv) != 2: die("usage: compare OLD.tsv NEW.tsv")
    old, new = read_tsv(argv[0]), {r["id"]: r for r in read_tsv(argv[1])}
    per = {}
    for r in old:
        p = per.setdefault(r["file"], [0, 0, 0, 0, 0])
        p[0] += 1
        p[1] += r["outcome"] not in ("compile-error", "not-found")
        p[2] += r["outcome"] == "killed"
        p[3] += r["id"] in new and new[r["id"]]["outcome"] == "killed"
        p[4] += r["outcome"] == "killed" and r["id"] not in new
    print("file\tgenerated\tcompiled\tkilled_old\tkilled_new\tnot_rerun")
    tot = [0] * 5
    for f in sorted(per):
        print(f + "\t" + "\t".join(map(str, per[f]))); tot = [a + b for a, b in zip(tot, per[f])]
    print("TOTAL\t" + "\t".join(map(str, tot)))
    lost = [r for r in old if r["outcome"] == "killed" and r["id"] in new and new[r["id"]]["outcome"] != "killed"]
    print(f"\n# killed by OLD, not by NEW: {len(lost)}")
    for r in lost:
        print(f"{r['file']}:{r['line']}\t{r['mutation']}\told killer: {r['killer']}\tnew: {new[r['id']]['outcome']}")

cmds = {"map": cmd_map, "gen": cmd_gen, "run": cmd_run, "compare": cmd_compare}
if len(sys.argv) < 2 or sys.argv[1] not in cmds:
    die("usage: mutate.sh map|gen|run|compare ... (see the comment at the top of scripts/mutate.sh)")
cmds[sys.argv[1]](sys.argv[2:])
PY
