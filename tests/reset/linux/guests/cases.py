"""The table of cases every file system's harness runs, and the checks on what came back.

Each case is one entry on the volume, in a folder per user who resets it ("as-root",
"as-owner", "as-other"), given DOS attributes before the reset. What must happen is stated per
file system by an expectation: either the outcome is Done and no flag is left, or it is not
Done and the attributes are exactly as they were.
"""
from dataclasses import dataclass

R, H, S, A = 0x1, 0x2, 0x4, 0x20
RHSA = R | H | S | A
LETTERS = ((R, "R"), (H, "H"), (S, "S"), (A, "A"), (0x100, "T"), (0x1000, "O"),
           (0x2000, "I"))

USERS = {  # who runs reset_probe: (uid, gid) for as_user, or None for root itself
    "root": None,
    "owner": (1000, 1000),
    "other": (1000, 1000),
}


@dataclass(frozen=True)
class Case:
    path: str  # under the volume's root: "as-root/file-h"; "" for the root folder itself
    folder: bool
    given: int  # DOS bits the set-up gave it, as the file system keeps them
    user: str | None  # who resets it; None for an entry inside a reset folder
    done: bool  # the outcome must be Done (and then no flag may stay)
    stays: int  # the DOS bits it must have afterwards

    def under(self, root):
        return f"{root}/{self.path}" if self.path else root

    def describe(self):
        kind = "folder" if self.folder else "file"
        who = f"reset as {self.user}" if self.user else "not reset"
        want = "Done" if self.done else "not Done"
        name = self.path or "(the root folder)"
        return (f"{name} ({kind} {letters(self.given)}, {who}, {want}, "
                f"then {letters(self.stays)})")


# Name, folder, DOS bits. The folder "parent" is reset; what is inside it is not.
ROWS = [
    ("file-r", False, R), ("file-h", False, H), ("file-s", False, S), ("file-a", False, A),
    ("file-rhsa", False, RHSA), ("file-normal", False, 0),
    ("folder-r", True, R), ("folder-h", True, H), ("folder-s", True, S), ("folder-a", True, A),
    ("folder-rhsa", True, RHSA), ("folder-normal", True, 0),
    ("parent", True, H | S),
]
CHILDREN = [("parent/child", False, H | R), ("parent/sub", True, S)]


def table(users, stored, expect, extra_rows=()):
    """The cases for the given users. stored(folder, bits) is what the file system keeps of the
    bits it was given (exFAT folders drop read-only); expect(user, folder, bits) gives
    (done, stays) for what the tool must do."""
    cases = []
    for user in users:
        for name, folder, bits in [*ROWS, *extra_rows]:
            given = stored(folder, bits)
            done, stays = expect(user, folder, given)
            if done and stays:
                raise ValueError(f"{name}: Done while {letters(stays)} stays")
            cases.append(Case(f"as-{user}/{name}", folder, given, user, done, stays))
        for name, folder, bits in CHILDREN:
            given = stored(folder, bits)
            cases.append(Case(f"as-{user}/{name}", folder, given, None, False, given))
    return cases


def letters(bits):
    text = "".join(letter for bit, letter in LETTERS if bits & bit)
    rest = bits & ~sum(bit for bit, _ in LETTERS)
    if rest:
        text += f"+0x{rest:x}"
    return text or "normal"


def group_folders(cases):
    return sorted({case.path.split("/")[0] for case in cases if "/" in case.path})


def create_commands(cases, root):
    """Shell lines that make every case's folder and entry (files hold their own name)."""
    lines = [f"mkdir {root}/{folder}" for folder in group_folders(cases)]
    for case in cases:
        if case.path:
            path = case.under(root)
            lines.append(f"mkdir {path}" if case.folder else f"echo {case.path} > {path}")
    return lines


def reset_commands(cases, root, user):
    """One reset_probe for all of a user's cases, in table order, as one RESET run does."""
    paths = [case.under(root) for case in cases if case.user == user]
    if not paths:
        return []
    ids = USERS[user]
    prefix = f"as_user {ids[0]} {ids[1]} $PROBES/reset_probe" if ids else "reset"
    return [f"{prefix} {' '.join(paths)}"]


# The phases of a table's reset: root and another user on the first mount, the owner on a
# mount that makes that user the owner.
RESET_PHASES = ("reset-root", "reset-other", "reset-owner")


