"""The one case runner of the fault suites (hostile server, network faults, disk faults, signed sets): each
case is one row of a table, run through the same steps by the real program under Wine.

    class MySuite(fault_suite.FaultSuite, unittest.TestCase):
        work_name = "my-e2e"           # BUILD/my-e2e, made anew for the suite (mode 0700)
        suite = "my_suite"             # rows written to BUILD/reliability/my_suite.tsv (None: no rows)
        cases = CASES                  # [MyCase(...), ...]
        only_env = "QUARN_MY_CASES"    # a comma-separated list of case names runs only those

        def set_up_case(self, case, variant):   # the set and the servers, before the "before" scan
            self.set = TestSet(self.tree)
            self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, ...))

        def test_cases(self):
            self.run_cases()

    class MyCase(fault_suite.Case):
        fields = {"rules": ()}         # the suite's own fields and their defaults

A case's steps (run_case): forget what an earlier run left, set_up_case, the "before" scan (scan = True),
before_start, start the program and press Telepítés, follow the run to its end (hostile_run.run_to_end),
compare the end and the boxes, the scan of what the run wrote, check_run (the suite's own checks), and
the case's check. Every clean-up is registered with addCleanup as its resource is made and runs after
each case, however the case ended (the program ended, the hook removed, the servers stopped, what the run
left forgotten).
"""
import copy
import os
import shutil

import harness
import hostile_run
import reliability_doc
import sample_set
from web_install_kit import ROOT, MessageLog

RECORD = "QuarnCAD WebE2E"   # the installation record of the test sets (web_install_kit.TestSet)


class Case:
    """One row of a fault suite's table.

    name: the case's name (docs/reliability.md lists it); what: the input, for the table; outcome: what
    else holds, for the table; end: "success", "cancelled" or "no-connection"; boxes: the kinds of the
    boxes expected, in order (hostile_run.BOX_KINDS); answers: answers other than the defaults;
    check(test, run): what else the case must show; during(test, run): acts while the web dialog is up;
    bound: seconds the run may take at most. A suite adds its own fields in `fields` (name: default);
    any other keyword is an error."""

    fields = {}

    def __init__(self, name, what, outcome="", end="success", boxes=(), answers=None, check=None, during=None,
                 bound=60, **extra):
        self.name, self.what, self.outcome, self.end, self.boxes = name, what, outcome, end, list(boxes)
        self.answers, self.check, self.during, self.bound = answers, check, during, bound
        unknown = sorted(set(extra) - set(self.fields))
        if unknown:
            raise TypeError("case %s: unknown fields %s" % (name, ", ".join(unknown)))
        for field, default in self.fields.items():
            setattr(self, field, extra[field] if field in extra else copy.copy(default))


