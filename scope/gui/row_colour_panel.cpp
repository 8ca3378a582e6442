#include "row_colour_panel.h"

#include <QColorDialog>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>

#include "colour_array_file.h"
#include "help.h"
#include "panel_parts.h"
#include "scope_texts.h"
#include "shown_values.h"
#include "window_placement.h"

namespace tvx {

RowColourPanel::RowColourPanel(QWidget* parent)
    : Panel(QString::fromLatin1(kRowColourPanelTitle), parent) {
    editRow = new QSpinBox(this);
    editRow->setRange(0, kTeachRows - 1);
    editRow->setKeyboardTracking(false);
    editColour = new QLineEdit(QStringLiteral("FF0000"), this);
    editColour->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{1,6}")), editColour));
    editColour->setMaxLength(6);
    buttonPickColour = new QPushButton(QStringLiteral("..."), this);
    // The button shows only an ellipsis; it opens the colour chooser.
    buttonPickColour->setAccessibleName(QStringLiteral("CHOOSE COLOR"));
    CloseOnEscape();
    buttonSetRowColor = new QPushButton(QStringLiteral("SET ROW COLOR"), this);
    switchSetColor = new QCheckBox(QStringLiteral("COLOR FROM MEASUREMENT"), this);
    buttonSaveArray = new QPushButton(QStringLiteral("SAVE"), this);
    buttonGetArray = new QPushButton(QStringLiteral("GET"), this);
    buttonSetStartupArray = new QPushButton(QStringLiteral("SET STARTUP"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(LabelFor(editRow, QStringLiteral("ROW")), 0, 0);
    grid->addWidget(editRow, 0, 1);
    grid->addWidget(LabelFor(editColour, QStringLiteral("COLOR 0x")), 1, 0);
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(editColour);
    colourRow->addWidget(buttonPickColour);
    grid->addLayout(colourRow, 1, 1);
    grid->addWidget(buttonSetRowColor, 2, 0, 1, 2);
    grid->addWidget(switchSetColor, 3, 0, 1, 2);
    auto* files = new QHBoxLayout;
    files->addWidget(buttonSaveArray);
    files->addWidget(buttonGetArray);
    files->addWidget(buttonSetStartupArray);
    grid->addLayout(files, 4, 0, 1, 2);

    connect(buttonPickColour, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(
            QColor(static_cast<QRgb>(Colour().value_or(0))), this, QStringLiteral("ROW COLOR"));
        if (chosen.isValid()) SetColour(static_cast<std::int32_t>(chosen.rgb() & 0xFFFFFF));
    });
}

std::optional<std::int32_t> RowColourPanel::Colour() const {
    bool ok = false;
    const uint value = editColour->text().toUInt(&ok, 16);
    if (!ok || value > 0xFFFFFF) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

void RowColourPanel::SetColour(std::int32_t colour) {
    editColour->setText(
        QStringLiteral("%1").arg(colour & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper());
}

RowColourOperations::RowColourOperations(MainPanel& panel, RowColourPanel& srcpanel,
                                         ParameterControls& controls, State state, Popups& popups)
    : panel_(panel), srcpanel_(srcpanel), controls_(controls), state_(state), popups_(popups) {
    buttonColor = new QPushButton(QStringLiteral("COLOR"), panel_.teachPage);
    const int at = controls_.teachButtons->indexOf(controls_.buttonColorGroups);
    controls_.teachButtons->insertWidget(at < 0 ? controls_.teachButtons->count() : at + 1,
                                         buttonColor);
    AttachHelp(buttonColor, popups_, QString::fromUtf8(info::InfoButtonColor),
               QString::fromLatin1(kInfoTitleRowColor));

    connect(buttonColor, &QPushButton::clicked, this, &RowColourOperations::CBF_ButtonColor);
    connect(srcpanel_.switchSetColor, &QCheckBox::clicked, this,
            &RowColourOperations::CBF_EditSetColor);
    connect(srcpanel_.buttonSetRowColor, &QPushButton::clicked, this,
            &RowColourOperations::CBF_ButtonSetRowColor);
    connect(srcpanel_.buttonSaveArray, &QPushButton::clicked, this,
            &RowColourOperations::CBF_ButtonSaveArray);
    connect(srcpanel_.buttonGetArray, &QPushButton::clicked, this,
            &RowColourOperations::CBF_ButtonGetArray);
    connect(srcpanel_.buttonSetStartupArray, &QPushButton::clicked, this,
            &RowColourOperations::CBF_ButtonSetStartupArray);
}

void RowColourOperations::SetRowColor() {
    if (!TakeShownValues({srcpanel_.editRow}, popups_)) return;
    const int row = srcpanel_.editRow->value();
    const auto colour = srcpanel_.Colour();
    if (!colour) {
        popups_.MessagePopup(QString::fromLatin1(kInfoTitle),
                             QStringLiteral("Enter the color as six hexadecimal digits RRGGBB."));
        return;
    }
    controls_.gridTeach->SetRowColour(row, QColor(static_cast<QRgb>(*colour)));
    state_.rowcolors[static_cast<std::size_t>(row)] = *colour;
}

void RowColourOperations::InitSrcPanel() {
    const bool on = srcpanel_.switchSetColor->isChecked();
    srcpanel_.editRow->setEnabled(!on);
    srcpanel_.editColour->setEnabled(!on);
    srcpanel_.buttonPickColour->setEnabled(!on);
    srcpanel_.buttonSetRowColor->setEnabled(!on);
    panel_.colourPatch->setVisible(on);
}

std::optional<QString> RowColourOperations::SelectColourArrayFile(bool forSaving) {
    FileSelectRequest request;
    request.startDirectory = state_.files.proj_dir;
    request.defaultFileName = QStringLiteral("ColorArray.car");
    request.fileTypeList = QStringLiteral("*.car");
    request.title = QStringLiteral("ColorArray");
    request.forSaving = forSaving;
    auto path = popups_.FileSelectPopup(request);
    if (path) state_.files.file_name = *path;
    return path;
}

void RowColourOperations::SaveColorArray() {
    const auto path = SelectColourArrayFile(true);
    if (!path) return;
    const ColourFileResult result = WriteColourArrayFile(*path, state_.rowcolors);
    if (!result.ok) popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), result.message);
}

void RowColourOperations::GetColorArray() {
    if (const auto path = SelectColourArrayFile(false)) {
        const ColourArrayRead read = ReadColourArrayFile(*path, state_.rowcolors);
        if (!read.ok()) popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), read.message);
    }
    PaintColourCells();
}

