#!/usr/bin/env python3
"""The host side of the 32-bit lane's batch (scripts/lane32).

  jobs.py collect BUILD JOB LANE WINE_RUN [REGEX]
      Lists, through CTest, every test of BUILD whose command starts with "LANE report"
      (the win32 build's emulator and launcher), and writes one folder per test into
      JOB/tests for the guest: its command, environment, working folder and time limit.
      Windows programs run under WINE_RUN, as the win64 tests do. Prints
      "<count> <seconds>", the seconds being the sum of the tests' time limits in the
      guest at its usual slowdown.

  jobs.py report RUN_ID CMD...
      Run by CTest in place of CMD: finds the batch entry with this command, folder and
      environment, prints the guest's output and exits with the guest's exit code; 77
      (skip) when the host could not run the lane.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
DEFAULT_TIMEOUT = 1500  # seconds, CTest's own default for a test without a TIMEOUT property
# The guest's CPU is emulated, several times slower than the host's that the tests' time
# limits were set for: at least this much (the guest stretches each test's limit by the
# slowdown it measures before the test, tests/lane32/guest-batch); used here for the
# batch's whole budget.
GUEST_SLOWDOWN = 3
NO_RESULT = 1


def properties(test):
    return {p["name"]: p["value"] for p in test.get("properties", [])}


def environment(props):
    env = {}
    for item in props.get("ENVIRONMENT", []):
        key, _, value = item.partition("=")
        env[key] = value
    return env


def list_tests(build):
    """CTest's own listing of the build's tests. CTest is asked on a copy of the build's
    test files: run in the build itself, it would replace the test log of the CTest run
    that is running this batch."""
    with tempfile.TemporaryDirectory() as copy:
        for folder, _, files in os.walk(build):
            if "CTestTestfile.cmake" in files:
                target = os.path.join(copy, os.path.relpath(folder, build))
                os.makedirs(target, exist_ok=True)
                shutil.copy(os.path.join(folder, "CTestTestfile.cmake"), target)
        listing = subprocess.run(["ctest", "--test-dir", copy, "--show-only=json-v1"], capture_output=True, text=True,
                                 check=True, timeout=120)
        tests = json.loads(listing.stdout)["tests"]
        # A test's folder defaults to where its test file lies: here, in the copy.
        for test in tests:
            for prop in test.get("properties", []):
                if prop["name"] == "WORKING_DIRECTORY" and prop["value"].startswith(copy):
                    prop["value"] = build + prop["value"][len(copy):]
        return tests


def in_fixture_order(entries):
    """The tests in CTest's order, moved only as far as their fixtures and dependencies
    need: a fixture's set-up before the tests that require it, its clean-up after them."""
    names = {e["name"] for e in entries}
    before = {e["name"]: {d for d in e["depends"] if d in names} for e in entries}
    for fixture in {f for e in entries for f in e["required"]}:
        setups = {e["name"] for e in entries if fixture in e["setup"]}
        users = {e["name"] for e in entries if fixture in e["required"]} - setups
        for e in entries:
            if e["name"] in users:
                before[e["name"]] |= setups
            if fixture in e["cleanup"]:
                before[e["name"]] |= setups | users
    ordered, placed = [], set()
    while len(ordered) < len(entries):
        ready = [e for e in entries if e["name"] not in placed and before[e["name"]] <= placed]
        if not ready:  # a cycle: keep the rest as CTest lists them
            ready = [e for e in entries if e["name"] not in placed]
        ordered.append(ready[0])
        placed.add(ready[0]["name"])
    return ordered


