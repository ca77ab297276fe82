// What ShellStoreStandIn.dll exports besides COM's four entry points: its
// model's counts, so the Outlook stand-in can check how the add-in used the
// companion (one object, one OpenStore and one CloseStore per event).
#pragma once

#include <windows.h>

struct StandInCountsRecord {
  int creations;
  int releaseCalls;
  int liveObjects;
  int openCalls;
  int closeCalls;
  int mismatchedCloses;
  int nodeValueCalls;
  int unexpectedCalls;
  int open;  // 1 while the store is open
};

typedef void(WINAPI* StandInCountsFunction)(StandInCountsRecord* counts);
