#pragma once
// What the client-library loader needs from the operating system, behind two small
// interfaces so that the location and binding logic is the same code everywhere:
// Windows implements them with LoadLibraryW/GetProcAddress/GetLastError and the
// service manager, the native build with dlopen/dlsym.

#include <cstdint>
#include <memory>

#include "base/Text.h"

namespace fbu {

// One loaded library. Destroying it releases the library unless KeepLoaded was called.
class IModule {
public:
  virtual ~IModule() = default;
  // The address exported under name, or nullptr (LastError then tells why).
  virtual void* Symbol(const char* name) = 0;
  // The system's error code left by the last failed Symbol call.
  virtual std::uint32_t LastError() const = 0;
  // The library then stays loaded until the process ends, whatever happens to this object.
  virtual void KeepLoaded() noexcept = 0;
};

class IModuleHost {
public:
  virtual ~IModuleHost() = default;
  // The single executable folder of the local Firebird server services; false when
  // there is none or more than one.
  virtual bool FindServerFolder(Text& folder) = 0;
  // True for an x64 image, false for a 32-bit x86 image or when no file is at the path;
  // raises for an unreadable file or another kind of image.
  virtual bool IsX64Image(const Text& path) = 0;
  // Loads a library by full path, or by bare file name through the system's ordinary
  // search; nullptr when it cannot be loaded.
  virtual std::unique_ptr<IModule> Load(const Text& path) = 0;
};

// The operating system's own host. Natively there is no service manager, so no server
// folder is ever found there; paths are taken in Windows form ("\" becomes "/").
class SystemModuleHost : public IModuleHost {
public:
  bool FindServerFolder(Text& folder) override;
  bool IsX64Image(const Text& path) override;
  std::unique_ptr<IModule> Load(const Text& path) override;
};

} // namespace fbu
