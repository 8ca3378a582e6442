#include "unsent_work.h"

#include "unsent_changes.h"
#include "unsent_mark.h"

namespace tvx {

UnsentWork::UnsentWork(ParameterControls& controls, GroupPanel& grouppanel, Popups& popups)
    : controls_(controls), grouppanel_(grouppanel), popups_(popups) {
    ParameterControls& c = controls_;
    // In the order of the image's mode words; frei15 and frei16 have no control.
    modeControls_ = {c.slidePower,   c.editPmode,
                     c.editAverage,  c.editEvalmode,
                     c.editHold,     c.editIntlim,
                     c.editMaxcolNo, c.editOutmode,
                     c.editTrigger,  c.editExteach,
                     c.editCalcmode, c.editDynWinLo,
                     c.editDynWinHi, grouppanel_.switchColorGroups,
                     nullptr,        nullptr};
    baseline_ = controls_.PanelValues();
    WatchControls();
}

// The connections come after those of the controls' own callbacks, so a refresh sees the values
// a mode rule forced in answer to the same action.
void UnsentWork::WatchControls() {
    for (QWidget* control : modeControls_) {
        if (auto* numeric = qobject_cast<QSpinBox*>(control)) {
            connect(numeric, &QSpinBox::valueChanged, this, &UnsentWork::Refresh);
        } else if (auto* ring = qobject_cast<QComboBox*>(control)) {
            connect(ring, &QComboBox::currentIndexChanged, this, &UnsentWork::Refresh);
            connect(ring, &QComboBox::activated, this, &UnsentWork::Refresh);
        } else if (auto* slider = qobject_cast<QSlider*>(control)) {
            connect(slider, &QSlider::valueChanged, this, &UnsentWork::Refresh);
        } else if (auto* toggle = qobject_cast<QCheckBox*>(control)) {
            connect(toggle, &QCheckBox::toggled, this, &UnsentWork::Refresh);
            connect(toggle, &QCheckBox::clicked, this, &UnsentWork::Refresh);
        }
    }
    // The program's own writes into the tables (teaching, AUTO ADJUST, a read) change the model
    // too; the marks themselves change other roles only.
    for (WordTable* table : {controls_.gridTeach, grouppanel_.gridGroups}) {
        connect(table->model(), &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                    if (roles.isEmpty() || roles.contains(Qt::EditRole) ||
                        roles.contains(Qt::DisplayRole))
                        Refresh();
                });
    }
}

QWidget* UnsentWork::ControlOfModeWord(int word) const {
    if (word < 0 || word >= static_cast<int>(modeControls_.size())) return nullptr;
    return modeControls_[static_cast<std::size_t>(word)];
}

void UnsentWork::TakeBaseline() {
    baseline_ = controls_.PanelValues();
    Refresh();
}

void UnsentWork::Refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    const std::vector<int> words = UnsentWords(controls_.PanelValues(), baseline_);
    auto next = words.begin();
    for (int word = 0; word < anzpara; ++word) {
        const bool unsent = next != words.end() && *next == word;
        if (unsent) ++next;
        Mark(word, unsent);
    }
    refreshing_ = false;
    const int count = static_cast<int>(words.size());
    if (count == count_) return;
    count_ = count;
    emit unsentCountChanged(count_);
}

void UnsentWork::Mark(int word, bool unsent) {
    const ImageWordPlace place = PlaceOfImageWord(word);
    switch (place.kind) {
        case ImageWordPlace::ModeWord:
            MarkUnsent(ControlOfModeWord(place.column), unsent);
            break;
        case ImageWordPlace::TeachCell:
            controls_.gridTeach->MarkUnsent(place.row, place.column, unsent);
            break;
        case ImageWordPlace::GroupCell:
            grouppanel_.gridGroups->MarkUnsent(place.row, 0, unsent);
            break;
    }
}

bool UnsentWork::MayReplace() {
    return MayLoseWork(&UnsentChangesQuestion);
}

bool UnsentWork::MayClose() {
    return MayLoseWork(&UnsentChangesCloseQuestion);
}

bool UnsentWork::MayLoseWork(QString (*question)(int count)) {
    // A number typed and not committed counts as the user sees it; a text that is no number was
    // named by its box and counts with the value held before.
    controls_.TakeShownValues();
    Refresh();
    if (count_ == 0) return true;
    // A second read while the question is open (a reconnection from the interface panel) keeps
    // the work; the open question still decides for its own read.
    if (asking_) return false;
    asking_ = true;
    // Enter, the answer given without reading, keeps the work.
    const bool lose = popups_.ConfirmPopup(QString::fromLatin1(kUnsentChangesTitle),
                                           question(count_), Popups::DefaultAnswer::No);
    asking_ = false;
    return lose;
}

}  // namespace tvx
