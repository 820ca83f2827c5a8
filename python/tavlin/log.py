"""The SDK's diagnostic log in Python's ``logging``.

``enable()`` passes every SDK message at or above a level to loggers named after its category,
``tavlin.camera``, ``tavlin.transfer``, ``tavlin.usb`` and so on (see docs/logging.md), with the
camera handle (0: none) and the CLOCK_MONOTONIC time of the message as the record's ``camera``
and ``sdk_time_ns`` attributes. Messages arrive on the SDK's own threads as well as the caller's.

    import logging
    import tavlin.log

    logging.basicConfig(level=logging.DEBUG)
    tavlin.log.enable(logging.DEBUG)

``set_levels()`` sets the SDK's own output (stderr, or the file TAVLIN_LOG_FILE names)
independently of Python's.
"""

from __future__ import annotations

import logging
import threading
from typing import Optional

from ._native import LogCallback, library

#: SDK levels (TAVLIN_EXT_LOG_*) and the ``logging`` levels their records get; the SDK's trace
#: level is below DEBUG.
TRACE = 5
SDK_TO_LOGGING = {1: logging.ERROR, 2: logging.WARNING, 3: logging.INFO, 4: logging.DEBUG, 5: TRACE}

_lock = threading.Lock()
_installed: Optional[object] = None  # the ctypes callback, kept alive while the SDK may call it
logging.addLevelName(TRACE, "TRACE")
# A null function pointer: the SDK removes its callback when given one.
_NO_CALLBACK = LogCallback(0)


def sdk_level(level: int) -> int:
    """The most detailed SDK level whose records pass a ``logging`` level: ERROR and above give
    1 (errors), WARNING 2, INFO 3, DEBUG 4, anything below DEBUG 5 (trace)."""
    if level <= TRACE:
        return 5
    if level <= logging.DEBUG:
        return 4
    if level <= logging.INFO:
        return 3
    if level <= logging.WARNING:
        return 2
    return 1


def _deliver(_context: Optional[int], level: int, category: Optional[bytes], camera: int,
             timestamp_ns: int, message: Optional[bytes]) -> None:
    try:
        name = (category or b"?").decode("ascii", "replace")
        logger = logging.getLogger("tavlin." + name)
        python_level = SDK_TO_LOGGING.get(level, logging.ERROR)
        if logger.isEnabledFor(python_level):
            text = (message or b"").decode("utf-8", "replace")
            logger.log(python_level, "%s", text,
                       extra={"camera": camera, "sdk_time_ns": timestamp_ns})
    except Exception:  # noqa: BLE001 - nothing may unwind into the SDK's thread
        pass


def enable(level: int = logging.DEBUG) -> None:
    """Passes the SDK's messages of ``level`` and above to ``logging`` (replacing an earlier
    ``enable``). Python's logger levels and handlers still decide what is kept."""
    global _installed
    with _lock:
        callback = LogCallback(_deliver)
        if library().TavlinExt_SetLogCallback(callback, None, sdk_level(level)) != 1:
            raise RuntimeError("TavlinExt_SetLogCallback refused the callback")
        # The previous callback is no longer called once the call returns.
        _installed = callback


def disable() -> None:
    """Stops passing the SDK's messages; none arrives after this returns."""
    global _installed
    with _lock:
        library().TavlinExt_SetLogCallback(_NO_CALLBACK, None, 0)
        _installed = None


def set_levels(levels: Optional[str]) -> None:
    """Sets the SDK's own output levels, as TAVLIN_LOG_LEVELS spells them ("*:warn,usb:debug");
    None or "" turns that output off. Raises ValueError when the text does not parse."""
    text = None if levels is None else levels.encode("utf-8")
    if library().TavlinExt_SetLogLevels(text) != 1:
        raise ValueError(f"bad log levels: {levels!r}")
