#include "mean_teach_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "help.h"
#include "recognition_margin.h"
#include "scope_texts.h"
#include "shown_values.h"
#include "teach_table.h"
#include "window_placement.h"

namespace tvx {

namespace {

QLineEdit* MakeDisplay(QWidget* parent) {
    auto* display = new QLineEdit(QStringLiteral("0"), parent);
    display->setReadOnly(true);
    display->setFocusPolicy(Qt::NoFocus);
    display->setMaximumWidth(90);
    return display;
}

QSpinBox* MakeNumeric(QWidget* parent, int maximum, int value) {
    auto* numeric = new QSpinBox(parent);
    numeric->setRange(0, maximum);
    numeric->setValue(value);
    numeric->setKeyboardTracking(false);
    return numeric;
}

QComboBox* MakeSelector(QWidget* parent, const QStringList& labels) {
    auto* ring = new QComboBox(parent);
    for (int i = 0; i < labels.size(); ++i) ring->addItem(labels[i], i);
    return ring;
}

const QStringList kColumnsXy = {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B"),
                                QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("INT")};

void LabelColumns(WordTable* table, const QStringList& labels) {
    for (int c = 0; c < labels.size(); ++c) {
        if (QTableWidgetItem* header = table->horizontalHeaderItem(c))
            header->setText(labels[c]);
        else
            table->setHorizontalHeaderItem(c, new QTableWidgetItem(labels[c]));
    }
}

std::uint16_t DisplayedNumber(const QLineEdit* display) {
    bool ok = false;
    const uint value = display->text().toUInt(&ok);
    return ok && value <= 0xFFFF ? static_cast<std::uint16_t>(value) : 0;
}

}  // namespace

MeanTeachPanel::MeanTeachPanel(QWidget* parent)
    : Panel(QString::fromLatin1(kMeanTeachPanelTitle), parent) {
    gridTpValues = new WordTable(kCaptureRows, kCaptureColumns, 0, 1, this);
    gridTpMean = new WordTable(1, kCaptureColumns, 0, 1, this);
    for (int c = 0; c < kCaptureColumns; ++c) gridTpMean->SetColumnEditable(c, false);
    LabelColumns(gridTpValues, kColumnsXy);
    LabelColumns(gridTpMean, kColumnsXy);
    gridTpValues->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    gridTpMean->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    gridTpMean->setFixedHeight(gridTpMean->horizontalHeader()->sizeHint().height() + 26);
    gridTpMean->verticalHeaderItem(0)->setText(QStringLiteral("MEAN"));
    gridTpValues->setAccessibleName(QStringLiteral("CAPTURED FRAMES"));
    gridTpMean->setAccessibleName(QStringLiteral("MEAN"));
    CloseOnEscape();

    dispTpCounter = MakeDisplay(this);
    dispMaxDeltaXY = MakeDisplay(this);
    dispTpMaxDeltaInt = MakeDisplay(this);
    labelMaxDeltaXY = new QLabel(QStringLiteral("MAX DELTA X/Y"), this);
    labelMaxDeltaInt = new QLabel(QStringLiteral("MAX DELTA INT"), this);
    dispTpWorstMargin = MakeDisplay(this);
    dispTpCpu = MakeDisplay(this);
    dispTpWorstMargin->clear();
    dispTpCpu->setText(QStringLiteral("no frames"));
    dispTpWorstMargin->setMaximumWidth(130);
    dispTpCpu->setMaximumWidth(130);
    editTpTeachCtoWith =
        MakeSelector(this, {QStringLiteral("VALUE CTO"), QStringLiteral("MAX DELTA (X/Y)"),
                            QStringLiteral("MAX DELTA+VALUE CTO"), QStringLiteral("NO CHANGE")});
    editTpTeachItoWith =
        MakeSelector(this, {QStringLiteral("VALUE ITO"), QStringLiteral("MAX DELTA INT"),
                            QStringLiteral("MAX DELTA+VALUE ITO"), QStringLiteral("NO CHANGE")});
    labelTeachCtoWith = new QLabel(QStringLiteral("TEACH CTO WITH"), this);
    labelTeachItoWith = new QLabel(QStringLiteral("TEACH ITO WITH"), this);
    editTpValueCto = MakeNumeric(this, 0xFFFF, 100);
    editTpValueIto = MakeNumeric(this, 0xFFFF, 100);
    labelValueCto = new QLabel(QStringLiteral("VALUE CTO"), this);
    labelValueIto = new QLabel(QStringLiteral("VALUE ITO"), this);
    editTpRowNo = MakeNumeric(this, kTeachRows - 1, 0);
    buttonTpCapture = new QPushButton(QStringLiteral("CAPTURE"), this);
    buttonTpUndo = new QPushButton(QStringLiteral("UNDO"), this);
    buttonTpResetTable = new QPushButton(QStringLiteral("RESET TABLE"), this);
    buttonTpTeachToTable = new QPushButton(QStringLiteral("TEACH TO TABLE"), this);
    buttonTpClose = new QPushButton(QStringLiteral("CLOSE"), this);

    auto* settings = new QGridLayout;
    int row = 0;
    const auto add = [&](QLabel* label, QWidget* field) {
        label->setBuddy(field);
        settings->addWidget(label, row, 0);
        settings->addWidget(field, row++, 1);
    };
    add(new QLabel(QStringLiteral("FRAMES"), this), dispTpCounter);
    add(labelMaxDeltaXY, dispMaxDeltaXY);
    add(labelMaxDeltaInt, dispTpMaxDeltaInt);
    add(new QLabel(QStringLiteral("WORST MARGIN"), this), dispTpWorstMargin);
    add(new QLabel(QStringLiteral("Cpu"), this), dispTpCpu);
    add(labelTeachCtoWith, editTpTeachCtoWith);
    add(labelValueCto, editTpValueCto);
    add(labelTeachItoWith, editTpTeachItoWith);
    add(labelValueIto, editTpValueIto);
    add(new QLabel(QStringLiteral("ROW No.:"), this), editTpRowNo);
    settings->setRowStretch(row, 1);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b :
         {buttonTpCapture, buttonTpUndo, buttonTpResetTable, buttonTpTeachToTable, buttonTpClose})
        buttons->addWidget(b);

