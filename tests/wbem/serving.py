# What the Python tests of syvhost's server share: the failures found, free
# loopback ports, a server's TLS and credentials files, and syvhost --serve
# started on a port of its own.
import os
import re
import select
import socket
import subprocess
import sys

LIMIT = 120  # seconds for any one child or wait; under Wine a start takes several
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what, file=sys.stderr)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def port_is_free(port, host='127.0.0.1'):
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # past the closed connections' TIME_WAIT
        try:
            s.bind((host, port))
            return True
        except OSError:
            return False


# The paths of a users file that only its owner may read, naming ops with the
# password "secret" as openssl passwd -6 hashes it, and of a key and a
# certificate for 127.0.0.1 (with the address as subject alternative name,
# which Prometheus checks).
def tls_and_users(folder):
    users, key, certificate = (os.path.join(folder, name) for name in ('users', 'server.key', 'server.pem'))
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes',
                    '-keyout', key, '-out', certificate, '-subj', '/CN=127.0.0.1', '-addext',
                    'subjectAltName=IP:127.0.0.1', '-days', '1'], capture_output=True, check=True, timeout=LIMIT)
    hashed = subprocess.run(['openssl', 'passwd', '-6', 'secret'], capture_output=True, text=True, check=True).stdout
    with open(os.open(users, os.O_WRONLY | os.O_CREAT, 0o600), 'w') as f:
        f.write('# made by openssl passwd -6\nops:%s\n' % hashed.strip())
    return users, key, certificate


# syvhost --serve (command: the program, after any wrapper) on a free port of
# host: the process and the URL it printed. A server that prints none ends the test.
def serve(command, args=(), env=None, stderr=None, host='127.0.0.1'):
    process = subprocess.Popen(command + ['--serve', '--listen', host + ':0', *args], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=stderr, env=env)
    ready = select.select([process.stdout], [], [], LIMIT)[0]
    line = process.stdout.readline().decode() if ready else ''
    if not re.fullmatch(r'https?://%s:\d+\r?\n' % re.escape(host), line):
        process.kill()
        sys.exit('the server printed %r, not its URL' % line)
    return process, line.strip()
