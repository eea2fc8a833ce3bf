// Every modal message box and file dialog of the program goes through this interface, so tests can
// answer them with a script instead of blocking on a real dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

class QPrinter;
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
  // The system's print dialog for `printer`; true when the user chose to print (the printer then
  // holds the chosen device, paper and page range). Services without a print dialog cancel.
  virtual bool Print(QWidget* parent, QPrinter& printer);
};

// Every file the program's windows write goes through here: `write` gets the path in the system's
// encoding and fills `error` on failure, which is shown in one error box naming the file. True
// when the file was written.
using FileWriter = std::function<bool(const std::string& localPath, std::string& error)>;
bool WriteFileOrReport(QWidget* parent, DialogService& dialogs, const QString& path,
                       const FileWriter& write);

// The real dialogs (QMessageBox, QFileDialog).
class QtDialogService : public DialogService {
 public:
  void Message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
  bool Question(QWidget* parent, const QString& title, const QString& text) override;
  int Choose(QWidget* parent, const QString& title, const QString& text,
             const QStringList& buttons) override;
  std::optional<QString> OpenFile(QWidget* parent, const FileDialogSpec& request) override;
  std::optional<QString> SaveFile(QWidget* parent, const FileDialogSpec& request) override;
  bool Print(QWidget* parent, QPrinter& printer) override;  // QPrintDialog
};
