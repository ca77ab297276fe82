#include "categorize/categorize.h"

#include <cstring>

#include "categorize/navigation.h"
#include "platform/kernel.h"
#include "store/node.h"

namespace {

// The built-in categories, in the order of the rules that set them.
enum BuiltIn {
  kFlag,
  kFlagComplete,
  kFlagPurple,  // flagIcon 1 .. 6, in this order
  kFlagOrange,
  kFlagGreen,
  kFlagYellow,
  kFlagBlue,
  kFlagRed,
  kTaskNotStarted,  // taskStatus 0 .. 4, in this order
  kTaskInProgress,
  kTaskComplete,
  kTaskWaiting,
  kTaskDeferred,
  kTaskActive,
  kTaskInactive,
  kItem,
  kAppt,
  kContact,
  kMail,
  kNote,
  kTask,
  kApptToday,
  kApptFuture,
  kApptPast,
  kBuiltInCount
};

const char* const kBuiltInNames[kBuiltInCount] = {
    "Outlook Flag",
    "Outlook Flag Complete",
    "Outlook Flag Purple",
    "Outlook Flag Orange",
    "Outlook Flag Green",
    "Outlook Flag Yellow",
    "Outlook Flag Blue",
    "Outlook Flag Red",
    "Outlook Task Not Started",
    "Outlook Task In Progress",
    "Outlook Task Complete",
    "Outlook Task Waiting",
    "Outlook Task Deferred",
    "Outlook Task Active",
    "Outlook Task Inactive",
    "Outlook Item",
    "Outlook Appt",
    "Outlook Contact",
    "Outlook Mail",
    "Outlook Note",
    "Outlook Task",
    "Outlook Appt Today",
    "Outlook Appt Future",
    "Outlook Appt Past",
};

// RemoveCategory takes a buffer; these are made once rather than per event.
const CStrBuf& BuiltInName(BuiltIn which) {
  static const CStrBuf names[kBuiltInCount] = {
      CStrBuf(kBuiltInNames[0]),  CStrBuf(kBuiltInNames[1]),
      CStrBuf(kBuiltInNames[2]),  CStrBuf(kBuiltInNames[3]),
      CStrBuf(kBuiltInNames[4]),  CStrBuf(kBuiltInNames[5]),
      CStrBuf(kBuiltInNames[6]),  CStrBuf(kBuiltInNames[7]),
      CStrBuf(kBuiltInNames[8]),  CStrBuf(kBuiltInNames[9]),
      CStrBuf(kBuiltInNames[10]), CStrBuf(kBuiltInNames[11]),
      CStrBuf(kBuiltInNames[12]), CStrBuf(kBuiltInNames[13]),
      CStrBuf(kBuiltInNames[14]), CStrBuf(kBuiltInNames[15]),
      CStrBuf(kBuiltInNames[16]), CStrBuf(kBuiltInNames[17]),
      CStrBuf(kBuiltInNames[18]), CStrBuf(kBuiltInNames[19]),
      CStrBuf(kBuiltInNames[20]), CStrBuf(kBuiltInNames[21]),
      CStrBuf(kBuiltInNames[22]), CStrBuf(kBuiltInNames[23]),
  };
  return names[which];
}

// Adds the category when CategoryTree has it; the found node's own name is
// what the entry receives.
void AddIfExists(StoreHandle* store, CEntryNode* entry, BuiltIn which) {
  CStoreNode* category = FindCategory(store, kBuiltInNames[which]);
  if (category) entry->AddCategory(AsNamed(category)->name);
}

void Remove(CEntryNode* entry, BuiltIn which) {
  entry->RemoveCategory(BuiltInName(which));
}

void ApplyFlagRules(StoreHandle* store, CEntryNode* entry, int32_t flagStatus,
                    int32_t flagIcon) {
  switch (flagStatus) {
    case 1:
      AddIfExists(store, entry, kFlagComplete);
      Remove(entry, kFlag);
      break;
    case 2:
      AddIfExists(store, entry, kFlag);
      Remove(entry, kFlagComplete);
      if (flagIcon >= 1 && flagIcon <= 6) {
        AddIfExists(store, entry, static_cast<BuiltIn>(kFlagPurple + flagIcon - 1));
      }
      break;
    default:
      Remove(entry, kFlag);
      Remove(entry, kFlagComplete);
      break;
  }
}

void ApplyTaskRules(StoreHandle* store, CEntryNode* entry, int32_t taskStatus) {
  if (taskStatus == -1) return;
  for (int which = kTaskNotStarted; which <= kTaskInactive; ++which) {
    Remove(entry, static_cast<BuiltIn>(which));
  }
  if (taskStatus < 0 || taskStatus > 4) return;
  AddIfExists(store, entry, static_cast<BuiltIn>(kTaskNotStarted + taskStatus));
  AddIfExists(store, entry, taskStatus <= 1 ? kTaskActive : kTaskInactive);
}

void ApplyClassRule(StoreHandle* store, CEntryNode* entry, int32_t itemClass) {
  switch (itemClass) {
    case 26: AddIfExists(store, entry, kAppt); break;
    case 40: AddIfExists(store, entry, kContact); break;
    case 43: AddIfExists(store, entry, kMail); break;
    case 44: AddIfExists(store, entry, kNote); break;
    case 48: AddIfExists(store, entry, kTask); break;
    default: break;
  }
}

void ApplyDateRules(StoreHandle* store, CEntryNode* entry, uint32_t startDate,
                    uint32_t startTime) {
  const WORD dosDate = static_cast<WORD>(startDate & 0xFFFF);
  if (dosDate == 0) return;
  const WORD dosTime = static_cast<WORD>(startTime & 0xFFFF);

  // The DOS fields are local time and are taken over as they are.
  FILETIME start = {0, 0};
  const bool startKnown = DosDateTimeToFileTime(dosDate, dosTime, &start) != FALSE;

  FILETIME nowUtc = {0, 0};
  GetSystemTimeAsFileTime(&nowUtc);
  FILETIME nowLocal = nowUtc;
  if (!FileTimeToLocalFileTime(&nowUtc, &nowLocal)) nowLocal = nowUtc;
  // 0 is no DOS date at all, so a clock outside the DOS range is never today.
  WORD today = 0;
  WORD nowTime = 0;
  if (!FileTimeToDosDateTime(&nowLocal, &today, &nowTime)) today = 0;

  Remove(entry, kApptToday);
  Remove(entry, kApptFuture);
  Remove(entry, kApptPast);

  // Day, month and year fields together are the whole date word.
  if (dosDate == today) AddIfExists(store, entry, kApptToday);

  // Without a start instant there is nothing to compare with.
  if (!startKnown) return;
  if (CompareFileTime(&nowLocal, &start) <= 0) {
    AddIfExists(store, entry, kApptFuture);
  } else {
    AddIfExists(store, entry, kApptPast);
  }
}

// The locale's list separator; "," when it can't be read.
size_t ReadListSeparator(char* separator, size_t size) {
  const INT written = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST,
                                     separator, static_cast<INT>(size));
  separator[size - 1] = '\0';
  size_t length = written > 0 ? std::strlen(separator) : 0;
  if (length == 0) {
    separator[0] = ',';
    separator[1] = '\0';
    length = 1;
  }
  return length;
}

