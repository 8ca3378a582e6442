"""Runs the mutants of scripts/mutants.list; see scripts/mutants."""
import glob
import os
import subprocess
import sys
import time

TEST_TIMEOUT_S = 300
BUILD_TIMEOUT_S = 900


def read_mutants(path):
    """Blocks of '@ ID: description', 'file: PATH', 'tests: PROGRAM...', '- old', '+ new'."""
    mutants, current = [], None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("@ "):
                ident, _, what = line[2:].partition(":")
                current = {"id": ident.strip(), "what": what.strip(), "line": number}
                mutants.append(current)
            elif current is None:
                sys.exit(f"mutants.list:{number}: a mutant starts with '@ ID: description'")
            elif line.startswith("file: "):
                current["file"] = line[6:].strip()
            elif line.startswith("tests: "):
                current["tests"] = line[7:].split()
            elif line.startswith("- "):
                current["old"] = line[2:]
            elif line.startswith("+ "):
                current["new"] = line[2:]
            else:
                sys.exit(f"mutants.list:{number}: unexpected line: {line}")
    for m in mutants:
        missing = [k for k in ("file", "tests", "old", "new") if k not in m]
        if missing:
            sys.exit(f"mutants.list:{m['line']}: mutant {m['id']} lacks {', '.join(missing)}")
    return mutants


def run(cmd, timeout, **kw):
    try:
        return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, **kw).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def test_program(build, name):
    found = glob.glob(os.path.join(build, "tests", "*", name))
    if not found:
        sys.exit(f"no test program {name} in {build}/tests")
    return found[0]


def tests_fail(build, names):
    """True when one of the programs fails (or hangs) on the current source."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    for name in names:
        result = run([test_program(build, name), "--gtest_fail_fast", "--gtest_brief=1"],
                     TEST_TIMEOUT_S, env=env)
        if result != 0:
            return True
    return False


def main():
    root, args = sys.argv[1], sys.argv[2:]
    check_only = "--check" in args
    wanted = set(a for a in args if a != "--check")
    build = os.path.join(root, "build-mutants")
    mutants = read_mutants(os.path.join(root, "scripts", "mutants.list"))
    if wanted:
        mutants = [m for m in mutants if m["id"] in wanted]
    if check_only:
        stale = []
        for m in mutants:
            with open(os.path.join(root, m["file"]), encoding="utf-8") as f:
                if f.read().count(m["old"]) != 1:
                    stale.append(m["id"])
        print(f"mutants: {len(mutants)} listed, stale: {' '.join(stale) or 'none'}")
        return 1 if stale else 0
    started = time.monotonic()

    subprocess.run(["cmake", "-S", root, "-B", build, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DTRIVEX_BUILD_BENCH=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    programs = sorted({t for m in mutants for t in m["tests"]})
    subprocess.run(["cmake", "--build", build, "--target", *programs], check=True,
                   stdout=subprocess.DEVNULL)
    broken = [p for p in programs if tests_fail(build, [p])]
    if broken:
        sys.exit(f"the unmutated suite fails in {', '.join(broken)}: fix that first")

    results = []
    for m in mutants:
        path = os.path.join(root, m["file"])
        with open(path, encoding="utf-8") as f:
            original = f.read()
        t0 = time.monotonic()
        if original.count(m["old"]) != 1:
            results.append((m, "stale", 0.0))
            print(f"{m['id']:<28} stale (the original text is not in {m['file']} exactly once)")
            continue
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m["old"], m["new"], 1))
            built = run(["cmake", "--build", build, "--target", *m["tests"]], BUILD_TIMEOUT_S)
            if built != 0:
                outcome = "no build"
            else:
                outcome = "killed" if tests_fail(build, m["tests"]) else "SURVIVED"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        seconds = time.monotonic() - t0
        results.append((m, outcome, seconds))
        print(f"{m['id']:<28} {outcome:<9} {seconds:6.1f} s  {m['what']}", flush=True)

    subprocess.run(["cmake", "--build", build, "--target", *programs], stdout=subprocess.DEVNULL)
    counted = [r for r in results if r[1] in ("killed", "SURVIVED")]
    killed = sum(1 for r in counted if r[1] == "killed")
    others = len(results) - len(counted)
    score = 100.0 * killed / len(counted) if counted else 0.0
    print(f"mutants: {killed} of {len(counted)} killed, score {score:.1f} %"
          f" ({others} stale or not built), {(time.monotonic() - started) / 60:.1f} min")
    return 0


if __name__ == "__main__":
    sys.exit(main())
