#pragma once
// What the stand-in service and the tests that steer it agree on.

namespace fbu::test::standin {

// Next to the executable: "key=value" lines, read at each start and at each control.
inline constexpr wchar_t kControlFile[] = L"standin-control.txt";
// In the instance folder (the parent of the executable's folder): one line per start.
inline constexpr wchar_t kStartLog[] = L"standin-starts.log";
// A user-defined control that only makes the service read its control file again, so a
// test can lift "accept-stop=0" from a running service before stopping it.
inline constexpr unsigned long kReloadControl = 200;

} // namespace fbu::test::standin
