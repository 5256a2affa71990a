# -*- coding: utf-8 -*-
# Running lxnicctl for the modules of this collection: the options every
# module shares, reading lxnicctl's JSON, comparing property values the way
# lxnicctl does, and turning a refusal into a module failure that carries the
# library's result code.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import re

# Options of every module, and the lxnicctl argument each one becomes.
COMMON_ARGUMENT_SPEC = dict(
    lxnicctl=dict(type='str', default='lxnicctl'),
    state_file=dict(type='path'),
    definitions=dict(type='path'),
    backend=dict(type='str'),
    state_dir=dict(type='path'),
)
GLOBAL_ARGUMENTS = (
    ('state_file', '--state'),
    ('definitions', '--defs'),
    ('backend', '--backend'),
    ('state_dir', '--state-dir'),
)

# lxnicctl's exit codes other than 0.
EXIT_CODES = {
    1: ('failed', 'the command failed'),
    2: ('usage', 'lxnicctl refused the command line'),
}
# Commands for which an exit code means something of its own: diff and verify
# exit 1 when the server differs and 2 when they could not compare at all.
COMMAND_EXIT_CODES = {
    ('diff', 2): ('could_not_compare', 'lxnicctl could not compare the server with the script'),
    ('verify', 2): ('could_not_compare', 'lxnicctl could not compare the server with the checkpoint'),
}

# The configuration library's own result codes. A code that is not here came
# from the NIC interface library (INTERFACE_RESULTS).
LIBRARY_RESULTS = {
    100: ('general', 'general failure: no definitions for the object, unknown panel or property, '
                     'a value without a raw value, or a script or definitions file rejected'),
    101: ('definitions_checksum', 'definitions file: checksum missing or wrong'),
    102: ('definitions_missing', 'definitions file missing or unreadable'),
    103: ('xml_init', 'the XML library could not be initialised'),
    104: ('no_entries', 'the panel has no entries'),
    106: ('cannot_open', 'the file cannot be opened'),
    0xFFFFFFFF: ('team_without_member', 'a team to be created has no member'),
}
# Result 1 means something of its own for one call.
CALL_RESULTS = {
    ('WriteXmlScriptFile', 1): ('file_not_created', 'the file cannot be created'),
}
# Codes of the NIC interface library, passed on alone or as
# property number * 65536 + code.
INTERFACE_RESULTS = {
    1: ('no_such_property', 'the object does not have this property'),
    2: ('unknown_object', 'unknown adapter, team or VLAN'),
    3: ('value_refused', 'the object cannot take this value for this property'),
    4: ('malformed', 'malformed request'),
    5: ('consistency', 'the change would break a consistency rule of the server'),
    6: ('state_refused', "the server's state was refused or could not be saved"),
    8: ('internal', 'internal failure of the NIC interface library'),
}

# Panels whose properties lxnicctl set changes, by kind of object; show
# without a panel name reads the first ones (all but the team's
# AdvancedRedundancy), and which of them it returns tells the kind.
EDITABLE_PANELS = {
    'adapter': ('Settings', 'Advanced'),
    'team': ('TeamingControls', 'TeamSettings', 'TeamAdvanced', 'AdvancedRedundancy'),
    'vlan': ('Vlan',),
}
KIND_BY_PANEL = {'Settings': 'adapter', 'TeamingControls': 'team', 'Vlan': 'vlan'}

_ANSWERED = re.compile(r'\b([A-Z][A-Za-z]+) answered result (\d+)')


def describe_result(call, code):
    """The reason (a short key) and the meaning of a library result."""
    if (call, code) in CALL_RESULTS:
        return CALL_RESULTS[(call, code)]
    if code in LIBRARY_RESULTS:
        return LIBRARY_RESULTS[code]
    interface = code & 0xFFFF
    reason, meaning = INTERFACE_RESULTS.get(interface, ('interface', 'unexpected answer of the NIC interface library'))
    if code >= 0x10000:
        meaning = '%s (property number %d)' % (meaning, code >> 16)
    return reason, meaning


def command_of(args):
    """The lxnicctl command among `args` (the arguments after the global
    options): the first one that is not an option."""
    return next((arg for arg in args if not arg.startswith('-')), None)


def exit_code_meaning(rc, command=None):
    """The reason and meaning of lxnicctl's exit code `rc` for `command`."""
    return COMMAND_EXIT_CODES.get((command, rc)) or EXIT_CODES.get(rc, ('failed', 'lxnicctl ended with exit code %s' % rc))


