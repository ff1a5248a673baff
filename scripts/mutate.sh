#!/usr/bin/env bash
# How many small faults in src/ the tests catch: applies each single-line
# fault of a list (scripts/mutations.txt by default) to src/ on its own,
# rebuilds the native preset, runs the test programs and prints, fault by
# fault and in total, whether the tests caught it (a test failed, crashed
# or hung). A measurement like a benchmark, not part of CI: it rebuilds the
# plug-in's code once per fault, so on a shared machine run it with nice.
#
#   scripts/mutate.sh [--check] [LIST]
#
# --check only verifies that every fault of the list applies (its text is
# on exactly one line of its file). The working tree's src/ must have no
# changes of its own; each file is put back after its fault, and on exit.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
check_only=0
if [[ ${1:-} == --check ]]; then
  check_only=1
  shift
fi
list=${1:-$root/scripts/mutations.txt}
build=$root/build/native
bin=$build/bin
work=$build/mutate
# Those that catch the most first: the first program that fails (twice)
# settles the fault, and each program is built only when its turn comes.
programs=(test_video test_audio test_container test_quicktime test_media test_support test_plugin
          test_logging test_host test_runtime test_container_without_runtime test_reliability test_qelhost)
program_timeout=300
# The fuzz targets' regression inputs are read from the sources.
export QEL_SOURCE_DIR=$root

# Faults as "path<TAB>from<TAB>to<TAB>note" lines, comments and blanks dropped.
faults() {
  awk -F ' :: ' '!/^[[:space:]]*(#|$)/ { print $1 "\t" $2 "\t" $3 "\t" $4 }' "$list"
}

# Replaces the one occurrence of from in file by to; fails when from is not
# on exactly one line.
apply_fault() {
  perl -e '
    my ($file, $from, $to) = @ARGV;
    open(my $in, "<", $file) or die "cannot read $file\n";
    my @lines = <$in>;
    close $in;
    my @hits = grep { index($lines[$_], $from) >= 0 } 0 .. $#lines;
    exit 3 if @hits != 1;
    my $at = index($lines[$hits[0]], $from);
    substr($lines[$hits[0]], $at, length $from) = $to;
    open(my $out, ">", $file) or die "cannot write $file\n";
    print $out @lines;
    close $out;
  ' "$1" "$2" "$3"
}

if [[ $check_only == 1 ]]; then
  bad=0
  scratch=$(mktemp)
  trap 'rm -f "$scratch"' EXIT
  while IFS=$'\t' read -r path from to note; do
    cp "$root/$path" "$scratch"
    if ! apply_fault "$scratch" "$from" "$to"; then
      echo "does not apply: $path: $from"
      bad=$((bad + 1))
    fi
  done < <(faults)
  echo "$(faults | wc -l) faults, $bad that do not apply"
  exit $((bad > 0))
fi

if ! git -C "$root" diff --quiet -- src; then
  echo "src/ has changes of its own; commit or stash them first" >&2
  exit 2
fi
mkdir -p "$work"
current=""
restore() {
  if [[ -n $current ]]; then
    git -C "$root" checkout -- "$current"
    current=""
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

# Builds each program (and the modules it loads) in turn and runs it, until
# one fails; prints its name, or "build" when the code does not build.
first_failing_program() {
  local program
  [[ -f $build/build.ninja ]] || cmake --preset native -S "$root" < /dev/null > "$work/configure.log"
  for program in "${programs[@]}"; do
    if ! cmake --build "$build" -j2 --target QelContainerQuickTime QuickTimeRuntime Qel_Logging "$program" \
      < /dev/null > "$work/build.log" 2>&1; then
      echo build
      return
    fi
    # A failure counts when it happens again, so that a timing-dependent
    # test failing once under load does not pass for a caught fault; a
    # program that hung (timeout's status 124) is not run twice.
    local status=0
    run_program "$program" || status=$?
    if [[ $status != 0 ]] && { [[ $status == 124 ]] || ! run_program "$program"; }; then
      echo "$program"
      return
    fi
  done
}

run_program() {
  (cd "$bin" && timeout "$program_timeout" "./$1" --gtest_brief=1 < /dev/null > "$work/$1.log" 2>&1)
}

echo "baseline: building and running the tests without a fault"
failing=$(first_failing_program)
if [[ -n $failing ]]; then
  echo "$failing fails without a fault (see $work/$failing.log or $work/build.log)" >&2
  exit 2
fi

caught=0 missed=0 same=0 same_caught=0 unbuilt=0 number=0
while IFS=$'\t' read -r path from to note; do
  number=$((number + 1))
  current=$path
  if ! apply_fault "$root/$path" "$from" "$to"; then
    echo "#$number does not apply: $path: $from" >&2
    restore
    exit 2
  fi
  failing=$(first_failing_program)
  if [[ $failing == build ]]; then
    echo "#$number not built   $path: $to"
    unbuilt=$((unbuilt + 1))
  elif [[ $note == same:* ]]; then
    same=$((same + 1))
    [[ -n $failing ]] && same_caught=$((same_caught + 1))
    echo "#$number same       $path: $to (${note#same: })${failing:+, caught by $failing}"
  elif [[ -n $failing ]]; then
    caught=$((caught + 1))
    echo "#$number caught     $path: $to ($failing: $(grep -m1 -o '\[  FAILED  \] [^ ]*' "$work/$failing.log" | cut -c14- || true))"
  else
    missed=$((missed + 1))
    echo "#$number MISSED     $path: $to"
  fi
  restore
done < <(faults)

restore
first_failing_program > /dev/null || true
changing=$((caught + missed))
echo "caught $caught of $changing faults that change behaviour ($((changing ? 100 * caught / changing : 0))%);" \
  "$same that change none ($same_caught of them caught), $unbuilt not built"
