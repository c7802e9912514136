// The request runner: every fiscal operation of the menu is a scenario, a
// fixed list of requests sent one at a time, each awaited and examined before
// the next one is created.
#pragma once

#include "connection/talmer.h"

#include <string>
#include <vector>

namespace fiscal_menu {

enum class Creation {
  Plain,         ///< FPD_CreateRequest(device, name)
  WithParamList, ///< FPD_CreateRequestEx(device, name, paramList)
};

/// A parameter given with FPD_PushRequestParam after creation: values that
/// hold line feeds cannot go into a ParamList.
struct PushedParam {
  std::string key;
  std::string value;
};

/// One request of a scenario.
struct Step {
  std::string name;
  Creation creation = Creation::Plain;
  std::string paramList; ///< empty for the plain form
  std::vector<PushedParam> pushed;
};

struct Scenario {
  std::vector<Step> steps;
  /// Send "prncancel" when a step fails (every scenario of two or more steps).
  bool cancelOnFailure = false;
};

/// Prints "Błąd: code - description" for a nonzero code; returns the code.
ErrorCode printError(ErrorCode code);

/// Waits for the request in slices of 10000 ms; after each slice without an
/// answer shows the printer status and asks the operator whether to go on.
/// True when the request has completed; false on an error, when the operator
/// answers N, or when standard input has ended.
bool waitWithPrompt(Request hRequest, Device device);

/// Runs the steps in order and stops at the first failure: the request held
/// is destroyed and, with cancelOnFailure, "prncancel" follows.
void runScenario(Device device, const Scenario &scenario);

/// Creates, posts, awaits for 5000 ms and destroys "prncancel"; prints the
/// errors and goes on whatever happens.
void sendCancel(Device device);

} // namespace fiscal_menu