def failure_of(rc, stdout, stderr, command=None):
    """What a failed lxnicctl run reports: its message and, when a library
    call failed, the call, its result code, the reason and its meaning.

    lxnicctl --json puts one object {"error": {...}} on standard output; older
    builds and commands without --json print "lxnicctl: MESSAGE" on standard
    error, naming the call as "CALL answered result N (MEANING)". `command`
    is the lxnicctl command that ran, for the exit codes of its own."""
    exit_reason, exit_meaning = exit_code_meaning(rc, command)
    info = {'rc': rc, 'reason': exit_reason}
    error = None
    try:
        parsed = json.loads(stdout) if stdout and stdout.strip() else None
        if isinstance(parsed, dict) and isinstance(parsed.get('error'), dict):
            error = parsed['error']
    except ValueError:
        pass
    if error is not None:
        message = error.get('message') or ''
        call = error.get('call')
        code = error.get('result')
        meaning = error.get('meaning')
    else:
        lines = [line[len('lxnicctl: '):] if line.startswith('lxnicctl: ') else line
                 for line in (stderr or '').splitlines() if line.strip()]
        message = lines[-1] if lines else ''
        call = code = meaning = None
        found = _ANSWERED.search(message)
        if found:
            call, code = found.group(1), int(found.group(2))
    if not message:
        message = exit_meaning
    info['message'] = message
    if isinstance(code, int):
        reason, known = describe_result(call, code)
        info.update(call=call, result_code=code, reason=reason, meaning=meaning or known)
        if code >= 0x10000 and code not in LIBRARY_RESULTS:
            info['property_number'] = code >> 16
    return info


class LxnicctlError(Exception):
    """lxnicctl refused a command; `info` holds what failure_of found."""

    def __init__(self, command, info):
        super(LxnicctlError, self).__init__(info['message'])
        self.command = command
        self.info = info


class Lxnicctl:
    """lxnicctl on the managed host, with the options the module was given.

    `changes` lists the changing commands that were carried out (or, in
    check mode, would be), each as its arguments after the global options."""

    def __init__(self, module):
        self.module = module
        params = module.params
        program = params['lxnicctl']
        if '/' not in program:
            program = module.get_bin_path(program, required=True)
        self.base = [program]
        for option, argument in GLOBAL_ARGUMENTS:
            if params.get(option):
                self.base += [argument, params[option]]
        self.changes = []
        # The checkpoint lxnicctl took before the first changing command: the
        # server as it was before the task.
        self.first_checkpoint = None

    def run(self, args, accept=(0,)):
        """Runs lxnicctl with `args`; its standard output, or LxnicctlError
        when the exit code is not one of `accept`."""
        command = self.base + list(args)
        rc, stdout, stderr = self.module.run_command(command, expand_user_and_vars=False,
                                                     environ_update={'LC_ALL': 'C'})
        if rc not in accept:
            raise LxnicctlError(command, failure_of(rc, stdout, stderr, command_of(args)))
        return stdout

    def json(self, args, accept=(0,)):
        """Runs lxnicctl --json with `args`; the object it printed. An exit
        code of `accept` other than 0 (diff's 1: the server differs) still
        fails when lxnicctl printed an error object."""
        command = ['--json'] + list(args)
        out = self.run(command, accept)
        try:
            parsed = json.loads(out)
        except ValueError:
            raise LxnicctlError(self.base + command,
                                {'rc': 0, 'reason': 'output', 'message': 'lxnicctl did not print JSON: %s' % out[:200]})
        if isinstance(parsed, dict) and isinstance(parsed.get('error'), dict):
            raise LxnicctlError(self.base + command,
                                failure_of(parsed['error'].get('exitCode', 1), out, '', command_of(args)))
        return parsed

    def change(self, args):
        """Runs a changing command and records it; in check mode only records
        it. Returns what lxnicctl --json reported ({} in check mode)."""
        report = {} if self.module.check_mode else self.json(args)
        if self.first_checkpoint is None and report.get('checkpoint'):
            self.first_checkpoint = str(report['checkpoint'])
        self.changes.append(list(args))
        return report

    def listing(self):
        return self.json(['list'])

    def panels(self, target, keys=None):
        """The editable panels of a target, hidden properties included, as
        {panel: [entry, ...]}, and the kind of the target. With `keys`, the
        panels show does not read by default are read only when a key names
        no property of the others."""
        panels = self.json(['show', target, '--all'])['panels']
        kind = next((KIND_BY_PANEL[p] for p in panels if p in KIND_BY_PANEL), None)
        for panel in EDITABLE_PANELS.get(kind, ()):
            if panel in panels:
                continue
            if keys is not None and all(find_entry(entries_of(panels), key) is not None for key in keys):
                break
            panels.update(self.json(['show', target, panel, '--all'])['panels'])
        return panels, kind

    def fail(self, error, **result):
        """Ends the module with the failure of `error`. The commands carried out
        before it stay listed, and the result is changed when there were any."""
        info = dict(error.info)
        msg = info.pop('message')
        self.module.fail_json(msg=msg, cmd=error.command, commands=self.changes,
                              changed=bool(self.changes) and not self.module.check_mode, **dict(info, **result))


