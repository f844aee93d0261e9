#!/usr/bin/env python3
"""syvhost --serve queried by wbemcli, a client written elsewhere: what it prints
must be what syvhost's JSON report holds for the same tools, and every refused
request leaves the server answering.

Usage: wbemcli_test.py SYVHOST [EMULATOR ...]  (the emulator runs syvhost.exe under Wine)
"""
import json
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from serving import LIMIT, check, failures, port_is_free, serve, tls_and_users

SYVHOST, EMULATOR = sys.argv[1], sys.argv[2:]
NS = 'root/ornsg'
DTD = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'cim-response.dtd')


def valid_xml(answers, what):
    """Each CIM-XML answer keeps DSP0201's element rules, checked by xmllint."""
    for answer in answers:
        done = subprocess.run(['xmllint', '--noout', '--dtdvalid', DTD, '-'], input=answer.encode(), capture_output=True,
                              timeout=LIMIT)
        check(done.returncode == 0, '%s: not valid CIM-XML: %s' % (what, done.stderr.decode()[:300]))


def body_of(answer):
    """The XML body of a raw HTTP answer, chunks joined; None for another answer."""
    head, _, body = answer.partition('\r\n\r\n')
    if 'application/xml' not in head:
        return None
    if 'Transfer-Encoding: chunked' in head:
        joined = ''
        while (size := int(body.split('\r\n', 1)[0], 16)) > 0:
            body = body.split('\r\n', 1)[1]
            joined, body = joined + body[:size], body[size + 2:]
        return joined
    return body


def report(env=None):
    out = subprocess.run(EMULATOR + [SYVHOST, '--format', 'json'], capture_output=True, timeout=LIMIT,
                         env=env).stdout
    return json.loads(out)['queries'][0]


class Server:
    def __init__(self, env=None, args=(), stderr=None, host='127.0.0.1'):
        launcher = [os.environ['VELKOR_BREAK_LAUNCHER']] if EMULATOR else []  # Ctrl+C once its input ends
        self.process, self.url = serve(EMULATOR + launcher + [SYVHOST], args, env, stderr, host)
        self.login, self.host = '', host
        self.port = int(self.url.rsplit(':', 1)[1])
        self.hostport = self.url.split('//', 1)[1]

    def wbemcli(self, *args):
        *flags, path = args
        url = self.url.replace('//', '//' + self.login)
        tls = ['-noverify'] if url.startswith('https') else []  # the test's own certificate
        done = subprocess.run(['wbemcli', '-dx', *tls, *flags, '%s/%s' % (url, path)], capture_output=True, text=True,
                              timeout=LIMIT)
        # -dx shows the XML exchanged on standard error.
        valid_xml(re.findall(r'^From server: (<\?xml.*?</CIM>)$', done.stderr, re.M | re.S), ' '.join(args))
        errors = re.sub(r'^(To|From) server: (<\?xml.*?</CIM>|.*?)$', '', done.stderr, flags=re.M | re.S)
        return [line for line in done.stdout.splitlines() if line], done.stdout + errors

    def raw(self, data, timeout=LIMIT):
        with socket.create_connection((self.host, self.port), timeout=timeout) as s:
            s.sendall(data)
            answer = b''
            while chunk := s.recv(65536):
                answer += chunk
        answer = answer.decode('utf-8', 'replace')
        xml = body_of(answer)
        if xml is not None:
            valid_xml([xml], data[:80])
        return answer

    def stop(self):
        self.process.stdin.close() if EMULATOR else self.process.send_signal(signal.SIGTERM)
        stopped = self.process.wait(LIMIT) == 0 and self.process.stdout.read() == b''
        return stopped and port_is_free(self.port, self.host)  # nothing listens on the port any more


# ---- syvcore's object paths, and how wbemcli prints them ----

def parse_path(path):
    ns, rest = path.split(':', 1)
    cls, _, keys = rest.partition('.')
    parsed = []
    for name, value in re.findall(r'(\w+)=("(?:[^"\\]|\\.)*"|\d+)', keys):
        text = re.sub(r'\\(.)', r'\1', value[1:-1])
        parsed.append((name, int(value) if value[0] != '"' else parse_path(text) if text.startswith(NS + ':') else text))
    return ns, cls, parsed


def shown(value):
    if isinstance(value, tuple):
        return shown_path(value)
    return str(value) if isinstance(value, int) else '"%s"' % value


def shown_path(path):
    ns, cls, keys = parse_path(path) if isinstance(path, str) else path
    return '%s:%s.%s' % (ns, cls, ','.join('%s=%s' % (k, shown(v)) for k, v in keys) or '*KEYBINDING="MISSING*"')


