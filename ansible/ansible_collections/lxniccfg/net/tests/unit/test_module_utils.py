# The shared pieces of the modules: turning lxnicctl's refusals into
# failures, and deciding which property values need a change.
import json

import pytest

from ansible_collections.lxniccfg.net.plugins.module_utils.lxnicctl import Lxnicctl, failure_of, property_changes

SAVE_FAILED = ('lxnicctl: writing team and VLAN properties, committing adapters failed: '
               'ApplyTeamPropertyChanges answered result 6 (NIC interface library: the server\'s state file '
               'was refused or could not be saved)\n')


@pytest.mark.parametrize('rc, stdout, stderr, expected', [
    # The message and the failing call as lxnicctl prints them on standard error.
    (1, '', 'lxnicif: the changes were not committed: cannot create x\n' + SAVE_FAILED,
     {'reason': 'state_refused', 'call': 'ApplyTeamPropertyChanges', 'result_code': 6,
      'meaning': None, 'message_starts': 'writing team and VLAN properties'}),
    # A property's code: property number * 65536 + the interface library's code.
    (1, '', 'lxnicctl: writing adapter properties failed: ApplyChanges answered result 196611 (x)\n',
     {'reason': 'value_refused', 'call': 'ApplyChanges', 'result_code': 196611, 'property_number': 3}),
    # The library's own codes, and one that means something else for one call.
    (1, '', 'lxnicctl: loading the definitions file d.xml failed: InitXml answered result 101 (x)\n',
     {'reason': 'definitions_checksum', 'result_code': 101}),
    (1, '', 'lxnicctl: saving failed: WriteXmlScriptFile answered result 1 (x)\n',
     {'reason': 'file_not_created', 'result_code': 1}),
    (1, '', 'lxnicctl: creating failed: ApplyTeamConfigurationChanges answered result 4294967295 (x)\n',
     {'reason': 'team_without_member', 'result_code': 0xFFFFFFFF}),
    # The error object of lxnicctl --json wins over standard error.
    (1, json.dumps({'error': {'message': 'commit refused', 'call': 'ApplyConfigChanges', 'result': 5,
                              'meaning': 'consistency rule', 'exitCode': 1}}), 'lxnicctl: commit refused\n',
     {'reason': 'consistency', 'call': 'ApplyConfigChanges', 'result_code': 5, 'meaning': 'consistency rule',
      'message_starts': 'commit refused'}),
    # Refusals that name no library call.
    (1, '', 'lxnicctl: eth0 is a member of team "Team 1"; remove it from there first\n',
     {'reason': 'failed', 'call': None, 'message_starts': 'eth0 is a member'}),
    (2, '', 'The following arguments were not expected: --backend linux\n',
     {'reason': 'usage', 'call': None, 'message_starts': 'The following arguments'}),
    # diff and verify exit 2 when they could not compare: no usage error.
    (2, json.dumps({'error': {'message': 'checkpoint 7 is not readable', 'exitCode': 2}}), '',
     {'command': 'verify', 'reason': 'could_not_compare', 'call': None, 'message_starts': 'checkpoint 7'}),
    (2, '', '', {'command': 'diff', 'reason': 'could_not_compare', 'message_starts': 'lxnicctl could not compare'}),
    (1, '', '', {'reason': 'failed', 'message_starts': 'the command failed'}),
])
def test_failure_of(rc, stdout, stderr, expected):
    info = failure_of(rc, stdout, stderr, expected.get('command'))
    assert info['rc'] == rc
    assert info['reason'] == expected['reason']
    assert info['message'].startswith(expected.get('message_starts', ''))
    assert 'lxnicctl: ' not in info['message']
    for key in ('call', 'result_code', 'property_number'):
        if key in expected:
            assert info.get(key) == expected[key]
    if expected.get('meaning'):
        assert info['meaning'] == expected['meaning']
    elif 'result_code' in expected:
        assert info['meaning']


def entry(pid, value, display='', range_=None, derived=None):
    return {'id': pid, 'displayName': display, 'value': value, 'range': range_, 'derivedValue': derived,
            'controlType': 'combo', 'propertyNumber': '1'}


ENTRIES = [
    entry('SpeedDuplex', 'Auto Negotiation', 'Speed & Duplex', 'Auto Negotiation|1000 Mbps Full Duplex'),
    entry('ReceiveBuffers', '512', 'Receive Buffers', '80-2048'),
    entry('VlanName', 'Sales', 'VLAN Name'),
    entry('JumboFrames', None, 'Jumbo Frames', 'Disabled|9014 Bytes', derived='9014 Bytes'),
]


@pytest.mark.parametrize('wanted, changes', [
    # A choice in another case, a number written differently and a derived
    # value that already holds change nothing.
    ({'speed & duplex': 'auto negotiation', 'ReceiveBuffers': '0512', 'JumboFrames': '9014 bytes'}, []),
    ({'ReceiveBuffers': 512}, []),
    # A change is written with the property's id and the choice's own spelling.
    ({'Speed & Duplex': '1000 mbps full duplex'}, [('SpeedDuplex', 'Auto Negotiation', '1000 Mbps Full Duplex')]),
    # Free text is compared exactly: another case is another name.
    ({'vlanname': 'sales'}, [('VlanName', 'Sales', 'sales')]),
    # A value outside the choices is passed on for lxnicctl to refuse.
    ({'JumboFrames': '16128 Bytes'}, [('JumboFrames', '9014 Bytes', '16128 Bytes')]),
])
def test_property_changes(wanted, changes):
    assert property_changes(ENTRIES, wanted) == (changes, [])


def test_property_changes_reports_unknown_keys_and_refuses_unclear_values():
    assert property_changes(ENTRIES, {'Bogus': '1', 'VlanName': 'Sales'}) == ([], ['Bogus'])
    with pytest.raises(ValueError, match='quote it'):
        property_changes(ENTRIES, {'JumboFrames': True})
    with pytest.raises(ValueError, match='twice'):
        property_changes(ENTRIES, {'JumboFrames': 'Disabled', 'jumbo frames': '9014 Bytes'})


class _Module:
    check_mode = False

    def __init__(self, **params):
        self.params = dict(dict(lxnicctl='/opt/bin/lxnicctl', state_file=None, definitions=None, backend=None,
                                state_dir=None), **params)


def test_common_options_become_lxnicctl_options():
    ctl = Lxnicctl(_Module(state_file='/s.json', definitions='/d.xml', backend='linux', state_dir='/var/x'))
    assert ctl.base == ['/opt/bin/lxnicctl', '--state', '/s.json', '--defs', '/d.xml', '--backend', 'linux',
                        '--state-dir', '/var/x']
    assert Lxnicctl(_Module()).base == ['/opt/bin/lxnicctl']
