# -*- coding: utf-8 -*-
# The options every module of the collection passes on to lxnicctl.

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  lxnicctl:
    description:
      - The lxnicctl program on the managed host, a path or a name looked up in C(PATH).
    type: str
    default: lxnicctl
  state_file:
    description:
      - The simulated server's state file (lxnicctl C(--state)). It need not exist; the server then
        starts from its default inventory and writes the file at the first change.
      - Without it lxnicctl uses C(LXNICIF_STATE) or the server's own default place.
    type: path
  definitions:
    description:
      - The definitions file (lxnicctl C(--defs)); by default the one shipped with lxnicctl.
    type: path
  backend:
    description:
      - The NIC interface library lxnicctl drives (lxnicctl C(--backend)), for lxnicctl builds that
        offer more than one. Left out, lxnicctl uses its default.
    type: str
  state_dir:
    description:
      - Where lxnicctl keeps its checkpoints and the server's lock (lxnicctl C(--state-dir)). Left out,
        lxnicctl uses its default place beside the server's state.
    type: path
notes:
  - Needs nothing on the managed host but Python and lxnicctl. The modules read lxnicctl's C(--json)
    output and run one lxnicctl command per change.
  - All modules of the collection belong to the action group C(lxniccfg.net.lxnicctl), so that
    C(module_defaults) can set these options once for a play.
  - When lxnicctl refuses a change the module fails with lxnicctl's message and, when a library call
    failed, the call (C(call)), its result code (C(result_code)), what the code means (C(meaning)) and
    a short key for it (C(reason), for example C(state_refused) or C(consistency)).
'''