def shown_property(p):
    if p['type'] == 'reference':
        return shown_path(p['value'])
    if p['type'].endswith('[]'):
        return ','.join(shown(v) for v in p['value'])
    return shown(p['value'])


# ---- the comparison ----

def name_line(server, path):
    return '%s/%s' % (server.hostport, shown_path(path))


def line(server, i):
    return '%s %s' % (name_line(server, i['path']),
                      ','.join('%s=%s' % (p['name'], shown_property(p)) for p in i['properties']))


def same(server, args, expected, what=None):
    got = server.wbemcli(*args)[0]
    check(sorted(got) == sorted(expected), '%s: %s, not %s' % (what or args, got, expected))
    return got


def compare(server, query):
    instances = query['instances']
    by_path = {i['path']: i for i in instances}
    same(server, ['ecn', NS], ['%s/%s:%s' % (server.hostport, NS, c) for c in query['classes']])
    for cls in query['classes']:
        of_class = [i for i in instances if i['class'] == cls]
        check(len(of_class) > 0, 'the report has no %s' % cls)
        same(server, ['ein', '%s:%s' % (NS, cls)], [name_line(server, i['path']) for i in of_class])
        same(server, ['ei', '%s:%s' % (NS, cls)], [line(server, i) for i in of_class])
        got = server.wbemcli('gc', '%s:%s' % (NS, cls))[0]
        declared = set(re.findall(r'(\w+)=', got[0].split(' ', 1)[1])) if got and ' ' in got[0] else set()
        check(declared >= {p['name'] for i in of_class for p in i['properties']}, 'gc %s: %s' % (cls, got))

    ends = lambda link: {p['name']: p['value'] for p in link['properties'] if p['type'] == 'reference'}
    links = [i for i in instances if ends(i)]
    for path, instance in by_path.items():
        keys = parse_path(path)[2]
        if instance in links:
            continue
        if keys and '"' not in ''.join(str(v) for _, v in keys):
            got = server.wbemcli('gi', shown_path(path))[0]  # wbemcli prints the path as it read it, then the instance
            check(len(got) == 1 and got[0].endswith(line(server, instance)[len(name_line(server, path)):]),
                  'gi %s: %s' % (path, got))
        mine = [l for l in links if path in ends(l).values()]
        if not mine:
            continue
        # A firmware link filter answers nothing from a BIOS element, and a
        # result class filter keeps one kind of far end.
        assoc = 'ORNSG_QLogic%sControllerFirmware' % ('IScsi' if 'IScsi' in instance['class'] else 'FibreChannel')
        far = [p for l in mine for p in ends(l).values() if p != path]
        far_class = by_path[far[0]]['class']
        for op, flags in [('ain', []), ('ain', ['-ac', assoc]), ('ai', ['-ac', assoc]), ('ai', ['-arc', far_class]),
                          ('ain', ['-arc', far_class]), ('rin', []), ('rin', ['-arc', assoc]), ('ri', ['-arc', assoc])]:
            link_filter = flags[1] if flags and (op[0] == 'r' or flags[0] == '-ac') else None
            kept = [l for l in mine if link_filter in (None, l['class'])]
            if op[0] == 'r':
                objects = [(l['path'], l) for l in kept]
            else:
                objects = [(p, by_path[p]) for l in kept for p in ends(l).values() if p != path and
                           (flags[:1] != ['-arc'] or by_path[p]['class'] == flags[1])]
            expected = [name_line(server, p) if op.endswith('n') else line(server, i) for p, i in objects]
            same(server, [op, *flags, shown_path(path)], expected)


def post(body, method='EnumerateClassNames', length=None, extra='', ns=NS):
    body = body.encode()
    return ('POST /cimom HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/xml\r\n'
            'CIMOperation: MethodCall\r\nCIMMethod: %s\r\nCIMObject: %s\r\n%sContent-Length: %d\r\n\r\n'
            % (method, ns.replace('/', '%2F'), extra, len(body) if length is None else length)).encode() + body


def call(method, params='', ns=NS):
    return ('<?xml version="1.0"?><CIM CIMVERSION="2.0" DTDVERSION="2.0"><MESSAGE ID="1" PROTOCOLVERSION="1.0">'
            '<SIMPLEREQ><IMETHODCALL NAME="%s"><LOCALNAMESPACEPATH>%s</LOCALNAMESPACEPATH>%s</IMETHODCALL></SIMPLEREQ>'
            '</MESSAGE></CIM>' % (method, ''.join('<NAMESPACE NAME="%s"/>' % part for part in ns.split('/')), params))


