// Temporary names for staged outputs, shared by the platform files.
#pragma once

#include <atomic>
#include <string>

namespace tolvane {

/// How many names a stage tries before it gives up.
inline constexpr int kTempAttempts = 100;

/// A fresh temporary file name for the process `process`: it begins with a
/// dot, so a walk skips it, and does not end in .wav, so no track has it.
inline std::string temp_file_name(unsigned long process) {
  static std::atomic<unsigned long> serial{0};
  return ".tolvanemusicextract-" + std::to_string(process) + "-" + std::to_string(serial++) +
         ".tmp";
}

}  // namespace tolvane
