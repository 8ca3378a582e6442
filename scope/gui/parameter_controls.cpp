#include "parameter_controls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <utility>

#include "dimming.h"
#include "help.h"
#include "parameter_names.h"
#include "scope_texts.h"
#include "shown_values.h"
#include "window_placement.h"

namespace tvx {

namespace {

constexpr int kWordMax = 0xFFFF;

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// A ring's value is the code of its current item (item data), so items may be listed in any
// order.
QComboBox* MakeRing(QWidget* parent, std::span<const RingItem> items) {
    auto* ring = new QComboBox(parent);
    for (const RingItem& item : items) ring->addItem(QString::fromLatin1(item.label), item.code);
    return ring;
}

std::uint16_t RingValue(const QComboBox* ring) {
    return static_cast<std::uint16_t>(ring->currentData().toUInt());
}

// A code the ring does not offer leaves the ring as it is, as a ring of the panel library does.
void SetRingValue(QComboBox* ring, std::uint16_t value) {
    const int index = ring->findData(static_cast<int>(value));
    if (index < 0) return;
    const QSignalBlocker blocker(ring);
    ring->setCurrentIndex(index);
}

QSpinBox* MakeNumeric(QWidget* parent, int minimum, int maximum, int value) {
    auto* numeric = new QSpinBox(parent);
    numeric->setRange(minimum, maximum);
    numeric->setValue(value);
    // A typed number commits on Enter or when the field is left, not with every digit.
    numeric->setKeyboardTracking(false);
    numeric->setAccelerated(true);
    return numeric;
}

std::uint16_t NumericValue(const QSpinBox* numeric) {
    return static_cast<std::uint16_t>(numeric->value());
}

void SetNumericValue(QSpinBox* numeric, std::uint32_t value) {
    const QSignalBlocker blocker(numeric);
    numeric->setValue(static_cast<std::uint16_t>(value));
}

void DrawEnabled(QWidget* control, const ControlState& state) {
    if (state.enabled) control->setEnabled(*state.enabled);
}

void DrawShown(QWidget* control, const ControlState& state) {
    if (state.shown) control->setVisible(*state.shown);
}

void DrawRing(QComboBox* ring, const ControlState& state) {
    if (state.forced) SetRingValue(ring, *state.forced);
    DrawEnabled(ring, state);
}

void DrawNumeric(QSpinBox* numeric, const ControlState& state) {
    if (state.forced) SetNumericValue(numeric, *state.forced);
    DrawEnabled(numeric, state);
}

}  // namespace

ParameterControls::ParameterControls(MainPanel& panel, GroupPanel& grouppanel, State state,
                                     Popups& popups, std::function<void()> sendPara)
    : QObject(nullptr),
      panel_(panel),
      grouppanel_(grouppanel),
      state_(state),
      popups_(popups),
      sendPara_(std::move(sendPara)) {
    BuildParameterPage();
    BuildTeachPage();
    dimmedCommands_ = {panel_.buttonSend, panel_.buttonGet, panel_.buttonGo, editCalcmode,
                       panel_.buttonConnect};
    ConnectCallbacks();
    AttachHelpTexts();

    // The dimmed states that belong to the default values, as the panel starts with them.
    InitExteach();
    InitTrigger();
    InitEvalMode();
    InitCalcMode();
    MarkActiveRows(editMaxcolNo->value());
}

void ParameterControls::BuildParameterPage() {
    QWidget* page = panel_.parameterPage;

    slidePower = new QSlider(Qt::Horizontal, page);
    slidePower->setRange(0, static_cast<int>(kPowerMax));
    slidePower->setSingleStep(1);
    slidePower->setPageStep(50);
    slidePower->setValue(500);
    dispPower = new QLabel(page);
    dispPower->setMinimumWidth(40);
    dispPower->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    dispPower->setNum(slidePower->value());
    // The readout follows the slider whoever moves it.
    connect(slidePower, &QSlider::valueChanged, dispPower, qOverload<int>(&QLabel::setNum));

    editPmode = MakeRing(page, kPmodeItems);
    editAverage = MakeNumeric(page, 0, kWordMax, 16);
    editEvalmode = MakeRing(page, kEvalmodeItems);
    editHold = MakeNumeric(page, 0, kWordMax, 10);
    editIntlim = MakeNumeric(page, 0, kWordMax, 50);
    editMaxcolNo = MakeNumeric(page, 1, kTeachRows, 4);
    editOutmode = MakeRing(page, kOutmodeItems);
    editTrigger = MakeRing(page, kTriggerItems);
    editExteach = MakeRing(page, kExteachItems);
    editCalcmode = MakeRing(page, kCalcmodeItems);
    editDynWinLo = MakeNumeric(page, 0, kWordMax, 3000);
    editDynWinHi = MakeNumeric(page, 0, kWordMax, 3500);

    auto* grid = static_cast<QGridLayout*>(page->layout());
    auto add = [&](int row, int column, const QString& text, QWidget* control) {
        auto* label = new QLabel(text, page);
        label->setBuddy(control);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(control, row, column * 2 + 1);
    };
    auto* power = new QHBoxLayout;
    power->addWidget(slidePower, 1);
    power->addWidget(dispPower);
    auto* powerLabel = new QLabel(QStringLiteral("POWER"), page);
    powerLabel->setBuddy(slidePower);
    grid->addWidget(powerLabel, 0, 0);
    grid->addLayout(power, 0, 1, 1, 5);
    add(1, 0, QStringLiteral("PMOD"), editPmode);
    add(2, 0, QStringLiteral("DYN WIN LO"), editDynWinLo);
    add(3, 0, QStringLiteral("DYN WIN HI"), editDynWinHi);
    add(4, 0, QStringLiteral("INT LIMIT"), editIntlim);
    add(1, 1, QStringLiteral("EVAL MODE"), editEvalmode);
    add(2, 1, QStringLiteral("MAXCOL-No."), editMaxcolNo);
    add(3, 1, QStringLiteral("OUTMODE"), editOutmode);
    add(4, 1, QStringLiteral("HOLD"), editHold);
    add(1, 2, QStringLiteral("CALC MODE"), editCalcmode);
    add(2, 2, QStringLiteral("AVERAGE"), editAverage);
    add(3, 2, QStringLiteral("TRIGGER"), editTrigger);
    add(4, 2, QStringLiteral("EXT. TEACH"), editExteach);
    grid->setRowStretch(5, 1);
}

void ParameterControls::BuildTeachPage() {
    QWidget* page = panel_.teachPage;

    gridTeach = new WordTable(kTeachRows, kTeachColumns, 1, 0, page);
    gridTeach->setHorizontalHeaderItem(kTeachColumnRowColour,
                                       new QTableWidgetItem(QStringLiteral("COLOR")));
    gridTeach->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    gridTeach->setAccessibleName(QStringLiteral("COLOR TEACH TABLE"));

    editNo = MakeNumeric(page, 0, kTeachRows - 1, 0);
    radioInc = new QCheckBox(QStringLiteral("INC"), page);
    buttonTeachDataTo = new QPushButton(QStringLiteral("TEACH DATA TO"), page);
    buttonColorGroups = new QPushButton(QStringLiteral("COLOR GROUPS"), page);

    auto* row = new QHBoxLayout;
    auto* noLabel = new QLabel(QStringLiteral("No.:"), page);
    noLabel->setBuddy(editNo);
    row->addWidget(noLabel);
    row->addWidget(editNo);
    row->addWidget(radioInc);
    teachButtons = new QVBoxLayout;
    teachButtons->addWidget(buttonTeachDataTo);
    teachButtons->addLayout(row);
    teachButtons->addWidget(buttonColorGroups);
    teachButtons->addStretch(1);

    auto* grid = static_cast<QGridLayout*>(page->layout());
    grid->addWidget(gridTeach, 0, 0);
    grid->addLayout(teachButtons, 0, 1);
    grid->setColumnStretch(0, 1);
}

void ParameterControls::ConnectCallbacks() {
    connect(panel_.selectRAM, &QPushButton::toggled, this, &ParameterControls::CBF_SelectRAM);
    connect(panel_.selectEEPROM, &QPushButton::toggled, this, &ParameterControls::CBF_SelectEEPROM);
    connect(panel_.selectFILE, &QPushButton::toggled, this, &ParameterControls::CBF_SelectFILE);

    connect(editEvalmode, &QComboBox::activated, this, &ParameterControls::CBF_Evalmode);
    connect(editTrigger, &QComboBox::activated, this, &ParameterControls::CBF_EditTrigger);
    connect(editExteach, &QComboBox::activated, this, &ParameterControls::CBF_EditExteach);
    connect(editPmode, &QComboBox::activated, this, &ParameterControls::CBF_EditPmode);
    connect(editCalcmode, &QComboBox::activated, this, &ParameterControls::CBF_Calcmode);
    connect(editOutmode, &QComboBox::activated, this, &ParameterControls::CBF_EditOutmode);
    connect(editMaxcolNo, &QSpinBox::valueChanged, this, &ParameterControls::CBF_EditMaxcolNo);

    connect(buttonColorGroups, &QPushButton::clicked, this,
            &ParameterControls::CBF_ButtonColorGroups);
    connect(grouppanel_.gridGroups, &QTableWidget::itemChanged, this,
            &ParameterControls::CBF_EditGridGroups);
    connect(grouppanel_.switchColorGroups, &QCheckBox::clicked, this,
            &ParameterControls::CBF_EditColorGroups);
    connect(grouppanel_.buttonResetGroupTable, &QPushButton::clicked, this,
            &ParameterControls::CBF_ButtonResetGroupTable);
    connect(grouppanel_.buttonGroupPanelClose, &QPushButton::clicked, this,
            &ParameterControls::CBF_ButtonGroupPanelClose);
}

void ParameterControls::AttachHelpTexts() {
    using namespace info;
    AttachHelp(panel_.selectRAM, popups_, Text(InfoSelectMEM));
    AttachHelp(panel_.selectEEPROM, popups_, Text(InfoSelectMEM));
    AttachHelp(panel_.selectFILE, popups_, Text(InfoSelectMEM));

    AttachHelp(slidePower, popups_, Text(InfoEditPower));
    AttachHelp(dispPower, popups_, Text(InfoEditPower));
    AttachHelp(editPmode, popups_, Text(InfoEditPmod));
    AttachHelp(editAverage, popups_, Text(InfoEditAverage));
    AttachHelp(editEvalmode, popups_, Text(InfoEditEvalmode));
    // The manual that the help text names is the user guide; the hover text says where.
    editEvalmode->setToolTip(Text(InfoEditEvalmode) +
                             QStringLiteral("\nThe manual: the user guide (guide.md, installed in "
                                            "/usr/share/doc/trivex-pc), \"Evaluation modes\"."));
    AttachHelp(editHold, popups_, Text(InfoEditHold));
    AttachHelp(editIntlim, popups_, Text(InfoEditIntlim));
    AttachHelp(editMaxcolNo, popups_, Text(InfoEditMaxcolNo));
    AttachHelp(editOutmode, popups_, Text(InfoEditOutmode));
    AttachHelp(editTrigger, popups_, Text(InfoEditTrigger));
    AttachHelp(editExteach, popups_, Text(InfoEditExteach));
    AttachHelp(editCalcmode, popups_, Text(InfoEditCalcMode));
    AttachHelp(editDynWinLo, popups_, Text(InfoEditDynWinLoHi));
    AttachHelp(editDynWinHi, popups_, Text(InfoEditDynWinLoHi));

    AttachHelp(editNo, popups_, Text(InfoEditNo));
    AttachHelp(radioInc, popups_, Text(InfoRadioInc));
    AttachHelp(buttonTeachDataTo, popups_, Text(InfoButtonTeachDataTo));
    AttachHelp(buttonColorGroups, popups_, Text(InfoButtonColorGroups));

    // The group table has no help of its own.
    AttachHelp(grouppanel_.switchColorGroups, popups_, Text(InfoEditColorGroups));
    AttachHelp(grouppanel_.buttonResetGroupTable, popups_, Text(InfoButtonResetGroupTable));
    AttachHelp(grouppanel_.buttonGroupPanelClose, popups_, Text(InfoButtonClosePanel));
}

ParameterControls::DispNamesRow ParameterControls::LabelRow(QLabel* label, QString mode0,
                                                            QString mode1) {
    return [label, mode0 = std::move(mode0), mode1 = std::move(mode1)](int calcmode) {
        label->setText(calcmode == 0 ? mode0 : mode1);
    };
}

ParameterControls::DispNamesRow ParameterControls::RingItemsRow(QComboBox* ring, QList<int> items,
                                                                QStringList mode0,
                                                                QStringList mode1) {
    return [ring, items = std::move(items), mode0 = std::move(mode0),
            mode1 = std::move(mode1)](int calcmode) {
        const QStringList& labels = calcmode == 0 ? mode0 : mode1;
        for (int i = 0; i < items.size() && i < labels.size(); ++i) {
            const int index = ring->findData(items[i]);
            if (index >= 0) ring->setItemText(index, labels[i]);
        }
    };
}

void ParameterControls::AddDimmedCommand(QWidget* control) {
    // STOP must stay operable: it is the only way to end the live loop.
    if (!control || control == panel_.buttonStop) return;
    dimmedCommands_.push_back(control);
}

QList<QWidget*> ParameterControls::ValueBoxes() const {
    return {editAverage, editHold, editIntlim, editMaxcolNo, editDynWinLo, editDynWinHi};
}

bool ParameterControls::TakeShownValues() {
    return tvx::TakeShownValues(ValueBoxes(), popups_) && gridTeach->TakeOpenEditor(popups_) &&
           grouppanel_.gridGroups->TakeOpenEditor(popups_);
}

bool ParameterControls::GetPanelValues() {
    if (!TakeShownValues()) return false;
    state_.params = PanelValues();
    return true;
}

// The spare words have no control; they keep what was read or loaded last.
ParameterSet ParameterControls::PanelValues() const {
    ParameterSet p = state_.params;
    p.power = static_cast<std::uint16_t>(slidePower->value());
    p.pmode = RingValue(editPmode);
    p.average = NumericValue(editAverage);
    p.evalmode = RingValue(editEvalmode);
    p.hold = NumericValue(editHold);
    p.intlim = NumericValue(editIntlim);
    p.maxcolno = NumericValue(editMaxcolNo);
    p.outmode = RingValue(editOutmode);
    p.trigger = RingValue(editTrigger);
    p.exteach = RingValue(editExteach);
    p.calcmode = RingValue(editCalcmode);
    p.dynwinlo = NumericValue(editDynWinLo);
    p.dynwinhi = NumericValue(editDynWinHi);
    p.colorgroup = grouppanel_.switchColorGroups->isChecked() ? 1 : 0;
    for (int r = 0; r < kTeachRows; ++r) {
        const auto row = static_cast<std::size_t>(r);
        p.groupbuf[row] = grouppanel_.Group(r);
        for (int c = 0; c < kTeachColumns; ++c)
            p.ctt[row][static_cast<std::size_t>(c)] = gridTeach->Value(r, c);
    }
    return p;
}

void ParameterControls::SetPanelValues() {
    const ParameterSet& p = state_.params;
    {
        const QSignalBlocker blocker(slidePower);
        slidePower->setValue(p.power);
    }
    dispPower->setNum(slidePower->value());
    SetRingValue(editPmode, p.pmode);
    SetNumericValue(editAverage, p.average);
    SetRingValue(editEvalmode, p.evalmode);
    SetNumericValue(editHold, p.hold);
    SetNumericValue(editIntlim, p.intlim);
    SetNumericValue(editMaxcolNo, p.maxcolno);
    SetRingValue(editOutmode, p.outmode);
    SetRingValue(editTrigger, p.trigger);
    SetRingValue(editExteach, p.exteach);
    SetRingValue(editCalcmode, static_cast<std::uint16_t>(p.calcmode));
    SetNumericValue(editDynWinLo, p.dynwinlo);
    SetNumericValue(editDynWinHi, p.dynwinhi);
    {
        const QSignalBlocker blocker(grouppanel_.switchColorGroups);
        grouppanel_.switchColorGroups->setChecked(p.colorgroup != 0);
    }
    for (int r = 0; r < kTeachRows; ++r) {
        const auto row = static_cast<std::size_t>(r);
        grouppanel_.SetGroup(r, p.groupbuf[row]);
        for (int c = 0; c < kTeachColumns; ++c)
            gridTeach->SetValue(r, c, p.ctt[row][static_cast<std::size_t>(c)]);
    }
}

void ParameterControls::InitPanelCtrlAttr() {
    for (ModeRule rule : kModeRulesOfARead) InitModeRule(rule);
    for (const Step& step : panelCtrlAttrSteps_) step();
}

void ParameterControls::InitPowerMode() {
    InitModeRule(ModeRule::PowerMode);
}
void ParameterControls::InitTrigger() {
    InitModeRule(ModeRule::Trigger);
}
void ParameterControls::InitExteach() {
    InitModeRule(ModeRule::Exteach);
}
void ParameterControls::InitEvalMode() {
    InitModeRule(ModeRule::EvalMode);
}
void ParameterControls::InitCalcMode() {
    InitModeRule(ModeRule::CalcMode);
}
void ParameterControls::InitColorGroups() {
    InitModeRule(ModeRule::ColorGroups);
}

void ParameterControls::SetDispNames() {
    ReadModeWords(ModeRule::CalcMode);
    if (const auto names = ApplyModeRule(ModeRule::CalcMode, RuleInput()).names)
        RelabelPanels(*names);
}

void ParameterControls::InitModeRule(ModeRule rule) {
    ReadModeWords(rule);
    Draw(ApplyModeRule(rule, RuleInput()));
}

// A rule's variables are read at the rule's own commit (or a parameter read): the group checks
// look at outmode and colorgroup as they were last read, even where a rule has forced their
// controls since.
void ParameterControls::ReadModeWords(ModeRule rule) {
    ParameterSet& p = state_.params;
    switch (rule) {
        case ModeRule::PowerMode:
            p.pmode = RingValue(editPmode);
            break;
        case ModeRule::Trigger:
            p.trigger = RingValue(editTrigger);
            break;
        case ModeRule::Exteach:
            // External teach OFF and ON apply the power mode's rule, which reads PMOD.
            p.exteach = RingValue(editExteach);
            p.pmode = RingValue(editPmode);
            break;
        case ModeRule::EvalMode:
            p.evalmode = RingValue(editEvalmode);
            break;
        case ModeRule::CalcMode:
            p.calcmode = RingValue(editCalcmode);
            break;
        case ModeRule::ColorGroups:
            p.colorgroup = grouppanel_.switchColorGroups->isChecked() ? 1 : 0;
            break;
        case ModeRule::MaxColNo:
        case ModeRule::Outmode:
            p.maxcolno = NumericValue(editMaxcolNo);
            p.outmode = RingValue(editOutmode);
            break;
    }
}

ParameterSet ParameterControls::RuleInput() const {
    ParameterSet p = state_.params;
    for (int r = 0; r < kTeachRows; ++r)
        p.groupbuf[static_cast<std::size_t>(r)] = grouppanel_.Group(r);
    return p;
}

// The pop-ups come after the controls the rule sets and before the row labels, which are
// recoloured once the MAXCOL-No. warning is answered.
void ParameterControls::Draw(const ControlStates& s) {
    DrawEnabled(slidePower, s.power);
    DrawEnabled(dispPower, s.power);
    DrawRing(editPmode, s.pmode);
    DrawEnabled(editDynWinLo, s.dynwinlo);
    DrawEnabled(editDynWinHi, s.dynwinhi);
    DrawNumeric(editIntlim, s.intlim);
    DrawRing(editTrigger, s.trigger);
    DrawRing(editExteach, s.exteach);
    DrawNumeric(editMaxcolNo, s.maxcolno);
    DrawRing(editOutmode, s.outmode);
    if (s.colorgroup.forced) {
        const QSignalBlocker blocker(grouppanel_.switchColorGroups);
        grouppanel_.switchColorGroups->setChecked(*s.colorgroup.forced != 0);
    }
    DrawShown(&grouppanel_, s.grouppanel);
    ShowDisplay(displayHooks_.showGroupDisplay, s.dispGroup);
    ShowDisplay(displayHooks_.showColourNumber, s.dispCOL);
    ShowDisplay(displayHooks_.showColourBits, s.colourBits);
    DrawShown(buttonColorGroups, s.buttonColorGroups);
    DrawEnabled(buttonTeachDataTo, s.buttonTeachDataTo);
    if (s.columnCto.enabled) gridTeach->SetColumnEditable(kTeachColumnCto, *s.columnCto.enabled);
    if (s.names) {
        const auto& labels = TeachColumnNames(*s.names);
        for (int c = 0; c < kTeachColumns; ++c) {
            const QString label = QString::fromLatin1(labels[static_cast<std::size_t>(c)]);
            if (QTableWidgetItem* header = gridTeach->horizontalHeaderItem(c))
                header->setText(label);
            else
                gridTeach->setHorizontalHeaderItem(c, new QTableWidgetItem(label));
        }
        RelabelPanels(*s.names);
    }
    for (ModeWarning warning : s.warnings) ShowWarning(warning);
    if (s.activeRows) MarkActiveRows(*s.activeRows);
}

void ParameterControls::RelabelPanels(std::uint16_t calcmode) {
    for (const DispNamesRow& row : dispNamesRows_) row(calcmode);
}

void ParameterControls::ShowWarning(ModeWarning warning) {
    popups_.MessagePopup(QString::fromLatin1(kInfoTitle), Text(ModeWarningText(warning)));
}

void ParameterControls::ShowDisplay(const std::function<void(bool)>& hook,
                                    const ControlState& state) {
    if (hook && state.shown) hook(*state.shown);
}

void ParameterControls::ParaVis() {
    panel_.teachPage->hide();
    panel_.parameterPage->show();
}

void ParameterControls::ParaInVis() {
    buttonColorGroups->setVisible(ColorGroupsOffered(state_.params.evalmode));
    panel_.parameterPage->hide();
    panel_.teachPage->show();
}

void ParameterControls::SetButtonsDimmed(bool dimmed, QWidget* keptUsable) {
    QList<QWidget*> commands;
    for (QWidget* control : dimmedCommands_)
        if (control != keptUsable) commands << control;
    SetControlsDimmed(commands, dimmed);
}

void ParameterControls::MarkActiveRows(std::uint32_t maxcolno) {
    gridTeach->MarkActiveRows(maxcolno);
    grouppanel_.gridGroups->MarkActiveRows(maxcolno);
}

void ParameterControls::SelectMemory(std::uint16_t memory) {
    const QSignalBlocker ram(panel_.selectRAM);
    const QSignalBlocker eeprom(panel_.selectEEPROM);
    const QSignalBlocker file(panel_.selectFILE);
    panel_.selectRAM->setChecked(memory == RAM);
    panel_.selectEEPROM->setChecked(memory == EEPROM);
    panel_.selectFILE->setChecked(memory == DATFILE);
    state_.exchange.target = memory;
}

// The three toggles act as one selector: switching one on selects it; switching the active one
// off falls back to RAM, so exactly one is always on.
void ParameterControls::OnMemoryToggled(std::uint16_t memory, bool on) {
    SelectMemory(on ? memory : static_cast<std::uint16_t>(RAM));
}

void ParameterControls::CBF_SelectRAM(bool on) {
    OnMemoryToggled(RAM, on);
}
void ParameterControls::CBF_SelectEEPROM(bool on) {
    OnMemoryToggled(EEPROM, on);
}
void ParameterControls::CBF_SelectFILE(bool on) {
    OnMemoryToggled(DATFILE, on);
}

void ParameterControls::CBF_Evalmode() {
    InitEvalMode();
}
void ParameterControls::CBF_EditTrigger() {
    InitTrigger();
}
void ParameterControls::CBF_EditExteach() {
    InitExteach();
}
void ParameterControls::CBF_EditPmode() {
    InitPowerMode();
}

// The sensor computes in the new mode at once: the whole panel goes to its RAM, whatever memory
// was selected, and RAM stays selected.
void ParameterControls::CBF_Calcmode() {
    SelectMemory(RAM);
    SetButtonsDimmed(true);
    if (sendPara_) sendPara_();
    InitCalcMode();
    SetButtonsDimmed(false);
}

void ParameterControls::CBF_EditMaxcolNo() {
    InitModeRule(ModeRule::MaxColNo);
}

void ParameterControls::CBF_EditOutmode() {
    InitModeRule(ModeRule::Outmode);
}

void ParameterControls::CBF_ButtonColorGroups() {
    ShowPanel(grouppanel_, &panel_);
    grouppanel_.raise();
}

// The check reads the cell that was active before the change, and outmode as last read from
// the panel.
void ParameterControls::CBF_EditGridGroups() {
    const GroupPanel::Cell cell = grouppanel_.activCell();
    const std::uint16_t group = grouppanel_.gridGroups->Value(cell.row, cell.column);
    if (!GroupFitsOutmode(group, state_.params.outmode)) ShowWarning(ModeWarning::GroupsOutmode);
}

void ParameterControls::CBF_EditColorGroups() {
    InitColorGroups();
}

void ParameterControls::CBF_ButtonResetGroupTable() {
    grouppanel_.ResetGroupTable();
}

void ParameterControls::CBF_ButtonGroupPanelClose() {
    grouppanel_.hide();
}

}  // namespace tvx
