# fleet.yml against a fleet of simulated servers on this machine, run with
# parallel forks: every server gets the team and its VLAN, a second run
# changes nothing, check mode writes nothing, and the servers that refuse
# fail alone.
import json
import subprocess

import pytest

from fleet import TIMINGS, Fleet, lxnicctl_path, seed_state

SERVERS = 20
REFUSING = ('refusing', 'broken')


@pytest.fixture(scope='module')
def fleet(tmp_path_factory):
    root = tmp_path_factory.mktemp('fleet')
    fleet = Fleet(str(root), SERVERS, refusing=['refusing'], broken=['broken'])
    seed = seed_state(str(root / 'seed.json'))
    for host in fleet.hosts:
        if host not in REFUSING:
            with open(fleet.states[host], 'wb') as handle:
                handle.write(seed)
    return fleet


def assert_outcome(recap, changed, check=False):
    """Every server took part; the good ones ran both tasks without failing
    and changed `changed` things, the refusing ones failed. In check mode
    the server that cannot save reads well enough to say what it would do."""
    assert len(recap) == SERVERS + len(REFUSING)
    for host, (ok, changes, unreachable, failed) in recap.items():
        if host == 'refusing' and check:
            assert (ok, changes, unreachable, failed) == (2, 2, 0, 0), host
        elif host in REFUSING:
            assert failed == 1, host
        else:
            assert (ok, changes, unreachable, failed) == (2, changed, 0, 0), host


def test_check_mode_changes_nothing_on_disk(fleet):
    before = fleet.snapshot()
    rc, out, recap, _seconds = fleet.run('--check', '--diff')
    assert rc == 2, out
    assert_outcome(recap, changed=2, check=True)
    assert fleet.snapshot() == before


def test_every_server_gets_the_team_and_vlan_and_refusing_ones_fail_alone(fleet):
    before = fleet.snapshot()
    rc, out, recap, seconds = fleet.run()
    TIMINGS.append('fleet run: %d servers (%d forks) in %.1f s, %.3f s per server'
                   % (len(recap), 10, seconds, seconds / len(recap)))
    assert rc == 2, out
    assert_outcome(recap, changed=2)
    assert 'result 6' in out and 'state_refused' in out
    after = fleet.snapshot()
    for host in fleet.hosts:
        if host in REFUSING:
            assert after[host] == before[host], host
            continue
        listing = json.loads(subprocess.run(
            [lxnicctl_path(), '--state', fleet.states[host], 'list', '--json'],
            check=True, stdout=subprocess.PIPE).stdout)
        uplink = [t for t in listing['teams'] if t['name'] == 'Uplink']
        assert uplink and uplink[0]['members'] == [4, 5], host
        assert [(v['id'], v['name']) for v in uplink[0]['vlans']] == [('100', 'Storage')], host


def test_a_second_run_changes_nothing(fleet):
    before = fleet.snapshot()
    for options in ((), ('--check', '--diff')):
        rc, out, recap, _seconds = fleet.run(*options)
        assert rc == 2, out
        assert_outcome(recap, changed=0, check='--check' in options)
    assert fleet.snapshot() == before
