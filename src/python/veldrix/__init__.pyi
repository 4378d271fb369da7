import os
from typing import Any

__version__: str

class Error(Exception):
    """A fatal message of the analysis: args[0] is its text, .lines the lines printed before it."""

    lines: list[str]

class Segment:
    @property
    def chain(self) -> str: ...
    @property
    def first(self) -> str: ...
    @property
    def last(self) -> str: ...

class Domain:
    @property
    def ranges(self) -> str: ...
    @property
    def segments(self) -> list[Segment]: ...
    @property
    def rmsd(self) -> float: ...
    @property
    def gaps(self) -> int: ...
    @property
    def residues(self) -> int: ...
    @property
    def residue_ids(self) -> list[str]: ...

class Conformers:
    @property
    def rigid(self) -> int: ...
    @property
    def flexible(self) -> int: ...

class PhaseTimes:
    @property
    def reading(self) -> float: ...
    @property
    def order_and_variances(self) -> float: ...
    @property
    def clustering(self) -> float: ...
    @property
    def domain_search(self) -> float: ...

class Result:
    @property
    def file(self) -> str: ...
    @property
    def format(self) -> str: ...
    @property
    def compressed(self) -> bool: ...
    @property
    def domains(self) -> list[Domain]: ...
    @property
    def warnings(self) -> list[str]: ...
    @property
    def conformers(self) -> Conformers: ...
    @property
    def residues(self) -> int: ...
    @property
    def range_residues(self) -> int: ...
    @property
    def lines(self) -> list[str]: ...
    @property
    def phases(self) -> PhaseTimes: ...
    @property
    def seconds(self) -> float: ...
    def to_dict(self) -> dict[str, Any]:
        """The record veldrix-batch writes for this input (see docs/record.schema.json)."""

def analyse(
    source: str | os.PathLike[str] | bytes,
    *,
    gap: float = 0.4,
    decrease: float = 1.2,
    absdecrease: float = 1.6,
    upper_rmsd: float = 0.1,
    gap_width: int = 3,
    buffer: int = 3,
    minimum: int = 8,
    range: str | None = None,
    library: str | os.PathLike[str] | None = None,
    names: str = "library",
) -> Result:
    """Finds the well-defined residue ranges of each rigid domain of an NMR ensemble."""
