// Staged outputs with a temporary name, and what becomes of them when the
// process is stopped by a signal. Shared by the POSIX platform files.
#pragma once

#include <string>

namespace tolvane {

/// Notes the temporary file `name` in the directory open as `dir_fd`, before
/// it is made, so that SIGINT, SIGTERM, SIGHUP or SIGPIPE removes it before
/// ending the process. A signal ignored at the start (nohup) stays ignored.
void remember_temp_file(int dir_fd, const std::string& name);

/// Forgets `name` once it is gone: renamed into place, or removed.
void forget_temp_file(int dir_fd, const std::string& name);

}  // namespace tolvane
