#include "base/Startup.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace fbu {

void StartupSequence::Register(UnitSteps unit)
{
  for (const auto& u : units_)
    if (u.name == unit.name) throw std::logic_error("unit registered twice: " + unit.name);
  units_.push_back(std::move(unit));
}

std::vector<std::size_t> StartupSequence::Order() const
{
  // Depth-first topological order; a unit named as a need but never registered is
  // simply absent from this program.
  std::vector<int> state(units_.size(), 0); // 0 new, 1 visiting, 2 done
  std::vector<std::size_t> order;
  std::function<void(std::size_t)> visit = [&](std::size_t i) {
    if (state[i] == 2) return;
    if (state[i] == 1) throw std::logic_error("start-up dependency cycle at " + units_[i].name);
    state[i] = 1;
    for (const auto& need : units_[i].needs) {
      auto it = std::find_if(units_.begin(), units_.end(), [&](const UnitSteps& u) { return u.name == need; });
      if (it != units_.end()) visit(static_cast<std::size_t>(it - units_.begin()));
    }
    state[i] = 2;
    order.push_back(i);
  };
  for (std::size_t i = 0; i < units_.size(); ++i) visit(i);
  return order;
}

void StartupSequence::Startup()
{
  for (std::size_t i : Order()) {
    if (std::find(startedIndexes_.begin(), startedIndexes_.end(), i) != startedIndexes_.end()) continue;
    try {
      if (units_[i].startup) units_[i].startup();
    } catch (...) {
      try {
        Shutdown();
      } catch (...) {
        // The start-up failure is the one worth reporting.
      }
      throw;
    }
    startedIndexes_.push_back(i);
    started_.push_back(units_[i].name);
  }
}

void StartupSequence::Shutdown()
{
  std::exception_ptr first;
  while (!startedIndexes_.empty()) {
    const std::size_t i = startedIndexes_.back();
    startedIndexes_.pop_back();
    started_.pop_back();
    try {
      if (units_[i].shutdown) units_[i].shutdown();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

int RunUnits(StartupSequence& sequence, const std::function<int()>& body,
             const std::function<void(const std::exception&)>& report)
{
  try {
    sequence.Startup();
  } catch (const std::exception& e) {
    report(e);
    return 1;
  }
  int result = 0;
  try {
    result = body();
  } catch (const std::exception& e) {
    report(e);
    result = 1;
  }
  try {
    sequence.Shutdown();
  } catch (const std::exception& e) {
    report(e);
    result = 1;
  }
  return result;
}

} // namespace fbu