void RowColourOperations::SetStartupArray() {
    state_.files.file_name.clear();
    const auto path = SelectColourArrayFile(false);
    if (!path) return;
    const ColourFileResult result =
        WriteStartupPointerFile(state_.colorArrayStartupFileName, *path);
    if (!result.ok) {
        popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), result.message);
        return;
    }
    popups_.MessagePopup(QStringLiteral("Startup File is:"), *path);
}

void RowColourOperations::LoadStartupColours() {
    const auto path = ReadStartupPointerFile(state_.colorArrayStartupFileName);
    if (!path || !QFile::exists(*path)) return;
    state_.files.file_name = *path;
    ReadColourArrayFile(*path, state_.rowcolors);
    PaintColourCells();
}

void RowColourOperations::PaintColourCells() {
    for (int row = 0; row < kTeachRows; ++row)
        controls_.gridTeach->SetRowColour(
            row, QColor(static_cast<QRgb>(state_.rowcolors[static_cast<std::size_t>(row)])));
}

void RowColourOperations::CBF_ButtonColor() {
    ShowPanel(srcpanel_, &panel_);
    srcpanel_.raise();
}

void RowColourOperations::CBF_EditSetColor() {
    InitSrcPanel();
}

void RowColourOperations::CBF_ButtonSetRowColor() {
    SetRowColor();
}

void RowColourOperations::CBF_ButtonSaveArray() {
    SaveColorArray();
}

void RowColourOperations::CBF_ButtonGetArray() {
    GetColorArray();
}

void RowColourOperations::CBF_ButtonSetStartupArray() {
    SetStartupArray();
}

}  // namespace tvx
