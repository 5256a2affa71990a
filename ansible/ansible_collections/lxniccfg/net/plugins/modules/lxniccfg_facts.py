#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: lxniccfg_facts
short_description: Gathers the server's adapters, teams, VLANs and chosen panels as facts
description:
  - Reads C(lxnicctl list --json) and, for the panels asked for, C(lxnicctl show --json), and sets the
    fact C(lxniccfg). Changes nothing.
version_added: 1.0.0
options:
  panels:
    description:
      - Panels to read for every adapter, team and VLAN, by kind. Each list holds panel names
        (C(Settings), C(Information), C(TeamSettings), C(VlanInfo), ...) or C(default), the panels
        C(lxnicctl show) reads without a panel name.
      - Every panel costs one lxnicctl run per object (C(default) one for all its panels).
    type: dict
    default: {}
    suboptions:
      adapters:
        description: Panels of every adapter.
        type: list
        elements: str
        default: []
      teams:
        description: Panels of every team.
        type: list
        elements: str
        default: []
      vlans:
        description: Panels of every VLAN.
        type: list
        elements: str
        default: []
  hidden:
    description: Whether the panels include the properties they hide (lxnicctl C(show --all)).
    type: bool
    default: false
extends_documentation_fragment:
  - lxniccfg.net.lxnicctl
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
author:
  - lxniccfg developers
'''

EXAMPLES = r'''
- name: Adapters, teams and VLANs, with the adapters' settings
  lxniccfg.net.lxniccfg_facts:
    panels:
      adapters: [default, Information]
      teams: [TeamSettings]

- name: Names of the adapters that are in no team
  ansible.builtin.debug:
    msg: "{{ lxniccfg.adapters | selectattr('team', 'none') | map(attribute='name') | list }}"
'''

RETURN = r'''
ansible_facts:
  description: The fact C(lxniccfg).
  returned: always
  type: complex
  contains:
    lxniccfg:
      description:
        - C(adapters) and C(teams) as C(lxnicctl list --json) gives them, and C(vlans), every VLAN
          once with its C(parent) and C(parent_kind) (C(adapter) or C(team)).
        - Every object has a C(target) (the text that names it to lxnicctl and to the other modules)
          and, when panels were asked for, C(panels), which maps each panel name to the values of its
          properties by property id.
      type: dict
      sample:
        adapters:
          - {number: 4, name: eth3, definitionType: VeltraneXGE, status: Active, team: Uplink, target: "nic:4",
             vlans: [], panels: {Settings: {SpeedDuplex: "10 Gbps Full Duplex"}}}
        teams:
          - {name: Uplink, members: [4, 5], status: Active, target: "team:Uplink",
             vlans: [{id: "100", name: Storage, handle: 4003}]}
        vlans:
          - {id: "100", name: Storage, parent: Uplink, parent_kind: team, target: "vlan:team:Uplink/100"}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.lxniccfg.net.plugins.module_utils.lxnicctl import (
    Lxnicctl, LxnicctlError, module_options, nic_target, team_target, vlan_target)

KINDS = ('adapters', 'teams', 'vlans')


def shape(listing):
    """The fact: the listing with a target on every object and a flat list
    of the VLANs."""
    facts = {'adapters': [], 'teams': [], 'vlans': []}
    for kind, parent_kind, ref in (('adapters', 'adapter', lambda a: nic_target(a['number'])),
                                   ('teams', 'team', lambda t: team_target(t['name']))):
        for item in listing.get(kind, []):
            item = dict(item, target=ref(item))
            facts[kind].append(item)
            for vlan in item.get('vlans', []):
                facts['vlans'].append(dict(vlan, parent=item['name'], parent_kind=parent_kind,
                                           target=vlan_target(item['target'], vlan['id'])))
    return facts


def panel_values(shown):
    """{panel: {id: value}} from show --json."""
    return dict((panel, dict((e['id'], e['value'] if e.get('value') is not None else e.get('derivedValue')) for e in entries))
                for panel, entries in shown['panels'].items())


def main():
    module = AnsibleModule(
        argument_spec=module_options(
            panels=dict(type='dict', default={}, options=dict(
                adapters=dict(type='list', elements='str', default=[]),
                teams=dict(type='list', elements='str', default=[]),
                vlans=dict(type='list', elements='str', default=[]),
            )),
            hidden=dict(type='bool', default=False),
        ),
        supports_check_mode=True,
    )
    ctl = Lxnicctl(module)
    extra = ['--all'] if module.params['hidden'] else []
    wanted = module.params['panels'] or {}
    try:
        facts = shape(ctl.listing())
        for kind in KINDS:
            for item in facts[kind]:
                for panel in wanted.get(kind) or []:
                    args = ['show', item['target']] + ([] if panel == 'default' else [panel]) + extra
                    item.setdefault('panels', {}).update(panel_values(ctl.json(args)))
    except LxnicctlError as error:
        ctl.fail(error)
    module.exit_json(changed=False, ansible_facts={'lxniccfg': facts})


if __name__ == '__main__':
    main()