CONTROLLER = 'ORNSG_QLogicFibreChannelSCSIProtocolController'
ISCSI_CONTROLLER = 'ORNSG_QLogicIScsiSCSIProtocolController'
FC = 'ORNSG_QLogicFibreChannel'
cn = lambda name, cls: '<IPARAMVALUE NAME="%s"><CLASSNAME NAME="%s"/></IPARAMVALUE>' % (name, cls)
ROLE = '<IPARAMVALUE NAME="Role"><VALUE>Antecedent</VALUE></IPARAMVALUE>'
CLASS_LINKS = [  # on a class (wbemcli names only instances), from the schema: (method, class, filters, classes)
    ('AssociatorNames', CONTROLLER, '', {FC + 'FirmwareElement', FC + 'BIOSElement'}),
    ('Associators', CONTROLLER, cn('AssocClass', FC + 'ControllerBIOS'), {FC + 'BIOSElement'}),
    ('AssociatorNames', FC + 'BIOSElement', cn('ResultClass', 'CIM_SCSIProtocolController'), {CONTROLLER}),
    ('AssociatorNames', CONTROLLER, ROLE, set()),
    ('ReferenceNames', CONTROLLER, '', {FC + 'ControllerFirmware', FC + 'ControllerBIOS'}),
    ('References', FC + 'FirmwareElement', ROLE, {FC + 'ControllerFirmware'}),
]
ERRORS = [  # what is sent, what the answer holds
    (['ei', NS + ':NoSuchClass'], 'CIM_ERR_INVALID_CLASS'),
    (['ein', 'root/other:' + CONTROLLER], 'CIM_ERR_INVALID_NAMESPACE'),
    (['gi', NS + ':%s.CreationClassName="%s",DeviceID="none",SystemCreationClassName="ORN",SystemName="LOCALHOST"'
      % (CONTROLLER, CONTROLLER)], 'CIM_ERR_NOT_FOUND'),
    (post('<CIM><MESSAGE>'), 'HTTP/1.1 400 Bad Request\r\nCIMError: request-not-well-formed'),
    (post('<a><!--</-->' * 40000), 'CIMError: request-not-well-formed'),  # comments hide no nesting
    (post(call('EnumerateClassNames').replace('CIMVERSION="2.0"', 'CIMVERSION="9.0"')),
     'HTTP/1.1 501 Not Implemented\r\nCIMError: unsupported-cim-version'),
    (post(call('EnumerateClassNames'), extra='CIMProtocolVersion: 9.9\r\n'), 'CIMError: unsupported-protocol-version'),
    (post(call('EnumerateClassNames'), method='GetClass'), 'CIMError: header-mismatch'),
    (post(call('DeleteInstance'), method='DeleteInstance'), 'ERROR CODE="7"'),
    (post(call('AssociatorNames', cn('ObjectName', 'None')), 'AssociatorNames'), 'ERROR CODE="4"'),
    (post(call('GetInstance', '<IPARAMVALUE NAME="InstanceName"><INSTANCENAME CLASSNAME="%s"><KEYBINDING NAME="DeviceID">'
               '<KEYVALUE>x</KEYVALUE></KEYBINDING></INSTANCENAME></IPARAMVALUE>' % CONTROLLER), method='GetInstance'),
     'ERROR CODE="6"'),
    (post('x', length=1024 * 1024 + 1), 'HTTP/1.1 413 Payload Too Large'),
    (b'NOT HTTP AT ALL\r\n\r\n', 'HTTP/1.1 400 Bad Request'),
]


def out_of_descriptors():
    """Out of file descriptors, the server says so once, and serves again once connections close."""
    log = tempfile.TemporaryFile()
    server = Server(args=['--log-level', '1'], stderr=log)
    said = lambda: (log.seek(0), log.read().decode())[1]
    try:
        used = len(os.listdir('/proc/%d/fd' % server.process.pid))
        resource.prlimit(server.process.pid, resource.RLIMIT_NOFILE, (used + 8, used + 8))
        held = [socket.create_connection(('127.0.0.1', server.port), timeout=LIMIT) for _ in range(12)]
        check(any('cannot accept' in said() or time.sleep(0.1) for _ in range(30)) and not time.sleep(1.5) and
              said().count('cannot accept connections: Too many open files; retrying') == 1, 'said %r' % said())
        [connection.close() for connection in held]
        check(any(server.wbemcli('ecn', NS)[0] or time.sleep(0.2) for _ in range(25)), 'no answer once files closed')
        check('accepting connections again' in said(), 'said %r' % said())
    finally:
        check(server.stop(), 'the server did not stop cleanly')


