"""The module's help: its examples run and give what they show, and every
keyword and every shape and input format broaden-batch offers is described."""

import doctest
import inspect
import os
import re
import subprocess

import broaden
from conftest import BATCH


def test_every_example_in_the_docstrings_gives_what_it_shows():
    results = doctest.testmod(broaden, optionflags=doctest.NORMALIZE_WHITESPACE)
    assert results.attempted >= 20 and results.failed == 0


def keywords(function):
    """The keywords of a function, from the signature pybind11 writes first in its docstring."""
    signature = function.__doc__.splitlines()[0]
    return re.findall(r"(\w+):", signature[signature.index("(") + 1:signature.rindex(")")])


def test_every_keyword_is_described_and_every_shape_and_format_named():
    for function in (broaden.spectrum, broaden.read, broaden.classic):
        text = function.__doc__
        parameters = text[text.index("Parameters\n"):text.index("Returns\n")]
        for keyword in keywords(function):
            assert re.search(rf"(^|, ){keyword}\b", parameters, re.M), (function.__name__, keyword)
    # The shapes and normalisations broaden-batch's help lists.
    help_text = subprocess.run([BATCH, "--help"], capture_output=True, text=True).stdout
    shapes = re.search(r"--shape SHAPE\s+(.*)", help_text).group(1)
    for shape in re.findall(r"[\w-]+", shapes.replace("default", "").replace(" or ", " ")):
        assert f'"{shape}"' in broaden.spectrum.__doc__, shape
    # The input formats, their notes in parentheses left out.
    formats = re.sub(r"\([^)]*\)", "", re.search(r"--input KIND\s+(.*)", help_text).group(1))
    for name in re.findall(r"[\w-]+", formats.replace(" or ", " ")):
        assert f'"{name}"' in broaden.read.__doc__, name
    assert inspect.getdoc(broaden).startswith("Line lists broadened into spectra")
