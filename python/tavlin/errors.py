"""The SDK's error codes as an exception."""

from collections.abc import Mapping

from ._native import library

# The codes the SDK reports (TAVLIN_ERR_* in tavlin.h).
CODES = (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13)


def _as_code(code):
    """An int32_t for the library; a number beyond it is no code (-1), never a wrapped one."""
    return code if isinstance(code, int) and -(2**31) <= code < 2**31 else -1


def error_text(code):
    """The library's text for an error code ("invalid argument" for 9; "unknown error" for a
    code it does not use)."""
    return library().TavlinExt_GetErrorText(_as_code(code)).decode("utf-8")


def error_name(code):
    """The code's enumerator without TAVLIN_ERR_ ("INVALID_ARGUMENT" for 9)."""
    return library().TavlinExt_GetErrorName(_as_code(code)).decode("utf-8")


class _Messages(Mapping):
    """code -> text, read from the library on first use, so importing the package does not load
    the library."""

    def __init__(self):
        self._texts = None

    def _table(self):
        if self._texts is None:
            self._texts = {code: error_text(code) for code in CODES}
        return self._texts

    def __getitem__(self, code):
        return self._table()[code]

    def __iter__(self):
        return iter(self._table())

    def __len__(self):
        return len(self._table())

    def __repr__(self):
        return repr(self._table())


MESSAGES = _Messages()


class TavlinError(RuntimeError):
    """A call the SDK refused. `code` is the SDK's error code (as Tavlin_GetLastError gives it),
    `function` the C function that failed."""

    def __init__(self, code, function):
        self.code = code
        self.function = function
        text = error_text(code)
        super().__init__(f"{function} failed: error {code} ({text})")
