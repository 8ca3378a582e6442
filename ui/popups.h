#pragma once

#include <QString>
#include <optional>

namespace tvx {

// Title of the box that reports a file that cannot be written or read.
inline constexpr const char* kFileErrorTitle = "FILE ERROR!";

// What a file-selection pop-up is asked for.
struct FileSelectRequest {
    QString startDirectory;   // directory the dialog opens in
    QString defaultFileName;  // name proposed, e.g. "init.dat"
    QString fileTypeList;     // filter, e.g. "*.dat"
    QString title;            // dialog title
    bool forSaving =
        false;  // true: a new or existing file to write; false: an existing file to read
};

// The program's modal pop-ups. Panels and command routines talk to this interface only, so tests
// can answer every pop-up and check its title and text.
class Popups {
  public:
    virtual ~Popups() = default;
    // A modal message box with an OK button.
    virtual void MessagePopup(const QString& title, const QString& text) = 0;
    // A message that does not hold the program up: it stays on the screen while the program goes
    // on (a recording, for instance) until the user closes it. A modal message box where nothing
    // better is at hand.
    virtual void NoticePopup(const QString& title, const QString& text) {
        MessagePopup(title, text);
    }
    // The answer a modal yes/no question gives on Enter: No where Yes would throw work away.
    enum class DefaultAnswer { Yes, No };
    // A modal yes/no question; true for yes.
    virtual bool ConfirmPopup(const QString& title, const QString& text,
                              DefaultAnswer byDefault) = 0;
    bool ConfirmPopup(const QString& title, const QString& text) {
        return ConfirmPopup(title, text, DefaultAnswer::Yes);
    }
    // A modal file selection; the chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> FileSelectPopup(const FileSelectRequest& request) = 0;
};

}  // namespace tvx
