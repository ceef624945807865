#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/directory_win32.h"
#include "platform/file_io.h"
#include "platform/temp_name.h"
#include "platform/win32_text.h"

namespace tolvane {

const char kPathSeparator = '\\';
const int kNameTaken = ERROR_ALREADY_EXISTS;

namespace {

// Others may go on reading, writing, renaming or deleting the files we use.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE as_handle(NativeFile file) {
  return reinterpret_cast<HANDLE>(file);
}
NativeFile as_native(HANDLE handle) {
  return reinterpret_cast<NativeFile>(handle);
}
int last_error() {
  return static_cast<int>(GetLastError());
}

// The file open as `file`, with its size and modification time now; nothing
// when the system would not say.
std::optional<InputFile> described(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) == 0) {
    return std::nullopt;
  }
  const FILETIME& time = info.ftLastWriteTime;
  return InputFile{
      as_native(file), (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
      static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime)};
}

FileIdentity identity_of(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

OrError<Directory> open_directory(const std::string& path) {
  std::optional<std::wstring> resolved = resolve_directory(path);
  if (!resolved) {
    return {{}, last_error()};
  }
  return {std::make_shared<const PlatformDirectory>(PlatformDirectory{std::move(*resolved)}), 0};
}

// Windows has no soft limit on handles.
std::size_t raise_open_file_limit() {
  return std::numeric_limits<std::size_t>::max();
}

// Windows reads ahead on its own, and further for a file opened for
// sequential reading.
std::optional<InputFile> open_regular_file(const Directory& directory, const std::string& name,
                                           std::uint64_t /*read_ahead*/) {
  if (!directory) {
    return std::nullopt;
  }
  const HANDLE handle = CreateFileW(directory->entry(name).c_str(), GENERIC_READ, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  // A named pipe, or a link to a device, is not a file on disk.
  std::optional<InputFile> input =
      GetFileType(handle) == FILE_TYPE_DISK ? described(handle) : std::nullopt;
  if (!input) {
    CloseHandle(handle);
  }
  return input;
}

std::optional<FileIdentity> identity_at(const Directory& directory, const std::string& name) {
  if (!directory) {
    return std::nullopt;
  }
  // No access asked for: only what the file is. A link is opened itself.
  const HANDLE handle =
      CreateFileW(directory->entry(name).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return known ? std::optional<FileIdentity>(identity_of(info)) : std::nullopt;
}

// Windows has no way to ask without reading.
bool in_memory(const InputFile& /*input*/, std::uint64_t /*offset*/) {
  return false;
}

bool changed_since_open(const InputFile& input) {
  const std::optional<InputFile> now = described(as_handle(input.file));
  return !now || now->size != input.size || now->modified != input.modified;
}

IoResult read_at(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (ReadFile(as_handle(file), buffer + done, static_cast<DWORD>(size - done), &got, &at) == 0) {
      const int error = last_error();
      return {done, error == ERROR_HANDLE_EOF ? 0 : error};
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  return {done, 0};
}

int write_all(NativeFile file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD put = 0;
    if (WriteFile(as_handle(file), data, static_cast<DWORD>(size), &put, nullptr) == 0) {
      return last_error();
    }
    data += put;
    size -= put;
  }
  return 0;
}

int set_file_size(NativeFile file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(as_handle(file), FileEndOfFileInfo, &end, sizeof end) != 0
             ? 0
             : last_error();
}

int close_file(NativeFile file) {
  return CloseHandle(as_handle(file)) != 0 ? 0 : last_error();
}

std::string error_text(int error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      length > 0 ? to_utf8(std::wstring_view(text, length)) : "error " + std::to_string(error);
  LocalFree(text);
  // System messages end in ".\r\n"; the console line adds its own end.
  message.erase(message.find_last_not_of(" .\r\n") + 1);
  return message;
}

namespace {

// Marks the open file to be deleted when its last handle closes, or clears
// that mark; so a process that dies mid-copy leaves no temporary file.
void set_delete_on_close(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(remove ? TRUE : FALSE)};
  SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// Renames the open `file` to `target`, with `replace` over a file or link there.
int rename_open_file(HANDLE file, const std::wstring& target, bool replace) {
  const std::size_t name_bytes = target.size() * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(rename->FileName, target.data(), name_bytes);
  return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size())) != 0
             ? 0
             : last_error();
}

}  // namespace

// Windows has no file without a name: the output gets a temporary one, and is
// marked for deletion until it is published.
OrError<StagedFile> StagedFile::create(const Directory& directory) {
  int error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    std::string name = temp_file_name(GetCurrentProcessId());
    // CREATE_NEW fails on anything at the path, a link included.
    const HANDLE created =
        CreateFileW(directory->entry(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                    kShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
      set_delete_on_close(created, true);
      return staged(as_native(created), directory, std::move(name));
    }
    error = last_error();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  return {{}, error};
}

OrError<StagedFile> StagedFile::staged(NativeFile file, const Directory& directory,
                                       std::string temp_name) {
  StagedFile staged_file(file, directory, std::move(temp_name), {});
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(as_handle(file), &info) == 0) {
    const int error = last_error();
    return {{}, error};  // the file is discarded on the way out
  }
  staged_file.identity_ = identity_of(info);
  return {std::move(staged_file), 0};
}

OrError<FileIdentity> StagedFile::publish(const std::string& name, bool replace) {
  set_delete_on_close(as_handle(file_), false);
  const int error = rename_open_file(as_handle(file_), directory_->entry(name), replace);
  if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
    set_delete_on_close(as_handle(file_), true);
    return {{}, kNameTaken};
  }
  if (error != 0) {
    discard();
    return {{}, error};
  }
  temp_name_.clear();
  // CloseHandle reports no delayed write errors; WriteFile already did.
  close_file(std::exchange(file_, kNoFile));
  return {identity_, 0};
}

void StagedFile::discard() {
  if (file_ != kNoFile) {
    set_delete_on_close(as_handle(file_), true);
    close_file(std::exchange(file_, kNoFile));
  }
  if (!temp_name_.empty()) {
    // Where the mark could not be set.
    DeleteFileW(directory_->entry(temp_name_).c_str());
    temp_name_.clear();
  }
}

}  // namespace tolvane
