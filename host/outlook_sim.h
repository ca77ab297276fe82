// The simulated Outlook object model: the part of Outlook the add-in reaches
// through IDispatch, with the Items events it subscribes to.
//
//   OutlookSim sim;
//   addin->OnConnection(sim.Application(), 0, nullptr, nullptr);
//   SimItem* mail = sim.NewItem();
//   mail->SetProperty("Subject", VariantFromString(BRINDLE_OLESTR("Hi")));
//   sim.Folder(6)->FireItemAdd(mail);
//   EXPECT_EQ(1, sim.Folder(9)->AdvisedSinkCount());
//   sim.FailMember(sim.NameSpace(), "GetDefaultFolder", E_FAIL);
//
// The objects and what they answer:
//   Application  "Name" (BSTR "Outlook"); "GetNameSpace"(VT_BSTR "MAPI",
//                compared case-insensitively) answers the NameSpace.
//   NameSpace    "GetDefaultFolder"(VT_INT or VT_I4 folder number) answers
//                that default folder; "Name" ("MAPI").
//   Folder       "Items" answers a new Items object on every read, as
//                Outlook does; "Name" (e.g. "Inbox").
//   Items        IConnectionPointContainer with one connection point, for
//                ItemsEvents.
//   Item         whatever properties a test sets (EntryID, Subject, ...).
// Argument errors: a wrong argument count gives DISP_E_BADPARAMCOUNT, named
// arguments DISP_E_NONAMEDARGS, an argument of another type
// DISP_E_TYPEMISMATCH, a namespace other than "MAPI" or a number that is no
// default folder E_INVALIDARG.  Every returned object carries one reference
// for the caller.
//
// Ownership: the sim owns every object it made and frees them all in its
// destructor, whatever their counts, after releasing every sink still
// advised.  So references the add-in keeps for the life of the process (the
// namespace, folders, Items objects, connection points) leave no leak.  The
// accessors below answer borrowed pointers and add no reference.  A sink
// still advised when the sim is destroyed gets its Release then, so it must
// outlive the sim (or be unadvised first).
//
// An Items object whose count falls back to 0 after it was handed out is
// released in Outlook's sense: it drops its sinks (releasing them) and no
// longer delivers events.  That is why the add-in must keep its Items
// references.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/outlook_object.h"
#include "host/outlook_variant.h"
#include "platform/com.h"

namespace outlook_sim {

// {00063077-0000-0000-C000-000000000046}, Outlook's dispatch interface of
// item events.
extern const IID kItemsEventsIid;

const DISPID kDispidItemAdd = 0xF001;
const DISPID kDispidItemChange = 0xF002;
const DISPID kDispidItemRemove = 0xF003;

// Outlook's default folder numbers.
const LONG kFolderDeletedItems = 3;
const LONG kFolderOutbox = 4;
const LONG kFolderSentMail = 5;
const LONG kFolderInbox = 6;
const LONG kFolderCalendar = 9;
const LONG kFolderContacts = 10;
const LONG kFolderJournal = 11;
const LONG kFolderNotes = 12;
const LONG kFolderTasks = 13;
const LONG kFolderDrafts = 16;

class SimApplication;
class SimNameSpace;
class SimFolder;
class SimItems;
class SimConnectionPoint;
class SimItem;

// One successful Advise, in the order they happened.
struct AdviseRecord {
  LONG folder;         // the folder number of the Items object
  SimItems* items;     // the Items object advised
  IUnknown* sink;      // the pointer passed to Advise
  DWORD cookie;
};

class SimApplication : public SimDispatch {
 public:
  explicit SimApplication(OutlookSim* sim);

 protected:
  HRESULT CallMember(const std::string& name, WORD flags, DISPPARAMS* params,
                     VARIANT* result) override;
};

class SimNameSpace : public SimDispatch {
 public:
  explicit SimNameSpace(OutlookSim* sim);

