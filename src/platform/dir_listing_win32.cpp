#include <windows.h>

#include "platform/dir_listing.h"
#include "platform/directory_win32.h"
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

OpenedListing listing_of(const OpenedDirectory& opened) {
  if (opened.error != 0) {
    return {nullptr, {}, opened.error, std::nullopt};
  }
  const std::wstring& directory = opened.directory.handle()->path;
  auto* listing = new DirListing{INVALID_HANDLE_VALUE, {}, true, ERROR_NO_MORE_FILES};
  listing->find = FindFirstFileW((directory + L"\\*.*").c_str(), &listing->data);
  if (listing->find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // The root of an empty drive has no "." or "..", so nothing matches at
    // all; a directory that is not there gives ERROR_PATH_NOT_FOUND instead.
    if (error != ERROR_FILE_NOT_FOUND) {
      delete listing;
      return {
          nullptr, {}, error != 0 ? static_cast<int>(error) : ERROR_PATH_NOT_FOUND, std::nullopt};
    }
    listing->first_pending = false;
  }
  return {listing, opened.directory, 0, identity_of(directory)};
}

}  // namespace

OpenedListing open_listing(const std::string& path) {
  return listing_of(open_directory(path));
}

OpenedListing open_listing(const Directory& parent, const std::string& name,
                           const std::string& /*path*/) {
  return listing_of(open_directory(parent, name));
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
