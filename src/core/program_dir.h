#pragma once

#include <string>
#include <string_view>

namespace harlox {

// The folder of the program's own executable, with a trailing '/'. Set once at start-up;
// until then it is the current directory.
void setProgramDirectory(std::string_view dir);
void setProgramDirectoryFromExecutable(std::string_view argv0);
const std::string& programDirectory();

// Joins the program directory and a relative name.
std::string programPath(std::string_view relative);

// A path below the program directory (compared without regard to letter case, whole
// folder names only) loses that prefix; any other path is returned unchanged.
std::string makeRelativeToProgramDir(std::string_view path);

// A stored name is absolute when it starts with '/', '\' or a drive letter ("C:");
// anything else lies below the program directory. Backslashes become '/'.
bool isAbsoluteStoredName(std::string_view name);
std::string resolveStoredName(std::string_view name);

// The name and extension part of a path ('/' or '\' separated).
std::string fileNamePart(std::string_view path);
// The upper-cased extension including the dot, "" when there is none.
std::string upperExtension(std::string_view path);

// Where the preference files live: the program directory when it is writable, else
// $XDG_CONFIG_HOME/harlox (default ~/.config/harlox), created on demand.
std::string preferencesDirectory();
// Overrides the preferences folder (tests, the command-line tool).
void setPreferencesDirectory(std::string_view dir);
std::string preferencesPath(std::string_view name);

} // namespace harlox
