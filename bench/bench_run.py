"""Running one client of a benchmark as a child process: wall-clock time, the
CPU time (user + system) the child used, its output, and with strace (when
installed) the number of system calls it made."""
import re
import resource
import shutil
import subprocess
import tempfile
import time


def run(cmd):
    """Runs cmd; returns wall seconds, stdout and stderr text, exit status."""
    start = time.perf_counter()
    child = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = child.communicate()
    wall = time.perf_counter() - start
    # communicate() has reaped the child: its resource use is in the
    # children's totals, taken as a difference around the run.
    return wall, out.decode(errors="replace"), err.decode(errors="replace"), child.returncode


class Measured:
    """One run: wall and CPU seconds of the whole child, and the figures it
    printed itself ("seconds S" around the transfer, "syscalls N")."""

    def __init__(self, cmd):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.wall, self.out, self.err, self.status = run(cmd)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        fields = dict(re.findall(r"(\w+) (-?[\d.]+)", self.out))
        self.inner_seconds = float(fields["seconds"]) if "seconds" in fields else None
        self.inner_syscalls = int(fields["syscalls"]) if "syscalls" in fields else None
        if self.status != 0:
            raise SystemExit("%s failed (%d): %s%s" % (" ".join(cmd), self.status, self.out, self.err))


def best_of(runs, cmd):
    """The fastest of `runs` runs, by the time it reports (else by wall time);
    the lowest CPU time of them all."""
    results = [Measured(cmd) for _ in range(runs)]
    best = min(results, key=lambda r: r.inner_seconds if r.inner_seconds is not None else r.wall)
    best.cpu = min(r.cpu for r in results)
    return best


def syscalls(cmd, stdin_path=None, cwd=None):
    """System calls of the whole run (all threads), or None without strace;
    the child reads `stdin_path` when one is given."""
    if shutil.which("strace") is None:
        return None
    with tempfile.NamedTemporaryFile(suffix=".strace") as report:
        stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
        try:
            subprocess.run(["strace", "-f", "-c", "-o", report.name] + cmd, stdin=stdin, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, cwd=cwd)
        finally:
            if stdin_path:
                stdin.close()
        for line in open(report.name):
            if line.split() and line.split()[-1] == "total":
                numbers = line.split()
                return int(numbers[3])
    return None


def print_table(title, rows):
    """rows: (name, megabytes, seconds, cpu seconds, system calls or None)."""
    print(title)
    print("  %-34s %9s %9s %10s %9s %12s" % ("client", "MB", "MB/s", "CPU s", "CPU s/MB", "syscalls/MB"))
    for name, megabytes, seconds, cpu, calls in rows:
        per_mb = "%12.1f" % (calls / megabytes) if calls is not None else "%12s" % "n/a"
        print("  %-34s %9.2f %9.1f %10.3f %9.4f %s" % (name, megabytes, megabytes / seconds, cpu, cpu / megabytes,
                                                       per_mb))