    auto* tables = new QVBoxLayout;
    tables->addWidget(gridTpValues, 1);
    tables->addWidget(gridTpMean);
    auto* body = new QHBoxLayout;
    body->addLayout(tables, 1);
    body->addLayout(settings);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(820, 560);
}

MeanTeachOperations::MeanTeachOperations(MainPanel& panel, MeanTeachPanel& teachpanel,
                                         ParameterControls& controls, LiveDisplay& live,
                                         ScopeCommands& commands, State state, Popups& popups)
    : panel_(panel),
      teachpanel_(teachpanel),
      controls_(controls),
      live_(live),
      commands_(commands),
      state_(state),
      popups_(popups) {
    buttonTeachMeanVal = new QPushButton(QStringLiteral("TEACH MEAN VALUE"), panel_.teachPage);
    const int at = controls_.teachButtons->indexOf(controls_.buttonTeachDataTo);
    controls_.teachButtons->insertWidget(at < 0 ? 0 : at + 2, buttonTeachMeanVal);
    controls_.AddPanelCtrlAttrStep([this] { InitTeachPanel(); });
    AddDispNamesRows();
    AttachHelpTexts();

    connect(buttonTeachMeanVal, &QPushButton::clicked, this,
            &MeanTeachOperations::CBF_ButtonTeachMeanVal);
    connect(teachpanel_.buttonTpCapture, &QPushButton::clicked, this,
            &MeanTeachOperations::CBF_ButtonTpCapture);
    connect(teachpanel_.buttonTpUndo, &QPushButton::clicked, this,
            &MeanTeachOperations::CBF_ButtonTpUndo);
    connect(teachpanel_.buttonTpResetTable, &QPushButton::clicked, this,
            &MeanTeachOperations::CBF_ButtonTpResetTable);
    connect(teachpanel_.buttonTpTeachToTable, &QPushButton::clicked, this,
            &MeanTeachOperations::CBF_ButtonTpTeachToTable);
    connect(teachpanel_.buttonTpClose, &QPushButton::clicked, this,
            &MeanTeachOperations::CBF_ButtonTpClose);
    connect(teachpanel_.gridTpValues, &QTableWidget::itemChanged, this,
            &MeanTeachOperations::CBF_GridTpValues);
    // The outlook follows every choice that changes the row to be taught.
    for (QComboBox* selector : {teachpanel_.editTpTeachCtoWith, teachpanel_.editTpTeachItoWith})
        connect(selector, &QComboBox::currentIndexChanged, this,
                &MeanTeachOperations::ShowTeachOutlook);
    for (QSpinBox* field :
         {teachpanel_.editTpValueCto, teachpanel_.editTpValueIto, teachpanel_.editTpRowNo})
        connect(field, &QSpinBox::valueChanged, this, &MeanTeachOperations::ShowTeachOutlook);
    // NO CHANGE keeps the row's tolerance as the teach table holds it.
    connect(controls_.gridTeach, &QTableWidget::itemChanged, this,
            &MeanTeachOperations::ShowTeachOutlook);
    InitTeachPanel();
    controls_.SetDispNames();
}