 protected:
  HRESULT CallMember(const std::string& name, WORD flags, DISPPARAMS* params,
                     VARIANT* result) override;
};

class SimFolder : public SimDispatch {
 public:
  SimFolder(OutlookSim* sim, LONG number, const char* name);

  LONG Number() const { return number_; }

  // Every Items object handed out by this folder, in order (released ones
  // too).
  const std::vector<SimItems*>& ItemsObjects() const { return items_; }
  // The Items objects not yet released.
  int LiveItemsCount() const;

  // Fires on every live Items object of the folder, to every sink advised
  // on it; answers the sinks' results in that order.
  std::vector<HRESULT> FireItemAdd(SimItem* item);
  std::vector<HRESULT> FireItemChange(SimItem* item);
  std::vector<HRESULT> FireItemRemove();
  // Fires id with the item as its one argument.
  std::vector<HRESULT> FireWithItem(DISPID id, SimItem* item);
  std::vector<HRESULT> Fire(DISPID id, DISPPARAMS* params);

  // Sinks currently advised on the folder's live Items objects, counting a
  // sink once per Advise.
  int AdvisedSinkCount() const;
  // How many live advisements of this sink (the pointer given to Advise, or
  // the ItemsEvents pointer it answered) the folder has.
  int AdviseCount(IUnknown* sink) const;

 protected:
  HRESULT CallMember(const std::string& name, WORD flags, DISPPARAMS* params,
                     VARIANT* result) override;

 private:
  LONG number_;
  std::vector<SimItems*> items_;
};

class SimItems : public SimDispatch, public IConnectionPointContainer {
 public:
  SimItems(OutlookSim* sim, SimFolder* folder);

  SimFolder* Folder() const { return folder_; }
  // The ItemsEvents connection point, made on first use.
  SimConnectionPoint* ConnectionPoint();
  // True once the count fell back to 0 after the object was handed out.
  bool IsReleased() const { return released_; }

  // FindConnectionPoint answers hr (and null) from now on.
  void FailFindConnectionPoint(HRESULT hr);
  int FindConnectionPointCalls() const { return findCalls_; }

  // Fires to every advised sink in the order of their Advise: Invoke with
  // IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD and a DISPPARAMS holding
  // the item as one VT_DISPATCH argument (ItemRemove: no argument).  The
  // item carries one extra reference for the length of the call.  A
  // released Items object fires nothing.
  std::vector<HRESULT> FireItemAdd(SimItem* item);
  std::vector<HRESULT> FireItemChange(SimItem* item);
  std::vector<HRESULT> FireItemRemove();
  // Fires id with the item as its one argument.
  std::vector<HRESULT> FireWithItem(DISPID id, SimItem* item);
  std::vector<HRESULT> Fire(DISPID id, DISPPARAMS* params);
  int AdvisedSinkCount() const;
  int AdviseCount(IUnknown* sink) const;

  // The one IUnknown of both faces.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return DoQueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(
      IEnumConnectionPoints** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid,
                                                IConnectionPoint** ppCP) override;

 protected:
  void* FindInterface(REFIID iid) override;
  void OnLastRelease() override;

 private:
  SimFolder* folder_;
  SimConnectionPoint* point_ = nullptr;
  bool released_ = false;
  bool failFind_ = false;
  HRESULT findHr_ = S_OK;
  int findCalls_ = 0;
};

class SimConnectionPoint : public IConnectionPoint, public SimObject {
 public:
  SimConnectionPoint(OutlookSim* sim, SimItems* items);

  IUnknown* Unknown() override { return this; }
  IDispatch* Dispatch() override { return nullptr; }
  SimItems* Items() const { return items_; }

