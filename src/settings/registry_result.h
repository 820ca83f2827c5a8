// Result codes of the per-user registry store. The numbers are those of the Win32 registry calls
// the settings code was written against, so a value read in a debugger means what it always did.
#pragma once

#include <cstdint>

namespace tavlin::settings {

enum class RegResult : int32_t {
    Success = 0,
    NotFound = 2,           // key or value does not exist
    AccessDenied = 5,       // read-only handle, unwritable folder or file, unreadable file
    InvalidHandle = 6,      // the key handle is not open
    WriteFault = 29,        // an I/O error while writing the store
    LockTimeout = 33,       // another process held the store's lock for too long
    InvalidParameter = 87,  // a key or value name the store cannot hold
    DiskFull = 112,         // no space left, or over the file size limit
};

}  // namespace tavlin::settings
