#!/usr/bin/env bash
# Mutation testing of the core, run by hand (it is not part of scripts/test.sh or of CI).
#
# Usage: scripts/mutate.sh [--check] [-l LIST] [NAME...]
#
# Puts the mutants of LIST (default: scripts/mutants.txt; its head describes the format) into
# the source one at a time. For each it rebuilds incrementally in its own build tree, runs the
# test programs of the mutated file's folder (src/<folder>/... -> test_<folder>) under a memory
# limit and a timeout, and puts the file back. A mutant is killed when a test fails, crashes,
# runs out of memory or out of time; it survives when every test passes. At the end it prints
# the survivors and the score (killed / (killed + survived)); mutants that do not compile are
# counted apart. NAMEs (shell patterns) pick some of the mutants; --check only checks the list.
#
# The source file is always put back: on the normal path, on an error, and on Ctrl-C. Should
# the script be killed outright, the next run puts back what it left (see mutate-pending in the
# build tree) before doing anything else.
#
# Environment:
#   MUTATE_BUILD_DIR   build tree (default build-mutate; configured on first use:
#                      -O2 without debug information, no benchmarks, no generated
#                      built-in voices)
#   MUTATE_MEMORY_MB   address-space limit of a test run (default 4096)
#   MUTATE_TIMEOUT     seconds a test program may run (default: 5 x its time on the
#                      unmutated source, at least 60)
#   JOBS               build jobs (default 2)
set -euo pipefail
shopt -u patsub_replacement 2>/dev/null || true  # "&" in a new text stays "&"
export LC_ALL=C
caller_dir=$PWD
cd "$(dirname "$0")/.."

list=scripts/mutants.txt
check_only=0
patterns=()
while [ $# -gt 0 ]; do
  case "$1" in
    -l) list=$2; [[ $list == /* ]] || list=$caller_dir/$list; shift 2 ;;
    --check) check_only=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) patterns+=("$1"); shift ;;
  esac
done

build=${MUTATE_BUILD_DIR:-build-mutate}
memory_mb=${MUTATE_MEMORY_MB:-4096}
jobs=${JOBS:-2}
logs=$build/mutate-logs
backup_dir=$build/mutate-backup
pending=$build/mutate-pending

die() { echo "mutate: $*" >&2; exit 2; }

# ---- putting the source back ----------------------------------------------------------------
# While a mutant is in, $pending names the file and $backup_dir holds its original.
restore() {
  [ -f "$pending" ] || return 0
  local f
  f=$(cat "$pending")
  # A plain copy gives the file a new time, so the next build recompiles it (from ccache).
  cp -- "$backup_dir/$f" "$f"
  rm -f -- "$pending"
}
mkdir -p "$build"
exec 9>"$build/mutate.lock" || die "cannot create $build/mutate.lock"
flock -n 9 || die "another run is using $build"
if [ -f "$pending" ]; then
  echo "mutate: putting back $(cat "$pending"), left mutated by an earlier run" >&2
  restore
fi

# ---- reading the list -------------------------------------------------------------------------
names=() files=() olds=() news=() tests=()
add_entry() {
  local name=$1 file=$2 old=$3 new=$4 t=$5 where=$6 i content rest count
  [ -n "$old" ] || die "$where: $name has no '- ' line"
  [ "$new" != $'\x01' ] || die "$where: $name has no '+' line"
  for i in "${!names[@]}"; do [ "${names[$i]}" != "$name" ] || die "$where: $name is named twice"; done
  [ -f "$file" ] || die "$where: $name: no file $file"
  content=$(cat -- "$file"; printf x)
  rest=${content//"$old"/}
  count=$(( (${#content} - ${#rest}) / ${#old} ))
  [ "$count" -eq 1 ] || die "$where: $name: the old text occurs $count times in $file, not once"
  if [ -z "$t" ]; then
    case "$file" in
      src/*/*) t=${file#src/}; t=test_${t%%/*} ;;
      *) die "$where: $name: name its test programs (the file is not under src/<folder>/)" ;;
    esac
  fi
  names+=("$name") files+=("$file") olds+=("$old") news+=("$new") tests+=("$t")
}
[ -f "$list" ] || die "no list $list"
name='' file='' old='' new=$'\x01' t='' start=0 n=0
while IFS= read -r line || [ -n "$line" ]; do
  n=$((n + 1))
  case "$line" in
    ''|'#'*) ;;
    '@ '*)
      [ -z "$name" ] || add_entry "$name" "$file" "$old" "$new" "$t" "$list:$start"
      read -r _ name file t <<<"$line"
      [ -n "$file" ] || die "$list:$n: '@ NAME FILE [TEST...]' expected"
      old='' new=$'\x01' start=$n ;;
    '- '*) [ -n "$name" ] || die "$list:$n: '-' before any '@'"; old=${line#- } ;;
    '+') [ -n "$name" ] || die "$list:$n: '+' before any '@'"; new='' ;;
    '+ '*) [ -n "$name" ] || die "$list:$n: '+' before any '@'"; new=${line#+ } ;;
    *) die "$list:$n: cannot read: $line" ;;
  esac
done <"$list"
[ -z "$name" ] || add_entry "$name" "$file" "$old" "$new" "$t" "$list:$start"

