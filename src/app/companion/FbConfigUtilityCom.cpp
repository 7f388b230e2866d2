// FbConfigUtility.com: the console companion of FbConfigUtility.exe. A command prompt does
// not wait for a program of the windows subsystem, so "FbConfigUtility 1024" at a prompt
// would return before the update ends, with an %ERRORLEVEL% that is not the program's.
// PATHEXT puts .COM before .EXE, so the prompt starts this instead: it starts
// FbConfigUtility.exe from its own folder with the same command-line tail and standard
// handles, waits for it and ends with its exit code.
//
// Kept tiny and free of any runtime library: its own entry point, kernel32 only.
#include <windows.h>

namespace {

// Where the command line's first word (the program's name, as the system splits it for
// any program) ends: the tail starts there, blanks and all.
const wchar_t* CommandTail(const wchar_t* line)
{
  if (*line == L'"') {
    ++line;
    while (*line && *line != L'"') ++line;
    return *line ? line + 1 : line;
  }
  while (*line && *line != L' ' && *line != L'\t') ++line;
  return line;
}

unsigned Length(const wchar_t* text)
{
  return static_cast<unsigned>(lstrlenW(text));
}

void Say(const char* text)
{
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
}

// Heap memory that is given back when it goes out of scope.
class Buffer {
public:
  explicit Buffer(unsigned count)
      : data_(static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(wchar_t))))
  {
  }
  ~Buffer()
  {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  wchar_t* get() const { return data_; }

private:
  wchar_t* data_;
};

class Handle {
public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle()
  {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
};

constexpr wchar_t kProgram[] = L"FbConfigUtility.exe";

UINT Run()
{
  // This file's own path, long names included.
  unsigned size = MAX_PATH;
  for (;;) {
    Buffer self(size);
    if (!self.get()) break;
    const DWORD got = GetModuleFileNameW(nullptr, self.get(), size);
    if (got == 0) break;
    if (got >= size) {
      size *= 2;
      continue;
    }
    unsigned folderEnd = got;
    while (folderEnd > 0 && self.get()[folderEnd - 1] != L'\\' && self.get()[folderEnd - 1] != L'/') --folderEnd;

    const wchar_t* tail = CommandTail(GetCommandLineW());
    const unsigned programLength = folderEnd + Length(kProgram);
    const unsigned lineLength = programLength + 2 + Length(tail);
    Buffer program(programLength + 1);
    Buffer line(lineLength + 1);
    if (!program.get() || !line.get()) break;
    unsigned at = 0;
    for (unsigned i = 0; i < folderEnd; ++i) program.get()[at++] = self.get()[i];
    for (unsigned i = 0; kProgram[i]; ++i) program.get()[at++] = kProgram[i];
    at = 0;
    line.get()[at++] = L'"';
    for (unsigned i = 0; i < programLength; ++i) line.get()[at++] = program.get()[i];
    line.get()[at++] = L'"';
    for (unsigned i = 0; tail[i]; ++i) line.get()[at++] = tail[i];

    // The same standard handles, made inheritable so that the program gets them.
    // Zeroed by hand: without a runtime library there is no memset to call.
    STARTUPINFOW startup;
    RtlSecureZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE standard[] = {startup.hStdInput, startup.hStdOutput, startup.hStdError};
    for (HANDLE h : standard)
      if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    // Its own show state as well, so a hidden start stays hidden.
    STARTUPINFOW own;
    GetStartupInfoW(&own);
    if (own.dwFlags & STARTF_USESHOWWINDOW) {
      startup.dwFlags |= STARTF_USESHOWWINDOW;
      startup.wShowWindow = own.wShowWindow;
    }
    PROCESS_INFORMATION started;
    RtlSecureZeroMemory(&started, sizeof started);
    if (!CreateProcessW(program.get(), line.get(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
      Say("FbConfigUtility.com: FbConfigUtility.exe could not be started from this file's folder.\r\n");
      return 1;
    }
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);
    // Only the program's own end ends this wait, as a prompt waits for a console program;
    // the program bounds its own waits.
    DWORD code = 1;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code))
      code = 1;
    return code;
  }
  Say("FbConfigUtility.com: out of memory or no own path.\r\n");
  return 1;
}

} // namespace

extern "C" void CompanionEntry()
{
  ExitProcess(Run());
}
