#pragma once
// The stop and start phases of an update on the machine's real services.

#include <functional>
#include <memory>
#include <vector>

#include "app/services/ServiceSwitch.h"
#include "base/Text.h"

namespace fbu {

inline constexpr char16_t kFirebirdServiceName[] = u"FirebirdServerDefaultInstance";

#ifdef _WIN32

// A port on one service of the local service control manager, asking of it only what
// the phase needs (stop and query, or start and query).
std::unique_ptr<ServicePort> OpenServicePort(const Text& name, bool start);

// Stop phase (Start false) or start phase (Start true) of an update. Never raises.
bool SwitchFirebirdService(bool Start);
// The same with the whole outcome, calling pump between the polls of its waits so that
// the caller's window keeps answering; an empty pump is never called.
ServiceSwitchOutcome SwitchFirebirdService(bool Start, const std::function<void()>& pump);
// The same phase on any service; the start phase starts restartAfter (the dependents its
// stop phase stopped) once the service runs.
ServiceSwitchOutcome SwitchService(const Text& name, bool start, const std::function<void()>& pump,
                                   const std::vector<Text>& restartAfter = {});

#endif

} // namespace fbu
