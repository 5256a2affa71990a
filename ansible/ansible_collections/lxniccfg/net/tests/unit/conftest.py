# Imports the collection as Ansible does (ansible_collections.lxniccfg.net)
# from this checkout, and runs its modules in the test process.
import json
import os
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTIONS = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..', '..'))
sys.path.insert(0, os.path.join(HERE, '..', 'fleet'))

from ansible.utils.collection_loader._collection_finder import _AnsibleCollectionFinder  # noqa: E402

_AnsibleCollectionFinder(paths=[COLLECTIONS])._install()

from ansible.module_utils import basic  # noqa: E402
from ansible.module_utils.common.text.converters import to_bytes  # noqa: E402
from fleet import lxnicctl_path  # noqa: E402


class ModuleResult(Exception):
    """What a module ended with: exit_json or fail_json's arguments."""

    def __init__(self, result, failed):
        super(ModuleResult, self).__init__(result.get('msg', ''))
        self.result = dict(result, failed=failed)


def _exit_json(self, **result):
    raise ModuleResult(result, False)


def _fail_json(self, msg, **result):
    raise ModuleResult(dict(result, msg=msg), True)


@pytest.fixture
def run_module(monkeypatch, tmp_path):
    """run_module(main, args, check=False, diff=False) runs a module's main()
    and returns its result (with 'failed')."""
    monkeypatch.setattr(basic.AnsibleModule, 'exit_json', _exit_json)
    monkeypatch.setattr(basic.AnsibleModule, 'fail_json', _fail_json)

    def run(main, args, check=False, diff=False):
        module_args = dict(args, _ansible_check_mode=check, _ansible_diff=diff, _ansible_tmpdir=str(tmp_path))
        monkeypatch.setattr(basic, '_ANSIBLE_ARGS', to_bytes(json.dumps({'ANSIBLE_MODULE_ARGS': module_args})))
        with pytest.raises(ModuleResult) as ended:
            main()
        return ended.value.result

    return run


@pytest.fixture
def server(tmp_path):
    """The options that point a module at a fresh simulated server (its
    state file does not exist yet) and the path of that state file."""
    state = str(tmp_path / 'state.json')
    return {'lxnicctl': lxnicctl_path(), 'state_file': state}, state