  struct Connection {
    DWORD cookie;
    IUnknown* given;   // what Advise received; no reference held
    IDispatch* sink;   // its ItemsEvents interface; one reference held
  };
  const std::vector<Connection>& Connections() const { return connections_; }
  int AdviseCalls() const { return adviseCalls_; }
  int UnadviseCalls() const { return unadviseCalls_; }
  // Advise answers hr (without asking the sink) from now on.
  void FailAdvise(HRESULT hr);
  // Releases every sink and forgets the connections.
  void DropAll();

  std::vector<HRESULT> Fire(DISPID id, DISPPARAMS* params);
  int AdviseCount(IUnknown* sink) const;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return DoQueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(
      IConnectionPointContainer** ppCPC) override;
  // Null arguments give E_POINTER; the sink is asked for ItemsEvents with
  // QueryInterface, and a refusal gives CONNECT_E_CANNOTCONNECT.  Cookies
  // start at 1 and are never reused on one connection point.
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink,
                                   DWORD* pdwCookie) override;
  // An unknown cookie gives CONNECT_E_NOCONNECTION.
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  void Teardown() override;

 protected:
  void* FindInterface(REFIID iid) override;

 private:
  SimItems* items_;
  std::vector<Connection> connections_;
  DWORD nextCookie_ = 1;
  int adviseCalls_ = 0;
  int unadviseCalls_ = 0;
  bool failAdvise_ = false;
  HRESULT adviseHr_ = S_OK;
};

// A mail item, appointment, task...: a bag of value properties.
class SimItem : public SimDispatch {
 public:
  explicit SimItem(OutlookSim* sim) : SimDispatch(sim, "Item") {}
};

class OutlookSim {
 public:
  OutlookSim();
  ~OutlookSim();
  OutlookSim(const OutlookSim&) = delete;
  OutlookSim& operator=(const OutlookSim&) = delete;

  // Borrowed pointers; the sim keeps ownership.
  IDispatch* Application();
  SimApplication* App() { return app_; }
  SimNameSpace* NameSpace() { return namespace_; }
  // The default folder with this number, made on first use; null for a
  // number that is no default folder.  The same object GetDefaultFolder
  // answers.
  SimFolder* Folder(LONG number);
  // A new item with no properties.
  SimItem* NewItem();

  // The sim object behind an interface pointer of one of its objects; null
  // for any other pointer.
  SimObject* Find(IUnknown* object) const;
  // Find(object)->FailMember(...) for an interface pointer; false when the
  // object is not the sim's.  (A sim object at hand has FailMember itself.)
  bool FailMember(IUnknown* object, const std::string& name, HRESULT hr,
                  FailAt at = FailAt::kInvoke);
  // GetDefaultFolder(number) answers hr from now on.
  void FailFolder(LONG number, HRESULT hr);

  // Every successful Advise, in order (later Unadvises don't remove them).
  const std::vector<AdviseRecord>& Advises() const { return advises_; }
  // The folder numbers of the successful Advises of this sink, in order.
  std::vector<LONG> FoldersAdvised(IUnknown* sink) const;

  // Sum of every object's underflows: 0 unless someone released a reference
  // it didn't hold.
  int TotalUnderflows() const;
  const std::vector<SimObject*>& Objects() const { return objects_; }

  // --- used by the sim's objects ---
  // Adopts a newly allocated object and answers it; null passes through.
  template <typename T>
  T* Adopt(T* object) {
    if (object != nullptr) objects_.push_back(object);
    return object;
  }
  SimItems* NewItems(SimFolder* folder);
  HRESULT FolderFailure(LONG number) const;
  void RecordAdvise(const AdviseRecord& record) { advises_.push_back(record); }

 private:
  struct FolderFailureEntry {
    LONG number;
    HRESULT hr;
  };

  std::vector<SimObject*> objects_;
  SimApplication* app_ = nullptr;
  SimNameSpace* namespace_ = nullptr;
  std::vector<SimFolder*> folders_;
  std::vector<FolderFailureEntry> folderFailures_;
  std::vector<AdviseRecord> advises_;
};

}  // namespace outlook_sim
