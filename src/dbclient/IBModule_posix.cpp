#include <dlfcn.h>

#include <cerrno>
#include <string>

#include "dbclient/IBModule.h"
#include "dbclient/PEImage.h"

namespace fbu {

namespace {

class PosixModule : public IModule {
public:
  explicit PosixModule(void* handle) noexcept : handle_(handle) {}
  ~PosixModule() override
  {
    if (handle_) ::dlclose(handle_);
  }
  PosixModule(const PosixModule&) = delete;
  PosixModule& operator=(const PosixModule&) = delete;
  void* Symbol(const char* name) override
  {
    void* address = ::dlsym(handle_, name);
    // dlsym reports a missing name only as text; ENOENT is the nearest code.
    if (!address) lastError_ = ENOENT;
    return address;
  }
  std::uint32_t LastError() const override { return lastError_; }
  void KeepLoaded() noexcept override { handle_ = nullptr; }

private:
  void* handle_;
  std::uint32_t lastError_ = 0;
};

} // namespace

bool SystemModuleHost::FindServerFolder(Text& folder)
{
  // No Windows service manager here, so no server installation to find.
  folder.clear();
  return false;
}

bool SystemModuleHost::IsX64Image(const Text& path)
{
  return fbu::IsX64Image(path);
}

std::unique_ptr<IModule> SystemModuleHost::Load(const Text& path)
{
  std::string native = ToUtf8(path);
  for (char& c : native)
    if (c == '\\') c = '/';
  void* handle = ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  return std::make_unique<PosixModule>(handle);
}

} // namespace fbu
