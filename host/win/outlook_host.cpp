// outlook_host.exe: plays Outlook for BrindleAddin.dll on real Windows (or
// Wine), on its main thread in a single-threaded apartment, and checks what
// the add-in really did.  Commands:
//
//   outlook_host check-registered MODULE_PATH  the add-in's registry entries
//   outlook_host check-added-by-hand           keys a test added below them
//   outlook_host check-unregistered            the entries are gone
//   outlook_host run                           the add-in end to end
//
// `run` activates the add-in through the registry (by ProgID and by class
// id), connects it to the simulated Outlook, has it subscribe to the five
// default folders (answering its message boxes through a CBT hook), owns
// real windows registered in the companion's window table, fires ItemAdd and
// ItemChange for every item class and checks the companion's store, its
// query folders and the refresh commands that reached each window's queue.
// It prints one line per check and "N passed, M failed"; the exit code is 0
// when every check passed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "addin/extensibility.h"
#include "companion/shell_store.h"
#include "host/outlook_sim.h"
#include "host/outlook_variant.h"
#include "host/shell_store_model.h"
#include "host/win/check_log.h"
#include "host/win/message_boxes.h"
#include "host/win/refresh_windows.h"
#include "host/win/registry_checks.h"
#include "host/win/stand_in_counts.h"

using outlook_sim::OutlookSim;
using outlook_sim::SimFolder;
using outlook_sim::SimItem;
using outlook_sim::VariantFromDate;
using outlook_sim::VariantFromI4;
using outlook_sim::VariantFromUtf8;

