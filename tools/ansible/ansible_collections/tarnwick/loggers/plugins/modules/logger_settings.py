#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: logger_settings
short_description: Keeps PV data loggers' settings as a profile declares them
description:
  - Runs C(tarnwick-cli apply) on the managed host, the PC on the loggers' LAN. Each
    setting of the profile is read from each logger first, and only the settings that
    differ are written, each read back; a second run with the same profile writes nothing.
  - The result is changed only when a setting was written. A PIN in the profile is written
    on every run, since a logger cannot report its PIN, so a profile holding one always
    reports changed; leave the PIN out of the profile kept in force.
  - The task fails when any logger failed, naming each logger and why. The loggers that
    succeeded keep what was written to them.
  - The APN password and the PIN never appear in the result or in the diff. A profile
    file holding one that other users of the managed host can read is still applied, with
    a warning.
version_added: 1.0.0
author:
  - Tarnwick developers (@tarnwick)
options:
  loggers:
    required: true
  profile:
    description:
      - A profile file on the managed host, as C(tarnwick-cli backup) writes it. A profile
        kept on the controller goes to the host first, with M(ansible.builtin.copy) and
        C(mode=0600) when it holds the APN password or the PIN.
      - Exactly one of I(profile) and I(settings) is given.
    type: path
  settings:
    description:
      - The profile's settings inline, each optional. The module writes them to a profile
        file readable by its owner only, which it removes after the run.
      - The settings are those C(tarnwick-cli --list-settings json) describes on the managed
        host, its secrets kept out of every log; the tool checks each value, and refuses
        the run before anything is sent when one is wrong.
    type: dict
    suboptions:
      ip_configuration:
        description:
          - C(dhcp), or a dict of C(address), C(mask) and C(gateway). Written only with
            I(with_ip), after every other setting of that logger.
        type: raw
      data_server:
        description:
          - The data server's address, C(A.B.C.D), or C(none). It is written with port
            9040, which the system fixes; a logger holding another port reports it as
            C(A.B.C.D:PORT), so the change shows.
        type: str
      apn:
        description:
          - The mobile network's access point. Fields left out keep the logger's values
            (the APN is read first); the comparison and check mode look at the given fields
            alone.
        type: dict
        suboptions:
          name:
            description: The APN.
            type: str
          user:
            description: The APN's user name.
            type: str
          password:
            description: The APN's password.
            type: str
      pin:
        description:
          - The SIM PIN (digits), or C(clear). Written on every run, since a logger cannot
            report its PIN.
        type: str
      operator:
        description: The telecom operator.
        type: str
      front_end:
        description:
          - The front-end computer endpoint. Fields left out keep the logger's values (the
            endpoint is read first), so C(minutes) alone changes only the minutes.
        type: dict
        suboptions:
          address:
            description: Four decimal octets.
            type: str
          port:
            description: 1 to 65535.
            type: int
          minutes:
            description: The time in minutes, from 1.
            type: int
      devices:
        description:
          - The registry of attached devices, in order. The registry is emptied and each
            device added when it differs.
        type: list
        elements: dict
        suboptions:
          serial:
            description: At most 16 bytes.
            type: str
            required: true
          address:
            description: 0 to 255.
            type: int
            required: true
          type:
            description: A type code of 2 or 3 characters.
            type: str
            required: true
          append:
            description:
              - Free text; one C(#) splits its two parts. Left out, the device keeps the
                append info of the logger's device with its serial number.
            type: str
      system:
        description:
          - The system-parameter block, written as one. Fields left out keep the logger's
            values (the block is read first, and written back only when the logger's answer
            holds the whole block), so C(gprs) alone changes only GPRS; the comparison and
            check mode look at the given fields alone.
        type: dict
        suboptions:
          start:
            description: Start of the daily logging window, C(HH:MM).
            type: str
          stop:
            description: End of the daily logging window, C(HH:MM).
            type: str
          data_interval_seconds:
            description: 0 to 65535.
            type: int
          heartbeat_minutes:
            description: 0 to 255.
            type: int
          retries:
            description: 0 to 255.
            type: int
          wait_for_response:
            description: Wait for the server's response (written as C(yes)/C(no)).
            type: bool
          reconnect:
            description: Reconnect (written as C(yes)/C(no)).
            type: bool
          transport:
            description: The transport to the server.
            type: str
            choices: [udp, tcp]
          gprs:
            description: GPRS on or off (written as C(on)/C(off)).
            type: bool
  with_ip:
    description:
      - Also write the IP configuration, after every other setting of the logger; from
        I(plan) by serial number, or from the profile when a single logger is named.
    type: bool
    default: false
  plan:
    description:
      - A CSV file on the managed host with the header C(serial,ip,mask,gateway), one row
        per logger. Every logger needs its row and every row its logger, or nothing is
        written. Needs I(with_ip).
    type: path
extends_documentation_fragment:
  - tarnwick.loggers.fleet
attributes:
  check_mode:
    description: Reads every setting and reports what would be written, writing nothing.
    support: full
  diff_mode:
    description: Shows each logger's settings before and after.
    support: full
"""

EXAMPLES = r"""
- name: The plant's loggers hold the plant profile
  tarnwick.loggers.logger_settings:
    loggers: all
    profile: /etc/tarnwick/plant.json
  become: true

- name: Two loggers send to the new data server with the site's APN
  tarnwick.loggers.logger_settings:
    loggers: [192.0.2.11, 192.0.2.12]
    settings:
      data_server: 198.51.100.20
      apn:
        name: plant.apn
        user: plant
        password: "{{ vault_apn_password }}"
      system:
        start: "00:00"
        stop: "23:59"
        data_interval_seconds: 600
        heartbeat_minutes: 3
        retries: 3
        wait_for_response: true
        reconnect: true
        transport: tcp
        gprs: true
  become: true

- name: Every logger of the site moves to its planned address, after the rest
  tarnwick.loggers.logger_settings:
    loggers: all
    network: 192.0.2.0/24
    profile: /etc/tarnwick/plant.json
    with_ip: true
    plan: /etc/tarnwick/ip-plan.csv
  become: true
"""

RETURN = r"""
loggers:
  description:
    - One report per logger, as C(tarnwick-cli apply --format json) prints it, secrets masked.
    - C(ip), C(serial) when known, one key per setting of the profile holding its
      C(status) (C(unchanged), C(changed), C(would_change), C(written), C(would_write),
      C(not_written) or C(failed)) with C(value), C(was), C(wanted), C(reason) or C(error)
      as they apply, and C(error) with C(error_kind) when the logger or a setting failed.
  returned: when the tool ran
  type: list
  elements: dict
  sample:
    - ip: 192.0.2.12
      serial: SN-FL-002
      data_server: {status: unchanged, value: 198.51.100.20}
      operator: {status: changed, was: Old Tel, value: Field Tel}
      pin: {status: written}
    - ip: 192.0.2.19
      error: no answer to MR after 3 tries
      error_kind: no_answer
"""

from ansible.module_utils.basic import AnsibleModule, _load_params
from ansible.module_utils.common.process import get_bin_path
from ansible_collections.tarnwick.loggers.plugins.module_utils.fleet_cli import (
    FLEET_ARGUMENT_SPEC,
    CliFailure,
    FleetUsageError,
    apply_changed,
    apply_diff,
    describe_settings,
    failure_message,
    fleet_arguments,
    inline_settings_options,
    tool_warnings,
    parse_reports,
    private_profile,
    profile_secrets,
    secret_keys,
)


def settings_descriptions():
    """The settings as the tool on this host describes them, before the module's options
    are read: the inline settings' options, their secrets no_log, come from it. None when
    the tool cannot say; the module then fails once it can report why."""
    cli_path = _load_params().get("cli_path") or "tarnwick-cli"
    try:
        return describe_settings(get_bin_path(cli_path)), None
    except (ValueError, CliFailure) as error:
        return [], str(error)


def apply(module, profile_path, keys):
    """Runs apply with the profile and returns (rc, reports, stderr)."""
    params = module.params
    command = [module.get_bin_path(params["cli_path"], required=True), "apply", profile_path]
    command += fleet_arguments(params)
    if params["with_ip"]:
        command.append("--with-ip")
    if params["plan"]:
        command += ["--plan", params["plan"]]
    if module.check_mode:
        command.append("--dry-run")
    rc, stdout, stderr = module.run_command(command)
    return rc, parse_reports(rc, stdout, stderr, keys), stderr


def main():
    descriptions, undescribed = settings_descriptions()
    module = AnsibleModule(
        argument_spec=dict(
            FLEET_ARGUMENT_SPEC,
            loggers=dict(type="list", elements="str", required=True),
            profile=dict(type="path"),
            # Without the tool's description no option is known to be secret: all are.
            settings=(dict(type="dict", options=inline_settings_options(descriptions))
                      if descriptions else dict(type="dict", no_log=True)),
            with_ip=dict(type="bool", default=False),
            plan=dict(type="path"),
        ),
        mutually_exclusive=[("profile", "settings")],
        required_one_of=[("profile", "settings")],
        supports_check_mode=True,
    )
    params = module.params
    if undescribed:
        module.fail_json(msg=undescribed)
    try:
        if params["profile"]:
            # Whatever the tool says back, the profile's secrets are scrubbed from it.
            module.no_log_values.update(profile_secrets(params["profile"],
                                                        secret_keys(descriptions)))
            rc, reports, stderr = apply(module, params["profile"], secret_keys(descriptions))
        else:
            with private_profile(params["settings"], module.tmpdir) as path:
                rc, reports, stderr = apply(module, path, secret_keys(descriptions))
    except (FleetUsageError, CliFailure) as error:
        module.fail_json(msg=str(error))
    for warning in tool_warnings(stderr):
        module.warn(warning)

    result = dict(changed=apply_changed(reports, module.check_mode), loggers=reports)
    if module._diff:
        result["diff"] = apply_diff(reports)
    failure = failure_message(rc, reports, stderr)
    if failure:
        module.fail_json(msg=failure, **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
