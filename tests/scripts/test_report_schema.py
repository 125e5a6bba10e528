#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Every verb's --format json output, printed by the built tarnwick-cli against substitute
loggers on loopback addresses, holds to docs/report.schema.json.

Arguments: the schema, tarnwick-cli and logger-sim. Exits 77 (a skip) without Debian's
python3-jsonschema."""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed", file=sys.stderr)
    sys.exit(77)

SCHEMA_PATH, CLI, SIM = sys.argv[1:4]
LOGGERS = ["127.0.0.2", "127.0.0.3"]
SILENT = "127.0.0.9"  # no logger answers there


def start_logger(address, serial, ports=(0, 0)):
    """A logger-sim on the address, once it has said which ports it bound."""
    process = subprocess.Popen(
        [SIM, "--address", address, "--serial", serial,
         "--command-port", str(ports[0]), "--search-port", str(ports[1])],
        stderr=subprocess.PIPE, text=True)
    started = re.search(r"command port (\d+), search port (\d+)", process.stderr.readline())
    if not started:
        process.kill()
        raise RuntimeError("logger-sim did not start on " + address)
    return process, (int(started.group(1)), int(started.group(2)))


class ReportSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SCHEMA_PATH) as schema:
            cls.schema = json.load(schema)
        jsonschema.Draft202012Validator.check_schema(cls.schema)
        first, cls.ports = start_logger(LOGGERS[0], "SN-1")
        second, _ = start_logger(LOGGERS[1], "SN-2", cls.ports)
        cls.loggers = [first, second]
        cls.directory = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        for process in cls.loggers:
            process.kill()
            process.wait()
            process.stderr.close()
        cls.directory.cleanup()

    def run_cli(self, *arguments, status=0):
        command = [CLI, arguments[0], "--format", "json", "--bind", "127.0.0.1",
                   "--local-command-port", "0", "--local-search-port", "0",
                   "--command-port", str(self.ports[0]), "--search-port", str(self.ports[1]),
                   "--timeout", "300", "--retries", "0", "--wait", "300"] + list(arguments[1:])
        done = subprocess.run(command, capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, status, done.stderr)
        return json.loads(done.stdout)

    def assertHolds(self, report, definition):
        """The report holds to one verb's definition in the schema, not just to any."""
        schema = {"$schema": self.schema["$schema"], "$defs": self.schema["$defs"],
                  "$ref": "#/$defs/" + definition}
        jsonschema.Draft202012Validator(schema).validate(report)

    def profile(self, name, settings):
        path = os.path.join(self.directory.name, name)
        with open(path, "w") as profile:
            json.dump({"format": "tarnwick-profile", "version": 1, "settings": settings}, profile)
        return path

    def test_every_verb_holds_to_the_schema(self):
        self.assertHolds(self.run_cli("search", "--range", "127.0.0.2-127.0.0.3"),
                         "searchReport")
        # Every setting the tool writes, by the example it gives of each; the address
        # change comes below.
        described = json.loads(subprocess.run([CLI, "--list-settings", "json"], check=True,
                                              capture_output=True, text=True).stdout)
        examples = [setting["example"] for setting in described
                    if setting["writable"] and not setting["written_last"]]
        self.assertIn("operator=Field Tel", examples)
        written = self.run_cli("write", "--logger", LOGGERS[0], *examples)
        self.assertHolds(written, "settingsReport")
        self.assertHolds(self.run_cli("read", "--logger", ",".join(LOGGERS + [SILENT]),
                                      status=1), "settingsReport")
        backup = os.path.join(self.directory.name, "backup.json")
        self.assertHolds(self.run_cli("backup", "--logger", LOGGERS[0], "--output", backup),
                         "settingsReport")

        with open(backup) as saved:
            settings = json.load(saved)["settings"]
        settings["pin"] = "1234"
        plant = self.profile("plant.json", settings)
        for extra in (["--dry-run"], [], []):  # differences, changes, then nothing to do
            self.assertHolds(self.run_cli("apply", plant, "--logger", LOGGERS[1], *extra),
                             "applyReport")
        # An address change: the read-back says where the logger answered.
        self.assertHolds(self.run_cli("write", "--logger", LOGGERS[1],
                                      "ip=127.0.0.9,255.0.0.0,127.0.0.1"), "settingsReport")
        # Settings given in part: a dry run wants the given fields alone.
        partial = self.profile("partial.json", {
            "apn": {"name": "other.apn"}, "front_end": {"minutes": 50},
            "devices": [{"serial": "INV1", "address": 3, "type": "A1"},
                        {"serial": "INV2", "address": 4, "type": "B2"}]})
        for extra in (["--dry-run"], []):
            self.assertHolds(self.run_cli("apply", partial, "--logger", LOGGERS[0], *extra),
                             "applyReport")
        minutes_alone = self.profile("old.json", {"front_end": "45", "data_server": "none"})
        self.assertHolds(self.run_cli("apply", minutes_alone, "--logger",
                                      ",".join([LOGGERS[1], SILENT]), status=1), "applyReport")

        # The first logger commissioned, the second listed as not in the plan; the record
        # turned into the handover document.
        plan = os.path.join(self.directory.name, "plan.csv")
        with open(plan, "w") as rows:
            rows.write("serial,ip,mask,gateway\nSN-1,127.0.0.2,255.0.0.0,127.0.0.1\n")
        record = os.path.join(self.directory.name, "record.jsonl")
        self.assertHolds(self.run_cli("commission", minutes_alone, "--plan", plan, "--range",
                                      "127.0.0.2-127.0.0.3", "--record", record,
                                      "--max-time", "30"), "commissionReport")
        self.assertHolds(self.run_cli("report", record), "handoverReport")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
