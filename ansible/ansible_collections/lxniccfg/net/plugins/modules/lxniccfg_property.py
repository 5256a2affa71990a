#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: lxniccfg_property
short_description: Ensures properties of an adapter, team or VLAN have given values
description:
  - Reads the properties of one adapter, team or VLAN with C(lxnicctl show --json) and changes the
    ones that differ with one C(lxnicctl set), which checks every value and the dependency rules
    before it writes anything and writes all of them or none.
  - A value that the dependency rules force on another property is written too; the result and the
    diff show it after a real run (check mode shows only the properties named here).
version_added: 1.0.0
options:
  target:
    description:
      - The adapter (number or name, C(4) or C(eth3)), team (its name) or VLAN (C(PARENT/ID), for
        example C(eth2/10) or C(Uplink/100)), as lxnicctl names them.
      - The forms C(nic:4), C(team:Uplink) and C(vlan:team:Uplink/100) (the C(target) of every
        object in the facts of M(lxniccfg.net.lxniccfg_facts)) cannot be mistaken for another object.
    type: str
    required: true
  properties:
    description:
      - The values, keyed by property id (C(JumboFrames)) or display name (C(Jumbo Frames)), in any case.
      - A value is one of the choices of the property's range (in any case) or a whole number in its
        range. Quote values such as C("Enabled"); a YAML boolean is refused.
    type: dict
    required: true
extends_documentation_fragment:
  - lxniccfg.net.lxnicctl
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - lxniccfg developers
'''

EXAMPLES = r'''
- name: Jumbo frames and IP load balancing on the team
  lxniccfg.net.lxniccfg_property:
    target: Uplink
    properties:
      JumboFrames: 9014 Bytes
      LoadBalAlgorithm: IP Address

- name: Fixed speed on the third adapter of a simulated server
  lxniccfg.net.lxniccfg_property:
    target: eth2
    properties:
      Speed & Duplex: 1000 Mbps Full Duplex
    state_file: /var/lib/lxnicif/state.json
'''

RETURN = r'''
target:
  description: The target as given.
  returned: always
  type: str
changed_properties:
  description: The properties that were (in check mode, would be) changed, with their values before and after.
  returned: always
  type: dict
  sample: {"JumboFrames": {"before": "Disabled", "after": "9014 Bytes"}}
forced:
  description:
    - Other properties of the target that the dependency rules changed with them, with the property
      that forced each (not in check mode).
  returned: always
  type: dict
  sample: {"SpeedDuplex": {"before": "10 Mbps Half Duplex", "after": "Auto Negotiation", "forced_by": "JumboFrames"}}
commands:
  description: The lxnicctl commands that were run to change the target (in check mode, would be run).
  returned: always
  type: list
  elements: list
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.lxniccfg.net.plugins.module_utils.lxnicctl import (
    Lxnicctl, LxnicctlError, assignments, entries_of, module_options, property_changes, reported_changes, settable_ids)


def main():
    module = AnsibleModule(
        argument_spec=module_options(
            target=dict(type='str', required=True),
            properties=dict(type='dict', required=True),
        ),
        supports_check_mode=True,
    )
    target = module.params['target']
    ctl = Lxnicctl(module)
    try:
        panels, _kind = ctl.panels(target, module.params['properties'])
    except LxnicctlError as error:
        ctl.fail(error, target=target)
    entries = entries_of(panels)
    try:
        changes, unknown = property_changes(entries, module.params['properties'])
    except ValueError as error:
        module.fail_json(msg=str(error), target=target)
    if unknown:
        module.fail_json(msg='%s has no property %s (properties: %s)'
                         % (target, ', '.join(unknown), ', '.join(settable_ids(entries))), target=target)

    before = dict((pid, value) for pid, value, _after in changes)
    after = dict((pid, value) for pid, _before, value in changes)
    forced = {}
    if changes:
        try:
            report = ctl.change(['set', target] + assignments(changes))
        except LxnicctlError as error:
            ctl.fail(error, target=target)
        # What was written, and what the dependency rules changed with it.
        for pid, (old, new, forced_by) in reported_changes(report).items():
            if forced_by and pid not in after:
                forced[pid] = {'before': old, 'after': new, 'forced_by': forced_by}
                before[pid] = old
            after[pid] = new

    result = dict(
        changed=bool(changes),
        target=target,
        changed_properties=dict((pid, {'before': b, 'after': a}) for pid, b, a in changes),
        forced=forced,
        commands=ctl.changes,
    )
    if module._diff:
        result['diff'] = dict(before=before, after=after,
                              before_header=target, after_header=target)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
