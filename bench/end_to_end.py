#!/usr/bin/env python3
"""Whole-process timings of duplicate delete, mirroring and backup beside their peers.

Each job runs the kit's interleaved rounds (every tool once per round, the order rotating), times
the whole `quillmere-run --ini X ACTION` process beside the peer's whole process and prints the
min and median of the per-round ratio, the ratio to the file-system floor where the kit's
reference engine gives one, and the largest resident size of the runs. The in-process benchmark
of the same engine follows as a second line when its program is given.

usage: end_to_end.py JOB CORPUS [--rounds N] [--in-process PROGRAM [ARGS...]]
  JOB     dedupe | dedupe-cold | mirror-same | mirror-changed | mirror-bytes | mirror-first | backup
  CORPUS  a folder made by make_corpus.py (originals/, card/)
environment: QR (quillmere-run), QM_BENCH (scratch folder, one file system with CORPUS),
             QM_KIT (the kit's e2e folder; default /work/shared/bench/e2e)
"""
import json
import os
import subprocess
import sys

KIT = os.environ.get('QM_KIT', '/work/shared/bench/e2e')
sys.path.insert(0, KIT)
import rounds as R  # noqa: E402

SCRATCH = os.environ.get('QM_BENCH', '/tmp/qm-bench')

# job -> (kit script, arguments after the corpus, summary path, peer, floor)
MIRROR_CASES = {'mirror-first': ('first', 'rsync+sync', 'floor_ref+sync'),
                'mirror-same': ('same', 'rsync', 'floor_ref'),
                'mirror-changed': ('chg', 'rsync', 'floor_ref'),
                'mirror-bytes': ('bin', 'rsync-c', 'floor_ref-c')}


def line(label, summary, peer, floor):
    ratio = summary.get('product / ' + peer)
    text = '%s: quillmere-run / %s  min %.2fx  median %.2fx' % (
        label, peer, ratio['ratio_min'], ratio['ratio_med'])
    if floor and 'product / ' + floor in summary:
        f = summary['product / ' + floor]
        text += '   / floor  min %.2fx  median %.2fx' % (f['ratio_min'], f['ratio_med'])
    print(text)


def result_rows():
    """The rows the kit has written to its results file so far."""
    path = SCRATCH + '/results.jsonl'
    if not os.path.exists(path):
        return []
    return [json.loads(row) for row in open(path)]


def peak_rss(job_prefix, first_row):
    """Largest resident size of the product's runs of this job (the rows from first_row on)."""
    return max([r['maxrss_kb'] for r in result_rows()[first_row:]
                if r['job'].startswith(job_prefix) and r['tool'] == 'product'] or [0])


def run_kit(script, args):
    out = subprocess.check_output(['python3', os.path.join(KIT, script)] + args, text=True)
    return json.loads(out)


def evict(folder):
    """Drops the folder's file pages from the page cache (no privilege needed)."""
    return ('python3 -c "import os,sys\nfor d,_,fs in os.walk(sys.argv[1]):\n for f in fs:\n'
            '  p=os.path.join(d,f)\n  try:\n   fd=os.open(p,os.O_RDONLY)\n   '
            'os.posix_fadvise(fd,0,0,os.POSIX_FADV_DONTNEED);os.close(fd)\n  except OSError: pass" '
            + folder)


