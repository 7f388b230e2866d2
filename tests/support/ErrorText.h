#pragma once
// The message an action raises, for tests that compare error texts.

#include <functional>
#include <string>

#include "base/Exceptions.h"

namespace fbu::test {

// The text of the list error the action raises, or a marker when it raises none.
inline std::string ListErrorOf(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EListError& e) {
    return e.what();
  }
  return "<no EListError>";
}

// The text of the client error the action raises (its SQLCode into sqlCode when given);
// another of our errors is marked "other: ", and no error at all is marked too.
inline std::string ClientErrorOf(const std::function<void()>& action, int* sqlCode = nullptr)
{
  try {
    action();
  } catch (const EIBClientError& e) {
    if (sqlCode) *sqlCode = e.SQLCode;
    return e.what();
  } catch (const Exception& e) {
    return std::string("other: ") + e.what();
  }
  return "(nothing raised)";
}

} // namespace fbu::test
