"""Named checks that print as they go and a closing "N passed, M failed" line."""
import sys


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def step(self, text):
        print(f"== {text}", flush=True)

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok   {name}", flush=True)
        else:
            self.failed += 1
            print(f"FAIL {name}" + (f"\n     {detail}" if detail else ""), flush=True)
        return ok

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 1 if self.failed or not self.passed else 0

    def abort(self, reason):
        """Stops before anything could be tested: counts as one failure."""
        self.check("preconditions", False, reason)
        sys.exit(self.finish())
