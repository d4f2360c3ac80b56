#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace corvanta::platform {

using ShellAssignments = std::map<std::string, std::string, std::less<>>;

// The KEY=VALUE lines of os-release(5) and machine-info(5). Values follow the shell quoting those
// files allow: double quotes with backslash escapes, single quotes taken literally, and bare words
// with backslash escapes. Comments, blank lines and malformed lines (bad key, open quote) are
// skipped; a later line for the same key wins, as it would in a shell.
ShellAssignments parseShellAssignments(std::string_view text);

}  // namespace corvanta::platform
