#include "extract/track_names.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>
#include <string_view>
#include <utility>

namespace tolvane {
namespace {

constexpr std::string_view kWav = ".wav";
constexpr std::size_t kCompareBlock = std::size_t{64} * 1024;

// Spreads `value` over all 64 bits; never 0, which marks a free slot.
std::uint64_t mixed(std::uint64_t value) {
  value ^= value >> 30;
  value *= 0xBF58476D1CE4E5B9U;
  value ^= value >> 27;
  value *= 0x94D049BB133111EBU;
  value ^= value >> 31;
  return value == 0 ? 1 : value;
}

std::uint64_t combined(std::uint64_t digest, std::uint64_t value) {
  return mixed(digest ^ (value + 0x9E3779B97F4A7C15U + (digest << 6) + (digest >> 2)));
}

// Names, files and copies are digested apart, so that none stands for another.
std::uint64_t name_digest(std::string_view name) {
  const std::uint64_t digest = std::accumulate(  // FNV-1a
      name.begin(), name.end(), std::uint64_t{0xCBF29CE484222325U},
      [](std::uint64_t sum, char byte) {
        return (sum ^ static_cast<unsigned char>(byte)) * 0x100000001B3U;
      });
  return combined(1, digest);
}

std::uint64_t file_digest(const FileIdentity& identity) {
  return combined(combined(2, identity.first), identity.second);
}

// Where a read fails, the digest covers what was read; the bytes are compared
// before anything is taken for a copy.
std::uint64_t content_digest(NativeFile file, std::uint64_t size) {
  std::vector<char> block(kCompareBlock);
  std::uint64_t digest = 3;
  for (std::uint64_t offset = 0; offset < size;) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - offset));
    const IoResult got = read_at(file, offset, block.data(), wanted);
    for (std::size_t i = 0; i < got.bytes; i += sizeof(std::uint64_t)) {
      std::uint64_t word = 0;
      std::memcpy(&word, block.data() + i, std::min(sizeof word, got.bytes - i));
      digest = (digest ^ word) * 0x9E3779B97F4A7C15U;
      digest ^= digest >> 29;
    }
    if (got.bytes < wanted) {
      break;
    }
    offset += got.bytes;
  }
  return mixed(digest ^ size);
}

std::uint64_t copy_digest(std::uint32_t group, std::uint64_t size, std::uint64_t content) {
  return combined(combined(combined(4, group), size), content);
}

bool same_bytes(NativeFile a, NativeFile b, std::uint64_t size) {
  std::vector<char> left(kCompareBlock);
  std::vector<char> right(kCompareBlock);
  for (std::uint64_t offset = 0; offset < size;) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(left.size(), size - offset));
    const IoResult got_left = read_at(a, offset, left.data(), wanted);
    const IoResult got_right = read_at(b, offset, right.data(), wanted);
    if (got_left.bytes != wanted || got_right.bytes != wanted ||
        std::memcmp(left.data(), right.data(), wanted) != 0) {
      return false;
    }
    offset += wanted;
  }
  return true;
}

// "N.wav" for the first of a name, "N (2).wav" for the second, and so on.
std::string numbered(std::string_view stem, std::uint32_t number) {
  std::string name(stem);
  if (number > 1) {
    name.append(" (").append(std::to_string(number)).append(")");
  }
  return name.append(kWav);
}

std::optional<std::uint32_t> group_of(const std::uint32_t* value) {
  return value != nullptr && *value > 0 ? std::optional<std::uint32_t>(*value - 1) : std::nullopt;
}

}  // namespace

const std::uint32_t* DigestTable::find(std::uint64_t digest) const {
  if (digests_.empty()) {
    return nullptr;
  }
  const std::size_t mask = digests_.size() - 1;
  for (std::size_t slot = digest & mask;; slot = (slot + 1) & mask) {
    if (digests_[slot] == digest) {
      return &values_[slot];
    }
    if (digests_[slot] == 0) {
      return nullptr;
    }
  }
}

std::uint32_t& DigestTable::entry(std::uint64_t digest) {
  // Up to seven eighths full: dense, yet a search still ends after few slots.
  if ((size_ + 1) * 8 > digests_.size() * 7) {
    std::vector<std::uint64_t> digests(std::max<std::size_t>(64, digests_.size() * 2));
    std::vector<std::uint32_t> values(digests.size());
    const std::size_t mask = digests.size() - 1;
    for (std::size_t old = 0; old < digests_.size(); ++old) {
      if (digests_[old] != 0) {
        std::size_t slot = digests_[old] & mask;
        while (digests[slot] != 0) {
          slot = (slot + 1) & mask;
        }
        digests[slot] = digests_[old];
        values[slot] = values_[old];
      }
    }
    digests_ = std::move(digests);
    values_ = std::move(values);
  }
  const std::size_t mask = digests_.size() - 1;
  std::size_t slot = digest & mask;
  while (digests_[slot] != 0 && digests_[slot] != digest) {
    slot = (slot + 1) & mask;
  }
  if (digests_[slot] == 0) {
    digests_[slot] = digest;
    ++size_;
  }
  return values_[slot];
}

