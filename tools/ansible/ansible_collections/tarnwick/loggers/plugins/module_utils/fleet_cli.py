# SPDX-License-Identifier: GPL-3.0-or-later
# -*- coding: utf-8 -*-
"""What the collection's modules share: the command lines they give tarnwick-cli, the
private profile of inline settings, and the reading of the tool's JSON reports.

Plain Python without Ansible imports, so that it is tested on its own."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import contextlib
import json
import os
import tempfile

SECRET_MASK = "********"

# Keys under which a secret stands: the APN's password and the SIM PIN.
SECRET_KEYS = frozenset(("password", "pin"))

# The parts of an apply report's setting entry that carry values.
VALUE_FIELDS = ("value", "was", "wanted")

# Keys of a logger's report that are not settings.
LOGGER_KEYS = frozenset(("ip", "serial", "error", "error_kind"))

# Statuses of a setting that mean a write went out (or would, in a dry run).
WRITTEN_STATUSES = frozenset(("changed", "written"))
WOULD_WRITE_STATUSES = frozenset(("would_change", "would_write"))

# The options that choose the loggers and pace the exchanges, common to every module;
# each module adds "loggers" (a list of addresses or "all") with its own default.
FLEET_ARGUMENT_SPEC = dict(
    network=dict(type="str"),
    range=dict(type="str"),
    timeout=dict(type="int"),
    retries=dict(type="int"),
    parallel=dict(type="int"),
    cli_path=dict(type="path", default="tarnwick-cli"),
)

# Switches of the system block that the profile holds as words.
_SWITCH_WORDS = {
    "wait_for_response": ("yes", "no"),
    "reconnect": ("yes", "no"),
    "gprs": ("on", "off"),
}


class FleetUsageError(ValueError):
    """Options that cannot make a command line."""


class CliFailure(Exception):
    """A run of tarnwick-cli that gave no report to read."""


def fleet_arguments(params):
    """The target and pacing options of a command line, from the module's parameters."""
    loggers = params["loggers"]
    if "all" in loggers:
        if len(loggers) != 1:
            raise FleetUsageError("loggers is either a list of addresses or 'all' alone")
        arguments = ["--all"]
        if params["network"]:
            arguments += ["--network", params["network"]]
        if params["range"]:
            arguments += ["--range", params["range"]]
    else:
        if params["network"] or params["range"]:
            raise FleetUsageError("network and range choose where 'all' searches; "
                                  "give them with loggers: all")
        arguments = ["--logger", ",".join(loggers)]
    for option in ("timeout", "retries", "parallel"):
        if params[option] is not None:
            arguments += ["--" + option, str(params[option])]
    return arguments + ["--format", "json"]


def profile_document(settings):
    """A profile holding the inline settings. Options left unset are left out, and the
    system block's switches are written as the words the profile holds."""
    settings = _without_unset(settings)
    system = settings.get("system")
    if system:
        for key, (on, off) in _SWITCH_WORDS.items():
            if isinstance(system.get(key), bool):
                system[key] = on if system[key] else off
    return {"format": "tarnwick-profile", "version": 1, "settings": settings}


@contextlib.contextmanager
def private_profile(settings, directory=None):
    """Writes the inline settings to a profile only its owner can read (they may hold the
    APN password and the PIN) and removes it afterwards. Yields its path."""
    handle, path = tempfile.mkstemp(prefix="tarnwick-profile-", suffix=".json", dir=directory)
    try:
        with os.fdopen(handle, "w") as profile:
            json.dump(profile_document(settings), profile)
        yield path
    finally:
        os.unlink(path)


def profile_secrets(path):
    """The APN password and the PIN a profile file holds, so that the module can keep them
    out of everything it returns; none when the file cannot be read as a profile (the tool
    then refuses it and says why)."""
    try:
        with open(path) as profile:
            settings = json.load(profile).get("settings", {})
    except (OSError, ValueError, AttributeError):
        return []
    if not isinstance(settings, dict):
        return []
    apn = settings.get("apn")
    candidates = [settings.get("pin"), apn.get("password") if isinstance(apn, dict) else None]
    return [secret for secret in candidates if isinstance(secret, str) and secret]


