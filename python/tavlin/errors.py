"""The SDK's error codes as an exception."""

from collections.abc import Iterator, Mapping
from typing import Dict, Optional, Tuple

from ._native import library

# The codes the SDK reports (TAVLIN_ERR_* in tavlin.h).
CODES: Tuple[int, ...] = (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13)


def _as_code(code: object) -> int:
    """An int32_t for the library; a number beyond it is no code (-1), never a wrapped one."""
    return code if isinstance(code, int) and -(2**31) <= code < 2**31 else -1


def error_text(code: int) -> str:
    """The library's text for an error code ("invalid argument" for 9; "unknown error" for a
    code it does not use)."""
    text: bytes = library().TavlinExt_GetErrorText(_as_code(code))
    return text.decode("utf-8")


def error_name(code: int) -> str:
    """The code's enumerator without TAVLIN_ERR_ ("INVALID_ARGUMENT" for 9)."""
    name: bytes = library().TavlinExt_GetErrorName(_as_code(code))
    return name.decode("utf-8")


class _Messages(Mapping[int, str]):
    """code -> text, read from the library on first use, so importing the package does not load
    the library."""

    def __init__(self) -> None:
        self._texts: Optional[Dict[int, str]] = None

    def _table(self) -> Dict[int, str]:
        if self._texts is None:
            self._texts = {code: error_text(code) for code in CODES}
        return self._texts

    def __getitem__(self, code: int) -> str:
        return self._table()[code]

    def __iter__(self) -> Iterator[int]:
        return iter(self._table())

    def __len__(self) -> int:
        return len(self._table())

    def __repr__(self) -> str:
        return repr(self._table())


MESSAGES = _Messages()


class TavlinError(RuntimeError):
    """A call the SDK refused. `code` is the SDK's error code (as Tavlin_GetLastError gives it),
    `function` the C function that failed."""

    def __init__(self, code: int, function: str) -> None:
        self.code = code
        self.function = function
        text = error_text(code)
        super().__init__(f"{function} failed: error {code} ({text})")
