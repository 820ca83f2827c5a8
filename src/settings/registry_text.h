// The store's file format: the text export format of the registry editor, restricted to what this
// store holds (keys under HKEY_CURRENT_USER and DWORD values), in UTF-8 with LF line ends.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Korvel]
//
//   [HKEY_CURRENT_USER\Software\Korvel\Tavlin410QZVKESdk\Camera_00]
//   "Size"=dword:00000000
//
// Reading also accepts a file exported on Windows (UTF-16LE with its byte order mark), CRLF line
// ends, a UTF-8 byte order mark, ';' comment lines, the header
// "REGEDIT4", "@" for the unnamed value and one to eight hex digits.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/registry_tree.h"

namespace tavlin::settings {

std::string FormatRegistryText(const RegistryTree& tree);

// Returns nothing when the text is not a store file: a missing header, a key outside
// HKEY_CURRENT_USER, a value before any key, a value of another type, or any stray line.
std::optional<RegistryTree> ParseRegistryText(std::string_view text);

}  // namespace tavlin::settings
