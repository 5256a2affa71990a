#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: lxniccfg_vlan
short_description: Ensures a VLAN on an adapter or a team is present or absent
description:
  - Finds the VLAN by its id on its parent with C(lxnicctl list --json) and adds it
    (C(lxnicctl vlan add)), renames it (C(lxnicctl set)) or removes it (C(lxnicctl vlan remove)). Each
    of these is one lxnicctl command that either happens whole or not at all.
version_added: 1.0.0
options:
  parent:
    description:
      - The adapter (number or name, or C(nic:N)) or team (its name, or C(team:NAME)) that carries the VLAN.
      - In check mode a parent that does not exist yet (a team an earlier task of the play would
        create) is reported as a change with a warning; otherwise the module fails.
    type: str
    required: true
  vlan_id:
    description: The VLAN id (1 to 4094), unique on its parent.
    type: int
    required: true
  name:
    description:
      - The VLAN's name. Left out, a new VLAN gets none and the name of an existing one is kept.
    type: str
  state:
    description: Whether the VLAN is there.
    type: str
    choices: [present, absent]
    default: present
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
- name: Storage VLAN on the team
  lxniccfg.net.lxniccfg_vlan:
    parent: Uplink
    vlan_id: 100
    name: Storage

- name: No VLAN 10 on the third adapter
  lxniccfg.net.lxniccfg_vlan:
    parent: eth2
    vlan_id: 10
    state: absent
'''

RETURN = r'''
vlan:
  description: The VLAN after the change (in check mode, as it would be); empty when it is absent.
  returned: always
  type: dict
  sample: {"parent": "Uplink", "id": 100, "name": "Storage", "target": "vlan:team:Uplink/100"}
commands:
  description: The lxnicctl commands that were run (in check mode, would be run).
  returned: always
  type: list
  elements: list
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.lxniccfg.net.plugins.module_utils.lxnicctl import (
    Lxnicctl, LxnicctlError, find_adapter, find_team, module_options, nic_target, team_target, vlan_target)


def resolve_parent(listing, parent):
    """The parent's VLAN list and the text that names it to lxnicctl
    (nic:N or team:NAME), or (None, None)."""
    kind, _colon, rest = parent.partition(':')
    if kind in ('nic', 'team') and rest:
        adapter = find_adapter(listing, rest) if kind == 'nic' else None
        team = find_team(listing, rest) if kind == 'team' else None
    else:
        adapter, team = find_adapter(listing, parent), find_team(listing, parent)
    if adapter is not None and team is not None:
        raise ValueError('"%s" names both an adapter and a team; give the adapter by its number' % parent)
    if adapter is not None:
        return adapter.get('vlans', []), nic_target(adapter['number'])
    if team is not None:
        return team.get('vlans', []), team_target(team['name'])
    return None, None


def plan(listing, params):
    """The commands that bring the VLAN to the wanted state, the VLAN before
    and after as the diff shows it ({} when absent), and the text that names
    it to lxnicctl. Raises KeyError when the parent does not exist."""
    parent, vlan_id, name, state = params['parent'], params['vlan_id'], params['name'], params['state']
    vlans, ref = resolve_parent(listing, parent)
    if vlans is None:
        raise KeyError(parent)
    target = vlan_target(ref, vlan_id)
    current = next((v for v in vlans if str(v.get('id')) == str(vlan_id)), None)
    before = {} if current is None else {'parent': parent, 'id': vlan_id, 'name': current.get('name') or ''}
    if state == 'absent':
        return ([['vlan', 'remove', target]] if current is not None else []), before, {}, target
    after = {'parent': parent, 'id': vlan_id, 'name': name if name is not None else before.get('name', '')}
    if current is None:
        command = ['vlan', 'add', ref, '--id', str(vlan_id)]
        if name:
            command += ['--name', name]
        return [command], before, after, target
    if name is not None and name != before['name']:
        return [['set', target, 'VlanName=%s' % name]], before, after, target
    return [], before, after, target


def main():
    module = AnsibleModule(
        argument_spec=module_options(
            parent=dict(type='str', required=True),
            vlan_id=dict(type='int', required=True),
            name=dict(type='str'),
            state=dict(type='str', choices=['present', 'absent'], default='present'),
        ),
        supports_check_mode=True,
    )
    params = module.params
    if not 1 <= params['vlan_id'] <= 4094:
        module.fail_json(msg='vlan_id must be 1 to 4094, not %d' % params['vlan_id'])
    ctl = Lxnicctl(module)
    try:
        listing = ctl.listing()
    except LxnicctlError as error:
        ctl.fail(error)

    try:
        commands, before, after, target = plan(listing, params)
    except ValueError as error:
        module.fail_json(msg=str(error))
    except KeyError:
        message = 'no adapter or team "%s"' % params['parent']
        if params['state'] == 'absent':
            module.exit_json(changed=False, vlan={}, commands=[])
        if not module.check_mode:
            module.fail_json(msg=message)
        module.warn(message + ' (yet): the VLAN would be added once it exists')
        commands, before = [['vlan', 'add', params['parent'], '--id', str(params['vlan_id'])]], {}
        target = vlan_target(params['parent'], params['vlan_id'])
        after = {'parent': params['parent'], 'id': params['vlan_id'], 'name': params['name'] or ''}

    try:
        for command in commands:
            ctl.change(command)
    except LxnicctlError as error:
        ctl.fail(error)

    vlan = dict(after, target=target) if after else {}
    result = dict(changed=bool(commands), vlan=vlan, commands=ctl.changes)
    if module._diff:
        label = 'VLAN %d on %s' % (params['vlan_id'], params['parent'])
        result['diff'] = dict(before=before, after=after, before_header=label, after_header=label)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
