#!/usr/bin/env python3
"""Compares two veldrix executables byte for byte: standard output, standard error and exit status.

    tools/exactness.py OLD_EXE NEW_EXE [--copies 500] [--seed 1] [--jobs 2] [--big]

Runs both over the real ensembles (tests/data, or ../shared/data/ensembles), the synthetic ensembles
(../shared/data/synthetic, else tests/data/synthetic), the mmCIF and library-name inputs of
tests/data/formats, each with a set of flag combinations, and over seeded perturbed copies of them:
coordinates jittered by a small random amount, models dropped or duplicated, and now and then a damaged
record, CR LF line ends, an over-long line or a cut-off file. Any difference is printed with the input
kept in the work directory; the last line says how many runs were compared and how many differed.
"""
import argparse
import concurrent.futures
import gzip
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

FLAGS = [
    [],
    ["-g", "0.3"],
    ["-d", "1.5", "-a", "2.0"],
    ["-u", "0.5"],
    ["-gw", "1", "-b", "0", "-m", "4"],
    ["-r", "A1-A40"],
    ["-m", "30", "-b", "6"],
    ["-u", "0.05", "-g", "1.0"],
    ["-u", "0.0"],
    ["-d", "0.0", "-a", "0.0", "-b", "1"],
]


def inputs():
    shared = os.path.join(ROOT, "..", "shared", "data")
    real_dir = os.path.join(shared, "ensembles")
    if not os.path.isdir(real_dir):
        real_dir = os.path.join(ROOT, "tests", "data")
    syn_dir = os.path.join(shared, "synthetic")
    if not os.path.isdir(syn_dir):
        syn_dir = os.path.join(ROOT, "tests", "data", "synthetic")
    real = sorted(os.path.join(real_dir, f) for f in os.listdir(real_dir) if f.endswith(".pdb.gz"))
    syn = sorted(os.path.join(syn_dir, f) for f in os.listdir(syn_dir) if f.endswith(".pdb.gz"))
    fmt_dir = os.path.join(ROOT, "tests", "data", "formats")
    fmt = sorted(os.path.join(fmt_dir, f) for f in os.listdir(fmt_dir) if f.endswith((".gz", ".cif")))
    return real, syn, fmt


