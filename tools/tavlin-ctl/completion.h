// What the shell's completion offers, asked of the program itself so it never drifts from the
// option table, the settings and the file formats: `tavlin-ctl --complete WHAT` (hidden).
#pragma once

namespace ctl {

// WHAT: "options" (one line per option: long name, short name or "-", and what its value is:
// flag, value, file, format, settings, assignments, scene or pacing), "settings", "formats",
// "scenes" or "pacing". Returns the exit status (64 for an unknown WHAT).
int PrintCompletions(const char* what);

}  // namespace ctl