def mask_secrets(data):
    """A copy of a report with the APN password and the PIN masked wherever they stand,
    whether as a plain value (read) or as a setting entry of apply (its values masked,
    its status kept)."""
    if isinstance(data, list):
        return [mask_secrets(item) for item in data]
    if not isinstance(data, dict):
        return data
    return {key: _masked(value) if key in SECRET_KEYS else mask_secrets(value)
            for key, value in data.items()}


def parse_reports(rc, stdout, stderr):
    """The loggers' reports of a run, or raises CliFailure with what the tool said."""
    if rc == 2:
        raise CliFailure("tarnwick-cli refused the run, nothing was sent: "
                         + (stderr.strip() or "no reason given"))
    try:
        reports = json.loads(stdout)
    except ValueError:
        raise CliFailure("tarnwick-cli ended with status %d without a report: %s"
                         % (rc, stderr.strip() or "no message"))
    if not isinstance(reports, list):
        raise CliFailure("tarnwick-cli printed JSON that is not a list of loggers")
    return mask_secrets(reports)


def tool_warnings(stderr):
    """The warnings tarnwick-cli printed (a profile other users of the PC can read), each
    as the tool words it, for the module to pass on."""
    return [line.strip() for line in stderr.splitlines() if ": warning: " in line]


def failure_message(rc, reports, stderr):
    """Names each logger that failed and why; the tool's own message when it failed
    without naming a logger (a search that found too few). None when all succeeded."""
    failed = ["%s: %s" % (_logger_name(report), report["error"])
              for report in reports if "error" in report]
    if failed:
        return "%d of %d loggers failed: %s" % (len(failed), len(reports), "; ".join(failed))
    if rc != 0:
        return "tarnwick-cli failed: " + (stderr.strip() or "status %d" % rc)
    return None


def apply_changed(reports, dry_run):
    """Whether a setting was written, or in a dry run would be."""
    statuses = WOULD_WRITE_STATUSES if dry_run else WRITTEN_STATUSES
    return any(entry.get("status") in statuses
               for report in reports for _, entry in _setting_entries(report))


def apply_diff(reports):
    """One before/after pair per logger, over the settings whose values the report gives:
    what the logger held and what it holds (or would hold) now. The PIN, which a logger
    cannot report, shows only on the after side, masked."""
    diffs = []
    for report in reports:
        before, after = {}, {}
        for name, entry in _setting_entries(report):
            status = entry.get("status")
            if status == "unchanged":
                before[name] = after[name] = entry.get("value")
            elif status == "changed":
                before[name], after[name] = entry.get("was"), entry.get("value")
            elif status == "would_change":
                before[name], after[name] = entry.get("value"), entry.get("wanted")
            elif status in ("written", "would_write"):
                after[name] = entry.get("value", SECRET_MASK)
        header = _logger_name(report)
        diffs.append({"before_header": header, "after_header": header,
                      "before": mask_secrets(before), "after": mask_secrets(after)})
    return diffs


def _without_unset(value):
    if isinstance(value, dict):
        return {key: _without_unset(item) for key, item in value.items() if item is not None}
    if isinstance(value, list):
        return [_without_unset(item) for item in value]
    return value


# An empty secret stays empty, as the tool shows it: that none is set is no secret.
def _masked(value):
    if isinstance(value, dict) and "status" in value:
        return {key: SECRET_MASK if key in VALUE_FIELDS and item else mask_secrets(item)
                for key, item in value.items()}
    return SECRET_MASK if value else value


def _setting_entries(report):
    for name, entry in report.items():
        if name not in LOGGER_KEYS and isinstance(entry, dict) and "status" in entry:
            yield name, entry


def _logger_name(report):
    if report.get("serial"):
        return "%s (%s)" % (report["ip"], report["serial"])
    return report["ip"]
