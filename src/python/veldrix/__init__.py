"""VELDRIX: the well-defined residue ranges of the rigid domains of an NMR ensemble.

    >>> import veldrix
    >>> r = veldrix.analyse("examples/1d3z.pdb")
    >>> r.domains[0].ranges
    '1..72'

See help(veldrix.analyse) for the options; Result.to_dict() gives the record that
veldrix-batch writes for the same input.
"""

from ._veldrix import (
    Conformers,
    Domain,
    DomainStats,
    Error,
    PhaseTimes,
    ResidueProfile,
    Result,
    RmsdStat,
    Segment,
    __version__,
    analyse,
)

__all__ = [
    "Conformers",
    "Domain",
    "DomainStats",
    "Error",
    "PhaseTimes",
    "ResidueProfile",
    "Result",
    "RmsdStat",
    "Segment",
    "__version__",
    "analyse",
]