void MeanTeachOperations::AddDispNamesRows() {
    MeanTeachPanel& tp = teachpanel_;
    controls_.AddDispNamesRow([&tp](int calcmode) {
        const QStringList xy = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("INT")};
        const QStringList si = {QStringLiteral("s"), QStringLiteral("i"), QStringLiteral("M")};
        const QStringList& labels = calcmode == 0 ? xy : si;
        for (WordTable* table : {tp.gridTpValues, tp.gridTpMean})
            for (int c = 0; c < 3; ++c)
                table->horizontalHeaderItem(kCaptureColumnX + c)->setText(labels[c]);
    });
    using Row = ParameterControls;
    controls_.AddDispNamesRow(Row::LabelRow(tp.labelMaxDeltaXY, QStringLiteral("MAX DELTA X/Y"),
                                            QStringLiteral("MAX DELTA s/i")));
    controls_.AddDispNamesRow(Row::LabelRow(tp.labelMaxDeltaInt, QStringLiteral("MAX DELTA INT"),
                                            QStringLiteral("MAX DELTA M")));
    controls_.AddDispNamesRow(
        Row::LabelRow(tp.labelValueCto, QStringLiteral("VALUE CTO"), QStringLiteral("VALUE siTO")));
    controls_.AddDispNamesRow(
        Row::LabelRow(tp.labelValueIto, QStringLiteral("VALUE ITO"), QStringLiteral("VALUE MTO")));
    controls_.AddDispNamesRow(Row::LabelRow(tp.labelTeachCtoWith, QStringLiteral("TEACH CTO WITH"),
                                            QStringLiteral("TEACH siTO WITH")));
    controls_.AddDispNamesRow(Row::LabelRow(tp.labelTeachItoWith, QStringLiteral("TEACH ITO WITH"),
                                            QStringLiteral("TEACH MTO WITH")));
    controls_.AddDispNamesRow(
        Row::RingItemsRow(tp.editTpTeachCtoWith, {0, 1, 2},
                          {QStringLiteral("VALUE CTO"), QStringLiteral("MAX DELTA (X/Y)"),
                           QStringLiteral("MAX DELTA+VALUE CTO")},
                          {QStringLiteral("VALUE siTO"), QStringLiteral("MAX DELTA(s/i)"),
                           QStringLiteral("MAX DELTA+VALUE siTO")}));
    controls_.AddDispNamesRow(
        Row::RingItemsRow(tp.editTpTeachItoWith, {0, 1, 2},
                          {QStringLiteral("VALUE ITO"), QStringLiteral("MAX DELTA INT"),
                           QStringLiteral("MAX DELTA+VALUE ITO")},
                          {QStringLiteral("VALUE MTO"), QStringLiteral("MAX DELTA M"),
                           QStringLiteral("MAX DELTA+VALUE MTO")}));
}

void MeanTeachOperations::AttachHelpTexts() {
    using namespace info;
    const auto help = [this](QWidget* control, const char* text) {
        AttachHelp(control, popups_, QString::fromUtf8(text));
    };
    MeanTeachPanel& tp = teachpanel_;
    help(buttonTeachMeanVal, InfoButtonTeachMeanVal);
    help(tp.buttonTpCapture, InfoButtonTpCapture);
    help(tp.buttonTpUndo, InfoButtonTpUndo);
    help(tp.buttonTpResetTable, InfoButtonTpResetTable);
    help(tp.buttonTpTeachToTable, InfoButtonTpTeachToTable);
    help(tp.buttonTpClose, InfoButtonClosePanel);
    help(tp.gridTpValues, InfoGridTpValues);
    help(tp.gridTpMean, InfoGridTpMean);
    help(tp.dispTpCounter, InfoDispTpCounter);
    help(tp.dispMaxDeltaXY, InfoDispMaxDeltaXY);
    help(tp.dispTpMaxDeltaInt, InfoDispTpMaxDeltaInt);
    help(tp.dispTpWorstMargin, InfoDispTpWorstMargin);
    help(tp.dispTpCpu, InfoDispTpCpu);
    help(tp.editTpTeachCtoWith, InfoEditTpTeachCtoWith);
    help(tp.editTpTeachItoWith, InfoEditTpTeachItoWith);
    help(tp.editTpValueCto, InfoEditTpValueCto);
    help(tp.editTpValueIto, InfoEditTpValueIto);
    help(tp.editTpRowNo, InfoEditTpRowNo);
}

