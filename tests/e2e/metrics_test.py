#!/usr/bin/env python3
"""syvhost's metrics report read by software written elsewhere: a strict
OpenMetrics parser reads it, promtool checks it, a real node_exporter serves it
from its textfile folder, and every controller and element of the JSON report
for the same tools is a series. syvhost --serve answers GET /metrics with the
same series in both formats, also with credentials over HTTPS, and a real
Prometheus scrapes both servers (exit status 77 when prometheus is missing).

Usage: metrics_test.py TRANSCRIPTS_DIR SYVHOST [WRAPPER ...] (the wrapper, for
example wine, runs syvhost)."""
import base64, contextlib, json, os, re, shutil, ssl, subprocess, sys, tempfile, time
import urllib.error, urllib.parse, urllib.request
from prometheus_client.openmetrics.parser import text_string_to_metric_families
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wbem"))
import serving
from serving import check, failures, free_port, tls_and_users

transcripts, command = sys.argv[1], sys.argv[2:]
command = command[1:] + command[:1]  # SYVHOST after its wrapper


def syvhost(env, *arguments):
    return subprocess.run(command + list(arguments), env=dict(os.environ, **env), capture_output=True, timeout=120)


def promtool(report, what):
    lint = subprocess.run(["promtool", "check", "metrics"], input=report, capture_output=True, timeout=60)
    check(lint.returncode == 0, "%s: promtool: %s %s" % (what, lint.stdout, lint.stderr))


def openmetrics(report, what, lint=True):
    """The families of an OpenMetrics text by name, after promtool checked it as the Prometheus text format (which
    names a counter's family as its samples)."""
    if lint:
        promtool(report, what)
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


