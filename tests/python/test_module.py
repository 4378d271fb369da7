"""The Python module against veldrix-batch's records of the same ensembles, and its refusals.

Run with the module and veldrix-batch of one build, e.g. from the build directory:
    PYTHONPATH=python VELDRIX_BATCH_EXE=./veldrix-batch /usr/bin/python3 -m pytest ../tests/python
"""

import gzip
import json
import os
import pathlib
import subprocess
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pytest
import veldrix

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"
ENSEMBLES = sorted(DATA.glob("*.pdb.gz")) + sorted(DATA.glob("synthetic/*.pdb.gz")) + sorted(DATA.glob("formats/*.gz"))
# The module's keywords and veldrix-batch's options for the same analysis.
OPTION_SETS = [
    ({}, ["--names", "library"]),
    (dict(names="modern", range="1-40", minimum=5, gap=0.5, buffer=2), ["--names", "modern", "--range", "1-40",
                                                                        "--minimum", "5", "--gap", "0.5", "--buffer", "2"]),
]


def batch_records(args, paths):
    exe = os.environ.get("VELDRIX_BATCH_EXE")
    if not exe:
        pytest.skip("VELDRIX_BATCH_EXE names no veldrix-batch to compare with")
    run = subprocess.run([exe, "-q", "-j", "2", *args, *map(str, paths)], capture_output=True, text=True, timeout=600)
    assert run.returncode in (0, 1), run.stderr
    records = [json.loads(line) for line in run.stdout.splitlines()]
    assert [r["file"] for r in records] == list(map(str, paths))
    return records


def without(d, *keys):
    return {k: v for k, v in d.items() if k not in keys}


def outcome(source, **options):
    """What an analysis gives, comparable across calls: the record without its time, or the error."""
    try:
        return without(veldrix.analyse(source, **options).to_dict(), "seconds")
    except veldrix.Error as e:
        return e.args[0]


@pytest.mark.parametrize("options,args", OPTION_SETS)
def test_results_equal_batch_records(options, args):
    for path, record in zip(ENSEMBLES, batch_records(args, ENSEMBLES)):
        if record["status"] == "error":
            with pytest.raises(veldrix.Error) as e:
                veldrix.analyse(str(path), **options)
            assert e.value.args[0] == record["error"]
            assert e.value.lines and "VELDRIX" in e.value.lines[1]
            continue
        r = veldrix.analyse(path, **options)
        assert without(r.to_dict(), "seconds") == without(record, "seconds"), path
        assert (r.file, r.format, r.compressed, r.warnings, r.residues) == (
            record["file"], record["format"], record["compressed"], record["warnings"], record["residues"])
        assert {"rigid": r.conformers.rigid, "flexible": r.conformers.flexible} == record["conformers"]
        def stat(s):
            assert isinstance(s, veldrix.RmsdStat)  # the package exports the types its values have
            return {"mean": s.mean, "sd": s.sd, "atoms": s.atoms, "conformers": s.conformers}
        assert [{"ranges": d.ranges, "rmsd": d.rmsd, "gaps": d.gaps, "residues": d.residues,
                 "residue_ids": d.residue_ids,
                 "segments": [{"chain": s.chain, "first": s.first, "last": s.last} for s in d.segments],
                 "stats": {k: stat(getattr(d.stats, k)) for k in ("backbone", "heavy", "backbone_all", "heavy_all")}}
                for d in r.domains] == record["domains"]
        assert all(isinstance(d.stats, veldrix.DomainStats) for d in r.domains)
        assert all(isinstance(p, veldrix.ResidueProfile) for p in r.per_residue)
        assert [{"id": p.id, "name": p.name, "rmsf": p.rmsf, "s_phi": p.s_phi, "s_psi": p.s_psi, "domain": p.domain}
                for p in r.per_residue] == record["per_residue"]


def printed(source):
    try:
        return veldrix.analyse(source).lines
    except veldrix.Error as e:
        return e.lines


@pytest.mark.parametrize("name", ["1d3z.pdb.gz", "formats/2beg.cif.gz", "formats/hand_made.cif"])
def test_bytes_give_the_results_of_the_path(name, tmp_path, monkeypatch):
    monkeypatch.chdir(DATA)
    content = pathlib.Path(name).read_bytes()
    plain = tmp_path / "plain.ent"
    plain.write_bytes(gzip.decompress(content) if name.endswith(".gz") else content)
    for path in (name, plain):
        from_path, from_bytes = outcome(path), outcome(pathlib.Path(path).read_bytes())
        if isinstance(from_path, dict):
            assert from_bytes.pop("file") == "<bytes>"
            from_path.pop("file")
        assert from_bytes == from_path
    # Apart from the file name in the line that reports the reading, the same lines.
    assert [line.replace('"<bytes>"', f'"{name}"') for line in printed(content)] == printed(name)


def test_thread_pool_gives_the_sequential_results():
    jobs = [(path, options) for path in ENSEMBLES for options, _ in OPTION_SETS]
    sequential = [outcome(path, **options) for path, options in jobs]
    with ThreadPoolExecutor(max_workers=4) as pool:
        parallel = list(pool.map(lambda job: outcome(job[0], **job[1]), jobs))
    assert parallel == sequential


def test_analysis_runs_without_the_gil():
    # The main thread keeps ticking while another thread analyses the largest ensemble.
    path = DATA / "synthetic" / "big_300res_20models.pdb.gz"
    done, ticks = threading.Event(), []
    worker = threading.Thread(target=lambda: (veldrix.analyse(path), done.set()))
    start = time.perf_counter()
    worker.start()
    while not done.is_set():
        ticks.append(time.perf_counter())
        time.sleep(0.001)
    worker.join()
    elapsed = time.perf_counter() - start
    longest_pause = max(b - a for a, b in zip([start] + ticks, ticks + [time.perf_counter()]))
    assert elapsed > 0.05 and longest_pause < elapsed / 3, (elapsed, longest_pause)


@pytest.mark.parametrize("source,options,exception,message", [
    ("missing.pdb", {}, veldrix.Error, 'Input file "missing.pdb" cannot be opened.'),
    (DATA / "synthetic" / "one_model.pdb.gz", {}, veldrix.Error, "Less than two structures selected."),
    (DATA / "1d3z.pdb.gz", dict(range="B1-B5"), veldrix.Error, 'The range "B1-B5" selects no residue.'),
    (DATA / "1d3z.pdb.gz", dict(cutoff=1.0), TypeError, "incompatible function arguments"),
    (DATA / "1d3z.pdb.gz", dict(minimum=-1), ValueError, "minimum=-1 is outside 0..99"),
    (DATA / "1d3z.pdb.gz", dict(gap_width=100), ValueError, "gap_width=100 is outside 0..99"),
    (DATA / "1d3z.pdb.gz", dict(upper_rmsd=99.995), ValueError, "upper_rmsd=99.995 is outside 0..99.99"),
    (DATA / "1d3z.pdb.gz", dict(gap=float("inf")), ValueError, "gap=inf is outside 0..99.99"),
    (DATA / "1d3z.pdb.gz", dict(names="iupac"), ValueError, "names='iupac' is neither"),
    (42, {}, TypeError, "source must be a path (str or os.PathLike) or the file's content (bytes), not int"),
])
def test_refusals_say_why(source, options, exception, message, monkeypatch):
    monkeypatch.chdir(DATA)
    with pytest.raises(exception) as e:
        veldrix.analyse(source, **options)
    assert message in str(e.value)
