# The modules run against lxnicctl and a simulated server with its own state
# file: what they change, that a second run changes nothing, that check mode
# writes nothing, and what a refusal reports.
import json
import os
import subprocess

import pytest

from ansible_collections.lxniccfg.net.plugins.modules import (
    lxniccfg_facts, lxniccfg_property, lxniccfg_script, lxniccfg_team, lxniccfg_vlan)
from fleet import lxnicctl_path


def read(path):
    with open(path, 'rb') as handle:
        return handle.read()


def lxnicctl(state, *args):
    return subprocess.run([lxnicctl_path(), '--state', state] + list(args), check=True,
                          stdout=subprocess.PIPE, universal_newlines=True).stdout


def listing(state):
    return json.loads(lxnicctl(state, 'list', '--json'))


UPLINK = {'name': 'Uplink', 'members': ['eth3', 'eth4'],
          'properties': {'OpMode': 'adaptive load balancing', 'Jumbo Frames': '9014 Bytes'}}


def test_team_is_created_once_and_check_mode_writes_nothing(run_module, server):
    options, state = server
    result = run_module(lxniccfg_team.main, dict(options, **UPLINK), check=True)
    assert result['changed'] and not result['failed']
    assert result['commands'][0][:3] == ['team', 'create', 'Uplink']
    assert not os.path.exists(state)

    result = run_module(lxniccfg_team.main, dict(options, **UPLINK), diff=True)
    assert result['changed'] and not result['failed']
    # The new team's settings: those asked for, and the advanced ones it took from its members.
    properties = result['team']['properties']
    assert (properties['OpMode'], properties['JumboFrames']) == ('Adaptive Load Balancing', '9014 Bytes')
    assert properties['FlowControl'] == 'Rx & Tx Enabled' and 'TeamName' not in properties
    assert result['diff']['before'] == {} and result['diff']['after']['members'] == ['eth3', 'eth4']
    team = [t for t in listing(state)['teams'] if t['name'] == 'Uplink']
    assert team and team[0]['members'] == [4, 5]

    created = read(state)
    result = run_module(lxniccfg_team.main, dict(options, **UPLINK))
    assert (result['changed'], result['commands']) == (False, [])

    # A change in check mode: the plan and the diff, and the same bytes on disk.
    wanted = dict(options, name='Uplink', members=['eth3', 'eth5'], properties={'LoadBalAlgorithm': 'IP Address'})
    result = run_module(lxniccfg_team.main, wanted, check=True, diff=True)
    assert result['commands'] == [['team', 'add', 'team:Uplink', 'nic:6'], ['team', 'remove', 'team:Uplink', 'nic:5'],
                                  ['set', 'team:Uplink', 'LoadBalAlgorithm=IP Address']]
    assert result['diff']['before']['members'] == ['eth3', 'eth4']
    assert result['diff']['after']['members'] == ['eth3', 'eth5']
    assert result['diff']['after']['properties'] == {'LoadBalAlgorithm': 'IP Address'}
    assert read(state) == created

    result = run_module(lxniccfg_team.main, dict(options, name='Uplink', state='absent'))
    assert result['changed'] and [t['name'] for t in listing(state)['teams']] == ['Team 1']


def test_vlan_is_added_renamed_and_removed_once(run_module, server):
    options, state = server
    storage = dict(options, parent='eth3', vlan_id=100, name='Storage')
    steps = [
        (storage, True, [['vlan', 'add', 'nic:4', '--id', '100', '--name', 'Storage']]),
        (storage, False, []),
        (dict(storage, name='Backup'), True, [['set', 'vlan:nic:4/100', 'VlanName=Backup']]),
        (dict(storage, state='absent'), True, [['vlan', 'remove', 'vlan:nic:4/100']]),
        (dict(storage, state='absent'), False, []),
    ]
    for args, changed, commands in steps:
        result = run_module(lxniccfg_vlan.main, args)
        assert (result['failed'], result['changed'], result['commands']) == (False, changed, commands)
        if args.get('state') != 'absent':
            vlans = listing(state)['adapters'][3]['vlans']
            assert [(v['id'], v['name']) for v in vlans] == [('100', args['name'])]
    assert listing(state)['adapters'][3]['vlans'] == []


def test_property_reports_the_values_the_rules_force(run_module, server):
    options, state = server
    eth2 = dict(options, target='eth2')
    run_module(lxniccfg_property.main, dict(eth2, properties={'SpeedDuplex': '10 Mbps Half Duplex'}))

    jumbo = dict(eth2, properties={'JumboFrames': '9014 Bytes'})
    before = read(state)
    result = run_module(lxniccfg_property.main, jumbo, check=True, diff=True)
    assert result['changed'] and result['diff']['after'] == {'JumboFrames': '9014 Bytes'}
    assert read(state) == before

    result = run_module(lxniccfg_property.main, jumbo, diff=True)
    assert result['changed_properties'] == {'JumboFrames': {'before': 'Disabled', 'after': '9014 Bytes'}}
    assert result['forced'] == {'SpeedDuplex': {'before': '10 Mbps Half Duplex', 'after': 'Auto Negotiation',
                                                'forced_by': 'JumboFrames'}}
    assert result['diff']['after'] == {'JumboFrames': '9014 Bytes', 'SpeedDuplex': 'Auto Negotiation'}

    result = run_module(lxniccfg_property.main, jumbo)
    assert (result['changed'], result['commands']) == (False, [])


