// The scenario the command runs without arguments: a small mailbox on a
// Friday morning.  "Work" and "Homework" are both user categories, so the
// output shows which of them a "Homework" item ends up with.  It is ordinary scenario JSON, read by the same reader as
// a file, so it stays a valid example of the format.
#include "tools/scenario.h"

namespace replay {

const char* BuiltInScenarioText() {
  return R"JSON({
  "now": "2026-12-11T10:00:00",
  "windows": [
    {"inUse": 1, "window": 4097},
    {"inUse": 0, "window": 4098}
  ],
  "store": {"name": "", "children": [
    {"name": "CategoryTree", "children": [
      {"name": "Work", "kind": "category"},
      {"name": "Homework", "kind": "category"},
      {"name": "Private", "kind": "category"},
      {"name": "Travel", "kind": "category"},
      {"name": "Outlook Flag", "kind": "category"},
      {"name": "Outlook Flag Complete", "kind": "category"},
      {"name": "Outlook Flag Purple", "kind": "category"},
      {"name": "Outlook Flag Orange", "kind": "category"},
      {"name": "Outlook Flag Green", "kind": "category"},
      {"name": "Outlook Flag Yellow", "kind": "category"},
      {"name": "Outlook Flag Blue", "kind": "category"},
      {"name": "Outlook Flag Red", "kind": "category"},
      {"name": "Outlook Task Not Started", "kind": "category"},
      {"name": "Outlook Task In Progress", "kind": "category"},
      {"name": "Outlook Task Complete", "kind": "category"},
      {"name": "Outlook Task Waiting", "kind": "category"},
      {"name": "Outlook Task Deferred", "kind": "category"},
      {"name": "Outlook Task Active", "kind": "category"},
      {"name": "Outlook Task Inactive", "kind": "category"},
      {"name": "Outlook Item", "kind": "category"},
      {"name": "Outlook Appt", "kind": "category"},
      {"name": "Outlook Contact", "kind": "category"},
      {"name": "Outlook Mail", "kind": "category"},
      {"name": "Outlook Note", "kind": "category"},
      {"name": "Outlook Task", "kind": "category"},
      {"name": "Outlook Appt Today", "kind": "category"},
      {"name": "Outlook Appt Future", "kind": "category"},
      {"name": "Outlook Appt Past", "kind": "category"}
    ]},
    {"name": "FileList"},
    {"name": "QueryTree", "children": [
      {"name": "Flagged work mail", "kind": "query_folder",
       "query": ["AND", "Work", "Outlook Flag", "Outlook Mail"]},
      {"name": "Open tasks", "kind": "query_folder",
       "query": ["AND", "Outlook Task", "Outlook Task Active"]},
      {"name": "Today's appointments", "kind": "query_folder",
       "query": ["AND", "Outlook Appt", "Outlook Appt Today"]},
      {"name": "Work but not private", "kind": "query_folder",
       "query": ["OR", "Work", ["NOT", "Private"]]},
      {"name": "Travel", "kind": "query_folder", "query": "Travel",
       "children": [
         {"name": "Still to do", "kind": "query_folder",
          "query": ["AND", "Travel", ["NOT", "Outlook Task Complete"]]}
       ]}
    ]}
  ]},
  "events": [
    {"event": "ItemAdd", "item": {"EntryID": "mail-1", "Subject": "Quarterly report",
      "Categories": "Work", "FlagStatus": 2, "FlagIcon": 6, "Class": 43}},
    {"event": "ItemAdd", "item": {"EntryID": "mail-2", "Subject": "Re: Dinner on Saturday",
      "Categories": "Private", "FlagStatus": 0, "Class": 43}},
    {"event": "ItemAdd", "item": {"EntryID": "mail-3", "Subject": "Maths homework for Tom",
      "Categories": "Homework", "FlagStatus": 2, "FlagIcon": 3, "Class": 43}},
    {"event": "ItemAdd", "item": {"EntryID": "mail-4", "Subject": "Offsite agenda",
      "Categories": "Work, Private", "FlagStatus": 1, "Class": 43}},
    {"event": "ItemAdd", "item": {"EntryID": "task-1", "Subject": "Draft budget",
      "Categories": "Work", "Status": 0, "Class": 48}},
    {"event": "ItemAdd", "item": {"EntryID": "task-2", "Subject": "Review slides",
      "Categories": "Work", "FlagStatus": 2, "FlagIcon": 1, "Status": 1, "Class": 48}},
    {"event": "ItemAdd", "item": {"EntryID": "task-3", "Subject": "Book flights",
      "Categories": "Travel", "Status": 2, "Class": 48}},
    {"event": "ItemAdd", "item": {"EntryID": "task-4", "Subject": "Wait for the invoice",
      "Categories": "", "Status": 3, "Class": 48}},
    {"event": "ItemAdd", "item": {"EntryID": "task-5", "Subject": "Renew passport",
      "Categories": "Private, Travel", "Status": 4, "Class": 48}},
    {"event": "ItemAdd", "item": {"EntryID": "appt-1", "Subject": "Team stand-up",
      "Categories": "Work", "Start": "2026-12-11T09:00:00", "Class": 26}},
    {"event": "ItemAdd", "item": {"EntryID": "appt-2", "Subject": "Dentist",
      "Categories": "Private", "Start": "2026-12-11T16:30:00", "Class": 26}},
    {"event": "ItemAdd", "item": {"EntryID": "appt-3", "Subject": "Flight to Lisbon",
      "Categories": "Travel", "Start": "2026-12-12T07:15:00", "Class": 26}},
    {"event": "ItemAdd", "item": {"EntryID": "appt-4", "Subject": "Project kickoff",
      "Categories": "Work", "Start": "2026-12-01T14:00:00", "Class": 26}},
    {"event": "ItemAdd", "item": {"EntryID": "contact-1", "Subject": "Zoë Brandão",
      "Categories": "", "Class": 40}},
    {"event": "ItemAdd", "item": {"EntryID": "note-1", "Subject": "Gate code – 4711",
      "Categories": "Private", "Class": 44}},
    {"event": "ItemChange", "item": {"EntryID": "task-1", "Subject": "Draft budget",
      "Categories": "Work", "Status": 2, "Class": 48}},
    {"event": "ItemRemove"}
  ]
}
)JSON";
}

}  // namespace replay
