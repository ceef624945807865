// The names a run gives its tracks. A track never replaces another track of
// the same run: tracks of one name go to N.wav, N (2).wav, N (3).wav, ... in
// the order they are published, and one whose bytes a name passed over
// already holds writes nothing. Names are one when the file system says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/extract.h"

namespace tolvane {

/// 64-bit digests, each with a small value, in one open-addressed table: a
/// few bytes for each, however many a run holds.
class DigestTable {
 public:
  /// The value of `digest`, or null when it is not in the table.
  const std::uint32_t* find(std::uint64_t digest) const;
  /// The value of `digest`, added as 0 when it is new; valid until the next call.
  std::uint32_t& entry(std::uint64_t digest);

 private:
  std::vector<std::uint64_t> digests_;  // 0 marks a free slot
  std::vector<std::uint32_t> values_;
  std::size_t size_ = 0;
};

/// Publishes the tracks of one run into `output`, one at a time.
class TrackNames {
 public:
  explicit TrackNames(const OutputDir& output) : output_(output) {}

  /// Gives an extracted track the first of N.wav, N (2).wav, ... that this
  /// run has not written, replacing whatever else stands there, or nothing
  /// when a name passed over holds a track of this run with the same bytes.
  ExtractResult publish(StagedTrack track);

 private:
  struct Standing {
    bool ours;                           // a track this run wrote
    std::optional<std::uint32_t> group;  // the group of names based on it
    std::optional<FileIdentity> identity;
  };

  Standing standing_at(const std::string& name) const;
  bool passed_number(std::string_view name) const;
  std::uint32_t new_group(const std::string& name, const std::optional<FileIdentity>& identity);
  std::uint64_t add_copy(std::uint32_t group, std::uint32_t number, const std::string& name);
  bool holds_same_bytes(const std::string& name, const StagedTrack& track) const;
  ExtractResult result(const std::string& name, int error) const;

  const OutputDir& output_;
  // Digests of the names and files this run wrote as their first names: the
  // group based on one plus one, or 0.
  DigestTable written_;
  // Digests of (group, size, bytes) of the tracks a group holds: their number.
  DigestTable copies_;
  // For each group of one name, the first number not yet passed over.
  std::vector<std::uint32_t> next_number_;
};

}  // namespace tolvane
