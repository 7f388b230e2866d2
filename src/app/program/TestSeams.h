#pragma once
// Seams through which the end-to-end tests reach what a real machine does not produce on
// demand: a save step that fails, a save stopped at a chosen step, an invisible desktop.
// They exist only where FBU_TEST_SEAMS is defined, which is the fbu_app_seams build that
// FbConfigUtilitySeams.exe links; in FbConfigUtility.exe every seam below is a constant
// that the compiler folds away, and the code that reads the settings is not there.
//
// The test build reads its settings from the environment, at the moment a seam is met:
//   FBU_SEAM_SAVE_FAULT=<step>:<code>   that save step fails with the system error code
//   FBU_SEAM_SAVE_PAUSE=<step>:<event>  at that save step the named event (made by the
//                                       test) is set and the program waits to be killed
//   FBU_SEAM_DESKTOP=invisible          the window station counts as invisible
//   FBU_SEAM_QUERY_FAULT=<code>         looking at a configuration file's path fails with
//                                       that system error code
//   FBU_SEAM_SWAP_ORIGINAL=1            just before a save checks that its file is still
//                                       the one it read, the file is replaced by a copy
//                                       of itself, as another program might do
// Steps: create, protect, write, flush, flushed, replace, replaced (SaveStep, in order).

#include <cstdint>
#include <optional>

namespace fbu::seams {

// The points of one save, in the order it meets them.
enum class SaveStep {
  CreateTemporary, // before the temporary file is made
  Protect,         // before it takes the original's attributes, times and security
  Write,           // before the content is written (a fault writes half of it first)
  Flush,           // written, before the flush
  Flushed,         // flushed, the temporary file still open
  Replace,         // closed, before each attempt of the replace
  Replaced,        // after the replace; a pause only, a fault there is ignored
};

#ifdef FBU_TEST_SEAMS
// 0 when the step runs normally, else the system error code it fails with.
std::uint32_t AtSaveStep(SaveStep step);
// The visibility a test asks for, or nothing for the real check.
std::optional<bool> DesktopVisibility();
// Before a save checks its file's identity: replaces the file at path by a copy when asked.
void AtIdentityCheck(const wchar_t* path);
// 0 when a configuration file's path is looked at normally, else the error it fails with.
std::uint32_t PathQueryFault();
#else
constexpr std::uint32_t AtSaveStep(SaveStep) noexcept
{
  return 0;
}
constexpr std::optional<bool> DesktopVisibility() noexcept
{
  return std::nullopt;
}
constexpr void AtIdentityCheck(const wchar_t*) noexcept {}
constexpr std::uint32_t PathQueryFault() noexcept
{
  return 0;
}
#endif

} // namespace fbu::seams
