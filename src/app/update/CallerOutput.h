#pragma once
// The output an unattended run writes for the tool that started the program.

#ifdef _WIN32
#include <windows.h>

#include "base/Text.h"
#include "base/WinHandles.h"

namespace fbu {

// Where the tool that started the program reads its output: the standard output (else
// error) it passed, a pipe or a file, written in the code page the caller decodes it with
// (its console's output code page, else the OEM one; UTF-8 where that page is 65001;
// characters the page lacks become '?'); else, when it runs in a console, that console,
// attached to. Nothing at all for a start from Explorer. The first line written names the
// program and its version.
class CallerOutput {
public:
  CallerOutput();
  bool Present() const noexcept { return handle_ != nullptr; }
  // Writes text and a line break; line breaks inside it become CR LF.
  void WriteLine(TextView text);

private:
  HANDLE handle_ = nullptr;
  bool console_ = false;
  bool versionWritten_ = false;
  UINT codePage_ = CP_UTF8;
  UniqueFileHandle consoleOutput_; // the console's output, opened after attaching
};

} // namespace fbu
#endif
