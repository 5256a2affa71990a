#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: lxniccfg_team
short_description: Ensures an adapter team with given members and settings is present or absent
description:
  - Finds the team by name with C(lxnicctl list --json) and reads its settings with C(lxnicctl show --json).
  - A missing team is created with its members and settings by one C(lxnicctl team create); a team
    that is not wanted is dissolved by one C(lxnicctl team dissolve), which removes its VLANs with it.
  - On an existing team, members are added (C(lxnicctl team add)) before others are taken out
    (C(lxnicctl team remove)), one adapter per command, and then the settings that differ are written
    by one C(lxnicctl set). Every adapter to add is checked (it exists and is in no other team) and
    every setting is checked against the team's properties before the first change. Each lxnicctl
    command is all or nothing and takes a checkpoint of the server first; should a later member change
    or the settings be refused, the module restores the checkpoint the task's first command took
    (C(lxnicctl checkpoint rollback)), so the team is as it was before the task, and reports whether
    that succeeded (C(rolled_back)).
version_added: 1.0.0
options:
  name:
    description: The team's name.
    type: str
    required: true
  state:
    description: Whether the team is there.
    type: str
    choices: [present, absent]
    default: present
  members:
    description:
      - The member adapters, by number or name (or as C(nic:N)). The team gets exactly these members.
      - Needed to create a team; left out, the members of an existing team are kept.
    type: list
    elements: str
  properties:
    description:
      - Settings of the team (TeamingControls, TeamSettings, AdvancedRedundancy and TeamAdvanced
        panels), keyed by property id or display name, as for M(lxniccfg.net.lxniccfg_property).
      - C(TeamName) cannot be given here; the team is named by I(name).
      - A new team takes the advanced settings it is not given from its members.
    type: dict
    default: {}
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
- name: Adaptive load balancing over the two ten-gigabit ports
  lxniccfg.net.lxniccfg_team:
    name: Uplink
    members: [eth3, eth4]
    properties:
      OpMode: Adaptive Load Balancing
      LoadBalAlgorithm: IP Address

- name: No team "Team 1" (its VLANs go with it)
  lxniccfg.net.lxniccfg_team:
    name: Team 1
    state: absent
'''

RETURN = r'''
team:
  description: The team after the change (in check mode, as it would be); empty when it is absent.
  returned: always
  type: dict
  sample: {"name": "Uplink", "members": ["eth3", "eth4"], "properties": {"OpMode": "Adaptive Load Balancing"}}
commands:
  description: The lxnicctl commands that were run (in check mode, would be run), in order.
  returned: always
  type: list
  elements: list
rolled_back:
  description: After a refused change, whether the changes made before it were taken back.
  returned: when a change was refused after other changes of the task
  type: bool
undone:
  description: The commands of the task that the rollback took back.
  returned: when a change was refused after other changes of the task
  type: list
  elements: list
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.lxniccfg.net.plugins.module_utils.lxnicctl import (
    Lxnicctl, LxnicctlError, adapter_by_number, assignments, entries_of, find_adapter, find_team, module_options,
    nic_target, property_changes, reported_changes, settable_ids, team_target, value_text, values_of)


def resolve_members(listing, name, members):
    """The adapters named by `members`, checked: each exists, is named once
    and is in no team but this one. Raises ValueError."""
    adapters, seen = [], set()
    for ref in members:
        adapter = find_adapter(listing, ref)
        if adapter is None:
            raise ValueError('no adapter "%s" (adapters: %s)' % (
                ref, ', '.join('%d %s' % (a['number'], a['name']) for a in listing.get('adapters', []))))
        if adapter['number'] in seen:
            raise ValueError('%s is named twice in members' % adapter['name'])
        if adapter.get('team') not in (None, name):
            raise ValueError('%s is a member of team "%s"' % (adapter['name'], adapter['team']))
        seen.add(adapter['number'])
        adapters.append(adapter)
    return adapters


def member_names(listing, numbers):
    names = []
    for number in numbers:
        adapter = adapter_by_number(listing, number)
        names.append(adapter['name'] if adapter else str(number))
    return names


def settings_command(name, entries, wanted):
    """The set command for the settings that differ (None when none does),
    and the changes as [(id, before, after)]. Raises ValueError."""
    changes, unknown = property_changes(entries, wanted)
    if unknown:
        raise ValueError('team "%s" has no property %s (properties: %s)'
                         % (name, ', '.join(unknown), ', '.join(settable_ids(entries))))
    return (['set', team_target(name)] + assignments(changes) if changes else None), changes


