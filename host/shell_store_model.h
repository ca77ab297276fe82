// The companion's store as a stand-in keeps it: a tree whose root holds
// "CategoryTree", "FileList" and "QueryTree", the document and handle that
// OpenStore hands out, the shared globals with the window table, and the
// counts the add-in's tests check.
//
// One model outlives the many companion objects that are made over it (the
// add-in makes and releases one per item event), so the store persists
// across events as the real companion's does.  Tests shape the tree freely:
// folders missing or doubled, any node kinds, a store without a document,
// OpenStore answering null, no shared globals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "companion/shell_store.h"
#include "platform/types.h"
#include "store/entry_node.h"
#include "store/node.h"

// The companion's query folder kind.  The add-in knows it by its type id
// only; it holds a "__QuerySpec" child, nested folders and query results.
class CQueryFolderNode : public CBranchNode {
 public:
  explicit CQueryFolderNode(const char* name);
  explicit CQueryFolderNode(const CStrBuf& name);

  void* Destroy(uint32_t flags) override;
  uint32_t GetTypeId() override;      // NODE_KIND_QUERY_FOLDER
  int32_t GetTypeDepth() override;    // 3
  int32_t Save(uint8_t* buffer, uint32_t option) override;

 protected:
  ~CQueryFolderNode() = default;
};

class ShellStoreModel;

// The handle OpenStore answers.  GetNodeValue with selector 1 answers the
// node's 1-based position among its parent's children (its first listing
// when listed twice; 0 without a parent or when the parent does not list
// it), 0 for any other selector.  While the store is open a list is walked
// once, at the first node value asked of it, and its positions are kept
// until the store is closed or InvalidatePositions is called: the add-in
// changes no list between the node values it asks for.  The positions are
// kept sorted by node address from one opening to the next and sorted
// again only when the list has changed; asking along a list whose nodes
// were allocated in order walks them in order, so a refresh of N entries
// stays linear and touches little memory.  Its three other operations are
// never called by the add-in; a call counts as unexpected.
class CStandInStoreHandle : public StoreHandle {
 public:
  explicit CStandInStoreHandle(ShellStoreModel* model) : model_(model) {}
  ~CStandInStoreHandle() = default;

  void CompanionOperation1() override;
  void CompanionOperation2() override;
  void CompanionOperation3() override;
  int32_t GetNodeValue(CStoreNode* node, uint32_t selector) override;

  void InvalidatePositions();

 private:
  ShellStoreModel* model_;
  struct PositionSlot {
    CStoreNode* node;
    int32_t position;
  };
  // Walks parent's list; sorts its positions again if it changed.
  void TakePositions(CStoreNode* parent);
  // node's position among those taken, 0 when the list does not hold it.
  int32_t PositionOf(CStoreNode* node);

  CStoreNode* positionsParent_ = nullptr;  // the list listed_ was taken from
  bool positionsChecked_ = false;          // listed_ walked in this opening
  struct Listed {
    NodeCell* cell;
    CStoreNode* node;
  };
  static const size_t kCellsAhead = 16;
  std::vector<Listed> listed_;             // its cells, in list order
  std::vector<PositionSlot> positions_;    // by node address, then position
  size_t cursor_ = 0;                      // where the last answer was found
};

class ShellStoreModel {
 public:
  enum class Shape {
    kStandard,   // root with "CategoryTree", "FileList", "QueryTree"
    kEmptyRoot,  // root without children
  };

  explicit ShellStoreModel(Shape shape = Shape::kStandard);
  ~ShellStoreModel();
  ShellStoreModel(const ShellStoreModel&) = delete;
  ShellStoreModel& operator=(const ShellStoreModel&) = delete;