int MeanTeachOperations::Counter() const {
    return DisplayedNumber(teachpanel_.dispTpCounter);
}

void MeanTeachOperations::SetCounter(int counter) {
    teachpanel_.dispTpCounter->setText(QString::number(counter));
}

std::vector<CapturedFrame> MeanTeachOperations::CapturedFrames() const {
    std::vector<CapturedFrame> frames(static_cast<std::size_t>(Counter()));
    for (std::size_t r = 0; r < frames.size(); ++r)
        for (int c = 0; c < kCaptureColumns; ++c)
            frames[r][static_cast<std::size_t>(c)] =
                teachpanel_.gridTpValues->Value(static_cast<int>(r), c);
    return frames;
}

void MeanTeachOperations::InitTeachPanel() {
    state_.params.evalmode =
        static_cast<std::uint16_t>(controls_.editEvalmode->currentData().toInt());
    const bool fixedCto = state_.params.evalmode == 2;
    teachpanel_.editTpTeachCtoWith->setEnabled(!fixedCto);
    teachpanel_.editTpValueCto->setEnabled(!fixedCto);
    teachpanel_.editTpTeachItoWith->setEnabled(true);
    teachpanel_.editTpValueIto->setEnabled(true);
    // Evaluation mode 2 teaches CTO 40 whatever the selector says.
    ShowTeachOutlook();
}

void MeanTeachOperations::ResetTpTable() {
    SetCounter(0);
    for (int r = 0; r < kCaptureRows; ++r)
        for (int c = 0; c < kCaptureColumns; ++c) teachpanel_.gridTpValues->SetValue(r, c, 0);
    teachpanel_.gridTpValues->setCurrentCell(0, 0);
    for (int c = 0; c < kCaptureColumns; ++c) teachpanel_.gridTpMean->SetValue(0, c, 0);
    teachpanel_.dispMaxDeltaXY->setText(QStringLiteral("0"));
    teachpanel_.dispTpMaxDeltaInt->setText(QStringLiteral("0"));
    ShowTeachOutlook();
}

void MeanTeachOperations::CaptureFrame() {
    const int n = CounterAfterCapture(Counter());
    SetCounter(n);
    WordTable* grid = teachpanel_.gridTpValues;
    grid->setCurrentCell(n - 1, 0);
    const LiveValues& live = state_.live;
    const CapturedFrame frame = {live.dataR, live.dataG, live.dataB,
                                 live.dataX, live.dataY, live.dataINT};
    for (int c = 0; c < kCaptureColumns; ++c)
        grid->SetValue(n - 1, c, frame[static_cast<std::size_t>(c)]);
    CalcMeanValues();
}

void MeanTeachOperations::UndoCapture() {
    const int before = Counter();
    const int n = CounterAfterUndo(before);
    SetCounter(n);
    WordTable* grid = teachpanel_.gridTpValues;
    grid->setCurrentCell(std::max(n - 5, 1) - 1, 0);
    for (int c = 0; c < kCaptureColumns; ++c) grid->SetValue(n, c, 0);
    CalcMeanValues();
}

void MeanTeachOperations::CalcMeanValues() {
    const int n = Counter();
    if (n == 0) {
        for (int c = 0; c < kCaptureColumns; ++c) teachpanel_.gridTpMean->SetValue(0, c, 0);
        teachpanel_.dispMaxDeltaXY->setText(QStringLiteral("0"));
        teachpanel_.dispTpMaxDeltaInt->setText(QStringLiteral("0"));
        ShowTeachOutlook();
        return;
    }
    const CapturedFrame mean = MeanOfFrames(CapturedFrames());
    meanr = mean[0];
    meang = mean[1];
    meanb = mean[2];
    meanx = mean[kCaptureColumnX];
    meany = mean[kCaptureColumnY];
    meanint = mean[kCaptureColumnInt];
    for (int c = 0; c < kCaptureColumns; ++c)
        teachpanel_.gridTpMean->SetValue(0, c, mean[static_cast<std::size_t>(c)]);
    CalcMaxDelta();
}