def reset_and_read_back(cases, root, kind, mount, owner_mount):
    """The reset phases, then a new mount and everything read back ("phase after")."""
    return ["phase reset-root", *reset_commands(cases, root, "root"),
            "phase reset-other", *reset_commands(cases, root, "other"),
            f"must umount {root}", owner_mount,
            "phase reset-owner", *reset_commands(cases, root, "owner"),
            f"must umount {root}", mount,
            "phase after", *read_commands(cases, root, kind),
            *data_commands(cases, root), f"must umount {root}"]


def reset_outcomes(records):
    """{path: (status, reason)} over all reset phases."""
    outcomes = {}
    for phase in RESET_PHASES:
        outcomes.update(records.resets(phase))
    return outcomes


def read_commands(cases, root, kind):
    return [f"raw get {kind} {case.under(root)}" for case in cases]


def data_commands(cases, root):
    """Each file's contents, to show that the reset never touched them."""
    return [f'echo "@@DATA\t{case.path}\t$(cat {case.under(root)})"'
            for case in cases if not case.folder]


@dataclass(frozen=True)
class Fact:
    """Something a driver does, measured by plan lines that run in a phase of their own; raw is
    what their raw_attributes lines must print, in order, and host what the host's own reader
    must find afterwards ({path: value})."""
    statement: str
    lines: list
    raw: list
    mount_options: str = ""
    host: dict | None = None


def fact_plan(facts, mount, mount_point="/mnt"):
    """mount(options) gives the line that mounts the volume on mount_point."""
    plan = []
    for index, fact in enumerate(facts):
        plan += [mount(fact.mount_options), f"phase fact-{index}", *fact.lines,
                 f"must umount {mount_point}"]
    return plan


def check_facts(records, facts, host_reader=None):
    failures = []
    for index, fact in enumerate(facts):
        seen = [fields[3] for fields in records.all("RAW", f"fact-{index}") if len(fields) > 3]
        wrong = [] if seen == fact.raw else [f"saw {seen}, expected {fact.raw}"]
        for path, wanted in (fact.host or {}).items():
            found = host_reader(path)
            if found != wanted:
                wrong.append(f"the host reads {path} as {show_word(found)}, "
                             f"expected {show_word(wanted)}")
        if wrong:
            failures.append(f"{fact.statement}: {'; '.join(wrong)}")
        else:
            print(f"FACT confirmed: {fact.statement}")
    return failures


def show_bits(bits):
    return "unreadable" if bits is None else letters(bits)


def show_word(value):
    return value if not isinstance(value, int) else f"{value:#x}"


class Checker:
    """Collects what differs from the table."""

    def __init__(self, name):
        self.name = name
        self.failures = []
        self.rows = []

    def fail(self, case, text):
        self.failures.append(f"{self.name} {case.path}: {text}")

    def outcome(self, case, outcomes, path):
        """The reset's outcome against the table: Done exactly when the table says so."""
        if case.user is None:
            if path in outcomes:
                self.fail(case, "was reset, but only its folder was dropped")
            return "-"
        if path not in outcomes:
            self.fail(case, "the probe printed no outcome")
            return "none"
        status, reason = outcomes[path]
        if case.done and status != "Done":
            self.fail(case, f"outcome {status} ({reason}), expected Done")
        if not case.done and status == "Done":
            self.fail(case, f"outcome Done, expected not Done ({letters(case.stays)} unchanged)")
        if status != "Done" and not reason:
            self.fail(case, f"outcome {status} without a reason")
        return f"{status}" + (f" ({reason})" if reason else "")

    def bits(self, case, view, found, wanted):
        """found: the DOS bits one view read back (None: unreadable), wanted: what it must be."""
        if found is None:
            self.fail(case, f"{view}: could not be read")
        elif found != wanted:
            self.fail(case, f"{view}: {letters(found)}, expected {letters(wanted)}")

    def data(self, case, records):
        if case.folder:
            return
        contents = [fields[1] for fields in records.all("DATA")
                    if fields and fields[0] == case.path and len(fields) > 1]
        if contents != [case.path]:
            self.fail(case, f"contents changed: {contents}")

    def row(self, case, outcome, views):
        self.rows.append((case.describe(), outcome, views))

    def print_table(self):
        for description, outcome, views in self.rows:
            print(f"  {description}: {outcome}; {views}")
