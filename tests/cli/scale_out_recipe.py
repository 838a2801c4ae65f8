#!/usr/bin/env python3
"""Runs the README's recipe for logs that outgrow one process, with small jobs, and checks that
GNU parallel's output and exit status equal, byte for byte, one kivo-decode run over the whole log.

Usage: scale_out_recipe.py KIVO_DECODE SOURCE_DIR"""

import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

LINES_PER_JOB = 150
JOBS = 20


def recipe(readme):
    """The commands of the README's section on logs that outgrow one process, continuations
    joined, with LINES_PER_JOB lines per job."""
    section = readme.split("### Logs that outgrow one process\n", 1)[1].split("\n#", 1)[0]
    commands = []
    continued = False
    for line in section.splitlines():
        if continued:
            commands[-1] += "\n" + line
        elif line.startswith("    $ "):
            commands.append(line[len("    $ "):])
        continued = (continued or line.startswith("    $ ")) and line.endswith("\\")
    assert commands and commands[0].startswith("export n=100000 "), commands
    commands[0] = commands[0].replace("n=100000", f"n={LINES_PER_JOB}", 1)
    return commands


def make_log(path, failing):
    """A log of a little more than JOBS parts for the sample Sensor-1 device, in LF and CR LF
    lines, the last without a line feed. With `failing`, also comments, blank lines (an empty
    one where a part begins), base64, length errors, odd digits, and pastes that do not decode."""
    fixed = ["0100F15365FBFF05", "AQDxU2X7/wU=", "01AABB", "0100F15365FBFF0", "7F0102", "#",
             "# comment", "", "   ", "0x01, 0x00, 0xF1", "01:00:zz", "=", "\u0414\u0430"]
    generator = random.Random(18)
    lines = []
    for _ in range(LINES_PER_JOB * JOBS + 37):
        if failing and generator.random() < 0.3:
            line = generator.choice(fixed)
        else:
            size = generator.choice([3, 8, 8, 12]) if failing else 8
            line = generator.choice(["01", "7F"]) + generator.randbytes(size - 1).hex().upper()
        lines.append(line + ("\r\n" if generator.random() < 0.1 else "\n"))
    if failing:
        lines[LINES_PER_JOB * 7] = "\n"
    lines[-1] = lines[-1].rstrip("\r\n")
    with open(path, "w", encoding="utf-8", newline="") as log:
        log.writelines(lines)


def run(arguments, **options):
    return subprocess.run(arguments, capture_output=True, check=False, **options)


def differences(kivo_decode, commands, work, failing):
    """What differs between the recipe and one run over the whole log."""
    make_log(os.path.join(work, "big.log"), failing)
    environment = dict(os.environ, PARALLEL="--will-cite",
                       PATH=os.path.dirname(kivo_decode) + os.pathsep + os.environ["PATH"])
    # The commands' exit statuses, one a line.
    script = "rm -f statuses\n" + "".join(f"{c}\necho $? >> statuses\n" for c in commands)
    ran = run(["bash", "-c", script], cwd=work, env=environment)
    with open(os.path.join(work, "statuses"), encoding="ascii") as statuses:
        status = [int(line) for line in statuses]
    single = {}
    for mode in ("--json", "--csv"):
        with open(os.path.join(work, "big.log"), "rb") as log:
            single[mode] = run([kivo_decode, "-C", "examples/workspace", "-d", "Sensor-1", mode],
                               stdin=log, cwd=work)
    found = []

    def check(what, actual, expected):
        if actual != expected:
            at = next((i for i, (a, e) in enumerate(zip(actual, expected)) if a != e),
                      min(len(actual), len(expected)))
            found.append(f"{what} differs from item {at} on: the recipe gave "
                         f"{actual[at:at + 200]!r}, one run {expected[at:at + 200]!r}")

    for mode, output in (("--json", "big.jsonl"), ("--csv", "big.csv")):
        with open(os.path.join(work, output), "rb") as parts:
            check(output, parts.read(), single[mode].stdout)
    check("standard error", ran.stderr, single["--json"].stderr + single["--csv"].stderr)
    check("exit statuses (failed or not)", [s != 0 for s in status],
          [False, single["--json"].returncode != 0, False, single["--csv"].returncode != 0])
    # The log must exercise what the recipe has to get right: failures, messages far into it.
    located = re.findall(rb"^-:(\d+): ", single["--json"].stderr, re.MULTILINE)
    if failing != (single["--json"].returncode != 0) or failing != bool(located):
        found.append("the log does not fail as it should")
    if located and int(located[-1]) < LINES_PER_JOB * (JOBS - 1):
        found.append("the log gave no message in its last part")
    return found


def main():
    kivo_decode, source_dir = os.path.abspath(sys.argv[1]), sys.argv[2]
    if shutil.which("parallel") is None:
        sys.exit("GNU parallel is missing: scripts/install-deps.sh installs it")
    with open(os.path.join(source_dir, "README.md"), encoding="utf-8") as readme:
        commands = recipe(readme.read())
    work = tempfile.mkdtemp(prefix="kivo-scale-out-")
    try:
        shutil.copytree(os.path.join(source_dir, "examples"), os.path.join(work, "examples"))
        found = [f"{'failing' if failing else 'clean'} log: {difference}"
                 for failing in (True, False)
                 for difference in differences(kivo_decode, commands, work, failing)]
        if found:
            sys.exit("\n".join(found))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
