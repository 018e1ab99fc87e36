#!/bin/bash
# The whole end-to-end set in one go, in the order the figures in README.md were taken:
# rename (5,025 and 20,100 files), duplicate delete warm and cold, the four mirror cases, backup.
#
# usage: bench/run_all.sh
# environment: QM_BENCH   scratch folder, on one file system with the corpora (default /tmp/qm-bench)
#              QM_C5K     corpus of 5,000 originals   (default $QM_BENCH/c5k)
#              QM_C20K    corpus of 20,000 originals  (default $QM_BENCH/c20k)
#              QR         quillmere-run (default build/dev/bin/quillmere-run of this checkout)
# Make the corpora first with ../shared/bench/make_corpus.py (see README.md).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QM_BENCH=${QM_BENCH:-/tmp/qm-bench}
export QR=${QR:-$here/build/dev/bin/quillmere-run}
c5k=${QM_C5K:-$QM_BENCH/c5k}
c20k=${QM_C20K:-$QM_BENCH/c20k}
cd "$here"
stamp() { echo "== $(date +%T) $1, load $(cut -d' ' -f1-3 /proc/loadavg)"; }

stamp "rename"
python3 bench/rename/rename_e2e.py "$c5k" 9 2>&1 | tail -4
python3 bench/rename/rename_e2e.py "$c20k" 3 2>&1 | tail -4
for job in "dedupe 5" "dedupe-cold 3" "mirror-same 5" "mirror-changed 7" "mirror-bytes 3" \
           "mirror-first 1"; do
  set -- $job
  stamp "$1"
  python3 bench/end_to_end.py "$1" "$c20k" --rounds "$2" 2>&1 | grep -E "x  median|peak|expected|Error"
done
stamp "backup"
python3 bench/end_to_end.py backup "$c5k" --rounds 3 2>&1 | grep -E "x  median|peak|archive tested|Error"
stamp "done"