namespace {

// The add-in's class, as Outlook finds it in the registry.
const CLSID kAddinClass = {0x3A7F9C21, 0x5B0D, 0x4E62,
                           {0x9D, 0x18, 0xC4, 0xE7, 0xA2, 0xB6, 0x5F, 0x03}};
const IID kExtensibilityIid = {0xB65AD801, 0xABAF, 0x11D0,
                               {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

const char kQueryInterfaceCaption[] = "CMyAddin::QueryInterface";
const LONG kSubscribedFolders[] = {6, 9, 13, 10, 12};

// Item classes (OlObjectClass).
const LONG kClassAppointment = 26;
const LONG kClassContact = 40;
const LONG kClassMail = 43;
const LONG kClassNote = 44;
const LONG kClassPost = 45;
const LONG kClassTask = 48;

std::string Hex(HRESULT hr) { return CheckLog::Show(static_cast<long>(hr)); }

std::string ShowFolders(const std::vector<LONG>& folders) {
  std::string text;
  for (LONG folder : folders) text += (text.empty() ? "" : ",") + std::to_string(folder);
  return "[" + text + "]";
}

// The add-in module's DllCanUnloadNow, called directly as COM would.
HRESULT AddinCanUnloadNow() {
  HMODULE module = GetModuleHandleA("BrindleAddin.dll");
  if (module == nullptr) return E_UNEXPECTED;
  typedef HRESULT(STDAPICALLTYPE * CanUnload)();
  CanUnload canUnload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return canUnload != nullptr ? canUnload() : E_UNEXPECTED;
}

bool CompanionCounts(StandInCountsRecord* counts) {
  std::memset(counts, 0, sizeof *counts);
  HMODULE module = GetModuleHandleA("ShellStoreStandIn.dll");
  if (module == nullptr) return false;
  StandInCountsFunction read = reinterpret_cast<StandInCountsFunction>(
      reinterpret_cast<void*>(GetProcAddress(module, "StandInCounts")));
  if (read == nullptr) return false;
  read(counts);
  return true;
}

// The companion, created and opened as the add-in does it; closed and
// released on scope exit.
class OpenCompanion {
 public:
  OpenCompanion() {
    hr_ = CoCreateInstance(CLSID_ShellStore, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IShellFolder, reinterpret_cast<void**>(&folder_));
    if (SUCCEEDED(hr_) && folder_ != nullptr) handle_ = folder_->OpenStore(&globals_);
  }
  ~OpenCompanion() {
    if (handle_ != nullptr) folder_->CloseStore(handle_);
    if (folder_ != nullptr) folder_->Release();
  }
  OpenCompanion(const OpenCompanion&) = delete;
  OpenCompanion& operator=(const OpenCompanion&) = delete;

  HRESULT Created() const { return hr_; }
  bool Ready() const {
    return handle_ != nullptr && handle_->document != nullptr &&
           handle_->document->root != nullptr && globals_ != nullptr;
  }
  SharedGlobals* Globals() { return globals_; }
  CStoreNode* TopFolder(const char* name) {
    CStoreNode* root = handle_->document->root;
    for (NodeCell* cell = root->children.First(); cell; cell = cell->next) {
      if (std::strcmp(AsNamed(cell->node)->GetName(), name) == 0) return cell->node;
    }
    return nullptr;
  }
  std::string Describe(const char* folder) {
    return ShellStoreModel::Describe(TopFolder(folder));
  }
  // The Describe form of FileList's first entry of that name; "" if none.
  std::string Entry(const std::string& name) {
    CStoreNode* files = TopFolder("FileList");
    for (NodeCell* cell = files->children.First(); cell; cell = cell->next) {
      if (name == AsNamed(cell->node)->GetName())
        return ShellStoreModel::Describe(cell->node);
    }
    return "";
  }

 private:
  HRESULT hr_ = E_FAIL;
  IShellStoreFolder* folder_ = nullptr;
  StoreHandle* handle_ = nullptr;
  SharedGlobals* globals_ = nullptr;
};

class HostRun {
 public:
  explicit HostRun(CheckLog* log) : log_(log) {}
  void Run();

 private:
  void ActivateByProgId();
  void SeedCompanion();
  IDTExtensibility2* CreateAddin();
  void ExpectBoxes(const std::vector<ShownBox>& expected, const char* what);
  void ConnectAndSubscribe();
  void FireAndCheck(const char* what, SimFolder* folder, SimItem* item,
                    bool change, const std::string& entryName,
                    const std::string& expectedEntry);
  void SubscribeWithFailingFolder();
  void SubscribeWithCancelledBoxes();
  void ReleaseEverything();

  CheckLog* log_;
  MessageBoxAnswerer boxes_;
  RefreshWindows windows_;
  std::unique_ptr<OutlookSim> sim_{new OutlookSim()};
  std::unique_ptr<OutlookSim> failingSim_{new OutlookSim()};
  std::unique_ptr<OutlookSim> cancelSim_{new OutlookSim()};
  IDTExtensibility2* addin_ = nullptr;
  IDTExtensibility2* secondAddin_ = nullptr;
  IDTExtensibility2* thirdAddin_ = nullptr;
  HWND notified_[2] = {};  // in slots 0 and 127
  HWND unused_ = nullptr;  // in slot 7, inUse 0
};

void HostRun::Run() {
  log_->Section("host set-up");
  if (!log_->Expect(boxes_.Installed(), "thread-local CBT hook installed")) return;
  ActivateByProgId();
  SeedCompanion();
  ConnectAndSubscribe();
  if (addin_ == nullptr) return;

  log_->Section("ItemAdd for each item class");
  SimItem* mail = sim_->NewItem();
  mail->SetProperty("EntryID", VariantFromUtf8("M1"));
  mail->SetProperty("Subject", VariantFromUtf8("Budget"));
  mail->SetProperty("Categories", VariantFromUtf8("Work"));
  mail->SetProperty("FlagStatus", VariantFromI4(2));
  mail->SetProperty("FlagIcon", VariantFromI4(6));
  mail->SetProperty("Class", VariantFromI4(kClassMail));
  SimItem* appointment = sim_->NewItem();
  appointment->SetProperty("EntryID", VariantFromUtf8("A1"));
  appointment->SetProperty("Subject", VariantFromUtf8("Review"));
  appointment->SetProperty("Categories", VariantFromUtf8(""));
  appointment->SetProperty("Start", VariantFromDate(2090, 6, 1, 10, 0, 0));
  appointment->SetProperty("Class", VariantFromI4(kClassAppointment));
  SimItem* task = sim_->NewItem();
  task->SetProperty("EntryID", VariantFromUtf8("T1"));
  task->SetProperty("Subject", VariantFromUtf8("Report"));
  task->SetProperty("Categories", VariantFromUtf8(""));
  task->SetProperty("Status", VariantFromI4(2));
  task->SetProperty("Class", VariantFromI4(kClassTask));
  SimItem* contact = sim_->NewItem();
  contact->SetProperty("EntryID", VariantFromUtf8("C1"));
  contact->SetProperty("Subject", VariantFromUtf8("Ann"));
  contact->SetProperty("Categories", VariantFromUtf8("Home"));
  contact->SetProperty("Class", VariantFromI4(kClassContact));
  SimItem* note = sim_->NewItem();
  note->SetProperty("EntryID", VariantFromUtf8("N1"));
  note->SetProperty("Subject", VariantFromUtf8("Idea"));
  note->SetProperty("Categories", VariantFromUtf8("Work, Home"));
  note->SetProperty("Class", VariantFromI4(kClassNote));
  SimItem* post = sim_->NewItem();
  post->SetProperty("EntryID", VariantFromUtf8("P1"));
  post->SetProperty("Subject", VariantFromUtf8("Memo"));
  post->SetProperty("Categories", VariantFromUtf8("Home"));
  post->SetProperty("Class", VariantFromI4(kClassPost));

  FireAndCheck("mail", sim_->Folder(6), mail, false, "M1\\Budget",
               "M1\\Budget[Work,Outlook Flag,Outlook Mail]");
  FireAndCheck("appointment", sim_->Folder(9), appointment, false, "A1\\Review",
               "A1\\Review[Outlook Appt,Outlook Appt Future]");
  FireAndCheck("task", sim_->Folder(13), task, false, "T1\\Report",
               "T1\\Report[Outlook Task Complete,Outlook Task]");
  FireAndCheck("contact", sim_->Folder(10), contact, false, "C1\\Ann",
               "C1\\Ann[Home,Outlook Contact]");
  FireAndCheck("note", sim_->Folder(12), note, false, "N1\\Idea",
               "N1\\Idea[Work,Home,Outlook Note]");
  FireAndCheck("post", sim_->Folder(6), post, false, "P1\\Memo", "P1\\Memo[Home]");
  {
    OpenCompanion store;
    if (log_->Expect(store.Ready(), "store opens after the ItemAdds")) {
      log_->ExpectEq(std::string(
                         "FileList{M1\\Budget[Work,Outlook Flag,Outlook Mail],"
                         "A1\\Review[Outlook Appt,Outlook Appt Future],"
                         "T1\\Report[Outlook Task Complete,Outlook Task],"
                         "C1\\Ann[Home,Outlook Contact],"
                         "N1\\Idea[Work,Home,Outlook Note],P1\\Memo[Home]}"),
                     store.Describe("FileList"), "FileList after the ItemAdds");
      log_->ExpectEq(std::string(
                         "QueryTree{?Work{__QuerySpec{Work},Budget,Idea},"
                         "?Open{__QuerySpec{OR{Outlook Task,Outlook Mail,NOT{Work}}},"
                         "Report}}"),
                     store.Describe("QueryTree"), "query folders after the ItemAdds");
    }
  }

  log_->Section("ItemChange for each item class");
  mail->SetProperty("Categories", VariantFromUtf8(""));
  mail->SetProperty("FlagStatus", VariantFromI4(1));
  appointment->SetProperty("Start", VariantFromDate(2001, 1, 1, 10, 0, 0));
  task->SetProperty("Status", VariantFromI4(1));
  contact->SetProperty("Categories", VariantFromUtf8("Work"));
  note->SetProperty("Categories", VariantFromUtf8(""));
  post->SetProperty("Categories", VariantFromUtf8(""));
  FireAndCheck("mail", sim_->Folder(6), mail, true, "M1\\Budget",
               "M1\\Budget[Outlook Mail]");
  FireAndCheck("appointment", sim_->Folder(9), appointment, true, "A1\\Review",
               "A1\\Review[Outlook Appt]");
  FireAndCheck("task", sim_->Folder(13), task, true, "T1\\Report",
               "T1\\Report[Outlook Task Active,Outlook Task]");
  FireAndCheck("contact", sim_->Folder(10), contact, true, "C1\\Ann",
               "C1\\Ann[Work,Outlook Contact]");
  FireAndCheck("note", sim_->Folder(12), note, true, "N1\\Idea",
               "N1\\Idea[Outlook Note]");
  // Left without a category, the post's entry leaves FileList.
  FireAndCheck("post", sim_->Folder(6), post, true, "P1\\Memo", "");
  {
    OpenCompanion store;
    if (log_->Expect(store.Ready(), "store opens after the ItemChanges")) {
      log_->ExpectEq(std::string(
                         "FileList{M1\\Budget[Outlook Mail],A1\\Review[Outlook Appt],"
                         "T1\\Report[Outlook Task Active,Outlook Task],"
                         "C1\\Ann[Work,Outlook Contact],N1\\Idea[Outlook Note]}"),
                     store.Describe("FileList"), "FileList after the ItemChanges");
      log_->ExpectEq(std::string(
                         "QueryTree{?Work{__QuerySpec{Work},Ann},"
                         "?Open{__QuerySpec{OR{Outlook Task,Outlook Mail,NOT{Work}}},"
                         "Budget,Report}}"),
                     store.Describe("QueryTree"), "query folders after the ItemChanges");
    }
  }

  log_->Section("events the add-in does not handle");
  std::vector<HRESULT> removed = sim_->Folder(6)->FireItemRemove();
  log_->Expect(removed.size() == 1 && removed[0] == E_FAIL,
               "ItemRemove answers E_FAIL",
               removed.empty() ? "no sink" : Hex(removed[0]));
  std::map<HWND, int> counts = windows_.Pump();
  log_->Expect(counts.empty(), "ItemRemove posts no refresh command");

  SubscribeWithFailingFolder();
  SubscribeWithCancelledBoxes();
  ReleaseEverything();
}

// Outlook finds add-ins by ProgID; the object it creates must be the
// add-in, and the module must be the one registered.
void HostRun::ActivateByProgId() {
  log_->Section("activation through the registry by ProgID");
  CLSID fromProgId = {};
  HRESULT hr = CLSIDFromProgID(L"BrindleAddin.BRAddin", &fromProgId);
  log_->ExpectEq(Hex(S_OK), Hex(hr), "CLSIDFromProgID(\"BrindleAddin.BRAddin\")");
  log_->Expect(IsEqualCLSID(fromProgId, kAddinClass),
               "the ProgID names the add-in's class id");
  IDispatch* dispatch = nullptr;
  hr = CoCreateInstance(fromProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                        reinterpret_cast<void**>(&dispatch));
  if (!log_->ExpectEq(Hex(S_OK), Hex(hr), "CoCreateInstance by the ProgID's class id"))
    return;
  IDTExtensibility2* extensibility = nullptr;
  hr = dispatch->QueryInterface(kExtensibilityIid,
                                reinterpret_cast<void**>(&extensibility));
  log_->ExpectEq(Hex(S_OK), Hex(hr), "the object answers IDTExtensibility2");

  HMODULE module = GetModuleHandleA("BrindleAddin.dll");
  char loaded[MAX_PATH] = {};
  if (module != nullptr) GetModuleFileNameA(module, loaded, sizeof loaded);
  char registered[MAX_PATH] = {};
  LONG size = sizeof registered;
  RegQueryValueA(HKEY_CLASSES_ROOT,
                 "CLSID\\{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}\\InprocServer32",
                 registered, &size);
  log_->ExpectEq(std::string(registered), std::string(loaded),
                 "COM loaded the module from its registered path");
  log_->ExpectEq(Hex(S_FALSE), Hex(AddinCanUnloadNow()),
                 "DllCanUnloadNow is S_FALSE while the object lives");
  if (extensibility != nullptr) extensibility->Release();
  ULONG left = dispatch->Release();
  log_->ExpectEq(0u, static_cast<unsigned>(left), "last Release answers 0");
  log_->ExpectEq(Hex(S_OK), Hex(AddinCanUnloadNow()),
                 "DllCanUnloadNow is S_OK after the last Release");
}

// The store the add-in will work on: categories, two query folders (one
// whose top-level OR the add-in rewrites) and the window table.  Nodes made
// here are freed by the companion's module or the add-in's: one heap.
void HostRun::SeedCompanion() {
  log_->Section("companion store and windows");
  OpenCompanion store;
  log_->ExpectEq(Hex(S_OK), Hex(store.Created()),
                 "CoCreateInstance of the companion stand-in");
  if (!log_->Expect(store.Ready(), "the companion opens its store")) return;
  const char* categories[] = {"Work", "Home", "Outlook Mail", "Outlook Appt",
                              "Outlook Task", "Outlook Contact", "Outlook Note",
                              "Outlook Task Complete", "Outlook Task Active",
                              "Outlook Flag", "Outlook Appt Future"};
  CStoreNode* categoryTree = store.TopFolder("CategoryTree");
  for (const char* name : categories)
    ShellStoreModel::Link(categoryTree, new (std::nothrow) CCategoryNode(name));
  CStoreNode* queryTree = store.TopFolder("QueryTree");
  CStoreNode* work =
      ShellStoreModel::Link(queryTree, new (std::nothrow) CQueryFolderNode("Work"));
  ShellStoreModel::BuildTerms(work, "__QuerySpec(Work)");
  CStoreNode* open =
      ShellStoreModel::Link(queryTree, new (std::nothrow) CQueryFolderNode("Open"));
  ShellStoreModel::BuildTerms(open,
                              "__QuerySpec(OR(Outlook Task,Outlook Mail,NOT(Work)))");
  log_->ExpectEq(std::string("QueryTree{?Work{__QuerySpec{Work}},"
                             "?Open{__QuerySpec{OR{Outlook Task,Outlook Mail,NOT{Work}}}}}"),
                 store.Describe("QueryTree"), "query folders seeded");

  notified_[0] = windows_.Create();
  unused_ = windows_.Create();
  notified_[1] = windows_.Create();
  if (!log_->Expect(notified_[0] && unused_ && notified_[1], "three windows created"))
    return;
  WindowSlot* table = store.Globals()->windowTable;
  table[0] = {1, notified_[0]};
  table[7] = {0, unused_};          // not in use: gets nothing
  table[64] = {1, nullptr};         // in use without a window: skipped
  table[127] = {1, notified_[1]};   // the last slot is visited too
}

IDTExtensibility2* HostRun::CreateAddin() {
  IUnknown* unknown = nullptr;
  HRESULT hr = CoCreateInstance(kAddinClass, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUnknown, reinterpret_cast<void**>(&unknown));
  if (!log_->ExpectEq(Hex(S_OK), Hex(hr), "CoCreateInstance by class id")) return nullptr;
  IDTExtensibility2* addin = nullptr;
  hr = unknown->QueryInterface(kExtensibilityIid, reinterpret_cast<void**>(&addin));
  unknown->Release();
  log_->ExpectEq(Hex(S_OK), Hex(hr), "QueryInterface for IDTExtensibility2");
  return addin;
}

void HostRun::ExpectBoxes(const std::vector<ShownBox>& expected, const char* what) {
  std::vector<ShownBox> shown = boxes_.Take();
  std::string seen;
  for (const ShownBox& box : shown)
    seen += "[" + box.caption + "|" + box.text + (box.hasCancel ? "|OK Cancel]" : "|OK]");
  bool same = shown.size() == expected.size();
  for (size_t i = 0; same && i < shown.size(); ++i) {
    same = shown[i].caption == expected[i].caption &&
           shown[i].text == expected[i].text &&
           shown[i].hasCancel == expected[i].hasCancel;
  }
  log_->Expect(same, what, "shown: " + (seen.empty() ? std::string("none") : seen));
}

void HostRun::ConnectAndSubscribe() {
  log_->Section("connection and subscription");
  addin_ = CreateAddin();
  if (addin_ == nullptr) return;
  SAFEARRAY* custom = nullptr;
  HRESULT hr = addin_->OnConnection(sim_->Application(), ext_cm_Startup, nullptr, &custom);
  log_->ExpectEq(Hex(S_OK), Hex(hr), "OnConnection(ext_cm_Startup)");
  log_->ExpectEq(1, static_cast<int>(sim_->App()->RefCount()),
                 "the add-in holds the application object");
  log_->ExpectEq(0, static_cast<int>(sim_->Advises().size()),
                 "nothing subscribed before OnStartupComplete");

  boxes_.Script({IDOK, IDOK, IDOK, IDOK, IDOK});
  hr = addin_->OnStartupComplete(&custom);
  log_->ExpectEq(Hex(S_OK), Hex(hr), "OnStartupComplete");
  ShownBox itemsEvents = {kQueryInterfaceCaption, "IID_ItemsEvents", true, IDOK};
  ExpectBoxes(std::vector<ShownBox>(5, itemsEvents),
              "five ItemsEvents boxes (OK and Cancel), each answered OK");
  std::vector<LONG> folders = sim_->FoldersAdvised(addin_);
  log_->ExpectEq(ShowFolders({6, 9, 13, 10, 12}), ShowFolders(folders),
                 "folders advised, in order");
  for (LONG folder : kSubscribedFolders) {
    log_->ExpectEq(1, sim_->Folder(folder)->AdvisedSinkCount(),
                   "one sink on folder " + std::to_string(folder));
  }
}

void HostRun::FireAndCheck(const char* what, SimFolder* folder, SimItem* item,
                           bool change, const std::string& entryName,
                           const std::string& expectedEntry) {
  std::string event = std::string(change ? "ItemChange " : "ItemAdd ") + what;
  StandInCountsRecord before;
  bool counted = CompanionCounts(&before);
  std::vector<HRESULT> results =
      change ? folder->FireItemChange(item) : folder->FireItemAdd(item);
  log_->Expect(results.size() == 1 && results[0] == S_OK,
               event + " answered S_OK by the one sink",
               results.empty() ? "no sink" : Hex(results[0]));

  std::map<HWND, int> counts = windows_.Pump();
  log_->Expect(counts[notified_[0]] == 1 && counts[notified_[1]] == 1 &&
                   counts[unused_] == 0,
               event + ": WM_COMMAND 200 reached slots 0 and 127 once, slot 7 not",
               std::to_string(counts[notified_[0]]) + ", " +
                   std::to_string(counts[notified_[1]]) + ", " +
                   std::to_string(counts[unused_]));

  StandInCountsRecord after;
  if (counted && CompanionCounts(&after)) {
    log_->Expect(after.creations == before.creations + 1 &&
                     after.openCalls == before.openCalls + 1 &&
                     after.closeCalls == before.closeCalls + 1 &&
                     after.liveObjects == 0 && after.open == 0 &&
                     after.mismatchedCloses == 0 && after.unexpectedCalls == 0,
                 event + ": one companion created, store opened and closed, released",
                 "creations +" + std::to_string(after.creations - before.creations) +
                     ", opens +" + std::to_string(after.openCalls - before.openCalls) +
                     ", closes +" + std::to_string(after.closeCalls - before.closeCalls) +
                     ", live " + std::to_string(after.liveObjects) +
                     ", mismatched " + std::to_string(after.mismatchedCloses) +
                     ", unexpected " + std::to_string(after.unexpectedCalls));
  } else {
    log_->Expect(false, event + ": companion counts readable");
  }

  OpenCompanion store;
  if (log_->Expect(store.Ready(), event + ": store opens")) {
    log_->ExpectEq(expectedEntry, store.Entry(entryName), event + ": its entry");
  }
}

// A GetDefaultFolder failure for the Calendar shows its box and the other
// four folders are still subscribed.  This add-in is connected after
// start-up, so it subscribes from OnConnection.
void HostRun::SubscribeWithFailingFolder() {
  log_->Section("GetDefaultFolder failure");
  failingSim_->FailFolder(9, E_FAIL);
  secondAddin_ = CreateAddin();
  if (secondAddin_ == nullptr) return;
  boxes_.Script({});
  SAFEARRAY* custom = nullptr;
  HRESULT hr = secondAddin_->OnConnection(failingSim_->Application(),
                                          ext_cm_AfterStartup, nullptr, &custom);
  log_->ExpectEq(Hex(S_OK), Hex(hr), "OnConnection(ext_cm_AfterStartup)");
  ShownBox itemsEvents = {kQueryInterfaceCaption, "IID_ItemsEvents", true, IDOK};
  ShownBox failed = {"GetDefaultFolder failed", "", false, IDOK};
  ExpectBoxes({itemsEvents, failed, itemsEvents, itemsEvents, itemsEvents},
              "the box with caption \"GetDefaultFolder failed\" and an empty text");
  log_->ExpectEq(ShowFolders({6, 13, 10, 12}),
                 ShowFolders(failingSim_->FoldersAdvised(secondAddin_)),
                 "the other folders are still advised");
}

// The user answers Cancel to the ItemsEvents box: Advise fails, the add-in
// says so in its own box, and no folder is subscribed.
void HostRun::SubscribeWithCancelledBoxes() {
  log_->Section("ItemsEvents box answered Cancel");
  thirdAddin_ = CreateAddin();
  if (thirdAddin_ == nullptr) return;
  std::vector<int> answers;
  for (int i = 0; i < 5; ++i) {
    answers.push_back(IDCANCEL);
    answers.push_back(IDOK);
  }
  boxes_.Script(answers);
  SAFEARRAY* custom = nullptr;
  thirdAddin_->OnConnection(cancelSim_->Application(), ext_cm_AfterStartup, nullptr,
                            &custom);
  std::vector<ShownBox> shown = boxes_.Take();
  bool pattern = shown.size() == 10;
  for (size_t i = 0; pattern && i < shown.size(); i += 2) {
    pattern = shown[i].text == "IID_ItemsEvents" && shown[i].answer == IDCANCEL &&
              shown[i + 1].text == "Advise FAILED" && !shown[i + 1].hasCancel &&
              shown[i + 1].caption.size() > 7 &&
              shown[i + 1].caption.compare(shown[i + 1].caption.size() - 7, 7,
                                           " Events") == 0;
  }
  std::string seen;
  for (const ShownBox& box : shown) seen += "[" + box.caption + "|" + box.text + "]";
  log_->Expect(pattern, "each Cancel is followed by an \"Advise FAILED\" box",
               "shown: " + seen);
  log_->ExpectEq(0, static_cast<int>(cancelSim_->Advises().size()),
                 "no folder advised after Cancel");
}

// The add-in objects live as long as something holds them: the host's own
// references, then the sinks the folders keep.  Only when the last of those
// is released may the module unload.
void HostRun::ReleaseEverything() {
  log_->Section("disconnection and module lifetime");
  SAFEARRAY* custom = nullptr;
  IDTExtensibility2* addins[] = {addin_, secondAddin_, thirdAddin_};
  for (IDTExtensibility2* addin : addins) {
    if (addin == nullptr) continue;
    log_->ExpectEq(Hex(S_OK), Hex(addin->OnDisconnection(ext_dm_HostShutdown, &custom)),
                   "OnDisconnection");
    addin->Release();
  }
  log_->ExpectEq(0, static_cast<int>(sim_->App()->RefCount()),
                 "the application object is released on disconnection");
  log_->ExpectEq(Hex(S_FALSE), Hex(AddinCanUnloadNow()),
                 "DllCanUnloadNow is S_FALSE while the folders hold the sinks");
  int underflows = sim_->TotalUnderflows() + failingSim_->TotalUnderflows() +
                   cancelSim_->TotalUnderflows();
  log_->ExpectEq(0, underflows, "no Release of a reference not held");
  sim_.reset();
  failingSim_.reset();
  cancelSim_.reset();
  log_->ExpectEq(Hex(S_OK), Hex(AddinCanUnloadNow()),
                 "DllCanUnloadNow is S_OK after the last Release");
}

int Usage() {
  std::fprintf(stderr,
               "usage: outlook_host check-registered MODULE_PATH | "
               "check-added-by-hand | check-unregistered | run\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  CheckLog log;
  if (command == "check-registered" && argc == 3) {
    CheckRegistered(&log, argv[2]);
  } else if (command == "check-added-by-hand") {
    CheckAddedByHand(&log);
  } else if (command == "check-unregistered") {
    CheckUnregistered(&log);
  } else if (command == "run") {
    HRESULT hr = CoInitialize(nullptr);
    if (!log.ExpectEq(Hex(S_OK), Hex(hr), "CoInitialize: a single-threaded apartment"))
      return log.Finish();
    {
      HostRun run(&log);
      run.Run();
    }
    CoUninitialize();
  } else {
    return Usage();
  }
  return log.Finish();
}
