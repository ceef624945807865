#include <array>
#include <cstddef>
#include <string_view>

#include <windows.h>

#include "platform/dir_listing.h"
#include "platform/directory_win32.h"
#include "platform/win32_text.h"

namespace tolvane {

struct ListingState {
  HANDLE directory;
  // The records the system delivered last (FILE_ID_BOTH_DIR_INFO, each
  // giving the offset of the next), aligned as it requires.
  alignas(LONGLONG) std::array<unsigned char, 4096> records;
  std::size_t next;  // the offset of the next record to hand out, or kNone
  bool listed;       // the system has delivered records
};

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

OrError<Listing> listing_of(OrError<Directory> opened) {
  if (opened.error != 0) {
    return {{}, opened.error};
  }
  // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFile open a directory. A
  // drive's root, "\\?\C:", needs its separator back: without it, it is the
  // volume. Links and junctions are followed, to the directory they lead to.
  const std::wstring& path = opened.value->path;
  const HANDLE directory =
      CreateFileW((path.back() == L':' ? path + L"\\" : path).c_str(), FILE_LIST_DIRECTORY,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (directory == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return {{}, error != 0 ? static_cast<int>(error) : ERROR_PATH_NOT_FOUND};
  }
  // Volume serial number and file index: what the directory is, however reached.
  std::optional<DirIdentity> identity;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(directory, &info) != 0) {
    identity =
        DirIdentity{info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }
  auto* state = new ListingState{directory, {}, kNone, false};
  return {{std::unique_ptr<ListingState, ListingCloser>(state), std::move(opened.value), identity},
          0};
}

}  // namespace

OrError<Listing> open_listing(const std::string& path) {
  return listing_of(open_directory(path));
}

// Only a path: whether the directory is there, its opening tells.
OrError<Listing> open_listing(const Listing& parent, const std::string& name) {
  return listing_of(
      {std::make_shared<const PlatformDirectory>(PlatformDirectory{parent.directory->entry(name)}),
       0});
}

OrError<std::optional<DirEntry>> next_entry(const Listing& listing) {
  ListingState& state = *listing.state;
  if (state.next == kNone) {
    if (GetFileInformationByHandleEx(state.directory, FileIdBothDirectoryInfo, state.records.data(),
                                     static_cast<DWORD>(state.records.size())) == 0) {
      const DWORD error = GetLastError();
      // The root of an empty drive has no "." or "..": nothing at all to list.
      const bool ended =
          error == ERROR_NO_MORE_FILES || (error == ERROR_FILE_NOT_FOUND && !state.listed);
      return {std::nullopt, ended ? 0 : static_cast<int>(error)};
    }
    state.listed = true;
    state.next = 0;
  }
  const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(&state.records[state.next]);
  state.next = record->NextEntryOffset == 0 ? kNone : state.next + record->NextEntryOffset;
  const bool is_directory = (record->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // The file ID is the file's place in the volume's table of files, which
  // files written one after another fill in order, as they fill the disk.
  return {DirEntry{to_utf8(std::wstring_view(record->FileName,
                                             record->FileNameLength / sizeof(wchar_t))),
                   is_directory ? EntryKind::kDirectory : EntryKind::kFile,
                   static_cast<std::uint64_t>(record->FileId.QuadPart)},
          0};
}

void ListingCloser::operator()(ListingState* state) const {
  CloseHandle(state->directory);
  delete state;
}

}  // namespace tolvane
