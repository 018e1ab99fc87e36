#!/usr/bin/env python3
"""Rename by shooting date, Stay mode, end to end: the whole `quillmere-run --ini X ReName`
process beside the whole `jhead -n` process (and exiv2), with fsprobe's rename as the file-system
floor, in interleaved rounds of the shared kit (job_rename.py). A second line gives the run inside
one process (bench_rename_engine), timed in rounds of its own on the same corpus.

usage: rename_e2e.py CORPUS [ROUNDS]     (CORPUS from make_corpus.py; ROUNDS default 7)
env:   QR       quillmere-run to time (default: build/dev/bin/quillmere-run of this checkout)
       QM_BENCH scratch folder on the corpus's file system (default /tmp/qm-bench)
       QM_KIT   the kit's folder holding e2e/ and fsprobe.c (default: ../shared/bench, searched
                upward from this checkout)
"""
import json, os, statistics, subprocess, sys

here = os.path.dirname(os.path.abspath(__file__))
repo = os.path.dirname(os.path.dirname(here))


def kit_folder():
    if os.environ.get('QM_KIT'):
        return os.environ['QM_KIT']
    d = repo
    while d != '/':
        d = os.path.dirname(d)
        if os.path.isfile(os.path.join(d, 'shared/bench/e2e/job_rename.py')):
            return os.path.join(d, 'shared/bench')
    sys.exit('the kit was not found: set QM_KIT')


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    corpus = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    kit = kit_folder()
    env = dict(os.environ)
    env.setdefault('QR', os.path.join(repo, 'build/dev/bin/quillmere-run'))
    env.setdefault('QM_BENCH', '/tmp/qm-bench')
    scratch = env['QM_BENCH']
    os.makedirs(scratch, exist_ok=True)
    probe = os.path.join(scratch, 'fsprobe')
    if not os.path.exists(probe):
        subprocess.run(['cc', '-O2', '-o', probe, os.path.join(kit, 'fsprobe.c')], check=True)
    with open(os.path.join(corpus, 'manifest.json')) as fh:
        files = json.load(fh)['originals']['files']
    tag = 'e2e%d' % files
    out = subprocess.run(['python3', os.path.join(kit, 'e2e/job_rename.py'), corpus, tag,
                          str(rounds)], env=env, capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(out.stderr)
    job = json.loads(out.stdout)
    s = job['summary']
    same = job['checks']['product'] == job['checks']['ref']
    for peer, label in (('jhead', 'jhead -n'), ('floor_ref', 'floor (fsprobe)')):
        r = s['product / ' + peer]
        print('rename %d files, whole process: quillmere-run / %-15s min %.2fx  median %.2fx'
              '  (medians %.3f s / %.3f s, %d rounds)'
              % (files, label, r['ratio_min'], r['ratio_med'], s['product']['wall_med'],
                 s[peer]['wall_med'], r['n']))
    print('  names as the reference engine gives them: %s' % ('yes' if same else 'NO'))

    # The run inside one process, on fresh hard-linked copies, with the kit's settings file.
    engine = os.path.join(os.path.dirname(env['QR']), 'bench_rename_engine')
    ini = os.path.join(scratch, 'rn_%s.ini' % tag)
    work = os.path.join(scratch, 'w/rn_%s/e' % tag)
    inside = []
    for _ in range(rounds):
        subprocess.run('rm -rf %s; cp -al %s/originals %s' % (work, corpus, work), shell=True,
                       check=True)
        res = subprocess.run([engine, ini, work], capture_output=True, text=True, check=True)
        inside.append(float(res.stdout.split()[0]))
    subprocess.run(['rm', '-rf', work])
    med = statistics.median(inside)
    print('rename %d files, in process: RenameEngine::run median %.3f s (min %.3f s), '
          '%.2fx the whole jhead process median' % (files, med, min(inside),
                                                  med / s['jhead']['wall_med']))


main()
