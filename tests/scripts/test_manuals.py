#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The manual pages against the programs they describe.

Usage: test_manuals.py VERSION MAN_DIR TARNWICK TARNWICK_CLI LOGGER_SIM

Every option a program's --help prints has an entry in its page (a term with its
description indented below it), and every option with an entry is one the program takes.
For tarnwick-cli every verb of the usage has a section of its own; each option of
`VERB --help` has its entry in that verb's section or in the sections of the options all
verbs share (TARGETS, RUN OPTIONS), and a verb's section has no entry for an option the
verb does not take.
Each program's --version prints its name and VERSION, the version the pages carry.
"""
import os
import re
import subprocess
import sys

SHARED_SECTIONS = ("TARGETS", "RUN OPTIONS")
failures = []


def run(program, *arguments):
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    result = subprocess.run([program, *arguments], capture_output=True, text=True,
                            env=environment, timeout=30, check=False)
    if result.returncode != 0:
        failures.append(f"{os.path.basename(program)} {' '.join(arguments)} exited "
                        f"{result.returncode}: {result.stderr.strip()}")
    return result.stdout


def options_in_help(help_text):
    """The long options of the help's option lines: '  -h, --help   Displays ...'."""
    options = []
    for line in help_text.splitlines():
        stripped = line.strip()
        if line.startswith(" ") and stripped.startswith("-"):
            options += re.findall(r"--[a-z][a-z-]*", re.split(r"\s{2,}", stripped)[0])
    return options


def sections(page_path):
    """The entries' terms of each section of the page, by heading: the lines followed by
    an indented description (.RS), with the font changes taken out."""
    with open(page_path, encoding="utf-8") as page:
        roff = page.read()
    parts = re.split(r"^\.SH (.*)$", roff, flags=re.MULTILINE)
    return {heading.strip('"'): re.sub(r"\\f[BIRP]|\\&|\\", "",
                                       "\n".join(re.findall(r"^(.*)\n\.RS", body, re.MULTILINE)))
            for heading, body in zip(parts[1::2], parts[2::2])}


def mentions(text, option):
    return re.search(rf"(?<![\w-]){re.escape(option)}(?![\w-])", text) is not None


def check_version(program, name, version):
    printed = run(program, "--version").strip()
    if printed != f"{name} {version}":
        failures.append(f"{name} --version printed '{printed}', not '{name} {version}'")


def check_page(name, program, man_dir, version, every_entry_taken=True):
    """Every option of the program's --help has an entry in the page and, unless the page
    describes more than the top-level --help lists, every entry's option is taken."""
    page = sections(os.path.join(man_dir, f"{name}.1"))
    whole = "\n".join(page.values())
    if f"tarnwick {version}" not in open(os.path.join(man_dir, f"{name}.1"),
                                         encoding="utf-8").read():
        failures.append(f"{name}(1) does not carry the version {version}")
    taken = options_in_help(run(program, "--help"))
    for option in taken:
        if not mentions(whole, option):
            failures.append(f"{name}(1) has no entry for {option}")
    if every_entry_taken:
        for option in set(re.findall(r"--[a-z][a-z-]*", whole)) - set(taken):
            failures.append(f"{name}(1) has an entry for {option}, which {name} does not take")
    return page


def check_verbs(program, man_dir, version):
    page = check_page("tarnwick-cli", program, man_dir, version, every_entry_taken=False)
    usage = run(program, "--help")
    verbs = re.findall(r"^  ([a-z]+)  ", usage.split("Verbs:")[1], flags=re.MULTILINE)
    if not verbs:
        failures.append("tarnwick-cli --help lists no verbs")
    shared = "\n".join(page.get(heading, "") for heading in SHARED_SECTIONS)
    for verb in verbs:
        section = page.get(verb.upper())
        if section is None:
            failures.append(f"tarnwick-cli(1) has no section {verb.upper()}")
            continue
        taken = options_in_help(run(program, verb, "--help"))
        for option in taken:
            if not mentions(section, option) and not mentions(shared, option):
                failures.append(f"tarnwick-cli(1): {verb}'s {option} is in neither its section "
                                f"nor {' nor '.join(SHARED_SECTIONS)}")
        for option in set(re.findall(r"--[a-z][a-z-]*", section)) - set(taken):
            failures.append(f"tarnwick-cli(1): {verb.upper()} has an entry for {option}, "
                            f"which {verb} does not take")


def main():
    version, man_dir, tarnwick, tarnwick_cli, logger_sim = sys.argv[1:6]
    for name, program in (("tarnwick", tarnwick), ("logger-sim", logger_sim)):
        check_page(name, program, man_dir, version)
    check_verbs(tarnwick_cli, man_dir, version)
    for name, program in (("Tarnwick", tarnwick), ("tarnwick-cli", tarnwick_cli),
                          ("logger-sim", logger_sim)):
        check_version(program, name, version)
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    if failures:
        return 1
    print("passed: every option of every --help is in its page; --version prints", version)
    return 0


if __name__ == "__main__":
    sys.exit(main())
