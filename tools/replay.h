// Running a scenario: reading it (from a file or the built-in text), driving
// the add-in through its class factory and IDispatch::Invoke against the
// stand-in companion store, and printing what came of it.
#pragma once

#include <string>

#include "tools/report.h"
#include "tools/scenario.h"

namespace replay {

struct Options {
  std::string scenarioPath;  // empty: the built-in scenario
  bool json = false;
  bool hasNow = false;  // --now given: overrides the scenario's "now"
  LocalTime now;
};

// Reads and checks a scenario.  name is what messages call the source.
// Messages: "NAME:LINE:COLUMN: ..." for malformed JSON, "NAME: JSON-PATH:
// ..." for a fault of the scenario.
bool ReadScenarioText(const std::string& text, const std::string& name,
                      Scenario* scenario, std::string* error);
// "PATH: cannot read: ..." when the file can't be read.
bool ReadScenarioFile(const std::string& path, Scenario* scenario,
                      std::string* error);

// Builds the scenario's store in a stand-in companion, creates the add-in
// through its class factory and sends the events in order through its
// IDispatch::Invoke, recording each result and the messages it posted.  The
// clock is now when given (local time, zone offset 0), else the real clock
// in this machine's zone.  False (error set) only when the add-in or the
// store can't be made.  Leaves the emulation's process state reset.
bool RunScenario(const Scenario& scenario, const LocalTime* now,
                 Outcome* outcome, std::string* error);

// The whole command after its arguments were read: output is the text or
// JSON form; false (and error set) for bad input.
bool RunCommand(const Options& options, std::string* output,
                std::string* error);

}  // namespace replay
