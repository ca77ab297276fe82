// What the add-in's tests share: the add-in made as COM makes it (through
// DllGetClassObject and its factory), the simulated Outlook, the companion
// stand-in, and readable views of the message boxes and posted messages.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "addin/extensibility.h"
#include "host/outlook_sim.h"
#include "host/outlook_variant.h"
#include "host/shell_store_model.h"
#include "host/shell_store_stand_in.h"
#include "platform/emulation.h"
#include "server/module.h"

namespace addin_test {

// {3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}
const CLSID kAddinClsid = {
    0x3A7F9C21, 0x5B0D, 0x4E62, {0x9D, 0x18, 0xC4, 0xE7, 0xA2, 0xB6, 0x5F, 0x03}};

const UINT kOkBox = MB_OK | MB_SETFOREGROUND;

// text, caption, buttons and flags of one message box.
typedef std::tuple<std::string, std::string, UINT> Box;

inline std::vector<Box> Boxes() {
  std::vector<Box> boxes;
  for (const emu::MessageBoxCall& call : emu::MessageBoxes()) {
    EXPECT_EQ(nullptr, call.owner) << "every box is without owner";
    boxes.emplace_back(call.text, call.caption, call.type);
  }
  return boxes;
}

// The confirmation box QueryInterface shows for ItemsEvents.
inline Box ItemsEventsBox() {
  return Box("IID_ItemsEvents", "CMyAddin::QueryInterface",
             MB_OKCANCEL | MB_SETFOREGROUND);
}

// Boxes other than the ItemsEvents confirmations (each Advise asks the
// sink for ItemsEvents).
inline std::vector<Box> FailureBoxes() {
  std::vector<Box> boxes;
  for (const Box& box : Boxes()) {
    if (box != ItemsEventsBox()) boxes.push_back(box);
  }
  return boxes;
}

inline HWND Window(uintptr_t value) { return reinterpret_cast<HWND>(value); }

// window and wParam of each posted message; every one must be the refresh
// command.
inline std::vector<std::pair<HWND, WPARAM>> Posted() {
  std::vector<std::pair<HWND, WPARAM>> posted;
  for (const emu::PostedMessage& m : emu::PostedMessages()) {
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), m.message);
    EXPECT_EQ(0, m.lParam);
    posted.emplace_back(m.window, m.wParam);
  }
  return posted;
}

class AddinFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    ASSERT_EQ(S_OK, DllCanUnloadNow());
    sim_.reset(new outlook_sim::OutlookSim());
    model_.reset(new ShellStoreModel());
    RegisterShellStoreStandIn(model_.get());

    void* factory = nullptr;
    ASSERT_EQ(S_OK,
              DllGetClassObject(kAddinClsid, IID_IClassFactory, &factory));
    IClassFactory* classFactory = static_cast<IClassFactory*>(factory);
    void* object = nullptr;
    HRESULT hr = classFactory->CreateInstance(nullptr, IID_IDTExtensibility2,
                                              &object);
    classFactory->Release();
    ASSERT_EQ(S_OK, hr);
    addin_ = static_cast<IDTExtensibility2*>(object);
  }

  void TearDown() override {
    if (addin_ != nullptr) addin_->Release();
    // Nobody released a reference of Outlook's it didn't hold.
    EXPECT_EQ(0, sim_->TotalUnderflows());
    // Outlook drops its sinks at teardown: only then may the add-in go.
    sim_.reset();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    EXPECT_EQ(0, model_->LiveObjects());
    EXPECT_EQ(0, model_->UnexpectedCalls());
    EXPECT_EQ(0, model_->MismatchedCloses());
    UnregisterShellStoreStandIn();
    model_.reset();
  }

  IUnknown* Sink() { return addin_; }

  // Connected after the host's start-up, so the add-in subscribes at once.
  void ConnectAndSubscribe() {
    ASSERT_EQ(S_OK, addin_->OnConnection(sim_->Application(),
                                         ext_cm_AfterStartup, nullptr,
                                         nullptr));
  }

  std::vector<LONG> AllFolders() const { return {6, 9, 13, 10, 12}; }

  IDTExtensibility2* addin_ = nullptr;
  std::unique_ptr<outlook_sim::OutlookSim> sim_;
  std::unique_ptr<ShellStoreModel> model_;
};

}  // namespace addin_test