def dedupe_cold(corpus, rounds):
    """Duplicate delete with the pictures' pages dropped before every run of every tool."""
    qr = os.environ['QR']
    work = SCRATCH + '/w/ddcold'
    ini = SCRATCH + '/ddcold.ini'

    def prep(d):
        return ('rm -rf {w}/{d}; mkdir -p {w}/{d}; cp -al {c}/originals {w}/{d}/o; '
                'cp -al {c}/card {w}/{d}/c; sync; {e1}; {e2}').format(
                    w=work, d=d, c=corpus, e1=evict(corpus + '/originals'), e2=evict(corpus + '/card'))
    R.sh(prep('p') + '; rm -f %s; %s --ini %s --set InDir=%s/p/o --set OutDir=%s/p/c --set InSubDir=1 '
         '--set OutSubDir=1 --set OutFileDel=0 --set RDFileDel=0 --set InDelDir=0 --set OutDelDir=0 '
         'WFileDel 2>/dev/null' % (ini, qr, ini, work, work))
    tools = [
        {'name': 'product', 'prep': prep('p'), 'cmd': '%s --ini %s WFileDel 2>/dev/null' % (qr, ini)},
        {'name': 'jdupes', 'prep': prep('j'),
         'cmd': 'jdupes -r -q -d -N -O -I %s/j/o %s/j/c >/dev/null' % (work, work)},
        {'name': 'floor_ref', 'prep': prep('f'),
         'cmd': '%s/fsprobe dedupe %s/f/o %s/f/c >/dev/null' % (SCRATCH, work, work)},
    ]
    rows = R.run('dedupe_cold', tools, rounds, SCRATCH + '/results.jsonl')
    check = subprocess.check_output(['python3', KIT + '/verify_dedupe.py', corpus, work + '/p'],
                                    text=True)
    return R.summary(rows, 'product', ['jdupes', 'floor_ref']), json.loads(check)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    job, corpus = sys.argv[1], os.path.abspath(sys.argv[2])
    rest = sys.argv[3:]
    rounds = 5
    in_process = []
    if '--in-process' in rest:
        at = rest.index('--in-process')
        in_process = rest[at + 1:]
        rest = rest[:at]
    if '--rounds' in rest:
        rounds = int(rest[rest.index('--rounds') + 1])
    os.makedirs(SCRATCH, exist_ok=True)
    first_row = len(result_rows())
    if not os.path.exists(SCRATCH + '/fsprobe'):
        R.sh('cc -O2 -o %s/fsprobe %s/../fsprobe.c' % (SCRATCH, KIT))

    if job == 'dedupe':
        out = run_kit('job_dedupe.py', [corpus, 'e2e', str(rounds)])
        line('duplicate delete, warm', out['summary'], 'jdupes', 'floor_ref')
        print('  deleted the expected set in every round: %s' % all(out['checks']['product_every_round']))
        prefix = 'dedupe_e2e'
    elif job == 'dedupe-cold':
        summary, check = dedupe_cold(corpus, rounds)
        line('duplicate delete, cold', summary, 'jdupes', 'floor_ref')
        print('  deleted the expected set: %s' % check['ok'])
        prefix = 'dedupe_cold'
    elif job in MIRROR_CASES:
        case, peer, floor = MIRROR_CASES[job]
        counts = {'first': '0', 'same': '0', 'bin': '0', 'chg': '0'}
        counts[case] = str(rounds)
        # The unchanged and byte-compare cases work on the copy the first case made.
        if case in ('same', 'bin') and not os.path.isdir(SCRATCH + '/w/mi/p'):
            counts['first'] = '1'
        cases = ','.join(c for c in ('first', 'same', 'bin', 'chg') if counts[c] != '0')
        out = run_kit('job_mirror.py', [corpus + '/originals', counts['first'], counts['same'],
                                        counts['bin'], counts['chg'], cases])
        line(job, out[case]['summary'], peer, floor)
        prefix = 'mirror_' + case
    elif job == 'backup':
        out = run_kit('job_backup.py', [corpus, str(rounds)])
        line('backup (LZH, stored)', out['summary'], 'tar+fsync', 'floor_read')
        line('backup (LZH, stored)', out['summary'], 'tar', None)
        print('  archive tested: lha %s, 7zz %s; extracted copy differs in %d files' % (
            out['lha_t_rc'] == 0, out['7zz_ok'], out['extract_diff_lines']))
        prefix = 'backup'
    else:
        sys.exit(__doc__)
    print('  peak resident size of quillmere-run: %.1f MB' % (peak_rss(prefix, first_row) / 1024.0))
    if in_process:
        # The in-process figures, second: the engine alone, without process start and settings.
        result = subprocess.run(in_process, capture_output=True, text=True)
        last = [ln for ln in result.stdout.splitlines() if ln.strip()]
        print('in-process: ' + (last[-1] if last else '(no output)'))


if __name__ == '__main__':
    main()