  // --- The tree -----------------------------------------------------------
  CStoreNode* Root() { return root_; }
  // The first child of the root named name, or null.
  CStoreNode* Folder(const char* name);
  // Appends a new branch node named name under the root (doubles allowed).
  CStoreNode* AddFolder(const char* name);
  // Links node as the last child of parent and answers it; without a parent
  // (or memory for the cell) node is destroyed and null answered.  So are
  // the helpers below when their folder is missing.
  static CStoreNode* Link(CStoreNode* parent, CStoreNode* node);
  // A category node under the first CategoryTree.
  CStoreNode* AddCategory(const char* name);
  // An entry under the first FileList, with categories (null: no list) and
  // user data (null: none).
  CEntryNode* AddFileEntry(const char* name, const char* categories = nullptr,
                           const char* userData = nullptr);
  // A query folder under parent (null: the first QueryTree) holding a
  // "__QuerySpec" built from query (null: no "__QuerySpec" child).
  CQueryFolderNode* AddQueryFolder(CStoreNode* parent, const char* name,
                                   const char* query);
  // Appends under parent the terms written in text: a name, optionally
  // followed by its children in parentheses, separated by commas, as in
  // "OR(AND(p,q),NOT(x))"; "AND()" is an AND without children.  Names are
  // taken as they are (spaces included).  Nodes are CQueryTermNodes.
  // Answers the first node made, or null.
  static CStoreNode* BuildTerms(CStoreNode* parent, const char* text);
  // A readable form of node's subtree: name, the category list of an entry
  // in brackets, then the children in braces, e.g.
  // "FileList{a\b[Work],c\d}".  Nodes of the query folder kind carry a
  // leading "?".
  static std::string Describe(CStoreNode* node);
  // The children's names of node joined by "|".
  static std::string ChildNames(CStoreNode* node);

  // --- What OpenStore answers ------------------------------------------
  // Without a document the handle's document is null.
  void SetDocumentPresent(bool present) { documentPresent_ = present; }
  // OpenStore answers null (and leaves the globals pointer alone).
  void SetOpenAnswersNull(bool answersNull) { openAnswersNull_ = answersNull; }
  // OpenStore hands out a null SharedGlobals pointer.
  void SetGlobalsAbsent(bool absent) { globalsAbsent_ = absent; }
  void SetWindow(int index, int32_t inUse, HWND window);
  SharedGlobals& Globals() { return globals_; }
  // The handle as OpenStore would answer it (document set as configured).
  CStandInStoreHandle* Handle();

  // --- Creation --------------------------------------------------------
  // Creation answers this failure and no object (S_OK: create normally).
  void SetCreateFailure(HRESULT failure) { createFailure_ = failure; }
  // Creation answers S_OK with a null object.
  void SetCreateNullObject(bool nullObject) { createNullObject_ = nullObject; }

  // --- Counts ----------------------------------------------------------
  int Creations() const { return creations_; }
  int ReleaseCalls() const { return releaseCalls_; }
  int LiveObjects() const { return liveObjects_; }
  int OpenCalls() const { return openCalls_; }
  int CloseCalls() const { return closeCalls_; }
  // CloseStore calls with a handle other than the one handed out, or while
  // the store was not open.
  int MismatchedCloses() const { return mismatchedCloses_; }
  int NodeValueCalls() const { return nodeValueCalls_; }
  // Calls of operations the add-in never makes.
  int UnexpectedCalls() const { return unexpectedCalls_; }
  bool IsOpen() const { return open_; }

 private:
  friend class CShellStoreStandIn;
  friend class CStandInStoreHandle;

  StoreHandle* Open(SharedGlobals** globals);
  int32_t Close(StoreHandle* handle);

  CStoreNode* root_;
  StoreDocument document_;
  CStandInStoreHandle handle_;
  SharedGlobals globals_;
  bool documentPresent_ = true;
  bool openAnswersNull_ = false;
  bool globalsAbsent_ = false;
  bool open_ = false;
  HRESULT createFailure_ = 0;
  bool createNullObject_ = false;

  int creations_ = 0;
  int releaseCalls_ = 0;
  int liveObjects_ = 0;
  int openCalls_ = 0;
  int closeCalls_ = 0;
  int mismatchedCloses_ = 0;
  int nodeValueCalls_ = 0;
  int unexpectedCalls_ = 0;
};
