#include <string>

#include <windows.h>

#include "platform/file_io.h"
#include "platform/win32_text.h"

namespace tolvane {

const char kPathSeparator = '\\';
const int kNoSuchDirectoryError = ERROR_PATH_NOT_FOUND;

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

}  // namespace

std::optional<InputFile> open_regular_file(const std::string& path) {
  const HANDLE handle = CreateFileW(system_path(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  // A name like CON or a named pipe opens a device, not a file on disk.
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || GetFileSizeEx(handle, &size) == 0) {
    CloseHandle(handle);
    return std::nullopt;
  }
  return InputFile{as_native(handle), static_cast<std::uint64_t>(size.QuadPart)};
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

// Windows copies whole files in the kernel, not ranges of one into another.
KernelCopyResult kernel_copy_to_end(NativeFile /*input*/, std::uint64_t /*offset*/,
                                    NativeFile /*output*/) {
  return {0, 0, true};
}

CreateResult create_new_file(const std::string& path) {
  // CREATE_NEW fails on anything at `path`, a link included.
  const HANDLE handle = CreateFileW(system_path(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const int error = last_error();
    return {-1, error, error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
  }
  return {as_native(handle), 0, false};
}

// Windows has no file without a name; outputs go by a temporary name instead.
std::optional<NativeFile> create_unnamed_file(const std::string& /*directory*/) {
  return std::nullopt;
}

CreateResult link_file(NativeFile file, const std::string& /*path*/) {
  return {file, ERROR_NOT_SUPPORTED, false};
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

int close_file(NativeFile file) {
  return CloseHandle(as_handle(file)) != 0 ? 0 : last_error();
}

int rename_replacing(const std::string& from, const std::string& to) {
  return MoveFileExW(system_path(from).c_str(), system_path(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0
             ? 0
             : last_error();
}

void remove_file(const std::string& path) {
  DeleteFileW(system_path(path).c_str());
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
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

std::string track_name_text(std::string_view raw) {
  const auto size = static_cast<int>(raw.size());
  if (size == 0 ||
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw.data(), size, nullptr, 0) > 0) {
    return std::string(raw);
  }
  // Not UTF-8: the bytes are text of the system's ANSI code page, as they
  // were to a program that wrote them there.
  const int length = MultiByteToWideChar(CP_ACP, 0, raw.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, raw.data(), size, wide.data(), length);
  return to_utf8(wide);
}

unsigned long current_process_id() {
  return GetCurrentProcessId();
}

}  // namespace tolvane
