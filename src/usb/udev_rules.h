// The udev rules file that opens the listed USB devices to their users.
#pragma once

#include <string>

#include "usb/usb_ids.h"

namespace tavlin::usb {

inline constexpr char kUdevRulesFile[] = "60-tavlin.rules";

// One rule per id: the logged-in user gets access (uaccess), and group plugdev read-write
// (mode 0660). Without ids the file holds only its comment, and grants nothing.
std::string UdevRules(const IdList& list);

}  // namespace tavlin::usb