class FaultSuite(hostile_run.HostileRunning):
    """The shared set-up, case loop and run of the fault suites; mixed into a unittest.TestCase."""

    work_name = None       # BUILD/<work_name>: the suite's folder (the tree served is its "tree")
    suite = None           # the name of the rows file for docs/reliability.md, or None
    cases = ()
    only_env = None        # the environment variable that names the cases to run
    variants = (None,)     # each case runs once per variant (e.g. per scheme) that runs_over allows
    variant_name = "variant"
    scan = False           # whether every write of the run is scanned (hostile_run.Snapshot)
    record = RECORD        # the installation record a run may leave (None: none)
    root_name = ROOT       # the set's root folder on the drive (a case's own `root` field wins)
    shots = None           # the screenshots' name prefix (default: the suite's name)

    @classmethod
    def suite_can_run(cls):
        """Raises unittest.SkipTest when this machine cannot run the suite at all."""

    @classmethod
    def setUpClass(cls):
        cls.suite_can_run()
        cls.work = sample_set.private_work_folder(cls.work_name)
        cls.tree = os.path.join(cls.work, "tree")
        cls.rows = []
        if cls.suite:
            cls.addClassCleanup(lambda: hostile_run.write_rows(cls.suite, cls.rows))
        cls.drv = harness.Driver()
        cls.addClassCleanup(cls.drv.close)

    def setUp(self):
        self.srv = None
        self.installer = None
        self.installer_exe = None
        self.installer_args = ()
        self.root = self.root_name

    # ---- hooks -------------------------------------------------------------------------------------
    def set_up_case(self, case, variant):
        """Before the "before" scan: the set, the servers (self.serve)."""

    def before_start(self, case, variant):
        """After the "before" scan, just before the program starts."""

    def start_after(self, case):
        """Whether the options dialog's "start the system afterwards" stays ticked."""
        return False

    def runs_over(self, case, variant):
        """Whether the case runs in this variant."""
        return True

    def exit_code(self, case):
        """The exit code the program must end with (0 for a run without switches, whatever its end)."""
        return 0

    def check_run(self, case, variant, run):
        """The suite's own checks of every run, after the end, the boxes and the scan."""

    def forget(self):
        """Removes what a run left (its root folder, the group's folder window, the record), so that each
        case starts alike."""
        shutil.rmtree(os.path.join(self.drive_dir(), self.root), ignore_errors=True)
        harness.close_group_windows(self.drv)
        if self.record:
            harness.reg_delete_record(self.record)

    # ---- the runner ----------------------------------------------------------------------------------
    def serve(self, server):
        """Starts a server (servers.TestServers, sample_set.Nginx ...), stopped after the case."""
        started = server.start()
        self.addCleanup(server.stop)
        return started

    def end_program(self):
        if self.installer is not None and self.installer.proc.poll() is None:
            self.installer.kill()
        self.drv("unhook", check=False)

    def label(self, case, variant):
        return case.name if variant is None else "%s_%s" % (case.name, variant)

    def run_cases(self):
        """Runs every case (in every variant it runs over), each as a subtest with its clean-ups run after
        it; then checks that docs/reliability.md lists every case of a suite that writes rows."""
        only = os.environ.get(self.only_env) if self.only_env else None
        for variant in self.variants:
            for case in self.cases:
                if (only and case.name not in only.split(",")) or not self.runs_over(case, variant):
                    continue
                params = {"case": case.name}
                if variant is not None:
                    params[self.variant_name] = variant
                with self.subTest(**params):
                    try:
                        self.run_case(case, variant)
                    finally:
                        self.doCleanups()
        if self.suite:
            self.assertEqual([c.name for c in self.cases if c.name not in reliability_doc.listed_cases()], [],
                             "docs/reliability.md must list every case: run tests/reliability_doc.py --write")

    def run_case(self, case, variant=None):
        label = self.label(case, variant)
        self.root = getattr(case, "root", None) or self.root_name
        self.forget()
        self.addCleanup(self.forget)
        os.makedirs(self.drive_dir(), exist_ok=True)
        self.set_up_case(case, variant)
        self.log = MessageLog(os.path.join(self.work, label + ".msglog"))
        before = hostile_run.Snapshot.take(self.scan_roots()) if self.scan else None
        self.before_start(case, variant)
        self.addCleanup(self.end_program)
        self.start_installation(start_after=self.start_after(case))
        run = self.run_to_end(case.answers, case.bound, (lambda r: case.during(self, r)) if case.during else None,
                              shots="%s_%s" % (self.shots or self.suite, label), exit_code=self.exit_code(case))
        self.rows.append((case.name if variant is None else "%s (%s)" % (case.name, variant), case.what,
                          run.summary()))
        self.assertEqual((run.end, run.kinds()), (case.end, case.boxes), run.boxes)
        if before is not None:
            after = hostile_run.Snapshot.take(self.scan_roots())
            self.assertEqual(self.outside_writes(before, after, getattr(case, "root", self.root_name),
                                                 os.path.join(self.work, label + ".changes")), [])
        self.check_run(case, variant, run)
        if case.check:
            case.check(self, run)
        return run
