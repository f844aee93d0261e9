#!/usr/bin/env python3
"""syvhost --serve found and read the way standard CIM clients do it: the
interop namespace and the server's self-description (DSP1033), and the pull
operations of DSP0200 against their plain counterparts. Every answer is also
checked against DSP0201's element rules.

Usage: discovery_test.py SYVHOST [EMULATOR ...]  (the emulator runs syvhost.exe under Wine)
"""
import re
import sys
import time

import wbemcli_test as w

INTEROP = 'root/interop'
CONTROLLERS = (w.CONTROLLER, w.ISCSI_CONTROLLER)
CONFORMS = 'CIM_ElementConformsToProfile'


def request(server, method, params='', ns=w.NS):
    return server.raw(w.post(w.call(method, params, ns), method, extra='CIMProtocolVersion: 1.3\r\n', ns=ns))


def value(name, text):
    return '<IPARAMVALUE NAME="%s"><VALUE>%s</VALUE></IPARAMVALUE>' % (name, text)


def instance_name(cls, **keys):
    return '<INSTANCENAME CLASSNAME="%s">%s</INSTANCENAME>' % (cls, ''.join(
        '<KEYBINDING NAME="%s"><KEYVALUE>%s</KEYVALUE></KEYBINDING>' % item for item in keys.items()))


def elements(answer, name):
    return re.findall(r'<%s[ >].*?</%s>' % (re.escape(name), re.escape(name)), answer)


def context_of(answer):
    found = re.search(r'NAME="EnumerationContext" PARAMTYPE="string"><VALUE>(\w+)</VALUE>', answer)
    return found.group(1) if found else None


def error_of(answer):
    found = re.search(r'<ERROR CODE="(\d+)"', answer)
    return int(found.group(1)) if found else None


def pull_all(server, opened, pull, ns):
    """The objects of an open's answer and of the pulls that follow, two at a time."""
    answers = [opened]
    for _ in range(100):
        if '<PARAMVALUE NAME="EndOfSequence" PARAMTYPE="boolean"><VALUE>TRUE</VALUE>' in answers[-1]:
            return ''.join(answers)
        answers.append(request(server, pull, value('EnumerationContext', context_of(answers[-1])) +
                               value('MaxObjectCount', 2), ns))
    w.check(False, '%s never ended: %s' % (pull, answers[-1][-300:]))
    return ''


def discover(server, query):
    """Finds the interop namespace by the names clients try, then the object
    manager, the namespaces and the profiles, and follows the profiles to
    their central instances."""
    names = ['interop', INTEROP, 'root/PG_Interop']
    found = [error_of(request(server, 'EnumerateInstanceNames', w.cn('ClassName', 'CIM_Namespace'), ns)) for ns in names]
    w.check(found == [None, None, 3], 'the interop namespace by its names: %s' % found)
    spaces = server.wbemcli('ei', 'interop:CIM_Namespace')[0]
    w.check(sorted(re.findall(r' .*\bName="([^"]*)"', line)[0] for line in spaces) == [INTEROP, w.NS], spaces)
    managers = server.wbemcli('ei', INTEROP + ':CIM_ObjectManager')[0]
    w.check(len(managers) == 1 and 'ElementName="Velkor Collector"' in managers[0] and
            'Description="Velkor Collector WBEM Server Version 1.0"' in managers[0], 'the object manager: %s' % managers)
    profiles = server.wbemcli('ein', INTEROP + ':CIM_RegisteredProfile')[0]
    w.check(len(profiles) == 2, 'the profiles: %s' % profiles)
    controllers = sorted(w.name_line(server, i['path']) for i in query['instances'] if i['class'] in CONTROLLERS)
    for profile in profiles:
        described = server.wbemcli('gi', profile.split('/', 1)[1])[0]
        central = sorted(server.wbemcli('ain', '-ac', CONFORMS, profile.split('/', 1)[1])[0])
        if 'RegisteredName="WBEM Server"' in ''.join(described):
            w.check('RegisteredOrganization=2' in described[0] and 'RegisteredVersion="1.0.0"' in described[0] and
                    len(central) == 1 and 'CIM_ObjectManager.' in central[0], 'the WBEM Server profile: %s %s'
                    % (described, central))
        else:
            w.check('RegisteredOrganization=1' in described[0] and 'OtherRegisteredOrganization="ORN"' in described[0]
                    and central == controllers, 'the collector profile: %s %s, not %s' % (described, central, controllers))
    for cls in ('CIM_NamespaceInManager', 'CIM_CIMXMLCommunicationMechanism', 'CIM_CommMechanismForManager'):
        w.check(server.wbemcli('ei', '%s:%s' % (INTEROP, cls))[0], 'no %s instance' % cls)