def escaped(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def expected(report):
    """The series that the JSON report's instances call for."""
    kinds = {"FibreChannel": "fibre_channel", "IScsi": "iscsi"}
    wanted = set()
    for instance in report["queries"][0]["instances"]:
        values = {p["name"]: p["value"] for p in instance["properties"]}
        kind = next(v for k, v in kinds.items() if k in instance["class"])
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
        wanted.add((name, frozenset((k, escaped(v)) for k, v in labels.items())))
    return wanted


def started(stack, process):
    """The child process, which the stack kills however the test ends."""
    stack.enter_context(process)
    stack.callback(process.kill)
    return process


def serve(stack, env, *arguments):
    """The URL of syvhost --serve on a free loopback port."""
    process, url = serving.serve(command, arguments, dict(os.environ, **env), subprocess.DEVNULL)
    started(stack, process)
    return url


def get(url, accept="", login="", context=None):
    """The status, Content-Type and body of an HTTP answer."""
    headers = {"Accept": accept} if accept else {}
    if login:
        headers["Authorization"] = "Basic " + base64.b64encode(login.encode()).decode()
    try:
        with urllib.request.urlopen(urllib.request.Request(url, headers=headers), timeout=60,
                                    context=context) as answer:
            return answer.status, answer.headers["Content-Type"], answer.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers["Content-Type"], error.read()


INFO = ("velkor_controller_info", "velkor_firmware_info", "velkor_bios_info")


def info(text):
    return {one for one in series(text.decode()) if one[0] in INFO}


def scraped_by_prometheus(stack, folder, plain, secure, certificate):
    """What a real Prometheus scraping both servers every second shows within a minute: the value of up and the
    velkor_controller_info series (as series() gives them) by job."""
    port, config = free_port(), os.path.join(folder, "prometheus.yml")
    target = lambda url: "static_configs: [{targets: ['%s']}]" % url.split("//")[1]
    with open(config, "w") as f:
        f.write("global: {scrape_interval: 1s}\nscrape_configs:\n- {job_name: plain, %s}\n- {job_name: secure, "
                "scheme: https, basic_auth: {username: ops, password: secret}, tls_config: {ca_file: '%s'}, %s}\n"
                % (target(plain), certificate, target(secure)))
    started(stack, subprocess.Popen(["prometheus", "--config.file=" + config, "--storage.tsdb.path=" +
                                     os.path.join(folder, "tsdb"), "--web.listen-address=127.0.0.1:%d" % port],
                                    stderr=subprocess.DEVNULL))
    query = lambda expression: json.load(urllib.request.urlopen("http://127.0.0.1:%d/api/v1/query?%s" % (
        port, urllib.parse.urlencode({"query": expression})), timeout=10))["data"]["result"]
    seen = None
    for _ in range(120):  # at most a minute
        try:
            up = {one["metric"]["job"]: one["value"][1] for one in query("up")}
            controllers = {job: set() for job in up}
            for one in query("velkor_controller_info"):
                labels = {k: escaped(v) for k, v in one["metric"].items() if k not in ("__name__", "job", "instance")}
                controllers[one["metric"]["job"]].add(("velkor_controller_info", frozenset(labels.items())))
            seen = (up, controllers)
            if up == {"plain": "1", "secure": "1"} and all(controllers.values()):
                break
        except OSError:
            pass  # not listening yet
        time.sleep(0.5)
    return seen


with tempfile.TemporaryDirectory() as folder, contextlib.ExitStack() as stack:
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
    started(stack, subprocess.Popen(["prometheus-node-exporter", "--collector.disable-defaults", "--collector.textfile",
                                     "--collector.textfile.directory=" + textfiles,
                                     "--web.listen-address=127.0.0.1:%d" % port], stderr=subprocess.DEVNULL))
    scraped = ""
    for _ in range(100):  # up to 10 s for the exporter to listen
        try:
            scraped = urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=5).read().decode()
            break
        except OSError:
            time.sleep(0.1)
    check(wanted <= series(scraped), "series missing from node_exporter's scrape")
    check(re.search(r'^velkor_collect_success 1$', scraped, re.M), "success")

    # The server answers GET /metrics with the same series, in either format (how it refuses other requests and
    # counts them, the CIM service's unit test shows).
    plain = serve(stack, env)
    status, kind, text = get(plain + "/metrics")
    check(status == 200 and kind.startswith("text/plain; version=0.0.4"), "a scrape: %d %s" % (status, kind))
    promtool(text, "a scrape")
    check(info(text) == info(metrics.stdout) and len(info(text)) == 15, "a scrape's series differ from the report's")
    status, kind, text = get(plain + "/metrics", accept="application/openmetrics-text; version=1.0.0")
    check(status == 200 and kind.startswith("application/openmetrics-text; version=1.0.0"), "%d %s" % (status, kind))
    families = openmetrics(text, "an OpenMetrics scrape", lint=False)
    check(info(text) == info(metrics.stdout), "an OpenMetrics scrape's series differ from the report's")
    duration = families.get("velkor_server_request_duration_seconds")
    check(duration and duration.type == "histogram" and "velkor_server_requests" in families, "the server's families")

    # With credentials over HTTPS: none get 401, the right ones the series.
    users, key, certificate = tls_and_users(folder)
    secure = serve(stack, env, "--credentials", users, "--tls-cert", certificate, "--tls-key", key)
    trusted = ssl.create_default_context(cafile=certificate)
    check(get(secure + "/metrics", context=trusted)[0] == 401, "a scrape without credentials was not refused")
    status, _, text = get(secure + "/metrics", login="ops:secret", context=trusted)
    check(status == 200 and info(text) == info(metrics.stdout), "a scrape with credentials: %d" % status)

    # A real Prometheus sees each server up with one series per controller.
    skipped = not shutil.which("prometheus")
    if skipped:
        print("SKIPPED: scraping by a real Prometheus: no prometheus program (scripts/install-deps installs it)")
    else:
        controllers = {one for one in wanted if one[0] == "velkor_controller_info"}
        seen = scraped_by_prometheus(stack, folder, plain, secure, certificate)
        check(seen == ({"plain": "1", "secure": "1"}, {"plain": controllers, "secure": controllers}),
              "Prometheus saw %s" % (seen,))

    # A tool that crashes: the query fails, the report says so and counts no adapters.
    failed = syvhost(dict(env, SCLI_CRASH="1"), "--format", "openmetrics")
    check(failed.returncode == 1, "a failed query exits 1, not %d" % failed.returncode)
    families = openmetrics(failed.stdout, "failed query")
    success = families.get("velkor_collect_success")
    check(success and [sample.value for sample in success.samples] == [0], "success 0")
    check(adapters(families) is None, "a failed query counts adapters: %s" % adapters(families))

sys.exit(1 if failures else 77 if skipped else 0)
