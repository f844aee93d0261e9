#!/usr/bin/env python3
"""syvhost's metrics report read by software written elsewhere: a strict
OpenMetrics parser reads it, promtool checks it, a real node_exporter serves it
from its textfile folder, and every controller and element of the JSON report
for the same tools is a series.

Usage: metrics_test.py TRANSCRIPTS_DIR SYVHOST [WRAPPER ...] (the wrapper, for
example wine, runs syvhost)."""
import json, os, re, socket, subprocess, sys, tempfile, time, urllib.request
from prometheus_client.openmetrics.parser import text_string_to_metric_families

transcripts, command = sys.argv[1], sys.argv[2:]
command = command[1:] + command[:1]  # SYVHOST after its wrapper
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def syvhost(env, *arguments):
    return subprocess.run(command + list(arguments), env=dict(os.environ, **env), capture_output=True, timeout=120)


def openmetrics(report, what):
    """The families of an OpenMetrics text by name, after promtool checked it as the Prometheus text format."""
    lint = subprocess.run(["promtool", "check", "metrics"], input=report, capture_output=True)
    check(lint.returncode == 0, "%s: promtool: %s %s" % (what, lint.stdout, lint.stderr))
    try:
        return {family.name: family for family in text_string_to_metric_families(report.decode())}
    except ValueError as error:
        check(False, "%s: not OpenMetrics: %s" % (what, error))
        return {}


def adapters(families):
    """velkor_adapters as {kind: count}, None when there is no such family."""
    family = families.get("velkor_adapters")
    return family and {sample.labels["kind"]: sample.value for sample in family.samples}


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
    families = openmetrics(metrics.stdout, "every class")
    check(adapters(families) == {"fibre_channel": 3, "iscsi": 2}, "adapters: %s" % adapters(families))
    duration = families.get("velkor_collect_duration_seconds")
    check(duration and duration.unit == "seconds", "the duration's unit")
    wanted = expected(report)
    check(len(wanted) == 15 and wanted <= series(metrics.stdout.decode()), "series missing from the report")

    # A kind whose controllers were not asked for has no count, not 0; a class named twice counts once.
    one_kind = syvhost(env, "--format", "openmetrics", "ORNSG_QLogicIScsiSCSIProtocolController",
                       "ORNSG_QLogicFibreChannelFirmwareElement", "ORNSG_QLogicIScsiSCSIProtocolController")
    check(adapters(openmetrics(one_kind.stdout, "one kind")) == {"iscsi": 2}, "adapters of the kind asked for")

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

    # A tool that crashes: the query fails, the report says so and counts no adapters.
    failed = syvhost(dict(env, SCLI_CRASH="1"), "--format", "openmetrics")
    check(failed.returncode == 1, "a failed query exits 1, not %d" % failed.returncode)
    families = openmetrics(failed.stdout, "failed query")
    success = families.get("velkor_collect_success")
    check(success and [sample.value for sample in success.samples] == [0], "success 0")
    check(adapters(families) is None, "a failed query counts adapters: %s" % adapters(families))

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
