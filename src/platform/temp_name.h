// Temporary names for staged outputs, shared by the platform files.
#pragma once

#include <atomic>
#include <string>

namespace tolvane {

/// How many names a stage tries before it gives up.
inline constexpr int kTempAttempts = 100;

/// A fresh temporary file name for this process. It starts with a dot, so a
/// walk of the output directory skips it, and never ends in .wav, so it
/// cannot collide with a track; `process` and a counter keep runs and threads
/// apart.
inline std::string temp_file_name(unsigned long process) {
  static std::atomic<unsigned long> serial{0};
  return ".tolvanemusicextract-" + std::to_string(process) + "-" + std::to_string(serial++) +
         ".tmp";
}

}  // namespace tolvane
