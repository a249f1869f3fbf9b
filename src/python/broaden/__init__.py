"""The package broaden: the extension's functions (spectrum, read, compare, fit,
classic) under the package's own name, and plot(), which draws them with
matplotlib."""

from broaden._broaden import __doc__, classic, compare, fit, read, spectrum  # noqa: F401
from broaden._plot import plot  # noqa: F401

# Named as the package's own, as they were when the extension was the module:
# help() and doctest find them here.
for _function in (classic, compare, fit, read, spectrum):
    _function.__module__ = __name__
del _function
