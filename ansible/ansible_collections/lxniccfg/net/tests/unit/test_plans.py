# Which lxnicctl commands the team and VLAN modules decide on, for a server
# as lxnicctl list --json describes it.
import pytest

from ansible_collections.lxniccfg.net.plugins.modules import lxniccfg_team, lxniccfg_vlan

LISTING = {
    'adapters': [
        {'number': 1, 'name': 'eth0', 'team': 'Team 1', 'vlans': []},
        {'number': 2, 'name': 'eth1', 'team': 'Team 1', 'vlans': []},
        {'number': 3, 'name': 'eth2', 'team': None, 'vlans': [{'id': '10', 'name': 'Sales'}]},
        {'number': 4, 'name': 'eth3', 'team': None, 'vlans': []},
        {'number': 5, 'name': 'eth4', 'team': None, 'vlans': []},
        {'number': 6, 'name': 'Backup', 'team': None, 'vlans': []},
    ],
    'teams': [
        {'name': 'Team 1', 'members': [1, 2], 'vlans': [{'id': '20', 'name': 'Backup'}]},
    ],
}
TEAM_PANELS = {'TeamingControls': [
    {'id': 'OpMode', 'displayName': 'Team Type', 'value': 'Adapter Fault Tolerance',
     'range': 'Adapter Fault Tolerance|Adaptive Load Balancing'},
]}


def vlan(parent, vlan_id, name=None, state='present'):
    return {'parent': parent, 'vlan_id': vlan_id, 'name': name, 'state': state}


@pytest.mark.parametrize('params, commands', [
    (vlan('eth3', 100, 'Storage'), [['vlan', 'add', 'nic:4', '--id', '100', '--name', 'Storage']]),
    (vlan('4', 100), [['vlan', 'add', 'nic:4', '--id', '100']]),
    (vlan('Team 1', 30, 'Web'), [['vlan', 'add', 'team:Team 1', '--id', '30', '--name', 'Web']]),
    # An existing VLAN: renamed when a name is given, else left alone.
    (vlan('eth2', 10, 'Sales'), []),
    (vlan('3', 10), []),
    (vlan('nic:eth2', 10), []),
    (vlan('eth2', 10, 'Retail'), [['set', 'vlan:nic:3/10', 'VlanName=Retail']]),
    (vlan('Team 1', 20, state='absent'), [['vlan', 'remove', 'vlan:team:Team 1/20']]),
    (vlan('eth2', 11, state='absent'), []),
])
def test_vlan_plan(params, commands):
    assert lxniccfg_vlan.plan(LISTING, params)[0] == commands


def test_vlan_parent_that_names_an_adapter_and_a_team_needs_its_kind():
    listing = dict(LISTING, teams=LISTING['teams'] + [{'name': 'Backup', 'members': [6], 'vlans': []}])
    with pytest.raises(ValueError, match='both an adapter and a team'):
        lxniccfg_vlan.plan(listing, vlan('Backup', 5))
    assert lxniccfg_vlan.plan(listing, vlan('nic:Backup', 5))[0] == [['vlan', 'add', 'nic:6', '--id', '5']]
    assert lxniccfg_vlan.plan(listing, vlan('team:Backup', 5))[0] == [['vlan', 'add', 'team:Backup', '--id', '5']]
    for missing in ('Uplink', 'team:eth3'):
        with pytest.raises(KeyError):
            lxniccfg_vlan.plan(LISTING, vlan(missing, 5))


def team(name, members=None, properties=None, state='present'):
    return {'name': name, 'members': members, 'properties': properties or {}, 'state': state}


@pytest.mark.parametrize('params, commands', [
    (team('Uplink', ['eth3', 5], {'OpMode': 'Adaptive Load Balancing'}),
     [['team', 'create', 'Uplink', '--members', '4,5', 'OpMode=Adaptive Load Balancing']]),
    # Members are added before others leave, so the team never has none.
    (team('Team 1', ['eth1', 'eth3']),
     [['team', 'add', 'team:Team 1', 'nic:4'], ['team', 'remove', 'team:Team 1', 'nic:1']]),
    (team('Team 1', ['2', 'eth0']), []),
    (team('Team 1', None, {'opmode': 'adaptive load balancing'}),
     [['set', 'team:Team 1', 'OpMode=Adaptive Load Balancing']]),
    (team('Team 1', ['eth0', 'eth1'], {'Team Type': 'adapter fault tolerance'}), []),
    (team('Team 1', state='absent'), [['team', 'dissolve', 'team:Team 1']]),
    (team('Uplink', state='absent'), []),
])
def test_team_plan(params, commands):
    existing = lxniccfg_team.find_team(LISTING, params['name'])
    assert lxniccfg_team.plan(LISTING, existing, TEAM_PANELS, params)[0] == commands


@pytest.mark.parametrize('params, message', [
    (team('Uplink', ['eth0']), 'eth0 is a member of team "Team 1"'),
    (team('Uplink', ['eth3', '4']), 'eth3 is named twice'),
    (team('Uplink', ['eth9']), 'no adapter "eth9"'),
    (team('Uplink'), 'members are needed to create it'),
    (team('Uplink', ['eth3'], {'JumboFrames': False}), 'quote it'),
    (team('Team 1', None, {'Bogus': '1'}), 'has no property Bogus'),
])
def test_team_plan_refuses_before_any_change(params, message):
    existing = lxniccfg_team.find_team(LISTING, params['name'])
    with pytest.raises(ValueError, match=message):
        lxniccfg_team.plan(LISTING, existing, TEAM_PANELS, params)
