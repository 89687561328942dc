"""The test web servers (tools/testserver/quarn_testserver.py) for the tests and benchmarks: started on
the ports this build was compiled for (BUILD/quarn_hosts.json), stopped at the end.

    with TestServers(build, root) as srv:      # serves root on both hosts' layouts
        srv.set_rules([{"match": "*/Update.ini", "scheme": "https", "action": "status", "status": 404}])
        ... run the installer ...
        srv.requests()                          # [(scheme, method, path, action, agent), ...]
        srv.transfers()                         # [{"path", "status", "range", "sent", ...}, ...]

    with TestProxy(build, {"localhost:18443": "127.0.0.1:18444"}) as proxy:   # a loopback proxy
        proxy.requests()                        # [(method, target, verdict), ...]

HTTPS uses $QUARN_PKI/server.chain.crt and server.key (tools/pki/make_pki.sh; scripts/wine-env.sh sets
QUARN_PKI and makes them). Only the standard library is used.
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

import leftovers

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVER = os.path.join(SOURCE, "tools", "testserver", "quarn_testserver.py")
PROXY = os.path.join(SOURCE, "tools", "testserver", "quarn_testproxy.py")


def host_port(host, default):
    """The port of a configured host "name[:port]" ("[v6]:port" too)."""
    tail = host.rsplit("]", 1)[-1]
    return int(tail.rsplit(":", 1)[1]) if ":" in tail else default


def build_ports(build):
    """(https_port, http_port) of a build, from its quarn_hosts.json."""
    with open(os.path.join(build, "quarn_hosts.json")) as f:
        hosts = json.load(f)
    return host_port(hosts["https_host"], 443), host_port(hosts["http_host"], 80)


def _listening(port, timeout=0.2, host="127.0.0.1"):
    try:
        with socket.create_connection((host, port), timeout=timeout):
            return True
    except OSError:
        return False


class TestServers:
    """Both servers in one child process. root: the published tree (Update.ini, KelvaranDemo/...).
    https_root/http_root: other trees per host. workdir: where the rules file and the request log go
    (a new temporary folder by default). https/http: False leaves that server out. bind: the loopback
    address to listen on (another 127.0.0.x stands for another machine, e.g. a mirror)."""

    def __init__(self, build, root, https_root=None, http_root=None, workdir=None, pki=None,
                 https=True, http=True, ports=None, bind="127.0.0.1"):
        self.build = build
        self.bind = bind
        self.root = root
        self.https_root = https_root
        self.http_root = http_root
        self.workdir = workdir or tempfile.mkdtemp(prefix="quarn-srv-", dir=build)
        os.makedirs(self.workdir, exist_ok=True)
        self.pki = pki or os.environ.get("QUARN_PKI") or os.path.join(build, "pki")
        self.https_port, self.http_port = ports or build_ports(build)
        if not https:
            self.https_port = 0
        if not http:
            self.http_port = 0
        self.rules_path = os.path.join(self.workdir, "rules.json")
        self.log_path = os.path.join(self.workdir, "requests.log")
        self.transfer_log_path = os.path.join(self.workdir, "transfers.log")
        self.stderr_path = os.path.join(self.workdir, "server.stderr")
        self.proc = None

    def start(self, timeout=20.0):
        for port in (self.https_port, self.http_port):
            if port and _listening(port, host=self.bind):
                raise RuntimeError("port %d is already in use, not by a server this build started (those were "
                                   "ended): another checkout testing on the same ports? (QUARN_TEST_PORT_BASE)"
                                   % port)
        self.set_rules([])
        open(self.log_path, "w").close()
        open(self.transfer_log_path, "w").close()
        cmd = [sys.executable, SERVER, "--root", self.root, "--rules", self.rules_path,
               "--log", self.log_path, "--transfer-log", self.transfer_log_path, "--https-port", str(self.https_port),
               "--http-port", str(self.http_port), "--bind", self.bind]
        if self.https_root:
            cmd += ["--https-root", self.https_root]
        if self.http_root:
            cmd += ["--http-root", self.http_root]
        if self.https_port:
            cmd += ["--cert", os.path.join(self.pki, "server.chain.crt"),
                    "--key", os.path.join(self.pki, "server.key")]
        self._stderr = open(self.stderr_path, "w")
        self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=self._stderr)
        self._record = leftovers.record_process(self.build, self.proc)
        end = time.monotonic() + timeout
        line = self.proc.stdout.readline().decode("utf-8", "replace")
        if not line.startswith("ready"):
            self.stop()
            raise RuntimeError("test servers did not start: %r; stderr: %s" % (line, self.stderr()))
        while not all(_listening(p, host=self.bind) for p in (self.https_port, self.http_port) if p):
            if time.monotonic() > end or self.proc.poll() is not None:
                self.stop()
                raise RuntimeError("test servers do not listen; stderr: %s" % self.stderr())
            time.sleep(0.02)
        return self

    def stop(self):
        if self.proc is not None:
            if self.proc.poll() is None:
                self.proc.terminate()
                try:
                    self.proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait()
            self.proc.stdout.close()
            self._stderr.close()
            self.proc = None
            leftovers.forget(self.build, self._record)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def stderr(self):
        try:
            with open(self.stderr_path, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def set_rules(self, rules):
        """Replaces the misbehaviour rules; the servers read them at their next request."""
        tmp = self.rules_path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump({"rules": rules}, f)
        os.replace(tmp, self.rules_path)

    def requests(self):
        """Every request so far: (scheme, method, path, action, user agent) tuples, oldest first."""
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return [tuple(line.rstrip("\n").split("\t")) for line in f if line.strip()]

    def transfers(self):
        """Every answer that ended so far, oldest first: dicts with scheme, method, path, action,
        status, range, if_range (the request's headers, "" when absent) and sent (body bytes written)."""
        with open(self.transfer_log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def url(self, scheme, rel="", host=None):
        """A URL into the served tree: scheme 'https' or 'http', rel relative to the server directory."""
        if scheme == "https":
            return "https://%s:%d/Download/UpDate-V9.20/%s" % (host or "localhost", self.https_port, rel)
        return "http://%s:%d/UpDate-V9.20/%s" % (host or self.bind, self.http_port, rel)


class TestProxy:
    """The loopback proxy (tools/testserver/quarn_testproxy.py) in a child process. mapping: {"host:port":
    "host:port"}, the addresses only the proxy knows how to reach; auth "user:password" makes it ask
    for Basic credentials."""

    def __init__(self, build, mapping, port, auth=None, workdir=None):
        self.mapping = mapping
        self.port = port
        self.auth = auth
        self.workdir = workdir or tempfile.mkdtemp(prefix="quarn-proxy-", dir=build)
        os.makedirs(self.workdir, exist_ok=True)
        self.log_path = os.path.join(self.workdir, "proxy.log")
        self.stderr_path = os.path.join(self.workdir, "proxy.stderr")
        self.proc = None

    def start(self, timeout=20.0):
        if _listening(self.port):
            raise RuntimeError("port %d is already in use: another test run on the same ports?" % self.port)
        open(self.log_path, "w").close()
        cmd = [sys.executable, PROXY, "--port", str(self.port), "--log", self.log_path]
        for src, dst in self.mapping.items():
            cmd += ["--map", "%s=%s" % (src, dst)]
        if self.auth:
            cmd += ["--auth", self.auth]
        self._stderr = open(self.stderr_path, "w")
        self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=self._stderr)
        line = self.proc.stdout.readline().decode("utf-8", "replace")
        if not line.startswith("ready"):
            self.stop()
            raise RuntimeError("test proxy did not start: %r" % line)
        end = time.monotonic() + timeout
        while not _listening(self.port):
            if time.monotonic() > end or self.proc.poll() is not None:
                self.stop()
                raise RuntimeError("test proxy does not listen")
            time.sleep(0.02)
        return self

    def stop(self):
        if self.proc is not None:
            if self.proc.poll() is None:
                self.proc.terminate()
                try:
                    self.proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait()
            self.proc.stdout.close()
            self._stderr.close()
            self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def requests(self):
        """(method, target, verdict) of every request so far, oldest first."""
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return [tuple(line.rstrip("\n").split("\t")) for line in f if line.strip()]


def _proxy_realm():
    import importlib.util
    spec = importlib.util.spec_from_file_location("quarn_testproxy", PROXY)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module.REALM


PROXY_REALM = _proxy_realm()   # the realm the proxy names in its 407 answers


class ProxyRoute:
    """No direct route to either host, only one through the system proxy: the servers (serving root)
    listen one port above the compiled addresses, where nothing listens; the loopback proxy maps each
    compiled address there, and the prefix's Internet Settings name the proxy
    (harness.set_system_proxy). auth "user:password" makes the proxy ask for credentials. Everything is
    stopped and the setting switched off again on leaving.

        with ProxyRoute(build, root, workdir, auth="u:p") as route:
            route.servers.set_rules([...]); ... run the installer ...; route.proxy.requests()
            route.https_target, route.http_target    # the compiled addresses, as the proxy logs them
    """

    def __init__(self, build, root, workdir, auth=None, proxy_port=None):
        with open(os.path.join(build, "quarn_hosts.json")) as f:
            hosts = json.load(f)
        https_port, http_port = build_ports(build)
        self.https_target, self.http_target = hosts["https_host"], hosts["http_host"]
        mapping = {self.https_target.lower(): "127.0.0.1:%d" % (https_port + 1),
                   self.http_target.lower(): "127.0.0.1:%d" % (http_port + 1)}
        self.servers = TestServers(build, root, workdir=os.path.join(workdir, "srv"),
                                   ports=(https_port + 1, http_port + 1))
        self.proxy = TestProxy(build, mapping, proxy_port or https_port - 443 + 129, auth=auth,
                               workdir=os.path.join(workdir, "proxy"))

    def __enter__(self):
        import harness
        self.servers.start()
        try:
            self.proxy.start()
            harness.set_system_proxy("127.0.0.1:%d" % self.proxy.port)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        import harness
        try:
            harness.set_system_proxy(None)
        finally:
            self.proxy.stop()
            self.servers.stop()