ExtractResult TrackNames::publish(StagedTrack track) {
  if (track.result.outcome != ExtractOutcome::kExtracted) {
    return std::move(track.result);
  }
  const std::string& first = track.file_name;
  const std::string_view stem = std::string_view(first).substr(0, first.size() - kWav.size());

  // Most names are new to the run: they are taken, or replace what another
  // run or the user left there, at once.
  std::optional<std::uint32_t> group = group_of(written_.find(name_digest(first)));
  if (!group) {
    OrError<FileIdentity> named = track.staged.publish(first, false);
    if (named.error == kNameTaken) {
      const Standing standing = standing_at(first);
      if (!standing.ours) {
        named = track.staged.publish(first, true);
      } else {
        group = standing.group ? *standing.group : new_group(first, standing.identity);
      }
    }
    if (!group) {
      if (named.error == 0) {
        written_.entry(name_digest(first));
        written_.entry(file_digest(named.value));
      }
      return result(first, named.error);
    }
    written_.entry(name_digest(first)) = *group + 1;
  }

  // A name this run has written: the track goes to the first number that it
  // has not, unless one passed over holds the same bytes.
  const NativeFile staged = track.staged.native();
  const std::uint64_t copy = copy_digest(*group, track.size, content_digest(staged, track.size));
  const std::uint32_t* const copy_number = copies_.find(copy);
  if (copy_number != nullptr && holds_same_bytes(numbered(stem, *copy_number), track)) {
    return result(numbered(stem, *copy_number), 0);
  }
  for (std::uint32_t number = next_number_[*group];; ++number) {
    const std::string name = numbered(stem, number);
    OrError<FileIdentity> named = track.staged.publish(name, false);
    if (named.error == kNameTaken) {
      if (standing_at(name).ours) {
        next_number_[*group] = number + 1;
        if (add_copy(*group, number, name) == copy && holds_same_bytes(name, track)) {
          return result(name, 0);
        }
        continue;
      }
      named = track.staged.publish(name, true);
    }
    if (named.error == 0) {
      // The cursor alone records the name, which keeps the tables to one
      // entry a track in a run of one name.
      copies_.entry(copy) = number;
      next_number_[*group] = number + 1;
    }
    return result(name, named.error);
  }
}

// Ours when the name or the file is one this run wrote, or a number its
// group has passed. Names are asked as well as files: some drives give a
// file another inode number for each spelling of its name, and a new one
// once they have let go of it.
TrackNames::Standing TrackNames::standing_at(const std::string& name) const {
  const std::optional<FileIdentity> identity = identity_at(output_.directory.value, name);
  const std::uint32_t* const by_file = identity ? written_.find(file_digest(*identity)) : nullptr;
  const std::uint32_t* const by_name = written_.find(name_digest(name));
  const std::optional<std::uint32_t> group = by_file != nullptr ? group_of(by_file) : std::nullopt;
  return {by_file != nullptr || by_name != nullptr || passed_number(name),
          group ? group : group_of(by_name), identity};
}

// Whether `name` is "N (k).wav" for a k below the cursor of the group of
// N.wav: every number there holds a track of this run.
bool TrackNames::passed_number(std::string_view name) const {
  const std::string_view stem = name.substr(0, name.size() - kWav.size());
  const std::size_t open = stem.rfind(" (");
  if (open == std::string_view::npos || stem.back() != ')') {
    return false;
  }
  std::uint32_t number = 0;
  std::from_chars(stem.data() + open + 2, stem.data() + stem.size() - 1, number);
  if (number < 2 || numbered(stem.substr(0, open), number) != name) {
    return false;  // not a name the numbering gives
  }
  const std::string base = std::string(stem.substr(0, open)).append(kWav);
  std::optional<std::uint32_t> group = group_of(written_.find(name_digest(base)));
  if (!group) {
    const std::optional<FileIdentity> identity = identity_at(output_.directory.value, base);
    group = identity ? group_of(written_.find(file_digest(*identity))) : std::nullopt;
  }
  return group && number < next_number_[*group];
}

// The names based on `name`, a track of this run, which is their first.
std::uint32_t TrackNames::new_group(const std::string& name,
                                    const std::optional<FileIdentity>& identity) {
  const auto group = static_cast<std::uint32_t>(next_number_.size());
  next_number_.push_back(2);
  if (identity) {
    // So that other spellings the file system takes for this name join it.
    written_.entry(file_digest(*identity)) = group + 1;
  }
  add_copy(group, 1, name);
  return group;
}

// Notes the track at `name`, number `number` of `group`, for a later track
// with the same bytes. Returns its copy digest, or 0 when it cannot be read.
std::uint64_t TrackNames::add_copy(std::uint32_t group, std::uint32_t number,
                                   const std::string& name) {
  const std::optional<InputFile> file = open_regular_file(output_.directory.value, name, 0);
  if (!file) {
    return 0;
  }
  const std::uint64_t copy = copy_digest(group, file->size, content_digest(file->file, file->size));
  close_file(file->file);
  std::uint32_t& known = copies_.entry(copy);
  if (known == 0) {
    known = number;
  }
  return copy;
}

bool TrackNames::holds_same_bytes(const std::string& name, const StagedTrack& track) const {
  const std::optional<InputFile> file = open_regular_file(output_.directory.value, name, 0);
  if (!file) {
    return false;
  }
  const bool same =
      file->size == track.size && same_bytes(file->file, track.staged.native(), track.size);
  close_file(file->file);
  return same;
}

ExtractResult TrackNames::result(const std::string& name, int error) const {
  std::string path = output_.path + kPathSeparator + name;
  if (error != 0) {
    return {ExtractOutcome::kWriteFailed, std::move(path), error_text(error)};
  }
  return {ExtractOutcome::kExtracted, std::move(path), {}};
}

}  // namespace tolvane
