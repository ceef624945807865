// Layout of a track container, the one file format the tool reads.
//
//   offset  size  field
//   0       229   leading data, not interpreted
//   229     43    track name: non-NUL bytes ended by a NUL at offset 229..271
//   272     4     "RIFF", the start of the payload
//   276     ...   rest of the RIFF stream, up to the physical end of the file
//
// The payload runs from kPayloadOffset to the end of the file. Its length comes
// from the file's size alone: the RIFF stream's own size field is never read.
#pragma once

#include <cstddef>
#include <string_view>

namespace tolvane {

inline constexpr std::size_t kNameOffset = 229;
inline constexpr std::size_t kNameFieldSize = 43;  // at most 42 name bytes and the NUL
inline constexpr std::size_t kPayloadOffset = 272;
inline constexpr std::string_view kMagic = "RIFF";
inline constexpr std::size_t kCopyBlockSize = 32000;  // deliberately not 32768

static_assert(kNameOffset + kNameFieldSize == kPayloadOffset, "the name field ends at the payload");

}  // namespace tolvane
