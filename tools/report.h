// What a replay produced, and its two printed forms: the text a person reads
// and the machine form of --json.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/json.h"
#include "tools/scenario.h"

class CStoreNode;

namespace replay {

struct EventRecord {
  int32_t dispid = 0;
  int32_t hresult = 0;
};

struct PostRecord {
  size_t event = 0;  // index of the event that caused it
  uint32_t window = 0;
  uint32_t message = 0;
  uint32_t wParam = 0;
  int32_t lParam = 0;
};

struct Outcome {
  std::vector<EventRecord> events;
  std::vector<PostRecord> posts;
  json::Value store;  // in the scenario's node form (StoreToJson)
};

// The tree under root in the scenario's node form: every node with "name",
// "kind" and "children"; entries also with the blocks they hold.  Names and
// texts are converted from Windows-1252 to UTF-8.
json::Value StoreToJson(CStoreNode* root);

// {"events": [...], "posts": [...], "store": node}
json::Value OutcomeToJson(const Outcome& outcome);

// The readable form.  scenario supplies the items' names for the event
// lines; nowText is the clock the run used ("" for the real clock).
std::string FormatText(const Outcome& outcome, const Scenario& scenario,
                       const std::string& nowText);

// "S_OK", "E_FAIL", or the value in hex.
std::string HresultName(int32_t hresult);

}  // namespace replay
