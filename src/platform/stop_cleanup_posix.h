// Staged outputs with a temporary name, and what becomes of them when the
// process is stopped by a signal. Shared by the POSIX platform files.
#pragma once

#include <string>

namespace tolvane {

/// Notes the temporary file `name` in the directory open as `dir_fd`, before
/// it is made, so that SIGINT, SIGTERM, SIGHUP or SIGPIPE removes it before
/// the process ends by that signal. The first call sets that up, except for
/// a signal that the process was started with ignored (nohup): it stays so.
/// A name that finds no room among the fixed number kept is not noted.
void remember_temp_file(int dir_fd, const std::string& name);

/// Forgets `name` once it is gone: renamed into place, or removed.
void forget_temp_file(int dir_fd, const std::string& name);

}  // namespace tolvane
