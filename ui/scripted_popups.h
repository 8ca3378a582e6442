#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "popups.h"

namespace tvx {

// Which pop-up was asked for.
enum class PopupKind { Message, Confirm, FileSelect };

// One pop-up as the program showed it, with the answer it got.
struct PopupRecord {
    PopupKind kind = PopupKind::Message;
    QString title;
    QString text;                   // empty for a file selection
    FileSelectRequest request;      // filled for a file selection only
    std::optional<bool> confirmed;  // the answer given to a confirmation
    Popups::DefaultAnswer byDefault = Popups::DefaultAnswer::Yes;  // a confirmation's Enter
    std::optional<QString> selectedFile;  // the answer given to a file selection
};

// Pop-ups for tests: nothing is shown; every pop-up is recorded in the order it appeared, and
// confirmations and file selections are answered from queues the test fills beforehand.
//
// When a queue is empty the answer is the cautious one a user gives by closing the box:
// a confirmation is answered "No" (false) unless SetDefaultConfirm(true) was called, and a file
// selection is cancelled. Message boxes need no answer.
//
// A hook runs each time a pop-up appears, while it is "open", before its answer is taken: a test
// can close the main window there, press a button, or queue the answer just in time. The hook may
// itself cause further pop-ups; they are recorded after the one that is open.
class ScriptedPopups : public Popups {
  public:
    using Hook = std::function<void(const PopupRecord&)>;

    void MessagePopup(const QString& title, const QString& text) override;
    using Popups::ConfirmPopup;
    bool ConfirmPopup(const QString& title, const QString& text, DefaultAnswer byDefault) override;
    std::optional<QString> FileSelectPopup(const FileSelectRequest& request) override;

    // Scripted answers, taken first in first out.
    void QueueConfirm(bool yes);
    void QueueFileSelection(const QString& path);
    void QueueFileCancel();
    // The answer to a confirmation when its queue is empty (false unless set).
    void SetDefaultConfirm(bool yes) { defaultConfirm_ = yes; }

    // Runs whenever a pop-up appears; an empty function removes the hook.
    void SetHook(Hook hook) { hook_ = std::move(hook); }

    // What was shown.
    int Count() const { return static_cast<int>(records_.size()); }
    int Count(PopupKind kind) const;
    const std::vector<PopupRecord>& Records() const { return records_; }
    // The latest pop-up; empty strings when none appeared yet.
    QString LastTitle() const;
    QString LastText() const;
    QStringList Titles() const;
    QStringList Texts() const;
    // Forgets the records, the queued answers and the default; keeps the hook.
    void Clear();

  private:
    void Appear(const PopupRecord& record);

    std::vector<PopupRecord> records_;
    std::deque<bool> confirms_;
    std::deque<std::optional<QString>> files_;
    bool defaultConfirm_ = false;
    Hook hook_;
};

}  // namespace tvx
