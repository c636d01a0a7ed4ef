#!/usr/bin/env bash
# Whole-process benchmark of the Linux print path: qvxprint printing the sample
# document (4 A4 pages: photo, colour ramps, text, line art) through
# libqvxenc.so at each print quality on plain paper, and the peer measurement
# (../shared/bench/gutenprint_peer.sh) run on the same machine.
#
# usage: bench/print/print_bench.sh [-n RUNS] [-p] [BUILD_DIR]
#   -n RUNS     timed runs per quality (default 3; the median is reported)
#   -p          skip the peer measurement
#   BUILD_DIR   native build folder (default build/native); it is built first
#
# Per quality: pages per minute by wall time and by CPU time (the machine may
# be shared: CPU time is the steadier figure), and the encoder's share of the
# CPU time (the rest is rendering the PDF into RGB bands and writing).
set -euo pipefail
cd "$(dirname "$0")/../.."

RUNS=3 PEER=1
while getopts "n:ph" o; do
  case $o in
    n) RUNS=$OPTARG ;; p) PEER=0 ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
BUILD=${1:-build/native}

[[ -f $BUILD/CMakeCache.txt ]] || cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j2 --target qvxprint qvxenc sampledoc >/dev/null
SAMPLE=$BUILD/sample/qvx_sample.pdf
WORK=$BUILD/bench-print
mkdir -p "$WORK"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p"; }

echo "qvx print path, $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg), sample: 4 A4 pages, plain paper"
BEST_CPU_PER_PAGE=""
for q in draft normal high best; do
  : > "$WORK/$q.times"
  "$BUILD/bin/qvxprint" "$SAMPLE" -o "$WORK/$q.prn" --quality $q --no-progress --timing 2>/dev/null  # warm-up
  for ((i = 0; i < RUNS; i++)); do
    "$BUILD/bin/qvxprint" "$SAMPLE" -o "$WORK/$q.prn" --quality $q --no-progress --timing 2>> "$WORK/$q.times"
  done
  pages=$(field pages < "$WORK/$q.times" | head -1)
  dpi=$(field dpi < "$WORK/$q.times" | head -1)
  wall=$(field wall < "$WORK/$q.times" | median)
  cpu=$(field cpu < "$WORK/$q.times" | median)
  enc=$(field encoder_cpu < "$WORK/$q.times" | median)
  bytes=$(field bytes < "$WORK/$q.times" | head -1)
  awk -v q=$q -v d=$dpi -v p=$pages -v w=$wall -v c=$cpu -v e=$enc -v b=$bytes -v n=$RUNS 'BEGIN {
    printf "qvx %-6s %3d dpi: %5.1f pages/min wall (%.2f s), %5.1f pages/min CPU (%.2f s), encoder %2.0f%% of CPU (%.2f s/page), output %.1f MB, runs=%d\n",
      q, d, 60 * p / w, w, 60 * p / c, c, 100 * e / c, e / p, b / 1e6, n }'
  [[ $q == best ]] && BEST_CPU_PER_PAGE=$(awk -v c=$cpu -v p=$pages -v e=$enc 'BEGIN { printf "%.3f %.3f", c / p, e / p }')
done

if [[ $PEER == 1 ]]; then
  PEER_DIR=$(realpath "$WORK")/peer
  PEER_SCRIPT=$(realpath ../shared/bench/gutenprint_peer.sh 2>/dev/null || true)
  if [[ -x $PEER_SCRIPT ]]; then
    peer=$("$PEER_SCRIPT" -n "$RUNS" "$PEER_DIR" 2>"$WORK/peer.log") || { echo "peer: failed (see $WORK/peer.log)"; exit 1; }
    echo "$peer"
    # The peer times its filter alone on one photo-like A4 page at 720 x 720
    # dpi. Compared on CPU time per A4 page (wall time depends on the load):
    # its filter against our encoder alone at best quality (600 dpi), and
    # against our whole process (rendering the PDF as well).
    peerCpu=$(sed -n 's/.*cpu \([0-9.]*\) s.*/\1/p' <<< "$peer")
    read -r ourPage ourEnc <<< "$BEST_CPU_PER_PAGE"
    awk -v pc=$peerCpu -v op=$ourPage -v oe=$ourEnc 'BEGIN {
      a4 = 4960 * 7016 / 1e6
      printf "comparison (CPU time per A4 page): peer filter %.2f s (%.1f pages/min, %.2f Mpx/s A4@600-equiv); qvx encoder at best quality %.2f s (%.1f pages/min, %.2f Mpx/s); qvx whole process %.2f s (%.1f pages/min)\n",
        pc, 60 / pc, a4 / pc, oe, 60 / oe, a4 / oe, op, 60 / op }'
  else
    echo "peer: ../shared/bench/gutenprint_peer.sh not found"
  fi
fi
