// Every modal message box and file dialog of the program goes through this interface, so tests can
// answer them with a script instead of blocking on a real dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

struct FileDialogSpec {
  QString Title;
  QString Filter;            // Qt filter string, e.g. "Grooveloom File (*.gvlm);;All Files (*)"
  QString DefaultSuffix;     // added when the user types a name without extension; may be empty
  QString InitialFolder;     // "." = the current folder
  QString InitialFile;       // offered name, may be empty
  bool ConfirmOverwrite = true;
  bool MustExist = false;    // open dialogs: path and file must exist
};

// A save dialog opening in the current folder that asks before overwriting a file.
FileDialogSpec SaveDialogRequest(const QString& title, const QString& filter,
                                 const QString& defaultSuffix);

class DialogService {
 public:
  enum class Icon { Plain, Information, Warning, Error };
  virtual ~DialogService() = default;
  // A box with a single OK button.
  virtual void Message(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
  // A warning box with Yes and No; true for Yes.
  virtual bool Question(QWidget* parent, const QString& title, const QString& text) = 0;
  // A question box with buttons of its own (the first is the default); the index of the one
  // chosen. Without an override, a Yes/No question: Yes is the first button, No the second.
  virtual int Choose(QWidget* parent, const QString& title, const QString& text,
                     const QStringList& /*buttons*/) {
    return Question(parent, title, text) ? 0 : 1;
  }
  // The chosen path, or nothing when cancelled.
  virtual std::optional<QString> OpenFile(QWidget* parent, const FileDialogSpec& request) = 0;
  virtual std::optional<QString> SaveFile(QWidget* parent, const FileDialogSpec& request) = 0;
};

// The real dialogs (QMessageBox, QFileDialog).
class QtDialogService : public DialogService {
 public:
  void Message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
  bool Question(QWidget* parent, const QString& title, const QString& text) override;
  int Choose(QWidget* parent, const QString& title, const QString& text,
             const QStringList& buttons) override;
  std::optional<QString> OpenFile(QWidget* parent, const FileDialogSpec& request) override;
  std::optional<QString> SaveFile(QWidget* parent, const FileDialogSpec& request) override;
};
