#include "qt_popups.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>

namespace tvx {

namespace {

// The window a pop-up belongs to, so that it stays in front of the program.
QWidget* PopupParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

bool MatchesAny(const QString& fileName, const QStringList& patterns) {
    for (const QString& pattern : patterns) {
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(fileName).hasMatch()) return true;
    }
    return false;
}

// The extension a pattern stands for: "*.dat" -> ".dat"; empty for "*" or "*.*".
QString ExtensionOf(const QString& pattern) {
    if (!pattern.startsWith(QLatin1String("*."))) return {};
    const QString extension = pattern.mid(1);
    if (extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?'))) return {};
    return extension;
}

// Qt's file dialog, which puts the restricted extension on the typed name before it accepts it,
// so that its own checks (the file must exist when opening) see the final name.
class RestrictedFileDialog : public QFileDialog {
  public:
    RestrictedFileDialog(QWidget* parent, const FileSelectRequest& request)
        : QFileDialog(parent, request.title, request.startDirectory),
          fileTypeList_(request.fileTypeList) {}

    void accept() override {
        // The name field of Qt's own dialog; a name picked from the list matches the filter anyway.
        auto* nameEdit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QStringList files = selectedFiles();
        if (nameEdit && files.size() == 1 && !QFileInfo(files.first()).isDir() &&
            QFileInfo(nameEdit->text()).fileName() == QFileInfo(files.first()).fileName()) {
            const QString restricted = RestrictToFileTypes(files.first(), fileTypeList_);
            if (restricted != files.first())
                nameEdit->setText(nameEdit->text() + restricted.mid(files.first().size()));
        }
        QFileDialog::accept();
    }

  private:
    QString fileTypeList_;
};

}  // namespace

QStringList FileTypePatterns(const QString& fileTypeList) {
    QStringList patterns;
    for (const QString& part : fileTypeList.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty()) continue;
        if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*")) return {};
        patterns << pattern;
    }
    return patterns;
}

QString RestrictToFileTypes(const QString& path, const QString& fileTypeList) {
    const QStringList patterns = FileTypePatterns(fileTypeList);
    if (patterns.isEmpty()) return path;
    if (MatchesAny(QFileInfo(path).fileName(), patterns)) return path;
    const QString extension = ExtensionOf(patterns.first());
    return extension.isEmpty() ? path : path + extension;
}

QString WindowTitleFor(const QString& title) {
    return title.isEmpty() ? QStringLiteral(" ") : title;
}

void QtPopups::MessagePopup(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, WindowTitleFor(title), text, QMessageBox::Ok,
                    PopupParent());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // Enter and Escape both close the box, wherever the focus is.
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void QtPopups::NoticePopup(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, PopupParent());
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::NonModal);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

bool QtPopups::ConfirmPopup(const QString& title, const QString& text, DefaultAnswer byDefault) {
    QMessageBox box(QMessageBox::Question, WindowTitleFor(title), text,
                    QMessageBox::Yes | QMessageBox::No, PopupParent());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(byDefault == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPopups::FileSelectPopup(const FileSelectRequest& request) {
    RestrictedFileDialog dialog(PopupParent(), request);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);  // "Create New Folder" stays available
    dialog.setAcceptMode(request.forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList patterns = FileTypePatterns(request.fileTypeList);
    if (!patterns.isEmpty()) dialog.setNameFilter(patterns.join(QLatin1Char(' ')));
    if (!request.defaultFileName.isEmpty()) dialog.selectFile(request.defaultFileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    return RestrictToFileTypes(files.first(), request.fileTypeList);
}

}  // namespace tvx
