#pragma once

#include <QString>
#include <QStringList>

#include "popups.h"

class QWidget;

namespace tvx {

// The pop-ups as the user sees them: QMessageBox and the Qt file dialog, modal to the program and
// parented to its active window.
//
// File selection: opens in the start directory with the proposed name, filters by the type list
// ("*.dat", several patterns separated by ';'), lets the user create directories and accepts only
// names of the listed types: a name typed without the extension gets it (the first pattern's). A
// save dialog does not ask about overwriting: the programs ask their own questions about existing
// files. Qt's own dialog is used on every platform, so these rules hold everywhere.
class QtPopups : public Popups {
  public:
    void MessagePopup(const QString& title, const QString& text) override;
    void NoticePopup(const QString& title, const QString& text) override;
    using Popups::ConfirmPopup;
    bool ConfirmPopup(const QString& title, const QString& text, DefaultAnswer byDefault) override;
    std::optional<QString> FileSelectPopup(const FileSelectRequest& request) override;
};

// The title a box gets from a pop-up's title. An empty title (the version text before any
// handshake) stays empty on screen: the window system would otherwise put the program's name in
// its place, so it gets a single blank.
QString WindowTitleFor(const QString& title);

// The patterns of a type list, e.g. "*.dat;*.txt" -> {"*.dat", "*.txt"}; empty when any name goes.
QStringList FileTypePatterns(const QString& fileTypeList);
// The path with the list's extension added when its name matches none of the patterns (letter
// case ignored), e.g. "/x/init" with "*.dat" -> "/x/init.dat"; unchanged when it matches.
QString RestrictToFileTypes(const QString& path, const QString& fileTypeList);

}  // namespace tvx
