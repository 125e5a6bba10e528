#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: logger_facts
short_description: Reads PV data loggers' settings as facts
description:
  - Runs C(tarnwick-cli read) on the managed host, the PC on the loggers' LAN, and sets
    C(ansible_facts.tarnwick_loggers) to one entry per logger.
  - The APN password shows as C(********) when one is set; the PIN cannot be read.
  - The task fails when any logger failed, naming each logger and why.
version_added: 1.0.0
author:
  - Tarnwick developers (@tarnwick)
options:
  loggers:
    default: [all]
  settings:
    description:
      - The settings to read, as C(tarnwick-cli read) names them (the tool lists them:
        C(tarnwick-cli --list-settings read)); all when not given.
    type: list
    elements: str
extends_documentation_fragment:
  - tarnwick.loggers.fleet
attributes:
  check_mode:
    description: Only reads, so it runs in check mode as well.
    support: full
  diff_mode:
    description: Changes nothing, so there is no diff.
    support: none
"""

EXAMPLES = r"""
- name: Read every logger of the site
  tarnwick.loggers.logger_facts:
  become: true

- name: Loggers whose operator is not the plant's
  ansible.builtin.debug:
    msg: "{{ ansible_facts.tarnwick_loggers | rejectattr('operator', 'eq', 'Field Tel')
             | map(attribute='ip') | list }}"

- name: Read two loggers' signal quality only
  tarnwick.loggers.logger_facts:
    loggers: [192.0.2.11, 192.0.2.12]
    settings: [signal]
    timeout: 1000
  # Given loggers need no search, so no privileged port and no become.
"""

RETURN = r"""
ansible_facts:
  description: The facts set.
  returned: success
  type: dict
  contains:
    tarnwick_loggers:
      description:
        - One entry per logger as C(tarnwick-cli read --format json) prints it, with
          C(ip), C(serial) when a search found the logger, and one key per setting read,
          named as a profile names it.
      type: list
      elements: dict
      sample:
        - ip: 192.0.2.11
          serial: SN-FL-001
          data_server: 198.51.100.20
          apn: {name: plant.apn, user: plant, password: "********"}
          operator: Field Tel
          signal: 23
          front_end: {address: 10.9.8.7, port: 7001, minutes: 45}
          system: {start: "00:00", stop: "23:59", data_interval_seconds: 600, gprs: "on"}
loggers:
  description: On failure, every logger's entry, those that failed with C(error) and C(error_kind).
  returned: failure
  type: list
  elements: dict
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarnwick.loggers.plugins.module_utils.fleet_cli import (
    FLEET_ARGUMENT_SPEC,
    CliFailure,
    FleetUsageError,
    describe_settings,
    failure_message,
    fleet_arguments,
    parse_reports,
    readable_settings,
    secret_keys,
)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            FLEET_ARGUMENT_SPEC,
            loggers=dict(type="list", elements="str", default=["all"]),
            settings=dict(type="list", elements="str"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    try:
        cli = module.get_bin_path(params["cli_path"], required=True)
        descriptions = describe_settings(cli)
        # The settings the tool reads, as it names them: no list of them is kept here.
        unknown = [name for name in params["settings"] or []
                   if name not in readable_settings(descriptions)]
        if unknown:
            raise FleetUsageError("settings: %s is not one of %s" % (
                ", ".join(unknown), ", ".join(readable_settings(descriptions))))
        command = [cli, "read"] + fleet_arguments(params) + (params["settings"] or [])
        rc, stdout, stderr = module.run_command(command)
        reports = parse_reports(rc, stdout, stderr, secret_keys(descriptions))
    except (FleetUsageError, CliFailure) as error:
        module.fail_json(msg=str(error))

    failure = failure_message(rc, reports, stderr)
    if failure:
        module.fail_json(msg=failure, loggers=reports)
    module.exit_json(changed=False, ansible_facts=dict(tarnwick_loggers=reports))


if __name__ == "__main__":
    main()
