# SPDX-License-Identifier: GPL-3.0-or-later
# -*- coding: utf-8 -*-
"""The options every module of the collection shares: which loggers, and how patiently."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
options:
  loggers:
    description:
      - The loggers' IPv4 addresses, or C(all) alone for every logger a search finds.
      - C(all) searches the PC's own /24 network unless I(network) or I(range) names another.
    type: list
    elements: str
  network:
    description:
      - With I(loggers=all), the /24 network to search, as C(A.B.C.0/24).
    type: str
  range:
    description:
      - With I(loggers=all), the address range to search, as C(tarnwick-cli) takes it
        (C(FIRST-LAST) or a network in CIDR notation).
    type: str
  timeout:
    description:
      - Milliseconds to wait for each answer. The tool's default (5000) when not given.
    type: int
  retries:
    description:
      - Resends of a request whose answer does not come. The tool's default (2) when not given.
    type: int
  parallel:
    description:
      - How many loggers are served at once. The tool's default (64) when not given.
    type: int
  cli_path:
    description:
      - The C(tarnwick-cli) program on the managed host, a name looked up in C(PATH)
        or an absolute path.
    type: path
    default: tarnwick-cli
notes:
  - The module runs C(tarnwick-cli) on the managed host, the site's PC on the loggers' LAN.
    The tool binds UDP ports 8000 and 23 (the latter is privileged), so run the task with
    C(become) or grant the program C(cap_net_bind_service); close the window program first.
requirements:
  - C(tarnwick-cli) installed on the managed host.
"""