def module_options(**options):
    """The options a module takes: its own and the common ones."""
    taken = dict(COMMON_ARGUMENT_SPEC)
    taken.update(options)
    return taken


# --- Adapters, teams and VLANs in lxnicctl's list --json --------------------

def find_adapter(listing, ref):
    """The adapter named by number (4, "4" or "nic:4") or by name ("eth3" or
    "nic:eth3"), or None."""
    text = str(ref)
    if text.startswith('nic:'):
        text = text[len('nic:'):]
    for adapter in listing.get('adapters', []):
        if (text.isdigit() and adapter.get('number') == int(text)) or adapter.get('name') == text:
            return adapter
    return None


def find_team(listing, name):
    for team in listing.get('teams', []):
        if team.get('name') == name:
            return team
    return None


def nic_target(number):
    return 'nic:%d' % number


def team_target(name):
    return 'team:%s' % name


def vlan_target(parent, vlan_id):
    """A VLAN by its parent's target (nic:N or team:NAME) and its id."""
    return 'vlan:%s/%s' % (parent, vlan_id)


def adapter_by_number(listing, number):
    for adapter in listing.get('adapters', []):
        if adapter.get('number') == number:
            return adapter
    return None


# --- Property values ----------------------------------------------------------

def entries_of(panels):
    """Every entry of the panels, in panel order."""
    result = []
    for entries in panels.values():
        result.extend(entries)
    return result


def find_entry(entries, key):
    """An entry by its id, or (as lxnicctl accepts) by id or display name in
    any case."""
    for entry in entries:
        if entry.get('id') == key:
            return entry
    folded = key.casefold()
    for entry in entries:
        if (entry.get('id') or '').casefold() == folded or (entry.get('displayName') or '').casefold() == folded:
            return entry
    return None


def shown_value(entry):
    """The value lxnicctl shows: the current one, else the derived one."""
    if entry.get('value') is not None:
        return entry['value']
    return entry.get('derivedValue') or ''


def value_text(key, value):
    """A property value from the playbook as text; true/false is refused,
    since YAML turns yes/no/on/off into booleans."""
    if isinstance(value, bool):
        raise ValueError('the value of %s is %s; quote it to give a text such as "Enabled"' % (key, value))
    if isinstance(value, (int, float, str)):
        return str(value)
    raise ValueError('the value of %s must be a text or a number' % key)


def canonical_value(entry, value):
    """The value as lxnicctl writes it: a choice of the range in its own
    spelling (choices match in any case)."""
    choices = (entry.get('range') or '').split('|')
    if len(choices) > 1:
        for choice in choices:
            if choice == value:
                return choice
        for choice in choices:
            if choice.casefold() == value.casefold():
                return choice
    return value


def same_value(current, wanted):
    if current == wanted:
        return True
    try:
        return int(current, 10) == int(wanted, 10)
    except ValueError:
        return False


def property_changes(entries, wanted):
    """Compares wanted values ({key: value}) with the entries.

    Returns (changes, unknown): changes as [(id, before, after)] for the
    values that differ, in the order given, and the keys that name no entry."""
    changes, unknown, seen = [], [], {}
    for key, value in wanted.items():
        entry = find_entry(entries, key)
        if entry is None:
            unknown.append(key)
            continue
        text = canonical_value(entry, value_text(key, value))
        if entry['id'] in seen and seen[entry['id']] != text:
            raise ValueError('%s is given twice with different values' % entry['id'])
        seen[entry['id']] = text
        before = shown_value(entry)
        if not same_value(before, text) and all(c[0] != entry['id'] for c in changes):
            changes.append((entry['id'], before, text))
    return changes, unknown


def settable_ids(entries):
    """Ids of the entries lxnicctl set can change (for messages)."""
    return [e['id'] for e in entries
            if e.get('controlType') not in ('static', 'button') and e.get('propertyNumber') not in (None, '', '-1')]


def values_of(entries, keys):
    """{id: shown value} of the entries that the keys name (ids or display
    names, as for find_entry)."""
    found = [find_entry(entries, key) for key in keys]
    return dict((e['id'], shown_value(e)) for e in found if e is not None)


def assignments(changes):
    return ['%s=%s' % (pid, after) for pid, _before, after in changes]


def reported_changes(report):
    """The value changes of lxnicctl --json's report of a changing command
    (set, team create and vlan add change one object):
    {property: (from, to, forced by or None)}. The member values a team's
    advanced settings rewrite (cause "team") belong to the member adapters
    and are left out."""
    changes = {}
    for change in report.get('changes', []):
        if change['property'] in changes or change.get('cause') == 'team':
            continue
        forced_by = change.get('forcedBy')
        if isinstance(forced_by, dict):
            forced_by = forced_by.get('property')
        changes[change['property']] = (change.get('from'), change.get('to'), forced_by)
    return changes
