# A fleet of simulated servers on this machine for fleet.yml: an inventory
# of local hosts, each with its own state file, and running the playbook.
import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTIONS = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..', '..'))
REPO = os.path.dirname(COLLECTIONS)
PLAYBOOK = os.path.join(HERE, 'fleet.yml')

# Lines for the test session's summary.
TIMINGS = []

_RECAP = re.compile(r'^(\S+)\s+:\s+ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+failed=(\d+)', re.M)


def lxnicctl_path():
    """The lxnicctl to test: $LXNICCTL, else the one of the build folder."""
    path = os.environ.get('LXNICCTL') or os.path.join(REPO, 'build', 'tools', 'lxnicctl', 'lxnicctl')
    if not os.access(path, os.X_OK):
        raise RuntimeError('no lxnicctl at %s: build the project first or set LXNICCTL' % path)
    return path


class Fleet:
    """`count` servers that take changes, host001 to hostNNN, and the hosts
    named in `refusing` (whose server cannot save its state: the state file's
    folder is a regular file) and `broken` (whose state file is not JSON)."""

    def __init__(self, root, count, refusing=(), broken=()):
        self.root = root
        self.states = {}
        names = ['host%03d' % i for i in range(1, count + 1)]
        os.makedirs(os.path.join(root, 'states'))
        for name in names:
            self.states[name] = os.path.join(root, 'states', name + '.json')
        for name in refusing:
            blocker = os.path.join(root, 'states', name)
            with open(blocker, 'w') as handle:
                handle.write('a file where the server wants a folder\n')
            self.states[name] = os.path.join(blocker, 'state.json')
        for name in broken:
            self.states[name] = os.path.join(root, 'states', name + '.json')
            with open(self.states[name], 'w') as handle:
                handle.write('{"format": 1, "adapters": [\n')
        self.hosts = sorted(self.states)
        self.inventory = os.path.join(root, 'inventory.yml')
        lines = ['servers:', '  vars:', '    ansible_connection: local',
                 '    ansible_python_interpreter: "{{ ansible_playbook_python }}"',
                 '    lxnicctl_path: %s' % lxnicctl_path(), '  hosts:']
        for name in self.hosts:
            lines += ['    %s:' % name, '      lxnicif_state: %s' % self.states[name]]
        with open(self.inventory, 'w') as handle:
            handle.write('\n'.join(lines) + '\n')

    def run(self, *options, forks=10):
        """Runs fleet.yml; its exit code, output, PLAY RECAP as
        {host: (ok, changed, unreachable, failed)} and wall time."""
        env = dict(os.environ,
                   ANSIBLE_COLLECTIONS_PATH=COLLECTIONS,
                   ANSIBLE_LOCAL_TEMP=os.path.join(self.root, 'tmp-local'),
                   ANSIBLE_REMOTE_TEMP=os.path.join(self.root, 'tmp-remote'),
                   ANSIBLE_RETRY_FILES_ENABLED='false',
                   ANSIBLE_NOCOLOR='1',
                   ANSIBLE_FORCE_COLOR='0',
                   ANSIBLE_STDOUT_CALLBACK='default')
        command = ['ansible-playbook', '-i', self.inventory, '-f', str(forks), PLAYBOOK] + list(options)
        start = time.monotonic()
        done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              universal_newlines=True)
        seconds = time.monotonic() - start
        recap = dict((m.group(1), tuple(int(m.group(i)) for i in range(2, 6)))
                     for m in _RECAP.finditer(done.stdout))
        return done.returncode, done.stdout, recap, seconds

    def snapshot(self):
        """The bytes of every host's state file (None where there is none)."""
        result = {}
        for name, path in self.states.items():
            try:
                with open(path, 'rb') as handle:
                    result[name] = handle.read()
            except OSError:
                result[name] = None
        return result


def seed_state(path):
    """A state file as a server that has been set up by hand might hold
    one: the default inventory with eth2's VLAN 10 removed."""
    subprocess.run([lxnicctl_path(), '--state', path, 'vlan', 'remove', 'eth2/10'],
                   check=True, stdout=subprocess.DEVNULL)
    with open(path, 'rb') as handle:
        return handle.read()


if __name__ == '__main__':
    sys.exit('run test_fleet.py with pytest, or bench.py')