def pulls(server):
    """Each Open... pulled to its end holds what the plain operation answers."""
    collector = instance_name('CIM_RegisteredProfile', InstanceID='ORN:ORN+Velkor Collector Adapters+1.0')
    controller = re.search(r'<INSTANCENAME .*?</INSTANCENAME>', request(
        server, 'EnumerateInstanceNames', w.cn('ClassName', w.CONTROLLER))).group(0)
    software = w.cn('ClassName', 'CIM_SoftwareElement')
    on = lambda name, target: '<IPARAMVALUE NAME="%s">%s</IPARAMVALUE>' % (name, target)
    profile = w.cn('ClassName', 'CIM_RegisteredProfile')
    cases = [  # namespace, open, its parameters, pull, the plain call, its parameters, the element compared
        (w.NS, 'OpenEnumerateInstancePaths', software, 'PullInstancePaths', 'EnumerateInstanceNames', software,
         'INSTANCENAME'),
        (w.NS, 'OpenEnumerateInstances', software, 'PullInstancesWithPath', 'EnumerateInstances', software, 'INSTANCE'),
        (INTEROP, 'OpenEnumerateInstances', profile, 'PullInstancesWithPath', 'EnumerateInstances', profile, 'INSTANCE'),
    ]
    for ns, kind, target in [(INTEROP, 'Associator', collector), (w.NS, 'Associator', controller),
                             (w.NS, 'Reference', controller)]:
        cases += [(ns, 'Open%sInstancePaths' % kind, on('InstanceName', target), 'PullInstancePaths', kind + 'Names',
                   on('ObjectName', target), 'INSTANCEPATH'),
                  (ns, 'Open%sInstances' % kind, on('InstanceName', target), 'PullInstancesWithPath', kind + 's',
                   on('ObjectName', target), 'INSTANCE')]
    for ns, open_method, params, pull, plain, plain_params, element in cases:
        opened = request(server, open_method, params + value('MaxObjectCount', 0), ns)
        w.check(not elements(opened, element), '%s with MaxObjectCount 0 answered objects' % open_method)
        expected = elements(request(server, plain, plain_params, ns), element)
        got = elements(pull_all(server, opened, pull, ns), element)
        w.check(expected and sorted(got) == sorted(expected), '%s in %s: %d objects, not %d' %
                (open_method, ns, len(got), len(expected)))


def pull_errors(server):
    software = w.cn('ClassName', 'CIM_SoftwareElement') + value('MaxObjectCount', 1)
    closed = context_of(request(server, 'OpenEnumerateInstancePaths', software))
    request(server, 'CloseEnumeration', value('EnumerationContext', closed))
    expiring = context_of(request(server, 'OpenEnumerateInstancePaths', software + value('OperationTimeout', 1)))
    time.sleep(2.5)
    rows = [  # method, parameters, the CIM status answered
        ('PullInstancePaths', value('EnumerationContext', closed) + value('MaxObjectCount', 1), 21),
        ('PullInstancePaths', value('EnumerationContext', expiring) + value('MaxObjectCount', 1), 21),
        ('PullInstancePaths', value('EnumerationContext', '0' * 64) + value('MaxObjectCount', 1), 21),
        ('OpenEnumerateInstances', software + value('FilterQueryLanguage', 'DMTF:FQL') + value('FilterQuery', 'a=1'), 25),
        ('OpenEnumerateInstances', software + value('ContinueOnError', 'TRUE'), 26),
        ('OpenEnumerateInstances', software + value('OperationTimeout', 0), 22),
        ('EnumerationCount', value('EnumerationContext', closed), 7),
    ]
    for method, params, status in rows:
        answer = request(server, method, params)
        w.check(error_of(answer) == status, '%s answered %s, not %d' % (method, error_of(answer), status))
    # The server keeps 64 enumerations open at most; the 65th is refused.
    answers = [error_of(request(server, 'OpenEnumerateInstancePaths', software)) for _ in range(65)]
    w.check(answers == [None] * 64 + [27], 'opening 65 enumerations answered %s' % answers[-3:])


def main():
    query = w.report()
    server = w.Server()
    try:
        discover(server, query)
        pulls(server)
        pull_errors(server)
    finally:
        w.check(server.stop(), 'the server did not stop cleanly')
    print('%d failures' % len(w.failures))
    return 1 if w.failures else 0


if __name__ == '__main__':
    sys.exit(main())
