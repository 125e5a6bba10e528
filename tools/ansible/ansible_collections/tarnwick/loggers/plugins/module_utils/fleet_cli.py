# SPDX-License-Identifier: GPL-3.0-or-later
# -*- coding: utf-8 -*-
"""What the collection's modules share: the settings as tarnwick-cli describes them, the
command lines they give it, the private profile of inline settings, and the reading of the
tool's JSON reports.

Plain Python without Ansible imports, so that it is tested on its own."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import contextlib
import json
import os
import subprocess
import tempfile

SECRET_MASK = "********"

# Keys under which a secret stands when the tool's description is not at hand: the APN's
# password and the SIM PIN. secret_keys() gives them from the description.
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


def describe_settings(cli_path):
    """Every setting as the tool describes it (tarnwick-cli --list-settings json): its
    name, report and profile keys, codes, secret, value shape and fields. The modules take
    the settings from here, so that a setting the tool gains needs nothing of them."""
    try:
        done = subprocess.run([cli_path, "--list-settings", "json"], capture_output=True,
                              universal_newlines=True, check=False)
    except OSError as error:
        raise CliFailure("tarnwick-cli could not be run: %s" % error)
    try:
        descriptions = json.loads(done.stdout)
    except ValueError:
        descriptions = None
    if done.returncode != 0 or not isinstance(descriptions, list):
        raise CliFailure("tarnwick-cli did not describe its settings: "
                         + (done.stderr.strip() or "status %d" % done.returncode))
    return descriptions


def readable_settings(descriptions):
    """The names read takes, in the tool's order."""
    return [setting["name"] for setting in descriptions if setting["readable"]]


def inline_settings_options(descriptions):
    """The options of inline settings: one per setting a profile applies, as the profile
    holds it (the tool checks the values). Secrets are no_log, so that Ansible never logs
    them: a secret value as a whole, or the field of an object that is one."""
    options = {}
    for setting in descriptions:
        if not setting["applied"]:
            continue
        secret = setting["secret"]
        if secret is True:
            option = dict(type="str", no_log=True)
        elif secret:
            option = dict(type="dict", options=dict(
                (field, dict(type="raw", no_log=field == secret)) for field in setting["fields"]))
        else:
            option = dict(type="raw")
        options[setting["profile_key"]] = option
    return options


def secret_keys(descriptions):
    """The keys of a report under which a secret stands."""
    keys = set()
    for setting in descriptions:
        if setting["secret"] is True:
            keys.add(setting["report_key"])
        elif setting["secret"]:
            keys.add(setting["secret"])
    return frozenset(keys)


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


def profile_secrets(path, keys=SECRET_KEYS):
    """The secrets a profile file holds (the APN password and the PIN: texts under a secret
    key), so that the module can keep them out of everything it returns; none when the file
    cannot be read as a profile (the tool then refuses it and says why)."""
    try:
        with open(path) as profile:
            settings = json.load(profile).get("settings", {})
    except (OSError, ValueError, AttributeError):
        return []
    return list(_secrets_under(settings, keys))


def _secrets_under(data, keys):
    if isinstance(data, list):
        for item in data:
            for secret in _secrets_under(item, keys):
                yield secret
    elif isinstance(data, dict):
        for key, value in data.items():
            if key in keys and isinstance(value, str) and value:
                yield value
            else:
                for secret in _secrets_under(value, keys):
                    yield secret


def mask_secrets(data, keys=SECRET_KEYS):
    """A copy of a report with the APN password and the PIN masked wherever they stand,
    whether as a plain value (read) or as a setting entry of apply (its values masked,
    its status kept)."""
    if isinstance(data, list):
        return [mask_secrets(item, keys) for item in data]
    if not isinstance(data, dict):
        return data
    return {key: _masked(value) if key in keys else mask_secrets(value, keys)
            for key, value in data.items()}


def parse_reports(rc, stdout, stderr, keys=SECRET_KEYS):
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
    return mask_secrets(reports, keys)


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
