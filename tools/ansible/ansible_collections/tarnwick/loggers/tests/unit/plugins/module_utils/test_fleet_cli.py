# SPDX-License-Identifier: GPL-3.0-or-later
# -*- coding: utf-8 -*-
"""The modules' logic against reports as tarnwick-cli prints them."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import stat
import unittest

from ansible_collections.tarnwick.loggers.plugins.module_utils import fleet_cli

SECRET = "s3cret"

# One run of apply over three loggers: one already as declared, one that took two
# settings, one that did not answer.
APPLIED = [
    {"ip": "192.0.2.11", "serial": "SN-1",
     "data_server": {"status": "unchanged", "value": "198.51.100.20"},
     "apn": {"status": "unchanged",
             "value": {"name": "plant.apn", "user": "plant", "password": SECRET}}},
    {"ip": "192.0.2.12", "serial": "SN-2",
     "data_server": {"status": "unchanged", "value": "198.51.100.20"},
     "operator": {"status": "changed", "was": "Old Tel", "value": "Field Tel"},
     "apn": {"status": "changed",
             "was": {"name": "old.apn", "user": "plant", "password": "old"},
             "value": {"name": "plant.apn", "user": "plant", "password": SECRET}},
     "pin": {"status": "written"}},
    {"ip": "192.0.2.19", "error": "no answer to MR after 3 tries", "error_kind": "no_answer"},
]

# The same loggers in a dry run with a differing operator on the second.
DRY_RUN = [
    {"ip": "192.0.2.11", "serial": "SN-1",
     "operator": {"status": "unchanged", "value": "Field Tel"}},
    {"ip": "192.0.2.12", "serial": "SN-2",
     "operator": {"status": "would_change", "value": "Field Tel", "wanted": "Other Tel"},
     "front_end": {"status": "not_written", "reason": "the profile holds the minutes alone"}},
]

UNCHANGED = [DRY_RUN[0]]

# Settings as tarnwick-cli --list-settings json describes them, with the fields read here.
DESCRIBED = [
    {"name": "mac", "report_key": "mac", "profile_key": "mac", "readable": True,
     "applied": False, "secret": False, "fields": []},
    {"name": "apn", "report_key": "apn", "profile_key": "apn", "readable": True,
     "applied": True, "secret": "password", "fields": ["name", "user", "password"]},
    {"name": "pin", "report_key": "pin", "profile_key": "pin", "readable": False,
     "applied": True, "secret": True, "fields": ["written", "cleared"]},
    {"name": "front-end", "report_key": "front_end", "profile_key": "front_end",
     "readable": True, "applied": True, "secret": False, "fields": ["address", "port", "minutes"]},
]


def fleet_params(**given):
    params = dict(loggers=["192.0.2.11"], network=None, range=None, timeout=None,
                  retries=None, parallel=None)
    params.update(given)
    return params


class FleetArgumentsTest(unittest.TestCase):
    def test_command_lines(self):
        rows = [
            ("addresses", fleet_params(loggers=["192.0.2.11", "192.0.2.12"]),
             ["--logger", "192.0.2.11,192.0.2.12"]),
            ("all of a network", fleet_params(loggers=["all"], network="192.0.2.0/24"),
             ["--all", "--network", "192.0.2.0/24"]),
            ("all of a range, paced", fleet_params(loggers=["all"], range="192.0.2.10-192.0.2.20",
                                                   timeout=1000, retries=0, parallel=8),
             ["--all", "--range", "192.0.2.10-192.0.2.20", "--timeout", "1000",
              "--retries", "0", "--parallel", "8"]),
        ]
        for name, params, expected in rows:
            with self.subTest(name):
                self.assertEqual(fleet_cli.fleet_arguments(params),
                                 expected + ["--format", "json"])

    def test_refused_choices(self):
        rows = [
            ("all among addresses", fleet_params(loggers=["all", "192.0.2.11"])),
            ("network without all", fleet_params(network="192.0.2.0/24")),
            ("range without all", fleet_params(range="192.0.2.1-192.0.2.9")),
        ]
        for name, params in rows:
            with self.subTest(name), self.assertRaises(fleet_cli.FleetUsageError):
                fleet_cli.fleet_arguments(params)


class DescribedSettingsTest(unittest.TestCase):
    def test_inline_options_follow_the_tool(self):
        raw = dict(type="raw", no_log=False)
        rows = [
            ("read only", "mac", None),
            ("a secret field", "apn", dict(type="dict", options=dict(
                name=raw, user=raw, password=dict(type="raw", no_log=True)))),
            ("a secret as a whole", "pin", dict(type="str", no_log=True)),
            ("no secret", "front_end", dict(type="raw")),
        ]
        options = fleet_cli.inline_settings_options(DESCRIBED)
        for name, key, expected in rows:
            with self.subTest(name):
                self.assertEqual(options.get(key), expected)

    def test_secrets_and_readable_names_follow_the_tool(self):
        self.assertEqual(fleet_cli.secret_keys(DESCRIBED), {"password", "pin"})
        self.assertEqual(fleet_cli.readable_settings(DESCRIBED), ["mac", "apn", "front-end"])


class InlineProfileTest(unittest.TestCase):
    def test_private_file_holds_the_settings_and_is_removed(self):
        settings = {"operator": "Field Tel", "pin": None,
                    "apn": {"name": "plant.apn", "user": None, "password": SECRET},
                    "system": {"gprs": True, "reconnect": False, "retries": 3,
                               "wait_for_response": None}}
        with fleet_cli.private_profile(settings) as path:
            self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o600)
            with open(path) as profile:
                document = json.load(profile)
        self.assertFalse(os.path.exists(path))
        self.assertEqual(document, {
            "format": "tarnwick-profile", "version": 1,
            "settings": {"operator": "Field Tel",
                         "apn": {"name": "plant.apn", "password": SECRET},
                         "system": {"gprs": "on", "reconnect": "no", "retries": 3}}})


class ReportsTest(unittest.TestCase):
    def test_changed(self):
        rows = [
            ("a setting written", APPLIED, False, True),
            ("every setting as declared", UNCHANGED, False, False),
            ("a dry run that would write", DRY_RUN, True, True),
            ("a dry run with nothing to write", UNCHANGED, True, False),
        ]
        for name, reports, dry_run, changed in rows:
            with self.subTest(name):
                self.assertIs(fleet_cli.apply_changed(reports, dry_run), changed)

    def test_diff_before_and_after_per_logger(self):
        diffs = fleet_cli.apply_diff(fleet_cli.mask_secrets(APPLIED[:2] + DRY_RUN[1:]))
        self.assertEqual([diff["before_header"] for diff in diffs],
                         ["192.0.2.11 (SN-1)", "192.0.2.12 (SN-2)", "192.0.2.12 (SN-2)"])
        self.assertEqual(diffs[0]["before"], diffs[0]["after"])
        self.assertEqual(diffs[1]["before"]["operator"], "Old Tel")
        self.assertEqual(diffs[1]["after"]["operator"], "Field Tel")
        self.assertEqual(diffs[1]["after"]["pin"], fleet_cli.SECRET_MASK)
        self.assertNotIn("pin", diffs[1]["before"])
        self.assertEqual(diffs[2], {"before_header": "192.0.2.12 (SN-2)",
                                    "after_header": "192.0.2.12 (SN-2)",
                                    "before": {"operator": "Field Tel"},
                                    "after": {"operator": "Other Tel"}})

    def test_failed_loggers_are_named(self):
        rows = [
            ("a logger without answer", 1, APPLIED, "",
             "1 of 3 loggers failed: 192.0.2.19: no answer to MR after 3 tries"),
            ("a search that found too few", 1, [], "found 0 of 1 expected loggers",
             "tarnwick-cli failed: found 0 of 1 expected loggers"),
            ("every logger done", 0, UNCHANGED, "", None),
        ]
        for name, rc, reports, stderr, message in rows:
            with self.subTest(name):
                self.assertEqual(fleet_cli.failure_message(rc, reports, stderr), message)

    def test_warnings_are_passed_on(self):
        stderr = ("tarnwick-cli apply: warning: /etc/tarnwick/plant.json holds a secret and "
                  "other users of this PC can read it; chmod 600 /etc/tarnwick/plant.json\n"
                  "192.0.2.19: no answer to MR after 3 tries\n")
        self.assertEqual(fleet_cli.tool_warnings(stderr), [stderr.splitlines()[0]])

    def test_runs_without_report_fail(self):
        rows = [
            ("refused", 2, "", "tarnwick-cli apply: unknown key"),
            ("crashed", 134, "[{\"ip\"", ""),
            ("not a list", 0, "{}", ""),
        ]
        for name, rc, stdout, stderr in rows:
            with self.subTest(name), self.assertRaises(fleet_cli.CliFailure):
                fleet_cli.parse_reports(rc, stdout, stderr)

    def test_secrets_never_in_results(self):
        read = [{"ip": "192.0.2.11", "pin": "1234",
                 "apn": {"name": "plant.apn", "user": "plant", "password": SECRET}}]
        for name, stdout in [("apply", json.dumps(APPLIED)), ("read", json.dumps(read))]:
            with self.subTest(name):
                reports = fleet_cli.parse_reports(0, stdout, "")
                results = json.dumps([reports, fleet_cli.apply_diff(reports)])
                self.assertNotIn(SECRET, results)
                self.assertNotIn("1234", results)
                self.assertNotIn('"old"', results)
        self.assertEqual(fleet_cli.parse_reports(0, json.dumps(APPLIED), "")[1]["pin"],
                         {"status": "written"})

    def test_profile_secrets(self):
        with fleet_cli.private_profile({"pin": "1234", "apn": {"password": SECRET}}) as path:
            self.assertCountEqual(fleet_cli.profile_secrets(path), ["1234", SECRET])
        self.assertEqual(fleet_cli.profile_secrets(path), [])


if __name__ == "__main__":
    unittest.main()
