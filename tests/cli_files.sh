#!/bin/bash
# Outputs never replace what the user has on disk; inputs that are not plain files are
# refused at once with the reason. Usage: cli_files.sh VELTRANE-CLI SOURCE-DIR [memory]
set -u
cli=$1
src=$2
memory=${3:-memory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export VELTRANE_SETTINGS=$work/settings.conf
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect RC PATTERN COMMAND...: the exit status and a pattern in standard error, within 20 s.
expect() {
  local want=$1 pattern=$2
  shift 2
  timeout 20 "$cli" "$@" >out.txt 2>err.txt
  local rc=$?
  [ "$rc" = "$want" ] || fail "veltrane-cli $* exited $rc, not $want: $(cat err.txt)"
  [ -z "$pattern" ] || grep -q -- "$pattern" err.txt || fail "veltrane-cli $*: no \"$pattern\" in: $(cat err.txt)"
}

cp "$src/examples/bracket.dxf" same.dxf
cp "$src/examples/bracket.bas" p.bas
sum_dxf=$(md5sum <same.dxf)
sum_bas=$(md5sum <p.bas)
mkdir sub
ln -s ../p.bas sub/linked.bas
ln p.bas hard.bas

# The output is the input: by name, by another path, through a link, a hard link.
expect 1 "is the input file" import same.dxf -o same.dxf --layers OUTLINE
expect 1 "is the input file" import same.dxf -o ./sub/../same.dxf --layers OUTLINE
expect 1 "is the input file" table p.bas -o p.bas
expect 1 "is the input file" table p.bas -o sub/linked.bas
expect 1 "is the input file" transform p.bas --all reverse -o hard.bas
expect 1 "is the input file" transform sub/linked.bas --all reverse -o p.bas
[ "$(md5sum <same.dxf)" = "$sum_dxf" ] || fail "the drawing was changed"
[ "$(md5sum <p.bas)" = "$sum_bas" ] || fail "the program was changed"

# A link is written through: the target gets the data and the link stays a link.
echo old >target.bas
chmod 640 target.bas
ln -s target.bas out.bas
expect 0 "" transform p.bas --all reverse -o out.bas
[ -L out.bas ] || fail "the link was replaced by a file"
grep -q MOVE target.bas || fail "the link's target did not get the program"
[ "$(stat -c %a target.bas)" = 640 ] || fail "the replaced file's mode became $(stat -c %a target.bas)"

# Read-only files are kept, also for the superuser.
echo keep >ro.bas
chmod 444 ro.bas
expect 1 "ro.bas is read-only" table p.bas -o ro.bas
[ "$(cat ro.bas)" = keep ] || fail "a read-only file was replaced"

# A pipe, device or socket is never replaced by a file.
mkfifo pipe.out
expect 1 "not a regular file" table p.bas -o pipe.out
[ -p pipe.out ] || fail "the pipe was replaced by a file"
if [ "$(id -u)" != 0 ]; then  # as the superuser a regression would replace the system's /dev/null
  expect 1 "not a regular file" table p.bas -o /dev/null
fi
[ -c /dev/null ] || fail "/dev/null is no longer a device"
if "$cli" plot p.bas -o probe.png >/dev/null 2>&1; then  # a build with PNG plots
  mkfifo plot.png
  expect 1 "not a regular file" plot p.bas -o plot.png
  [ -p plot.png ] || fail "the pipe was replaced by a picture"
fi
# "-o -" is standard output.
"$cli" table p.bas -o - >table.txt 2>err.txt || fail "table -o - failed: $(cat err.txt)"
[ -s table.txt ] || fail "table -o - wrote nothing to standard output"

# Inputs that are not plain files are refused at once, with the reason.
mkfifo pipe.in
expect 1 "cannot open program pipe.in: it is not a regular file" check pipe.in
expect 1 "cannot open program sub: Is a directory" check sub
expect 1 "cannot open drawing sub: Is a directory" layers sub
expect 1 "cannot open drawing sub: Is a directory" import sub
expect 1 "cannot open program missing.bas: No such file" extents missing.bas
ln -s loop1 loop2
ln -s loop2 loop1
expect 1 "Too many levels of symbolic links" normalise loop1
expect 1 "cannot open drawing pipe.in: it is not a regular file" import pipe.in

# A file beyond the size limit is refused before it is read (a sparse file: no disk used).
truncate -s 2G big.bas
expect 1 "big.bas is 2.0 GB; the limit is 512 MB" check big.bas
truncate -s 2G big.dxf
expect 1 "big.dxf is 2.0 GB; the limit is 512 MB" import big.dxf

# A program in UTF-16 or UTF-32 is read as text and written back in its own form: the
# same program as from UTF-8, never one-byte line ends inside the wide text.
if command -v iconv >/dev/null; then
  "$cli" transform p.bas --all rotate 90 -o utf8-out.bas 2>/dev/null
  "$cli" stats p.bas >utf8-stats.txt 2>/dev/null
  for form in UTF-16 UTF-16BE UTF-32LE; do
    iconv -f UTF-8 -t "$form" p.bas >w.bas
    expect 0 "" transform w.bas --all rotate 90 -o wide-out.bas
    iconv -f "$form" -t UTF-8 wide-out.bas >wide-back.bas || fail "$form: the program written is no $form"
    cmp -s wide-back.bas utf8-out.bas || fail "$form: transform wrote another program than from UTF-8"
    "$cli" stats w.bas 2>/dev/null | sed 's/w\.bas/p.bas/' >wide-stats.txt
    cmp -s wide-stats.txt utf8-stats.txt || fail "$form: stats differ from UTF-8: $(head -3 wide-stats.txt)"
  done
fi

# Memory that runs out, or would, is a message and exit 1, and no output file.
if [ "$memory" = memory ]; then
  {
    printf '0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nB\n10\n0\n20\n0\n'
    printf '0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n0\nENDBLK\n0\nENDSEC\n'
    printf '0\nSECTION\n2\nENTITIES\n0\nINSERT\n8\n0\n2\nB\n10\n0\n20\n0\n'
    printf '70\n1000\n71\n400\n44\n2\n45\n2\n0\nENDSEC\n0\nEOF\n'
  } >many.dxf
  (ulimit -v 300000; exec "$cli" import many.dxf -o many.bas) >out.txt 2>err.txt
  rc=$?
  [ "$rc" = 1 ] || fail "import with too little memory exited $rc, not 1: $(cat err.txt)"
  # (The copies of blocks are refused before they take the memory the process may use.)
  grep -q -e "not enough memory for import many.dxf" -e "Block insertions would create more than" err.txt ||
    fail "no memory message: $(cat err.txt)"
  [ ! -e many.bas ] || fail "a program was written although memory ran out"
  ls many.bas.* >/dev/null 2>&1 && fail "a temporary file was left behind"
fi

[ "$failures" = 0 ] || { echo "$failures failures"; exit 1; }
echo "all file checks passed"
