# Types of the veltrane package (the functions' help is in __init__.py).
from typing import Iterable, Literal, overload

import numpy as np
import numpy.typing as npt

__version__: str
MAX_NUMERAL_LENGTH: int

_Errors = Literal["raise", "coerce"]
_Stored = bytes | bytearray | memoryview

class NumeralError(ValueError):
    numeral: str
    rule: str
    column: int
    base: int
    index: int | None
    def __init__(self, message: str, numeral: str, rule: str, column: int, base: int,
                 index: int | None = ...) -> None: ...

@overload
def convert(numerals: str, from_base: int = ..., to_base: int = ..., *,
            scientific: bool = ..., round_trip: bool = ...,
            errors: Literal["raise"] = ..., threads: int | None = ...) -> str: ...
@overload
def convert(numerals: str, from_base: int = ..., to_base: int = ..., *,
            scientific: bool = ..., round_trip: bool = ...,
            errors: Literal["coerce"], threads: int | None = ...) -> str | None: ...
@overload
def convert(numerals: npt.NDArray[np.str_] | npt.NDArray[np.object_], from_base: int = ...,
            to_base: int = ..., *, scientific: bool = ..., round_trip: bool = ...,
            errors: _Errors = ..., threads: int | None = ...) -> npt.NDArray[np.str_ | np.object_]: ...
@overload
def convert(numerals: Iterable[str], from_base: int = ..., to_base: int = ..., *,
            scientific: bool = ..., round_trip: bool = ...,
            errors: Literal["raise"] = ..., threads: int | None = ...) -> list[str]: ...
@overload
def convert(numerals: Iterable[str], from_base: int = ..., to_base: int = ..., *,
            scientific: bool = ..., round_trip: bool = ...,
            errors: Literal["coerce"], threads: int | None = ...) -> list[str | None]: ...

def explain(numeral: str, from_base: int = ..., to_base: int = ..., *,
            scientific: bool = ...) -> dict[str, str | int | float | bool | None]: ...
def parse(numeral: str, base: int) -> bytes: ...
def format(stored: _Stored, base: int, *, scientific: bool = ...,
           round_trip: bool = ...) -> str: ...