const char* TextOf(const CStrBuf& text) {
  const char* own = text.GetText();
  return own ? own : "";
}

}  // namespace

bool CategoriesTextNames(const char* text, const char* separator,
                         size_t separatorLength, const char* name,
                         size_t nameLength) {
  if (!text || nameLength == 0 || separatorLength == 0) return false;
  const char* piece = text;
  const char* const end = text + std::strlen(text);
  for (;;) {
    const char* pieceEnd = end;
    for (const char* at = piece; at + separatorLength <= end; ++at) {
      if (std::memcmp(at, separator, separatorLength) == 0) {
        pieceEnd = at;
        break;
      }
    }
    const char* first = piece;
    const char* last = pieceEnd;
    while (first < last && *first == ' ') ++first;
    while (last > first && last[-1] == ' ') --last;
    if (static_cast<size_t>(last - first) == nameLength &&
        std::memcmp(first, name, nameLength) == 0) {
      return true;
    }
    if (pieceEnd == end) return false;
    piece = pieceEnd + separatorLength;
  }
}

void SyncUserCategories(StoreHandle* store, CEntryNode* entry,
                        const CStrBuf& categories) {
  if (!entry) return;
  CStoreNode* categoryTree = FindTopFolder(store, "CategoryTree");
  if (!categoryTree) return;

  char separator[8];
  const size_t separatorLength = ReadListSeparator(separator, sizeof separator);
  const char* text = TextOf(categories);

  for (NodeCell* cell = categoryTree->children.First(); cell; cell = cell->next) {
    if (!cell->node) continue;
    const CStrBuf& name = AsNamed(cell->node)->name;
    const char* nameText = TextOf(name);
    const size_t nameLength = std::strlen(nameText);
    // A name with a comma reads back from the entry's list as several names:
    // adding it would append it again on every event.
    if (std::memchr(nameText, ',', nameLength)) continue;
    if (CategoriesTextNames(text, separator, separatorLength, nameText,
                            nameLength)) {
      entry->AddCategory(name);
    } else {
      entry->RemoveCategory(name);
    }
  }
}

void CategorizeItem(const ItemSnapshot& item) {
  StoreHandle* store = item.store;
  if (!store) return;

  const char* entryId = TextOf(item.entryId);
  const char* subject = TextOf(item.subject);
  CStrBuf entryName(entryId);
  entryName.Append("\\");
  entryName.Append(subject);
  // A buffer that could not grow holds a shorter text; filing the item
  // under that name would make an entry for no item, so nothing happens.
  const size_t expectedLength = std::strlen(entryId) + 1 + std::strlen(subject);
  if (!entryName.GetText() || entryName.GetLength() != expectedLength) return;

  CEntryNode* entry = FindEntry(store, TextOf(entryName));
  if (!entry) entry = CreateEntry(store, TextOf(entryName));
  if (!entry) return;

  SyncUserCategories(store, entry, item.categories);
  ApplyFlagRules(store, entry, item.flagStatus, item.flagIcon);
  ApplyTaskRules(store, entry, item.taskStatus);
  AddIfExists(store, entry, kItem);
  ApplyClassRule(store, entry, item.itemClass);
  ApplyDateRules(store, entry, item.startDate, item.startTime);

  if (RemoveEmptyEntry(store, entry)) {
    entry->Destroy(1);
  } else {
    entry->SetItemClass(item.itemClass);
  }
}
