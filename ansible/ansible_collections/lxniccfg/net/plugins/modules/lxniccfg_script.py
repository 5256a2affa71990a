#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: lxniccfg_script
short_description: Ensures the server matches a configuration script
description:
  - Compares the server with a script file (a C(teamingconfig) document as C(lxnicctl save) writes it)
    and, when they differ, applies the script with one C(lxnicctl load), which checks the whole script
    before it writes anything.
  - Whether they differ is decided by C(lxnicctl diff), which reads the script with every check of
    the load and lists the changes the load would make, without writing. Objects only on the server
    do not count: the load keeps them.
  - As with C(lxnicctl load), the script's NICs are matched to the adapters by number, teams by
    name and VLANs by id on their parent; what the script does not name is left as it is (nothing is
    removed).
version_added: 1.0.0
options:
  src:
    description: The script file on the managed host.
    type: path
  content:
    description:
      - The script itself, for example C("{{ lookup('file', 'rack-a.xml') }}"). It is written to a
        temporary file in the encoding its XML declaration names.
    type: str
extends_documentation_fragment:
  - lxniccfg.net.lxnicctl
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
    details: The diff shows the server's configuration, as C(lxnicctl save) writes it, before and after;
      in check mode it shows the plan of the load instead.
author:
  - lxniccfg developers
'''

EXAMPLES = r'''
- name: The rack's configuration
  lxniccfg.net.lxniccfg_script:
    content: "{{ lookup('file', 'rack-a.xml') }}"

- name: A script already on the server
  lxniccfg.net.lxniccfg_script:
    src: /etc/lxniccfg/site.xml
'''

RETURN = r'''
plan:
  description:
    - What the load changes (in check mode, would change), as C(lxnicctl diff --json) lists it
      before the load - C(changes) (object, property, from, to), C(structure) (teams, members and
      VLANs made or removed) and C(onlyOnServer) (objects the script does not name, which the load
      keeps).
  returned: always
  type: dict
commands:
  description: The lxnicctl commands that were run (in check mode, would be run).
  returned: always
  type: list
  elements: list
'''

import os
import re

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.lxniccfg.net.plugins.module_utils.lxnicctl import Lxnicctl, LxnicctlError, module_options

_ENCODING = re.compile(r'''<\?xml[^>]*encoding=["']([A-Za-z0-9_.:-]+)["']''')


def script_bytes(content):
    """The script's text in the encoding its declaration names; characters
    that encoding lacks become character references."""
    found = _ENCODING.search(content[:200])
    encoding = found.group(1) if found else 'utf-8'
    try:
        return content.encode(encoding, 'xmlcharrefreplace')
    except LookupError:
        return content.encode('utf-8')


def plan_changes(plan):
    """Whether the load would change anything: diff --json lists value
    changes and structural ones (objects only on the server stay)."""
    return bool(plan.get('changes')) or bool(plan.get('structure'))


def saved(ctl, module):
    """The server's configuration as lxnicctl save writes it (short form)."""
    path = os.path.join(module.tmpdir, 'saved.xml')
    ctl.run(['save', path])
    with open(path, 'rb') as handle:
        return handle.read().decode('latin-1')


def main():
    module = AnsibleModule(
        argument_spec=module_options(
            src=dict(type='path'),
            content=dict(type='str'),
        ),
        mutually_exclusive=[('src', 'content')],
        required_one_of=[('src', 'content')],
        supports_check_mode=True,
    )
    path = module.params['src']
    if module.params['content'] is not None:
        path = os.path.join(module.tmpdir, 'script.xml')
        with open(path, 'wb') as handle:
            handle.write(script_bytes(module.params['content']))
    elif not os.path.isfile(path):
        module.fail_json(msg='no script file %s' % path)

    ctl = Lxnicctl(module)
    result = dict(changed=False, plan={}, commands=ctl.changes)
    try:
        # diff exits 1 when the server differs from the script.
        plan = ctl.json(['diff', path], accept=(0, 1))
        result['plan'] = dict((key, plan.get(key, [])) for key in ('changes', 'structure', 'onlyOnServer'))
        if plan_changes(plan):
            if module._diff and module.check_mode:
                result['diff'] = {'prepared': ctl.run(['diff', path], accept=(0, 1))}
            before = saved(ctl, module) if module._diff and not module.check_mode else None
            ctl.change(['load', path])
            result['changed'] = True
            if module._diff and not module.check_mode:
                result['diff'] = dict(before=before, after=saved(ctl, module), before_header='configuration',
                                      after_header='configuration')
    except LxnicctlError as error:
        ctl.fail(error)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
