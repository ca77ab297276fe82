// ItemSnapshot: the opened store and the values of one Outlook item, read by
// the event handler and passed to CategorizeItem.
#pragma once

#include <cstdint>

#include "store/str_buf.h"

class StoreHandle;

struct ItemSnapshot {
  StoreHandle* store;    // the opened store; never null when passed
  CStrBuf& entryId;      // "EntryID" as 8-bit text
  CStrBuf& subject;      // "Subject"
  CStrBuf& categories;   // "Categories", as the host gives it
  int32_t flagStatus;    // OlFlagStatus; -1 when the read failed
  int32_t flagIcon;      // OlFlagIcon; read only when flagStatus is 2
  int32_t itemClass;     // OlObjectClass
  int32_t taskStatus;    // OlTaskStatus; -1 when the read failed
  uint32_t startDate;    // DOS date of "Start" (low 16 bits); 0 without one
  uint32_t startTime;    // DOS time of "Start" (low 16 bits)
};