def test_a_server_that_cannot_save_fails_with_the_library_result(run_module, tmp_path):
    blocker = tmp_path / 'not-a-folder'
    blocker.write_text('')
    # lxnicctl keeps its checkpoints elsewhere, so that the server's own commit is what fails.
    options = {'lxnicctl': lxnicctl_path(), 'state_file': str(blocker / 'state.json'),
               'state_dir': str(tmp_path / 'lxnicctl')}
    result = run_module(lxniccfg_team.main, dict(options, **UPLINK))
    assert result['failed'] and not result['changed']
    assert (result['result_code'], result['reason']) == (6, 'state_refused')
    assert result['call'] in ('ApplyTeamConfigurationChanges', 'ApplyTeamPropertyChanges', 'ApplyConfigChanges')
    assert 'result 6' in result['msg'] and result['commands'] == []


def test_member_changes_are_taken_back_when_the_settings_are_refused(run_module, server):
    options, state = server
    run_module(lxniccfg_team.main, dict(options, **UPLINK))
    before = read(state)
    result = run_module(lxniccfg_team.main, dict(options, name='Uplink', members=['eth5', 'eth3'],
                                                 properties={'ReceiveBuffers': '99999'}))
    assert result['failed'] and result['rolled_back'] and not result['changed']
    assert result['undone'] == [['team', 'add', 'team:Uplink', 'nic:6'], ['team', 'remove', 'team:Uplink', 'nic:5']]
    assert 'outside the range' in result['msg']
    assert [t['members'] for t in listing(state)['teams'] if t['name'] == 'Uplink'] == [[4, 5]]
    assert read(state) == before


def test_script_is_applied_once(run_module, server, tmp_path):
    options, state = server
    source = str(tmp_path / 'source.json')
    lxnicctl(source, 'team', 'create', 'Uplink', '--members', '4,5')
    lxnicctl(source, 'vlan', 'add', 'Uplink', '--id', '100', '--name', 'Storage')
    script = str(tmp_path / 'site.xml')
    lxnicctl(source, 'save', script)

    lxnicctl(state, 'set', 'eth2', 'SpeedDuplex=Auto Negotiation')  # nothing to change: no file yet
    result = run_module(lxniccfg_script.main, dict(options, src=script), check=True, diff=True)
    assert result['changed'] and 'team "Uplink"' in result['diff']['prepared']
    assert {'action': 'create team', 'object': 'team "Uplink"'} in result['plan']['structure']
    assert not os.path.exists(state)

    result = run_module(lxniccfg_script.main, dict(options, src=script), diff=True)
    assert result['changed'] and result['commands'] == [['load', script]]
    assert "<team relnics='4 5'>" in result['diff']['after'] and "relnics='4 5'" not in result['diff']['before']

    with open(script, encoding='latin-1') as handle:
        content = handle.read()
    result = run_module(lxniccfg_script.main, dict(options, content=content))
    assert (result['failed'], result['changed']) == (False, False)

    # An object the script does not name stays, so the server still matches it.
    lxnicctl(state, 'vlan', 'add', 'eth4', '--id', '7', '--name', 'Lab')
    result = run_module(lxniccfg_script.main, dict(options, src=script))
    assert (result['changed'], result['commands']) == (False, [])
    assert result['plan']['onlyOnServer']


def test_facts_name_every_object_for_the_other_modules(run_module, server):
    options, state = server
    result = run_module(lxniccfg_facts.main, dict(options, panels={'adapters': ['default'], 'vlans': ['Vlan']}))
    facts = result['ansible_facts']['lxniccfg']
    assert not result['changed'] and not os.path.exists(state)
    assert [a['target'] for a in facts['adapters']] == ['nic:1', 'nic:2', 'nic:3', 'nic:4', 'nic:5', 'nic:6']
    assert facts['adapters'][3]['panels']['Settings']['SpeedDuplex'] == '10 Gbps Full Duplex'
    assert 'panels' not in facts['teams'][0]
    assert [(v['target'], v['parent_kind'], v['panels']['Vlan']['VlanName']) for v in facts['vlans']] == [
        ('vlan:nic:3/10', 'adapter', 'Sales'), ('vlan:team:Team 1/20', 'team', 'Backup')]
    for item in facts['adapters'][:1] + facts['teams'] + facts['vlans']:
        result = run_module(lxniccfg_property.main, dict(options, target=item['target'], properties={}))
        assert (result['failed'], result['changed']) == (False, False)


@pytest.mark.parametrize('main, args, message', [
    (lxniccfg_vlan.main, {'parent': 'eth3', 'vlan_id': 4095}, 'vlan_id must be 1 to 4094'),
    (lxniccfg_vlan.main, {'parent': 'Uplink', 'vlan_id': 5}, 'no adapter or team "Uplink"'),
    (lxniccfg_team.main, {'name': 'Uplink', 'members': []}, 'at least one member'),
    (lxniccfg_team.main, {'name': 'Uplink', 'members': ['eth3'], 'properties': {'teamname': 'x'}}, 'TeamName'),
    (lxniccfg_script.main, {'src': '/x.xml', 'content': '<teamingconfig/>'}, 'mutually exclusive'),
    (lxniccfg_script.main, {}, 'one of the following is required'),
    (lxniccfg_property.main, {'target': 'eth9', 'properties': {'JumboFrames': 'Disabled'}}, 'no adapter'),
    (lxniccfg_property.main, {'target': 'eth0', 'properties': {'Bogus': '1'}}, 'eth0 has no property Bogus'),
    (lxniccfg_facts.main, {'lxnicctl': 'no-such-lxnicctl'}, 'no-such-lxnicctl'),
])
def test_refused_requests_change_nothing(run_module, server, main, args, message):
    options, state = server
    result = run_module(main, dict(options, **args))
    assert result['failed'] and not result.get('changed')
    assert message in result['msg']
    assert not os.path.exists(state)