def run(exe, args, cwd):
    p = subprocess.run([exe] + args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout, p.stderr


def compare(old, new, args, cwd, label):
    a = run(old, args, cwd)
    b = run(new, args, cwd)
    return label, args, a == b, a, b


def models_of(lines):
    """Header, models (lists of lines) and trailer of a PDB text with MODEL records; None without them."""
    starts = [i for i, l in enumerate(lines) if l.startswith("MODEL ")]
    if not starts:
        return None
    head = lines[: starts[0]]
    models, i = [], starts[0]
    for s in starts:
        if s < i:
            continue
        e = s
        while e < len(lines) and not lines[e].startswith("ENDMDL"):
            e += 1
        models.append(lines[s: e + 1])
        i = e + 1
    return head, models, lines[i:]


COORD = re.compile(r"^(ATOM  |HETATM)")


def jitter(line, rng, sigma):
    if not COORD.match(line) or len(line) < 54:
        return line
    out = line[:30]
    for k in range(3):
        field = line[30 + 8 * k: 38 + 8 * k]
        try:
            x = float(field)
        except ValueError:
            return line
        x += rng.gauss(0.0, sigma)
        f = "%8.3f" % x
        if len(f) != 8:
            return line
        out += f
    return out + line[54:]


def damage(lines, rng):
    atoms = [i for i, l in enumerate(lines) if l.startswith("ATOM ")]
    kind = rng.choice(["digit", "blankcoord", "short", "long", "altloc", "dexp", "letter", "chain"])
    if not atoms:
        return lines, kind
    i = rng.choice(atoms)
    l = lines[i].ljust(80)
    if kind == "digit":
        c = rng.randrange(30, 54)
        l = l[:c] + rng.choice("0123456789 .-+xE") + l[c + 1:]
    elif kind == "blankcoord":
        l = l[:30] + " " * 8 + l[38:]
    elif kind == "short":
        l = l[: rng.randrange(20, 60)]
    elif kind == "long":
        l = l + "X" * rng.randrange(100, 300)
    elif kind == "altloc":
        l = l[:16] + rng.choice("ABC") + l[17:]
    elif kind == "dexp":
        l = l[:30] + "%8s" % ("%.3fD0" % float(l[30:38]))[-8:] + l[38:] if l[30:38].strip() else l
    elif kind == "letter":
        l = l[:22] + rng.choice(" 1x") + l[23:]
    elif kind == "chain":
        l = l[:21] + rng.choice("AB ") + l[22:]
    lines = list(lines)
    lines[i] = l.rstrip() if rng.random() < 0.5 else l
    return lines, kind


def perturb(text, rng):
    lines = text.split("\n")
    sigma = rng.choice([0.0005, 0.002, 0.01, 0.05, 0.2, 0.5])
    note = ["sigma=%g" % sigma]
    parts = models_of(lines)
    if parts is not None and rng.random() < 0.5:
        head, models, tail = parts
        ops = rng.randrange(1, 4)
        for _ in range(ops):
            if rng.random() < 0.5 and len(models) > 2:
                del models[rng.randrange(len(models))]
                note.append("drop")
            else:
                models.insert(rng.randrange(len(models) + 1), list(models[rng.randrange(len(models))]))
                note.append("dup")
        lines = head + [l for m in models for l in m] + tail
    lines = [jitter(l, rng, sigma) for l in lines]
    r = rng.random()
    if r < 0.12:
        lines, kind = damage(lines, rng)
        note.append("damage=" + kind)
    text = "\n".join(lines)
    r = rng.random()
    if r < 0.05:
        text = text.replace("\n", "\r\n")
        note.append("crlf")
    elif r < 0.08:
        text = text[: rng.randrange(len(text))]
        note.append("cut")
    return text, " ".join(note)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("--copies", type=int, default=500)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--big", action="store_true", help="perturbed copies of the large synthetic ensembles too")
    ap.add_argument("--keep", help="work directory to keep (default: a temporary one)")
    opt = ap.parse_args()
    old, new = os.path.abspath(opt.old), os.path.abspath(opt.new)
    work = opt.keep or tempfile.mkdtemp(prefix="exactness")
    os.makedirs(work, exist_ok=True)
    real, syn, fmt = inputs()

    tasks = []
    texts = {}
    for path in real + syn + fmt:
        name = os.path.basename(path)
        shutil.copy(path, os.path.join(work, name))
        if name.endswith(".pdb.gz"):
            plain = name[:-3]
            with gzip.open(path, "rt", newline="") as f:
                texts[plain] = f.read()
            with open(os.path.join(work, plain), "w", newline="") as f:
                f.write(texts[plain])
            for flags in FLAGS:
                tasks.append((flags + [plain], plain))
        tasks.append(([name], name))

    rng = random.Random(opt.seed)
    small = [n for n in sorted(texts) if not n.startswith("big_")]
    big = [n for n in sorted(texts) if n.startswith("big_")]
    notes = {}
    for k in range(opt.copies):
        pool = big if (opt.big and big and rng.random() < 0.05) else small
        base = rng.choice(pool)
        text, note = perturb(texts[base], rng)
        name = "p%04d_%s" % (k, base)
        with open(os.path.join(work, name), "w", newline="") as f:
            f.write(text)
        flags = rng.choice(FLAGS) if rng.random() < 0.3 else []
        notes[name] = note
        tasks.append((flags + [name], name))

    differ = 0
    with concurrent.futures.ThreadPoolExecutor(opt.jobs) as pool:
        futures = [pool.submit(compare, old, new, args, work, label) for args, label in tasks]
        for fut in futures:
            label, args, same, a, b = fut.result()
            if not same:
                differ += 1
                print("DIFFERENT: %s %s (%s)" % (" ".join(args), work, notes.get(label, "")))
                print("  old: status %d\n%s%s" % (a[0], a[1].decode(errors="replace"), a[2].decode(errors="replace")))
                print("  new: status %d\n%s%s" % (b[0], b[1].decode(errors="replace"), b[2].decode(errors="replace")))
    if differ == 0 and not opt.keep:
        shutil.rmtree(work)
    print("%d runs compared, %d differ" % (len(tasks), differ))
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
