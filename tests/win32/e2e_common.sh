# Sourced by the end-to-end scripts of the real Flagwash.exe: what each of them checks with.

fail() { echo "FAIL: $*"; exit 1; }
# Wine keeps read-only in the write bits (root may write regardless, so test -w cannot tell).
writable() { (((0$(stat -c %a "$1") & 0222) != 0)); }
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# Tries a check until it holds, for up to 10 s: the program runs in another process.
eventually() {
    local deadline=$((${EPOCHREALTIME/./} + 10000000))
    until "$@"; do
        ((${EPOCHREALTIME/./} < deadline)) || return 1
        sleep 0.02
    done
}

# The centre of a control of the layout ("imgStart", "Image1", ...), in client pixels at 96 dpi:
# "X Y", read from the table the program is built from.
centre() { /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../e2e/layout.py" "$1"; }
