// Outlook loads the add-in, connects it, completes its start-up and then
// adds a mail, an appointment, a task, a contact and a note to their
// default folders; the companion's store, its query folders and its windows
// show each of them.

#include <gtest/gtest.h>

#include "tests/addin/addin_fixture.h"

namespace addin_test {
namespace {

using outlook_sim::SimItem;
using outlook_sim::VariantFromDate;
using outlook_sim::VariantFromI4;
using outlook_sim::VariantFromUtf8;

class EndToEndTest : public AddinFixture {
 protected:
  SimItem* NewItem(const char* entryId, const char* subject, LONG itemClass,
                   const char* categories) {
    SimItem* item = sim_->NewItem();
    item->SetProperty("EntryID", VariantFromUtf8(entryId));
    item->SetProperty("Subject", VariantFromUtf8(subject));
    item->SetProperty("Class", VariantFromI4(itemClass));
    item->SetProperty("Categories", VariantFromUtf8(categories));
    return item;
  }
};

TEST_F(EndToEndTest, FilesEveryKindOfItemAndRefreshesTheCompanion) {
  // 2024-05-15 10:00:00, local time equal to UTC.
  FILETIME now;
  ASSERT_TRUE(DosDateTimeToFileTime(((2024 - 1980) << 9) | (5 << 5) | 15,
                                    10 << 11, &now));
  emu::SetSystemTime(now);

  for (const char* name :
       {"Work", "Outlook Item", "Outlook Mail", "Outlook Appt", "Outlook Task",
        "Outlook Contact", "Outlook Note", "Outlook Appt Today",
        "Outlook Appt Future", "Outlook Appt Past", "Outlook Task In Progress",
        "Outlook Task Active", "Outlook Flag", "Outlook Flag Blue"}) {
    model_->AddCategory(name);
  }
  CStoreNode* mailFolder =
      model_->AddQueryFolder(nullptr, "Mail", "Outlook Mail");
  CStoreNode* workFolder =
      model_->AddQueryFolder(nullptr, "Work", "OR(Work,NOT(Outlook Note))");
  CStoreNode* taskFolder = model_->AddQueryFolder(nullptr, "Tasks", "Outlook Task");
  CStoreNode* activeFolder = model_->AddQueryFolder(
      taskFolder, "Active", "AND(Outlook Task,Outlook Task Active)");
  CStoreNode* todayFolder =
      model_->AddQueryFolder(nullptr, "Today", "Outlook Appt Today");
  model_->SetWindow(0, 1, Window(0x100));
  model_->SetWindow(7, 1, Window(0x107));

  // Outlook's start-up: load, create, connect, complete.
  ASSERT_EQ(S_OK, addin_->OnConnection(sim_->Application(), ext_cm_Startup,
                                       nullptr, nullptr));
  ASSERT_EQ(S_OK, addin_->OnStartupComplete(nullptr));
  ASSERT_EQ(AllFolders(), sim_->FoldersAdvised(Sink()));

  SimItem* mail = NewItem("M1", "Budget", 43, "Work");
  mail->SetProperty("FlagStatus", VariantFromI4(2));
  mail->SetProperty("FlagIcon", VariantFromI4(5));
  SimItem* appointment = NewItem("A1", "Review", 26, "");
  appointment->SetProperty("Start", VariantFromDate(2024, 5, 15, 15, 0));
  SimItem* task = NewItem("T1", "Report", 48, "Work");
  task->SetProperty("Status", VariantFromI4(1));
  SimItem* contact = NewItem("C1", "Ann", 40, "");
  SimItem* note = NewItem("N1", "Idea", 44, "Work");

  const std::vector<HRESULT> delivered = {S_OK};
  EXPECT_EQ(delivered, sim_->Folder(6)->FireItemAdd(mail));
  EXPECT_EQ(delivered, sim_->Folder(9)->FireItemAdd(appointment));
  EXPECT_EQ(delivered, sim_->Folder(13)->FireItemAdd(task));
  EXPECT_EQ(delivered, sim_->Folder(10)->FireItemAdd(contact));
  EXPECT_EQ(delivered, sim_->Folder(12)->FireItemAdd(note));

  EXPECT_EQ(
      "FileList{"
      "M1\\Budget[Work,Outlook Flag,Outlook Flag Blue,Outlook Item,"
      "Outlook Mail],"
      "A1\\Review[Outlook Item,Outlook Appt,Outlook Appt Today,"
      "Outlook Appt Future],"
      "T1\\Report[Work,Outlook Task In Progress,Outlook Task Active,"
      "Outlook Item,Outlook Task],"
      "C1\\Ann[Outlook Item,Outlook Contact],"
      "N1\\Idea[Work,Outlook Item,Outlook Note]}",
      ShellStoreModel::Describe(model_->Folder("FileList")));

  EXPECT_EQ("__QuerySpec|Budget", ShellStoreModel::ChildNames(mailFolder));
  EXPECT_EQ("__QuerySpec|Budget|Report",
            ShellStoreModel::ChildNames(workFolder));
  EXPECT_EQ("__QuerySpec|Active|Report",
            ShellStoreModel::ChildNames(taskFolder));
  EXPECT_EQ("__QuerySpec|Report", ShellStoreModel::ChildNames(activeFolder));
  EXPECT_EQ("__QuerySpec|Review", ShellStoreModel::ChildNames(todayFolder));

  // Each event told both windows to refresh, in slot order.
  std::vector<std::pair<HWND, WPARAM>> expected;
  for (int event = 0; event < 5; ++event) {
    expected.emplace_back(Window(0x100), 200);
    expected.emplace_back(Window(0x107), 200);
  }
  EXPECT_EQ(expected, Posted());

  // The mail leaves Work and loses its flag; after disconnection the
  // subscription still delivers the change.
  ASSERT_EQ(S_OK, addin_->OnDisconnection(ext_dm_UserClosed, nullptr));
  mail->SetProperty("Categories", VariantFromUtf8(""));
  mail->SetProperty("FlagStatus", VariantFromI4(0));
  EXPECT_EQ(delivered, sim_->Folder(6)->FireItemChange(mail));
  // The colour goes too: it is a top-level category the item doesn't name.
  EXPECT_EQ("Outlook Item,Outlook Mail",
            std::string(static_cast<CEntryNode*>(
                            model_->Folder("FileList")->GetFirstChild())
                            ->GetCategories()));
  EXPECT_EQ("__QuerySpec|Report", ShellStoreModel::ChildNames(workFolder));
  EXPECT_EQ("__QuerySpec|Budget", ShellStoreModel::ChildNames(mailFolder));
  EXPECT_EQ(12u, emu::PostedMessages().size());

  EXPECT_EQ(6, model_->Creations());
  EXPECT_EQ(6, model_->OpenCalls());
  EXPECT_EQ(6, model_->CloseCalls());
}

}  // namespace
}  // namespace addin_test
