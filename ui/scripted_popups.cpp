#include "scripted_popups.h"

#include <algorithm>

namespace tvx {

void ScriptedPopups::Appear(const PopupRecord& record) {
    records_.push_back(record);
    // The hook works on a copy of the record, since a pop-up raised inside it may grow records_,
    // and runs from a copy of itself, since it may replace the hook.
    if (hook_) {
        const Hook hook = hook_;
        hook(record);
    }
}

void ScriptedPopups::MessagePopup(const QString& title, const QString& text) {
    PopupRecord record;
    record.kind = PopupKind::Message;
    record.title = title;
    record.text = text;
    Appear(record);
}

bool ScriptedPopups::ConfirmPopup(const QString& title, const QString& text,
                                  DefaultAnswer byDefault) {
    PopupRecord record;
    record.kind = PopupKind::Confirm;
    record.title = title;
    record.text = text;
    record.byDefault = byDefault;
    const size_t index = records_.size();
    Appear(record);
    bool answer = defaultConfirm_;
    if (!confirms_.empty()) {
        answer = confirms_.front();
        confirms_.pop_front();
    }
    records_[index].confirmed = answer;
    return answer;
}

std::optional<QString> ScriptedPopups::FileSelectPopup(const FileSelectRequest& request) {
    PopupRecord record;
    record.kind = PopupKind::FileSelect;
    record.title = request.title;
    record.request = request;
    const size_t index = records_.size();
    Appear(record);
    std::optional<QString> answer;
    if (!files_.empty()) {
        answer = files_.front();
        files_.pop_front();
    }
    records_[index].selectedFile = answer;
    return answer;
}

void ScriptedPopups::QueueConfirm(bool yes) {
    confirms_.push_back(yes);
}

void ScriptedPopups::QueueFileSelection(const QString& path) {
    files_.push_back(path);
}

void ScriptedPopups::QueueFileCancel() {
    files_.push_back(std::nullopt);
}

int ScriptedPopups::Count(PopupKind kind) const {
    return static_cast<int>(std::count_if(records_.begin(), records_.end(),
                                          [kind](const PopupRecord& r) { return r.kind == kind; }));
}

QString ScriptedPopups::LastTitle() const {
    return records_.empty() ? QString() : records_.back().title;
}

QString ScriptedPopups::LastText() const {
    return records_.empty() ? QString() : records_.back().text;
}

QStringList ScriptedPopups::Titles() const {
    QStringList titles;
    for (const PopupRecord& r : records_) titles << r.title;
    return titles;
}

QStringList ScriptedPopups::Texts() const {
    QStringList texts;
    for (const PopupRecord& r : records_) texts << r.text;
    return texts;
}

void ScriptedPopups::Clear() {
    records_.clear();
    confirms_.clear();
    files_.clear();
    defaultConfirm_ = false;
}

}  // namespace tvx
