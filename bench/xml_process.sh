#!/usr/bin/env bash
# Whole-process comparison of quillo-xml against xmllint on two generated
# feeds of about 20 MB, as a user meets the cost: start, read, (write), exit.
# Runs alternate between the two programs; medians of RUNS runs are printed
# with their ratio, and the peak memory of `check` against the file size.
#
#   bench/xml_process.sh [QUILLO_XML] [RUNS]
#
# QUILLO_XML defaults to build/bench/bin/quillo-xml (a Release build).
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build/bench/bin/quillo-xml}
runs=${2:-7}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 bench/make_feeds.py "$dir" >/dev/null

# One run: prints "seconds peak_kib".
measure() {
    local t0 t1
    t0=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$dir/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    t1=$(date +%s%N)
    echo "$(echo "($t1 - $t0) / 1000000000" | bc -l) $(cat "$dir/time")"
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-8s %-7s %10s %10s %7s %12s %12s\n' feed command quillo xmllint ratio quillo-peak peak/size
for feed in utf8 latin1; do
    file=$dir/$feed.xml
    size_kib=$(( $(stat -c %s "$file") / 1024 ))
    for cmd in check format; do
        : >"$dir/q"; : >"$dir/x"; : >"$dir/m"
        for ((r = 0; r < runs; r++)); do
            if [ "$cmd" = check ]; then
                read -r qt qm < <(measure "$tool" check "$file")
                read -r xt _ < <(measure xmllint --noout "$file")
            else
                read -r qt qm < <(measure "$tool" format "$file")
                read -r xt _ < <(measure xmllint --format "$file")
            fi
            echo "$qt" >>"$dir/q"; echo "$xt" >>"$dir/x"; echo "$qm" >>"$dir/m"
        done
        q=$(median <"$dir/q"); x=$(median <"$dir/x"); m=$(median <"$dir/m")
        printf '%-8s %-7s %9.3fs %9.3fs %7.2f %9d KiB %12.2f\n' "$feed" "$cmd" "$q" "$x" \
            "$(echo "$q / $x" | bc -l)" "$m" "$(echo "$m / $size_kib" | bc -l)"
    done
done