def hung_tool():
    """While a tool hangs, what the schema alone answers is answered at once,
    and a stop ends the tool: the waiting client gets CIM_ERR_FAILED and the
    server exits within seconds, not at the tool's timeout nor when an idle
    connection would time out."""
    hung = Server(dict(os.environ, SCLI_DELAY_MS='600000'))
    waiting = subprocess.Popen(['wbemcli', 'ein', '%s/%s:%s' % (hung.url, NS, CONTROLLER)], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    time.sleep(2)  # the query is running the tool
    try:
        check(waiting.poll() is None, 'the hanging tool did not hold its request')
        check(len(hung.wbemcli('gc', '%s:%s' % (NS, CONTROLLER))[0]) == 1, 'GetClass waited for the hanging tool')
        answer = hung.raw(post(call('AssociatorNames', cn('ObjectName', CONTROLLER)), 'AssociatorNames'), timeout=10)
        check(answer.count('<CLASSPATH>') == 2, 'a class association waited for the hanging tool: %r' % answer[-200:])
        kept = socket.create_connection((hung.host, hung.port), timeout=LIMIT)  # kept alive after its answer
        kept.sendall(post(call('EnumerateClassNames')).replace(b'Connection: close\r\n', b''))
        check(kept.recv(65536).startswith(b'HTTP/1.1 200'), 'no answer on a kept-alive connection')
    finally:
        started = time.monotonic()
        stopped = hung.stop()
        check(stopped and time.monotonic() - started < 20, 'the stop took %.1f s' % (time.monotonic() - started))
        said = waiting.communicate(timeout=LIMIT)[0]
        check('CIM_ERR_FAILED' in said and 'shutting down' in said, 'the waiting client got %r' % said)


def main():
    query = report()
    server = Server()
    answering = lambda: len(server.wbemcli('ecn', NS)[0]) == len(query['classes'])
    try:
        compare(server, query)
        for method, cls, filters, expected in CLASS_LINKS:
            answer = server.raw(post(call(method, cn('ObjectName', cls) + filters), method))
            paths = re.findall(r'<CLASSPATH>.*?<CLASSNAME NAME="(\w+)"/></CLASSPATH>', answer)
            classes = re.findall(r'<CLASS NAME="(\w+)"', answer) if method in ('Associators', 'References') else paths
            check(sorted(paths) == sorted(classes) == sorted(expected), '%s %s %s: %s' % (method, cls, filters, answer))
        for request, expected in ERRORS:
            answer = server.raw(request) if isinstance(request, bytes) else server.wbemcli(*request)[1]
            check(expected in answer, '%s answered %r' % (request[:80], answer[:300]))
            check(answering(), 'no answer after %s' % request[:80])
        # 64 connections that send nothing or half a request fill the server;
        # the oldest makes room for a client with a request, answered at once.
        idle = [socket.create_connection(('127.0.0.1', server.port), timeout=LIMIT) for _ in range(64)]
        idle[-1].sendall(post(call('EnumerateClassNames'))[:60])
        check('HTTP/1.1 200' in server.raw(post(call('EnumerateClassNames')), timeout=5), 'idle connections held a client up')
        check(idle[0].recv(100) == b'', 'the oldest idle connection was not closed')
        # Only when every connection has a request in progress is one more
        # refused: these wait for "100 Continue", then send no body.
        body = call('EnumerateClassNames')
        busy = [socket.create_connection(('127.0.0.1', server.port), timeout=LIMIT) for _ in range(64)]
        for connection in busy:
            connection.sendall(post(body, extra='Expect: 100-continue\r\n')[:-len(body)])
            check(connection.recv(100).startswith(b'HTTP/1.1 100 Continue'), 'no 100 Continue')
        check('HTTP/1.1 503' in server.raw(post(body), timeout=5), 'a connection past the cap was served')
        [connection.close() for connection in idle + busy]
        # The server sees the closes in its own time.
        check(any(answering() or time.sleep(0.2) for _ in range(50)), 'no answer once the connections closed')
        # A second server cannot take the port.
        done = subprocess.run(EMULATOR + [SYVHOST, '--serve', '--listen', server.hostport], capture_output=True,
                              text=True, timeout=LIMIT)
        check(done.returncode == 2 and 'cannot listen on %s: the port is already in use' % server.hostport in done.stderr,
              'a second server on the port: %d %s' % (done.returncode, done.stderr))
    finally:
        check(server.stop(), 'the server did not stop cleanly on SIGTERM or Ctrl+C')

    # A failing tool fails the query with the tool's error; the other tool's classes are still served.
    failing = Server(dict(os.environ, SCLI_CRASH='1'))
    try:
        answer = failing.wbemcli('ein', '%s:%s' % (NS, CONTROLLER))[1]
        check('CIM_ERR_FAILED' in answer and 'scli' in answer, 'a failing tool answered %r' % answer)
        same(failing, ['ein', '%s:%s' % (NS, ISCSI_CONTROLLER)],
             [name_line(failing, i['path']) for i in query['instances'] if i['class'] == ISCSI_CONTROLLER])
    finally:
        failing.stop()
    # Collected once, the adapters stay as they were; with a refresh period of
    # 0 every request after a collection collects again and sees the new ones.
    transcripts = os.path.join(os.path.dirname(os.path.abspath(__file__)), '../../standin/tools/transcripts')
    for args, adapters_later in [([], 3), (['--refresh-seconds', '0'], 16)]:
        transcript = os.path.join(tempfile.mkdtemp(), 'scli.txt')
        shutil.copy(os.path.join(transcripts, 'scli.txt'), transcript)
        env = dict(os.environ, SCLI_TRANSCRIPT=transcript,
                   ISCLI_TRANSCRIPT=os.path.join(transcripts, 'iscli-sixteen-adapters.txt'))
        refreshing = Server(env, args)
        try:
            first = refreshing.wbemcli('ein', '%s:%s' % (NS, CONTROLLER))[0]
            shutil.copy(os.path.join(transcripts, 'scli-sixteen-adapters.txt'), transcript)
            later = refreshing.wbemcli('ein', '%s:%s' % (NS, CONTROLLER))[0]
            check((len(first), len(later)) == (3, adapters_later), '%s: %d then %d' % (args, len(first), len(later)))
            if args:  # the sixteen adapters' raw data: an answer past 64 KiB, streamed in chunks
                same(refreshing, ['ei', '-cte', NS + ':CIM_ManagedElement'],
                     [line(refreshing, i) for i in report(env)['instances'] if i['class'].endswith('RawData')])
        finally:
            refreshing.stop()

    hung_tool()
    if not EMULATOR and 'UBSAN_OPTIONS' not in os.environ:  # UBSan probes memory through a new pipe
        out_of_descriptors()
    # Refused at the start: exit status 2 and the reason. Both builds verify
    # the hashes openssl passwd -6 makes. Others may read the file at first:
    # Wine shows the bits of others as an entry for Everyone. Beyond the
    # loopback address the server needs both credentials and TLS.
    users, key, certificate = tls_and_users(tempfile.mkdtemp())
    tls = ['--tls-cert', certificate, '--tls-key', key]
    beyond = 'will not listen on 0.0.0.0: serving beyond the loopback address needs --credentials and --tls-cert'
    for mode, args, reason in [(0o604, ['--credentials', users], 'others than its owner'),
                               (0o600, ['--listen', '0.0.0.0:0'], beyond),
                               (0o600, ['--listen', '0.0.0.0:0', '--credentials', users], beyond),
                               (0o600, ['--listen', '0.0.0.0:0', *tls], beyond)]:
        os.chmod(users, mode)
        done = subprocess.run(EMULATOR + [SYVHOST, '--serve', *args], capture_output=True, text=True, timeout=LIMIT)
        check(done.returncode == 2 and reason in done.stderr and not done.stdout,
              '%s: %d %s' % (args, done.returncode, done.stderr))
    guarded = Server(args=['--credentials', users, *tls, '--log-level', '2'], stderr=subprocess.PIPE)
    for login, answer in [('ops:secret@', guarded.hostport), ('ops:wrong@', 'Invalid username/password')]:
        guarded.login = login
        check(answer in guarded.wbemcli('ecn', NS)[1], 'logged in as %r' % login)
    guarded.stop()
    log = guarded.process.stderr.read().decode()
    check(guarded.url.startswith('https:') and '"ops"' in log and 'wrong' not in log, 'logged as %r' % log)
    # A network address, on the loopback interface for the while (as root),
    # served with TLS and credentials.
    address = '192.0.2.%d' % (os.getpid() % 200 + 20)
    if os.geteuid() or not shutil.which('ip') or subprocess.run(['ip', 'addr', 'add', address + '/32', 'dev', 'lo']).returncode:
        print('skipped: serving on a network address needs root to add %s to the loopback interface' % address)
    else:
        try:
            network = Server(args=['--credentials', users, *tls], host=address)
            network.login = 'ops:secret@'
            check(network.hostport + '/root/ornsg:' in network.wbemcli('ecn', NS)[1], 'not served on ' + address)
            check(network.stop(), 'the server on %s did not stop cleanly' % address)
        finally:
            subprocess.run(['ip', 'addr', 'del', address + '/32', 'dev', 'lo'])
    print('%d failures' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
