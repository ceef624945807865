#include <windows.h>

#include "platform/dir_listing.h"
#include "platform/win32_text.h"

namespace tolvane {

struct DirListing {
  HANDLE find;            // INVALID_HANDLE_VALUE for a directory with no entries at all
  WIN32_FIND_DATAW data;  // the entry FindFirstFileW delivered, until it is handed out
  bool first_pending;
  DWORD end_error;
};

namespace {

// Volume serial number and file index; for links and junctions these are
// those of the directory they lead to.
std::optional<DirIdentity> identity_of(const std::string& directory) {
  // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFile open a directory.
  const HANDLE handle = CreateFileW(system_path(directory).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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

}  // namespace

OpenedListing open_listing(const std::string& directory) {
  // An empty directory would make the pattern "\*.*": the current drive's root.
  if (directory.empty()) {
    return {nullptr, ERROR_PATH_NOT_FOUND, std::nullopt};
  }
  const std::string pattern = directory + "\\*.*";
  auto* listing = new DirListing{INVALID_HANDLE_VALUE, {}, true, ERROR_NO_MORE_FILES};
  listing->find = FindFirstFileW(system_path(pattern).c_str(), &listing->data);
  if (listing->find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // The root of an empty drive has no "." or "..", so nothing matches at
    // all; a directory that is not there gives ERROR_PATH_NOT_FOUND instead.
    if (error != ERROR_FILE_NOT_FOUND) {
      delete listing;
      return {nullptr, error != 0 ? static_cast<int>(error) : ERROR_PATH_NOT_FOUND, std::nullopt};
    }
    listing->first_pending = false;
  }
  return {listing, 0, identity_of(directory)};
}

std::optional<DirEntry> next_entry(DirListing* listing) {
  if (listing->first_pending) {
    listing->first_pending = false;
  } else if (listing->find == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  } else if (FindNextFileW(listing->find, &listing->data) == 0) {
    // Read here rather than after FindClose: nothing can change it in between.
    listing->end_error = GetLastError();
    return std::nullopt;
  }
  const bool is_directory = (listing->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return DirEntry{to_utf8(listing->data.cFileName),
                  is_directory ? EntryKind::kDirectory : EntryKind::kFile};
}

int close_listing(DirListing* listing) {
  if (listing->find != INVALID_HANDLE_VALUE) {
    FindClose(listing->find);
  }
  const DWORD end_error = listing->end_error;
  delete listing;
  return end_error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(end_error);
}

}  // namespace tolvane