void MeanTeachOperations::CalcMaxDelta() {
    const MaxDeltas deltas = MaxDeltaOfFrames(CapturedFrames(), meanx, meany, meanint);
    teachpanel_.dispMaxDeltaXY->setText(QString::number(deltas.xy));
    teachpanel_.dispTpMaxDeltaInt->setText(QString::number(deltas.intensity));
    ShowTeachOutlook();
}

std::array<std::uint16_t, kTeachColumns> MeanTeachOperations::RowToTeach() const {
    const MeanTeachPanel& tp = teachpanel_;
    const WordTable* table = controls_.gridTeach;
    const int row = tp.editTpRowNo->value();
    const std::uint16_t cto =
        ChosenTolerance(tp.editTpTeachCtoWith->currentData().toInt(),
                        static_cast<std::uint16_t>(tp.editTpValueCto->value()),
                        DisplayedNumber(tp.dispMaxDeltaXY), table->Value(row, kColumnCto));
    const std::uint16_t ito =
        ChosenTolerance(tp.editTpTeachItoWith->currentData().toInt(),
                        static_cast<std::uint16_t>(tp.editTpValueIto->value()),
                        DisplayedNumber(tp.dispTpMaxDeltaInt), table->Value(row, kColumnIto));
    const bool fixedCto = controls_.editEvalmode->currentData().toInt() == 2;
    return {tp.gridTpMean->Value(0, kCaptureColumnX), tp.gridTpMean->Value(0, kCaptureColumnY),
            static_cast<std::uint16_t>(fixedCto ? 40 : cto),
            tp.gridTpMean->Value(0, kCaptureColumnInt), ito};
}

void MeanTeachOperations::ShowTeachOutlook() {
    const std::vector<CapturedFrame> frames = CapturedFrames();
    const TeachOutlook outlook = OutlookOfTeach(frames, RowToTeach());
    MeanTeachPanel& tp = teachpanel_;
    tp.dispTpWorstMargin->setText(outlook.worstMargin ? MarginPercent(*outlook.worstMargin)
                                                      : QString());
    ShowMarginLevel(tp.dispTpWorstMargin, outlook.worstMargin
                                              ? std::optional(LevelOfMargin(*outlook.worstMargin))
                                              : std::nullopt);
    if (outlook.cpu)
        tp.dispTpCpu->setText(QString::number(*outlook.cpu, 'f', 2));
    else if (frames.empty())
        tp.dispTpCpu->setText(QStringLiteral("no frames"));
    else
        tp.dispTpCpu->setText(frames.size() < 2 ? QStringLiteral("too few frames")
                                                : QStringLiteral("no spread"));
}

void MeanTeachOperations::TeachToTable() {
    MeanTeachPanel& tp = teachpanel_;
    if (!TakeShownValues({tp.editTpRowNo, tp.editTpValueCto, tp.editTpValueIto}, popups_)) return;
    const auto taught = RowToTeach();
    state_.params.evalmode =
        static_cast<std::uint16_t>(controls_.editEvalmode->currentData().toInt());
    for (int c = 0; c < kTeachColumns; ++c)
        controls_.gridTeach->SetValue(tp.editTpRowNo->value(), c,
                                      taught[static_cast<std::size_t>(c)]);
}

void MeanTeachOperations::CBF_ButtonTeachMeanVal() {
    ShowPanel(teachpanel_, &panel_);
    teachpanel_.raise();
    InitTeachPanel();
    if (state_.flags.poll == 1) return;
    // The live loop it starts is GO's own: GO is dimmed until STOP ends it.
    controls_.SetButtonsDimmed(true);
    live_.PrepareColourPlane();
    commands_.GetData();
    controls_.SetButtonsDimmed(false);
}

void MeanTeachOperations::CBF_ButtonTpCapture() {
    CaptureFrame();
}

void MeanTeachOperations::CBF_ButtonTpUndo() {
    UndoCapture();
}

void MeanTeachOperations::CBF_ButtonTpResetTable() {
    ResetTpTable();
}

void MeanTeachOperations::CBF_ButtonTpTeachToTable() {
    TeachToTable();
}

void MeanTeachOperations::CBF_ButtonTpClose() {
    teachpanel_.hide();
}

void MeanTeachOperations::CBF_GridTpValues() {
    CalcMeanValues();
}

}  // namespace tvx
