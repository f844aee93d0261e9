#!/usr/bin/env python3
"""syvhost's metrics report read by software written elsewhere: promtool checks
it, a real node_exporter serves it from its textfile folder, and every
controller and element of the JSON report for the same tools is a series.

Usage: metrics_test.py TRANSCRIPTS_DIR SYVHOST [WRAPPER ...] (the wrapper, for
example wine, runs syvhost)."""
import json, os, re, socket, subprocess, sys, tempfile, time, urllib.request

transcripts, command = sys.argv[1], sys.argv[2:]
command = command[1:] + command[:1]  # SYVHOST after its wrapper
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def syvhost(env, *arguments):
    return subprocess.run(command + list(arguments), env=dict(os.environ, **env), capture_output=True, timeout=120)


def series(text):
    """Every sample line's metric name and labels, as a set of (name, frozenset of label pairs)."""
    found = set()
    for line in text.splitlines():
        match = re.match(r'^(\w+)\{(.*)\} ', line)
        if match:
            labels = re.findall(r'(\w+)="((?:[^"\\]|\\.)*)"', match.group(2))
            found.add((match.group(1), frozenset(labels)))
    return found


def expected(report):
    """The series that the JSON report's instances call for."""
    kinds = {"FibreChannel": "fibre_channel", "IScsi": "iscsi"}
    wanted = set()
    for instance in report["queries"][0]["instances"]:
        values = {p["name"]: p["value"] for p in instance["properties"]}
        kind = next(v for k, v in kinds.items() if k in instance["class"])
        esc = lambda text: text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
        if instance["class"].endswith("SCSIProtocolController"):
            labels = {"kind": kind, "controller": values["DeviceID"], "number": str(values["ControllerNum"]),
                      "model": values["ControllerType"]}
            name = "velkor_controller_info"
        elif instance["class"].endswith(("FirmwareElement", "BIOSElement")):
            labels = {"kind": kind, "controller": values["DeviceID"], "name": values["Name"],
                      "version": values["Version"]}
            name = "velkor_bios_info" if instance["class"].endswith("BIOSElement") else "velkor_firmware_info"
        else:
            continue
        wanted.add((name, frozenset((k, esc(v)) for k, v in labels.items())))
    return wanted


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


with tempfile.TemporaryDirectory() as folder:
    # A model name with every character the format escapes, and a byte that is not UTF-8.
    with open(os.path.join(transcripts, "scli.txt"), "rb") as f:
        text = f.read().replace(b"FCX-1620D", b'FCX "16\\20D\xff')
    transcript = os.path.join(folder, "scli.txt")
    with open(transcript, "wb") as f:
        f.write(text)
    env = {"SCLI_TRANSCRIPT": transcript}

    metrics = syvhost(env, "--format", "openmetrics")
    report = json.loads(syvhost(env, "--format", "json").stdout)
    check(metrics.returncode == 0, "exit status %d: %s" % (metrics.returncode, metrics.stderr))
    lint = subprocess.run(["promtool", "check", "metrics"], input=metrics.stdout, capture_output=True)
    check(lint.returncode == 0, "promtool: %s %s" % (lint.stdout, lint.stderr))
    wanted = expected(report)
    check(len(wanted) == 15 and wanted <= series(metrics.stdout.decode()), "series missing from the report")

    # node_exporter serves the file, as the textfile collector would in place.
    textfiles = os.path.join(folder, "textfiles")
    os.mkdir(textfiles)
    with open(os.path.join(textfiles, "velkor.prom"), "wb") as f:
        f.write(metrics.stdout)
    port = free_port()
    exporter = subprocess.Popen(["prometheus-node-exporter", "--collector.disable-defaults", "--collector.textfile",
                                 "--collector.textfile.directory=" + textfiles,
                                 "--web.listen-address=127.0.0.1:%d" % port], stderr=subprocess.DEVNULL)
    try:
        scraped = ""
        for _ in range(100):  # up to 10 s for the exporter to listen
            try:
                scraped = urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=5).read().decode()
                break
            except OSError:
                time.sleep(0.1)
        check(wanted <= series(scraped), "series missing from node_exporter's scrape")
        check("node_textfile_scrape_error 0" in scraped, "node_exporter could not read the file")
        check(re.search(r'^velkor_adapters\{kind="fibre_channel"\} 3$', scraped, re.M), "adapter count")
        check(re.search(r'^velkor_collect_success 1$', scraped, re.M), "success")
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)

    # A tool that crashes: the query fails, and the report says so.
    failed = syvhost(dict(env, SCLI_CRASH="1"), "--format", "openmetrics")
    check(failed.returncode == 1, "a failed query exits 1, not %d" % failed.returncode)
    check(re.search(rb'^velkor_collect_success 0$', failed.stdout, re.M), "a failed query reports success 0")
    check(subprocess.run(["promtool", "check", "metrics"], input=failed.stdout).returncode == 0, "failed report lint")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