def collect(build, job, lane, wine_run, pattern=""):
    build = os.path.realpath(build)
    lane = os.path.realpath(lane)
    selected = re.compile(pattern) if pattern else None
    entries = []
    for test in list_tests(build):
        command = test.get("command") or []
        props = properties(test)
        if len(command) < 3 or os.path.realpath(command[0]) != lane or command[1] != "report":
            if "wine" in props.get("FIXTURES_REQUIRED", []) or "wineprefix" in props.get("RESOURCE_LOCK", []):
                print(f"lane32: warning: {test['name']} uses Wine but does not run through 'lane32 report' "
                      "(FBU_WINE_TEST_LAUNCHER); it runs on the host", file=sys.stderr)
            continue
        if selected and not selected.search(test["name"]):
            continue
        entries.append({
            "name": test["name"],
            "setup": props.get("FIXTURES_SETUP", []),
            "cleanup": props.get("FIXTURES_CLEANUP", []),
            "required": props.get("FIXTURES_REQUIRED", []),
            "depends": props.get("DEPENDS", []),
            "command": command[2:],
            "cwd": props.get("WORKING_DIRECTORY", build),
            "env": environment(props),
            "timeout": int(float(props.get("TIMEOUT", DEFAULT_TIMEOUT))),
        })
    entries = in_fixture_order(entries)
    os.makedirs(os.path.join(job, "tests"), exist_ok=True)
    for number, entry in enumerate(entries, 1):
        folder = os.path.join(job, "tests", f"{number:03d}")
        entry["folder"] = folder
        os.makedirs(folder, exist_ok=True)
        guest_command = entry["command"]
        if guest_command[0].lower().endswith(".exe"):
            guest_command = [wine_run] + guest_command
        with open(os.path.join(folder, "name"), "w") as f:
            f.write(entry["name"] + "\n")
        with open(os.path.join(folder, "argv"), "wb") as f:
            f.write(b"".join(a.encode() + b"\0" for a in guest_command))
        guest_env = dict(entry["env"])
        if os.environ.get("FBU_LANE32_GTEST_FILTER"):  # to run a few tests of a program while working on them
            guest_env["GTEST_FILTER"] = os.environ["FBU_LANE32_GTEST_FILTER"]
        with open(os.path.join(folder, "env"), "wb") as f:
            f.write(b"".join(f"{k}={v}".encode() + b"\0" for k, v in guest_env.items()))
        with open(os.path.join(folder, "cwd"), "w") as f:
            f.write(entry["cwd"] + "\n")
        with open(os.path.join(folder, "timeout"), "w") as f:
            f.write(f"{entry['timeout']}\n")
    with open(os.path.join(job, "manifest.json"), "w") as f:
        json.dump(entries, f, indent=1)
    print(len(entries), sum(e["timeout"] for e in entries) * GUEST_SLOWDOWN)


def read(path, default=None):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return default


def report(run_id, command):
    # CTest runs this in the test's folder, inside the build whose lane32 folder holds the batch.
    build = os.getcwd()
    while not os.path.exists(os.path.join(build, "CMakeCache.txt")) and build != os.path.dirname(build):
        build = os.path.dirname(build)
    job = os.path.join(build, "lane32")
    unavailable = read(os.path.join(job, "unavailable"))
    if unavailable is not None and read(os.path.join(job, "run-id"), "").strip() == run_id:
        print(f"lane32: SKIP: the 32-bit lane cannot run on this host: {unavailable.strip()}")
        return SKIP
    if read(os.path.join(job, "complete"), "").strip() != run_id:
        print("lane32: FAIL: no result from this CTest run's guest batch: the test must require the "
              "'wine' fixture (the lane32_batch test), and that batch must finish")
        return NO_RESULT
    entries = json.loads(read(os.path.join(job, "manifest.json"), "[]"))
    cwd = os.path.realpath(os.getcwd())
    matches = [
        e for e in entries if e["command"] == command and os.path.realpath(e["cwd"]) == cwd and all(
            os.environ.get(k) == v for k, v in e["env"].items())
    ]
    if len(matches) != 1:
        print(f"lane32: FAIL: {len(matches)} batch entries match this test's command {command}")
        return NO_RESULT
    entry = matches[0]
    output = read(os.path.join(entry["folder"], "output"))
    code = read(os.path.join(entry["folder"], "rc"))
    if output is None or code is None:
        print(f"lane32: FAIL: the guest left no result for {entry['name']} (console: {job}/console.log)")
        return NO_RESULT
    sys.stdout.write(output)
    seconds = (read(os.path.join(entry["folder"], "seconds"), "?") or "?").strip()
    print(f"lane32: {entry['name']} ran in the 32-bit guest in {seconds} s, exit code {code.strip()}")
    sys.stdout.flush()
    return int(code.strip() or NO_RESULT)


def main(argv):
    if len(argv) >= 6 and argv[1] == "collect":
        collect(*argv[2:7])
        return 0
    if len(argv) >= 4 and argv[1] == "report":
        return report(argv[2], argv[3:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