def plan(listing, team, panels, params):
    """The commands that bring the team to the wanted state, in order, and
    the team before and after as the diff shows it ({} when absent).

    `team` is the team of the listing (None when there is none) and `panels`
    its editable panels (needed when settings are given for an existing
    team). Raises ValueError for a request that cannot be carried out."""
    name, wanted, members = params['name'], params['properties'], params['members']
    before = {}
    if team is not None:
        before = {'name': name, 'members': member_names(listing, team.get('members', [])),
                  'vlans': [v.get('id') for v in team.get('vlans', [])]}
    if params['state'] == 'absent':
        return ([['team', 'dissolve', team_target(name)]] if team is not None else []), before, {}

    if team is None:
        if members is None:
            raise ValueError('team "%s" does not exist; members are needed to create it' % name)
        adapters = resolve_members(listing, name, members)
        settings = dict((key, value_text(key, value)) for key, value in wanted.items())
        command = ['team', 'create', name, '--members', ','.join(str(a['number']) for a in adapters)]
        after = {'name': name, 'members': [a['name'] for a in adapters], 'vlans': [], 'properties': settings}
        return [command + ['%s=%s' % item for item in settings.items()]], before, after

    commands = []
    after = dict(before)
    if members is not None:
        adapters = resolve_members(listing, name, members)
        current, numbers = team.get('members', []), [a['number'] for a in adapters]
        # Additions first, so that the team never drops to no member.
        commands += [['team', 'add', team_target(name), nic_target(n)] for n in numbers if n not in current]
        commands += [['team', 'remove', team_target(name), nic_target(n)] for n in current if n not in numbers]
        after['members'] = [a['name'] for a in adapters]
    if wanted:
        command, changes = settings_command(name, entries_of(panels), wanted)
        if command:
            commands.append(command)
        before['properties'] = dict((pid, b) for pid, b, _a in changes)
        after['properties'] = dict((pid, a) for pid, _b, a in changes)
    return commands, before, after


def carry_out(module, ctl, commands, after):
    """Runs the commands. Once members have changed, the settings are
    compared again before they are written: a team's advanced settings
    follow its members."""
    name, wanted = module.params['name'], module.params['properties']
    settings = [c for c in commands if c[0] == 'set']
    for command in commands:
        if command[0] != 'set':
            report = ctl.change(command)
            if command[:2] == ['team', 'create'] and report:
                # The settings as the new team holds them.
                written = reported_changes(report)
                after['properties'] = dict((pid, change[1]) for pid, change in written.items() if pid != 'TeamName')
    members_changed = any(c[:2] in (['team', 'add'], ['team', 'remove']) for c in commands)
    if members_changed and wanted and not module.check_mode:
        entries = entries_of(ctl.panels(team_target(name), wanted)[0])
        command, changes = settings_command(name, entries, wanted)
        settings = [command] if command else []
        after['properties'] = values_of(entries, after.get('properties', {}))
        after['properties'].update((pid, a) for pid, _b, a in changes)
    for command in settings:
        ctl.change(command)


def rollback(module, ctl):
    """Takes back the commands carried out before a refused one (which
    itself changed nothing) by restoring the checkpoint the first of them
    took. Returns what the failure reports about it."""
    if module.check_mode or not ctl.changes:
        return {}
    undone = list(ctl.changes)
    if ctl.first_checkpoint is None:
        return {'rolled_back': False, 'rollback_error': 'lxnicctl reported no checkpoint', 'undone': []}
    try:
        ctl.json(['checkpoint', 'rollback', ctl.first_checkpoint])
    except LxnicctlError as error:
        return {'rolled_back': False, 'rollback_error': error.info['message'], 'undone': []}
    del ctl.changes[:]
    return {'rolled_back': True, 'undone': undone}


def main():
    module = AnsibleModule(
        argument_spec=module_options(
            name=dict(type='str', required=True),
            state=dict(type='str', choices=['present', 'absent'], default='present'),
            members=dict(type='list', elements='str'),
            properties=dict(type='dict', default={}),
        ),
        supports_check_mode=True,
    )
    params = module.params
    name = params['name']
    if not name:
        module.fail_json(msg='a team needs a name')
    if any(key.casefold() in ('teamname', 'team name') for key in params['properties']):
        module.fail_json(msg='the team is named by the name option; TeamName cannot be given in properties')
    if params['members'] == [] and params['state'] == 'present':
        module.fail_json(msg='a team keeps at least one member')

    ctl = Lxnicctl(module)
    try:
        listing = ctl.listing()
        team = find_team(listing, name)
        panels = None
        if team is not None and params['state'] == 'present' and params['properties']:
            panels = ctl.panels(team_target(name), params['properties'])[0]
        try:
            commands, before, after = plan(listing, team, panels, params)
        except ValueError as error:
            module.fail_json(msg=str(error))
        carry_out(module, ctl, commands, after)
    except LxnicctlError as error:
        ctl.fail(error, **rollback(module, ctl))

    result = dict(changed=bool(ctl.changes), team=after, commands=ctl.changes)
    if module._diff:
        label = 'team "%s"' % name
        result['diff'] = dict(before=before, after=after, before_header=label, after_header=label)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
