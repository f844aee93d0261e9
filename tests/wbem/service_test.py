#!/usr/bin/env python3
"""syvhost.exe as a Windows service under Wine's service control manager:
installed by --install-service from a folder whose path holds a blank, with
relative paths to its files, started and stopped with Wine's net, watched
with sc query. Running, it answers HTTPS with credentials; a start that fails
stops it with its own exit code, and the log beside syvhost.exe says why.

Usage: service_test.py SYVHOST.EXE  (WINEPREFIX: a prefix of the test's own,
whose wineserver runs persistently, as CTest's fixture keeps it: Wine ends
the services with their wineserver)
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from serving import LIMIT, check, failures, free_port, port_is_free, tls_and_users

SYVHOST = sys.argv[1]
NAME = 'VelkorCollector'
STOPPED, RUNNING = 1, 4


def expect(done, status, says):
    """One line that says it, and the exit status."""
    told = done.stdout + done.stderr
    check(done.returncode == status and says in told and len(told.splitlines()) == 1,
          '%s: %d %r' % (done.args[1:3], done.returncode, told))


def run(*args, cwd=None):
    return subprocess.run(list(args), capture_output=True, text=True, timeout=LIMIT, cwd=cwd)


def state():
    """sc query's (STATE, WIN32_EXIT_CODE, SERVICE_EXIT_CODE); None when not installed."""
    done = run('wine', 'sc', 'query', NAME)
    fields = dict(re.findall(r'(\w+)\s+:\s+(\d+)', done.stdout))
    return None if done.returncode else tuple(int(fields[f]) for f in ('STATE', 'WIN32_EXIT_CODE', 'SERVICE_EXIT_CODE'))


def settled():
    """The state once it is no longer starting or stopping."""
    deadline = time.monotonic() + LIMIT
    while (now := state()) and now[0] not in (STOPPED, RUNNING) and time.monotonic() < deadline:
        time.sleep(0.3)
    return now


def test(work):
    # The program, its DLLs, schema and simulated tools, as unpacked from the ZIP.
    bin_folder = os.path.dirname(os.path.abspath(SYVHOST))
    app = os.path.join(work, 'Velkor Collector')
    shutil.copytree(os.path.join(bin_folder, 'schema'), os.path.join(app, 'schema'))
    os.mkdir(os.path.join(app, 'qlogic'))
    for name in ['syvhost.exe', 'syvcore.dll', 'velkor_collector.dll'] + ['qlogic/%s.%s' % (t, e) for t in ('scli', 'iscli')
                                                                          for e in ('exe', 'txt')]:
        shutil.copy(os.path.join(bin_folder, name), os.path.join(app, name))
    syvhost, log = os.path.join(app, 'syvhost.exe'), os.path.join(app, 'syvhost.log')
    os.mkdir(os.path.join(work, 'secret files'))
    users, key, certificate = (os.path.relpath(path, work) for path in tls_and_users(os.path.join(work, 'secret files')))
    port = free_port()

    install = [syvhost, '--install-service', '--listen', '127.0.0.1:%d' % port, '--credentials', users, '--tls-cert',
               certificate, '--tls-key', key, '--log-level', '2']
    # Options a start would refuse install nothing.
    expect(run('wine', syvhost, '--install-service', '--listen', '0.0.0.0:%d' % port, cwd=work), 2, 'needs --credentials')
    check(state() is None, 'a refused service was installed')
    for status, says in [(0, 'installed the service VelkorCollector'), (2, 'already installed')]:
        expect(run('wine', *install, cwd=work), status, says)
    check(state() == (STOPPED, 1077, 0), 'installed: %s' % (state(),))  # 1077: never started

    run('wine', 'net', 'start', NAME)
    check(settled()[0] == RUNNING, 'started: %s' % (state(),))
    url = 'https://%s@127.0.0.1:%d/root/ornsg'
    for login, answer in [('ops:secret', '127.0.0.1:%d/root/ornsg:ORNSG_' % port), ('ops:wrong', 'Invalid username')]:
        done = run('wbemcli', '-noverify', 'ecn', url % (login, port))
        check(answer in done.stdout + done.stderr, '%s: %r %r' % (login, done.stdout, done.stderr))
    run('wine', 'net', 'stop', NAME)
    check(settled() == (STOPPED, 0, 0) and port_is_free(port), 'stopped: %s' % (state(),))
    said = open(log, newline='').read()
    check(re.search(r'\d\d:\d\d:\d\d syvhost: serving https://127\.0\.0\.1:%d\r\n' % port, said) and
          'authentication failed for the user "ops"' in said and 'the service stopped' in said, 'log: %r' % said)

    # A port in use: the service stops with code 2 (the server cannot serve).
    with socket.socket() as held:
        held.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # past the closed connections' TIME_WAIT
        held.bind(('127.0.0.1', port))
        held.listen()
        run('wine', 'net', 'start', NAME)
        check(settled() == (STOPPED, 1066, 2), 'port in use: %s' % (state(),))
    said = open(log, newline='').read()
    check('already in use; the service stops with the service-specific exit code 2' in said, 'log: %r' % said)

    # Removed while it runs, it is stopped first; then it is gone.
    run('wine', 'net', 'start', NAME)
    check(settled()[0] == RUNNING, 'started again: %s' % (state(),))
    for args, status, says in [(['--uninstall-service'], 0, 'stopped and removed the service VelkorCollector'),
                               (['--uninstall-service'], 2, 'cannot remove the service VelkorCollector: it is not'),
                               (['--serve', '--service'], 2, 'only the service control manager starts')]:
        expect(run('wine', syvhost, *args), status, says)
    check(state() is None and port_is_free(port), 'uninstalled: %s' % (state(),))


def main():
    started = time.monotonic()
    work = tempfile.mkdtemp()
    try:
        run('wine', 'sc', 'delete', NAME)  # left by a run that was killed
        test(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print('%d failures in %.0f s' % (len(failures), time.monotonic() - started))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
