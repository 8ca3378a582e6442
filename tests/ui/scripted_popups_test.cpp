#include <gtest/gtest.h>

#include "scripted_popups.h"

namespace tvx {
namespace {

FileSelectRequest InitRequest(bool forSaving) {
    FileSelectRequest request;
    request.startDirectory = "/opt/trivex";
    request.defaultFileName = "init.dat";
    request.fileTypeList = "*.dat";
    request.title = "init";
    request.forSaving = forSaving;
    return request;
}

TEST(ScriptedPopups, RecordsEveryPopupInOrderWithItsAnswer) {
    ScriptedPopups popups;
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_EQ(popups.LastTitle(), QString());
    EXPECT_EQ(popups.LastText(), QString());

    popups.QueueConfirm(true);
    popups.QueueFileSelection("/tmp/a.dat");
    popups.MessagePopup("INFO!", " Stops data transfer from sensor to PC.\n Shortcut Key: F12. ");
    EXPECT_TRUE(popups.ConfirmPopup("ATTENTION!", "Are you sure?"));
    EXPECT_EQ(popups.FileSelectPopup(InitRequest(true)), std::optional<QString>("/tmp/a.dat"));

    ASSERT_EQ(popups.Count(), 3);
    EXPECT_EQ(popups.Count(PopupKind::Message), 1);
    EXPECT_EQ(popups.Count(PopupKind::Confirm), 1);
    EXPECT_EQ(popups.Count(PopupKind::FileSelect), 1);
    const auto& r = popups.Records();
    EXPECT_EQ(r[0].kind, PopupKind::Message);
    EXPECT_EQ(r[0].text, " Stops data transfer from sensor to PC.\n Shortcut Key: F12. ");
    EXPECT_EQ(r[1].kind, PopupKind::Confirm);
    EXPECT_EQ(r[1].confirmed, std::optional<bool>(true));
    EXPECT_EQ(r[2].kind, PopupKind::FileSelect);
    EXPECT_EQ(r[2].title, "init");
    EXPECT_EQ(r[2].text, QString());
    EXPECT_EQ(r[2].request.startDirectory, "/opt/trivex");
    EXPECT_EQ(r[2].request.defaultFileName, "init.dat");
    EXPECT_EQ(r[2].request.fileTypeList, "*.dat");
    EXPECT_TRUE(r[2].request.forSaving);
    EXPECT_EQ(r[2].selectedFile, std::optional<QString>("/tmp/a.dat"));
    EXPECT_EQ(popups.Titles(), QStringList({"INFO!", "ATTENTION!", "init"}));
    EXPECT_EQ(popups.LastTitle(), "init");
}

TEST(ScriptedPopups, UnscriptedQuestionsGetTheCautiousAnswer) {
    ScriptedPopups popups;
    EXPECT_FALSE(popups.ConfirmPopup("ATTENTION!",
                                     "File already exist! \nDo you want to select existing file?"));
    EXPECT_EQ(popups.FileSelectPopup(InitRequest(false)), std::nullopt);
    EXPECT_EQ(popups.Records()[0].confirmed, std::optional<bool>(false));
    EXPECT_EQ(popups.Records()[1].selectedFile, std::nullopt);

    popups.SetDefaultConfirm(true);
    EXPECT_TRUE(popups.ConfirmPopup("t", "x"));
}

TEST(ScriptedPopups, QueuedAnswersAreTakenFirstInFirstOut) {
    ScriptedPopups popups;
    popups.QueueConfirm(true);
    popups.QueueConfirm(false);
    popups.QueueConfirm(true);
    popups.QueueFileCancel();
    popups.QueueFileSelection("/tmp/b.car");
    EXPECT_EQ(popups.PendingConfirms(), 3);
    EXPECT_EQ(popups.PendingFileSelections(), 2);

    // Messages take no answer from the queues.
    popups.MessagePopup("INFO!", "x");
    EXPECT_TRUE(popups.ConfirmPopup("q", "1"));
    EXPECT_FALSE(popups.ConfirmPopup("q", "2"));
    EXPECT_TRUE(popups.ConfirmPopup("q", "3"));
    EXPECT_FALSE(popups.ConfirmPopup("q", "4"));  // queue empty: default
    EXPECT_EQ(popups.FileSelectPopup(InitRequest(false)), std::nullopt);
    EXPECT_EQ(popups.FileSelectPopup(InitRequest(false)), std::optional<QString>("/tmp/b.car"));
    EXPECT_EQ(popups.FileSelectPopup(InitRequest(false)), std::nullopt);
    EXPECT_EQ(popups.PendingConfirms(), 0);
    EXPECT_EQ(popups.PendingFileSelections(), 0);
}

TEST(ScriptedPopups, HookRunsWhileThePopupIsOpen) {
    ScriptedPopups popups;
    std::vector<QString> seen;
    bool windowOpen = true;
    popups.SetHook([&](const PopupRecord& record) {
        seen.push_back(record.title);
        // The pop-up is already recorded when the hook runs.
        EXPECT_EQ(popups.LastTitle(), record.title);
        if (record.kind == PopupKind::Confirm) popups.QueueConfirm(true);  // answered just in time
        if (record.title == "TCP Client") windowOpen = false;              // e.g. close the program
    });
    EXPECT_TRUE(popups.ConfirmPopup("CONFIRM CALCULATION!", "?"));
    popups.MessagePopup("TCP Client", "Server has closed connection!");
    EXPECT_FALSE(windowOpen);
    EXPECT_EQ(seen, (std::vector<QString>{"CONFIRM CALCULATION!", "TCP Client"}));
    EXPECT_EQ(popups.Records()[0].confirmed, std::optional<bool>(true));
}

TEST(ScriptedPopups, PopupRaisedFromTheHookIsRecordedAfterTheOpenOne) {
    ScriptedPopups popups;
    popups.SetHook([&](const PopupRecord& record) {
        if (record.title == "first") popups.MessagePopup("second", "nested");
    });
    popups.QueueConfirm(true);
    EXPECT_TRUE(popups.ConfirmPopup("first", "outer"));
    ASSERT_EQ(popups.Count(), 2);
    EXPECT_EQ(popups.Titles(), QStringList({"first", "second"}));
    EXPECT_EQ(popups.Records()[0].confirmed, std::optional<bool>(true));
    EXPECT_EQ(popups.Records()[0].text, "outer");
}

TEST(ScriptedPopups, HookMayReplaceOrRemoveItself) {
    ScriptedPopups popups;
    int calls = 0;
    popups.SetHook([&](const PopupRecord&) {
        ++calls;
        popups.SetHook({});
    });
    popups.MessagePopup("a", "1");
    popups.MessagePopup("b", "2");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(popups.Count(), 2);
}

TEST(ScriptedPopups, ClearForgetsRecordsAndAnswersButKeepsTheHook) {
    ScriptedPopups popups;
    int calls = 0;
    popups.SetHook([&](const PopupRecord&) { ++calls; });
    popups.SetDefaultConfirm(true);
    popups.QueueConfirm(true);
    popups.QueueFileSelection("/x.dat");
    popups.MessagePopup("INFO!", "x");
    popups.Clear();
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_TRUE(popups.Records().empty());
    EXPECT_EQ(popups.PendingConfirms(), 0);
    EXPECT_EQ(popups.PendingFileSelections(), 0);
    EXPECT_FALSE(popups.ConfirmPopup("q", "default is no again"));
    EXPECT_EQ(popups.FileSelectPopup(InitRequest(true)), std::nullopt);
    EXPECT_EQ(calls, 3);
}

TEST(ScriptedPopups, UsableThroughThePopupsInterface) {
    ScriptedPopups scripted;
    scripted.QueueConfirm(true);
    Popups& popups = scripted;
    popups.MessagePopup("INFO!", "File has been saved!");
    EXPECT_TRUE(popups.ConfirmPopup("ATTENTION!",
                                    "Are you sure, that you have selected the right file name?"));
    EXPECT_EQ(scripted.Texts(),
              QStringList({"File has been saved!",
                           "Are you sure, that you have selected the right file name?"}));
}

}  // namespace
}  // namespace tvx
