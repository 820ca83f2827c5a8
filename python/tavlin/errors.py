"""The SDK's error codes as an exception."""

MESSAGES = {
    0: "no error recorded",
    1: "no device, or not possible now",
    2: "device not available (absent or claimed elsewhere)",
    3: "thread or event could not be created",
    4: "window not created, or no matching size preset",
    5: "out of memory, buffer too small or initialisation failed",
    6: "device input/output failed",
    7: "capture window invalid",
    8: "frame transfer failed, or no frame in time",
    9: "value out of range or unknown id",
    11: "not supported",
    12: "file or name failure",
    13: "stream stopped",
}


class TavlinError(RuntimeError):
    """A call the SDK refused. `code` is the SDK's error code (as Tavlin_GetLastError gives it),
    `function` the C function that failed."""

    def __init__(self, code, function):
        self.code = code
        self.function = function
        text = MESSAGES.get(code, "unknown error")
        super().__init__(f"{function} failed: error {code} ({text})")