picked=()
for i in "${!names[@]}"; do
  if [ ${#patterns[@]} -eq 0 ]; then picked+=("$i"); continue; fi
  for p in "${patterns[@]}"; do
    # shellcheck disable=SC2053
    if [[ ${names[$i]} == $p ]]; then picked+=("$i"); break; fi
  done
done
[ ${#picked[@]} -gt 0 ] || die "no mutant matches: ${patterns[*]}"
if [ "$check_only" = 1 ]; then
  echo "mutate: $list holds ${#names[@]} mutants; each old text occurs once in its file"
  exit 0
fi

# ---- the build tree -------------------------------------------------------------------------
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  echo "mutate: configuring $build"
  # The release optimisation level: at -O1 the link of test_settings pulls in core objects
  # it does not otherwise need, and fails on their use of src/platform.
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
    -DKANTOR_BENCH=OFF -DKANTOR_BUILTIN_VOICES=OFF "${launcher[@]}" >/dev/null
fi
mkdir -p "$logs" "$backup_dir"
# Builds and test runs are waited for in the background, so that Ctrl-C or a TERM stops
# them at once and the source is put back without waiting for them to end.
child=''
in_background() {
  "$@" &
  child=$!
  local rc=0
  wait "$child" || rc=$?
  child=''
  return "$rc"
}
stop() {
  if [ -n "$child" ]; then
    kill -TERM "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  restore
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Every test program that some picked mutant runs.
declare -A timeout_of=()
targets=()
for i in "${picked[@]}"; do
  for t in ${tests[$i]}; do
    [ -n "${timeout_of[$t]+x}" ] && continue
    timeout_of[$t]=0
    targets+=("$t")
  done
done

# Runs one test program under the limits; its output goes to $2. Returns its status
# (124: out of time).
limited_test() {
  cd "$build/tests"
  ulimit -v $((memory_mb * 1024))
  ulimit -f $((1024 * 1024))  # 1 GiB per written file: a runaway log stops there
  exec timeout -k 10 "$1" "./$2" --gtest_brief=1 --gtest_fail_fast
}
run_test() {
  local t=$1 log=$2
  in_background limited_test "${timeout_of[$t]}" "$t" >"$log" 2>&1
}

echo "mutate: building ${targets[*]} in $build"
in_background ninja -C "$build" -j "$jobs" "${targets[@]}" >"$logs/baseline-build.log" 2>&1 ||
  die "the unmutated source does not build; see $logs/baseline-build.log"
for t in "${targets[@]}"; do
  timeout_of[$t]=${MUTATE_TIMEOUT:-3600}
  s=$SECONDS
  run_test "$t" "$logs/baseline-$t.log" ||
    die "$t fails on the unmutated source (or under the limits); see $logs/baseline-$t.log"
  took=$((SECONDS - s))
  if [ -z "${MUTATE_TIMEOUT:-}" ]; then
    timeout_of[$t]=$((took * 5 > 60 ? took * 5 : 60))
  fi
  echo "mutate: $t passes on the unmutated source in ${took}s (timeout ${timeout_of[$t]}s)"
done

# ---- the mutants ----------------------------------------------------------------------------
killed=0 survived=0 stillborn=0
survivors=() stillborns=()
total=${#picked[@]} k=0
for i in "${picked[@]}"; do
  k=$((k + 1))
  name=${names[$i]} file=${files[$i]}
  log=$logs/$name.log
  mkdir -p "$backup_dir/$(dirname "$file")"
  cp -- "$file" "$backup_dir/$file"
  printf '%s\n' "$file" >"$pending"
  content=$(cat -- "$file"; printf x)
  content=${content%x}
  printf '%s' "${content/"${olds[$i]}"/"${news[$i]}"}" >"$file"

  s=$SECONDS
  verdict=''
  # shellcheck disable=SC2086  # the test programs, one word each
  if ! in_background ninja -C "$build" -j "$jobs" ${tests[$i]} >"$log" 2>&1; then
    verdict='does not build'
  else
    for t in ${tests[$i]}; do
      rc=0
      run_test "$t" "$log.$t" || rc=$?
      cat "$log.$t" >>"$log"
      rm -f "$log.$t"
      case $rc in
        0) ;;
        124|137) verdict="killed ($t: out of time)" ;;
        1) verdict="killed ($t: a test fails)" ;;
        *) verdict="killed ($t: exit status $rc)" ;;
      esac
      [ -z "$verdict" ] || break
    done
    [ -n "$verdict" ] || verdict=SURVIVED
  fi
  restore

  case $verdict in
    killed*) killed=$((killed + 1)) ;;
    SURVIVED) survived=$((survived + 1)); survivors+=("$i") ;;
    *) stillborn=$((stillborn + 1)); stillborns+=("$i") ;;
  esac
  printf '[%2d/%d] %-40s %s  %ss\n' "$k" "$total" "$name" "$verdict" "$((SECONDS - s))"
done

# ---- the report -----------------------------------------------------------------------------
echo
if [ ${#survivors[@]} -gt 0 ]; then
  echo "Survivors (no test notices them):"
  for i in "${survivors[@]}"; do
    printf '  %s  %s  (%s)\n      - %s\n      + %s\n' "${names[$i]}" "${files[$i]}" "${tests[$i]}" \
      "${olds[$i]}" "${news[$i]}"
  done
fi
if [ ${#stillborns[@]} -gt 0 ]; then
  echo "Not built (fix the list; see $logs/NAME.log):"
  for i in "${stillborns[@]}"; do printf '  %s  %s\n' "${names[$i]}" "${files[$i]}"; done
fi
judged=$((killed + survived))
if [ "$judged" -gt 0 ]; then
  echo "Score: $killed of $judged mutants killed ($((100 * killed / judged))%), $survived survived," \
    "$stillborn not built. Logs: $logs/"
else
  echo "Score: no mutant was judged ($stillborn not built). Logs: $logs/"
fi
[ "$survived" -eq 0 ]
