#include "tools/replay.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace replay {

bool ReadScenarioText(const std::string& text, const std::string& name,
                      Scenario* scenario, std::string* error) {
  json::Value document;
  json::ParseError parseError;
  if (!json::Parse(text, &document, &parseError)) {
    *error = name + ":" + std::to_string(parseError.line) + ":" +
             std::to_string(parseError.column) + ": " + parseError.message;
    return false;
  }
  std::string fault;
  if (!LoadScenario(document, scenario, &fault)) {
    *error = name + ": " + fault;
    return false;
  }
  return true;
}

bool ReadScenarioFile(const std::string& path, Scenario* scenario,
                      std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, count);
  }
  bool failed = std::ferror(file) != 0;
  int readErrno = errno;
  std::fclose(file);
  if (failed) {
    *error = path + ": cannot read: " + std::strerror(readErrno);
    return false;
  }
  return ReadScenarioText(text, path, scenario, error);
}

bool RunCommand(const Options& options, std::string* output,
                std::string* error) {
  Scenario scenario;
  if (options.scenarioPath.empty()) {
    if (!ReadScenarioText(BuiltInScenarioText(), "(built-in scenario)",
                          &scenario, error)) {
      return false;
    }
  } else if (!ReadScenarioFile(options.scenarioPath, &scenario, error)) {
    return false;
  }

  const LocalTime* now = nullptr;
  if (options.hasNow) {
    now = &options.now;
  } else if (scenario.hasNow) {
    now = &scenario.now;
  }

  Outcome outcome;
  if (!RunScenario(scenario, now, &outcome, error)) return false;
  if (options.json) {
    *output = json::Write(OutcomeToJson(outcome));
  } else {
    *output = FormatText(outcome, scenario,
                         now != nullptr ? FormatLocalTime(*now) : "");
  }
  return true;
}

}  // namespace replay
