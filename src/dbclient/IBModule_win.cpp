#include <windows.h>

#include "base/WinHandles.h"
#include "dbclient/IBModule.h"
#include "dbclient/PEImage.h"
#include "tools/ServiceQueries.h"

namespace fbu {

namespace {

class WinModule : public IModule {
public:
  explicit WinModule(UniqueModule module) noexcept : module_(std::move(module)) {}
  void* Symbol(const char* name) override
  {
    const FARPROC address = GetProcAddress(module_.get(), name);
    if (!address) lastError_ = GetLastError();
    return reinterpret_cast<void*>(address);
  }
  std::uint32_t LastError() const override { return lastError_; }
  void KeepLoaded() noexcept override { module_.release(); }

private:
  UniqueModule module_;
  DWORD lastError_ = 0;
};

} // namespace

bool SystemModuleHost::FindServerFolder(Text& folder)
{
  return GetFirebirdServerFolder(folder, Text());
}

bool SystemModuleHost::IsX64Image(const Text& path)
{
  return fbu::IsX64Image(path);
}

std::unique_ptr<IModule> SystemModuleHost::Load(const Text& path)
{
  UniqueModule module(LoadLibraryW(WidePtr(path)));
  if (!module) return nullptr;
  return std::make_unique<WinModule>(std::move(module));
}

} // namespace fbu
