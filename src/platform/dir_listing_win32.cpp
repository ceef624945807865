#include <windows.h>

#include "platform/dir_listing.h"
#include "platform/directory_win32.h"
#include "platform/win32_text.h"

namespace tolvane {

struct ListingState {
  HANDLE find;            // INVALID_HANDLE_VALUE for a directory with no entries at all
  WIN32_FIND_DATAW data;  // the entry FindFirstFileW delivered, until it is handed out
  bool first_pending;
};

namespace {

// Volume serial number and file index; for links and junctions these are
// those of the directory they lead to.
std::optional<DirIdentity> identity_of(const std::wstring& directory) {
  // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFile open a directory. A
  // drive's root, "\\?\C:", needs its separator back: without it, it is the volume.
  const std::wstring path = directory.back() == L':' ? directory + L"\\" : directory;
  const HANDLE handle =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) {
    return std::nullopt;
  }
  return DirIdentity{info.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

OrError<Listing> listing_of(OrError<Directory> opened) {
  if (opened.error != 0) {
    return {{}, opened.error};
  }
  const std::wstring& directory = opened.value->path;
  auto* state = new ListingState{INVALID_HANDLE_VALUE, {}, true};
  state->find = FindFirstFileW((directory + L"\\*.*").c_str(), &state->data);
  if (state->find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // The root of an empty drive has no "." or "..", so nothing matches at
    // all; a directory that is not there gives ERROR_PATH_NOT_FOUND instead.
    if (error != ERROR_FILE_NOT_FOUND) {
      delete state;
      return {{}, error != 0 ? static_cast<int>(error) : ERROR_PATH_NOT_FOUND};
    }
    state->first_pending = false;
  }
  // Members are made in order: the identity is read before the path moves.
  return {{std::unique_ptr<ListingState, ListingCloser>(state), std::move(opened.value),
           identity_of(directory)},
          0};
}

}  // namespace

OrError<Listing> open_listing(const std::string& path) {
  return listing_of(open_directory(path));
}

// Only a path: whether the directory is there, its listing tells.
OrError<Listing> open_listing(const Listing& parent, const std::string& name) {
  return listing_of(
      {std::make_shared<const PlatformDirectory>(PlatformDirectory{parent.directory->entry(name)}),
       0});
}

OrError<std::optional<DirEntry>> next_entry(const Listing& listing) {
  ListingState& state = *listing.state;
  if (state.first_pending) {
    state.first_pending = false;
  } else if (state.find == INVALID_HANDLE_VALUE) {
    return {std::nullopt, 0};
  } else if (FindNextFileW(state.find, &state.data) == 0) {
    const DWORD error = GetLastError();
    return {std::nullopt, error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(error)};
  }
  const bool is_directory = (state.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return {DirEntry{to_utf8(state.data.cFileName),
                   is_directory ? EntryKind::kDirectory : EntryKind::kFile},
          0};
}

void ListingCloser::operator()(ListingState* state) const {
  if (state->find != INVALID_HANDLE_VALUE) {
    FindClose(state->find);
  }
  delete state;
}

}  // namespace tolvane
