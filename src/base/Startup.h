#pragma once
// The ordered start-up and shutdown of the program's units. Each unit registers at most
// one start-up and one shutdown step, naming the units it needs. Startup runs every
// start-up step once, dependencies first (registration order among equals); Shutdown
// runs the shutdown steps of the started units once each, in reverse order. Nothing
// runs from static initialisers: the program entry builds the sequence explicitly.

#include <functional>
#include <string>
#include <vector>

namespace fbu {

struct UnitSteps {
  std::string name;
  std::vector<std::string> needs; // units whose start-up must run first
  std::function<void()> startup;  // may be empty
  std::function<void()> shutdown; // may be empty
};

class StartupSequence {
public:
  // Refuses a second registration of the same unit and a dependency cycle
  // (std::logic_error): both are programming errors.
  void Register(UnitSteps unit);

  // Runs the start-up steps. When one raises, the units already started are shut down
  // in reverse order and the exception propagates.
  void Startup();
  // Runs the shutdown steps of the started units in reverse order; each runs once even
  // when an earlier one raised (the first exception then propagates at the end).
  void Shutdown();

  // Unit names in the order their start-up ran.
  const std::vector<std::string>& StartedUnits() const noexcept { return started_; }

private:
  std::vector<std::size_t> Order() const;
  std::vector<UnitSteps> units_;
  std::vector<std::string> started_;
  std::vector<std::size_t> startedIndexes_;
};

// Runs a whole program around its body: start-up, the body, shutdown. An exception from
// a start-up step is handed to report and the result is 1, without running the body;
// otherwise the body's result (or 1 when shutdown raised) is returned.
int RunUnits(StartupSequence& sequence, const std::function<int()>& body,
             const std::function<void(const std::exception&)>& report);

} // namespace fbu
