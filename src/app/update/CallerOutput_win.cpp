// The caller's output channel.
#include "app/update/CallerOutput.h"

#include <cstring>

namespace fbu {

namespace {

// The code page the caller's tools decode a program's output with: that of the console
// the caller runs in (PowerShell and Ansible's win_command read it so), else the OEM one.
UINT CallerCodePage()
{
  if (const UINT attached = GetConsoleOutputCP()) return attached;
  UINT page = 0;
  // A program of the windows subsystem has no console of its own: it asks its parent's.
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    page = GetConsoleOutputCP();
    FreeConsole();
  }
  return page ? page : GetOEMCP();
}

// text in code page; characters the page lacks become '?'.
std::string Encode(TextView text, UINT page)
{
  if (text.empty()) return {};
  if (page == CP_UTF8) return ToUtf8(text);
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const char* fallback = "?";
  int length = WideCharToMultiByte(page, flags, wide, size, nullptr, 0, fallback, nullptr);
  if (length == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Some pages (UTF-7, the ISO-2022 ones) take neither flags nor a default character.
    flags = 0;
    fallback = nullptr;
    length = WideCharToMultiByte(page, flags, wide, size, nullptr, 0, fallback, nullptr);
  }
  if (length <= 0) return ToUtf8(text);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(page, flags, wide, size, bytes.data(), length, fallback, nullptr);
  return bytes;
}

// "FbConfigUtility 1.0.0.0", the file version from the module's version resource; the
// name alone when it has none (a test build).
Text ProgramVersionLine()
{
  Text line = u"FbConfigUtility";
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)); // RT_VERSION
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  const DWORD size = found ? SizeofResource(module, found) : 0;
  // VS_FIXEDFILEINFO starts with its signature, on a 32-bit boundary.
  for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + at, sizeof info);
    if (info.dwSignature != 0xFEEF04BD) continue;
    return line + u" " + IntToText(HIWORD(info.dwFileVersionMS)) + u"." + IntToText(LOWORD(info.dwFileVersionMS)) +
           u"." + IntToText(HIWORD(info.dwFileVersionLS)) + u"." + IntToText(LOWORD(info.dwFileVersionLS));
  }
  return line;
}

} // namespace

CallerOutput::CallerOutput()
{
  for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN) {
      handle_ = handle;
      break;
    }
  }
  // A program of the windows subsystem gets no standard handles from a console that
  // starts it; it writes to that console by attaching to it. Without its output there is
  // no console to write to.
  if (!handle_ && AttachConsole(ATTACH_PARENT_PROCESS)) {
    consoleOutput_.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (consoleOutput_) handle_ = consoleOutput_.get();
  }
  DWORD mode = 0;
  console_ = handle_ && GetConsoleMode(handle_, &mode);
  if (handle_ && !console_) codePage_ = CallerCodePage();
}

void CallerOutput::WriteLine(TextView text)
{
  if (!handle_) return;
  Text lines;
  // The first line says which build ran, for the deployment tool's log.
  if (!versionWritten_) {
    versionWritten_ = true;
    lines = ProgramVersionLine() + u"\r\n";
  }
  for (const char16_t c : text) {
    if (c == u'\n' && !lines.ends_with(u'\r')) lines += u'\r';
    lines += c;
  }
  lines += u"\r\n";
  DWORD written = 0;
  if (console_) {
    WriteConsoleW(handle_, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    return;
  }
  const std::string bytes = Encode(lines, codePage_);
  WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace fbu
