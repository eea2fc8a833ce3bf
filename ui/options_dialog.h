// The options dialog `TFOpt`: one modal window whose four pages (tabs hidden) are four dialogs to
// the user: the key map, the MIDI device, the drum kit and the song information. It works on the
// program settings (key map, kit, MIDI device; and MidiOut) and on the main window's
// document; the options file stores the first three.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/program_settings.h"

class DialogService;
class HotKeyBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QtNoteOffScheduler;
class TFmain;

inline constexpr const char* kKeyCannotBeUsedMessage = "This key cannot be used. Choose another key.";
inline constexpr const char* kKeyAlreadyUsedMessage =
    "This key is already being used. Choose another key.";
inline constexpr const char* kChooseAnotherDeviceMessage =
    "Error on opening Midi Device.Choose another device!";
inline constexpr const char* kChooseADevice = "Choose a device";

class TFOpt : public QDialog {
  Q_OBJECT

 public:
  enum Page { KeyMapPage = 0, MidiPage = 1, KitPage = 2, SongInfoPage = 3, ExpressionKeyPage = 4 };

  // `parent` is the main window whose document, device box and message boxes the dialog uses.
  explicit TFOpt(QWidget* parent = nullptr);
  ~TFOpt() override;

  // Selects the page, loads it and shows the dialog modally (returns at once; the dialog blocks
  // its parent until closed).
  void ShowPage(int page);
  int CurrentPage() const { return page_; }

  // Escape and the window's close button: the page's Cancel.
  void reject() override;

  // Controls, named as the dialog design names them (objectName is the same).
  QStackedWidget* Page1 = nullptr;
  QWidget *KeyTab = nullptr, *MidiTab = nullptr, *TabSheet1 = nullptr, *TSong = nullptr;
  std::array<HotKeyBox*, 14> HotKeys{};       // HotKey1..HotKey14, Tag = KeyMap entry
  std::array<QToolButton*, 12> PlayButtons{};  // by Tag 0..11 (SpeedButton12, SpeedButton1, ...)
  QPushButton *Button6 = nullptr, *Button7 = nullptr, *Button5 = nullptr;   // key page
  QLineEdit* EAct = nullptr;
  QListWidget* LDev = nullptr;
  QPushButton *Button4 = nullptr, *Button1 = nullptr, *Button3 = nullptr, *Button2 = nullptr;
  QCheckBox *xc = nullptr, *xr = nullptr, *xhh = nullptr, *xt1 = nullptr, *xt2 = nullptr;
  QCheckBox *xf = nullptr, *xs = nullptr, *xb = nullptr, *xct = nullptr;
  QPushButton *Button9 = nullptr, *Button10 = nullptr, *Button8 = nullptr;  // kit page
  QLineEdit *EArtist = nullptr, *ESong = nullptr, *Ealbum = nullptr, *EDrum = nullptr;
  QLineEdit *ETakt = nullptr, *ETemp = nullptr, *Ebars = nullptr, *EAutor = nullptr, *EEmail = nullptr;
  QPushButton *Button11 = nullptr, *Button12 = nullptr;  // song page
  // The keys of ghost notes, articulations, hi-hat foot and sticking (settings.ini), on a page of
  // their own that the key page's "Expression keys..." opens (options_expression_keys.cpp).
  QWidget* ExpressionTab = nullptr;
  QPushButton* BExpressionKeys = nullptr;
  std::array<HotKeyBox*, 10> ExpressionKeyBoxes{};  // ExpressionKey1.., by ExpressionKind
  QPushButton *BExpressionOK = nullptr, *BExpressionDefault = nullptr, *BExpressionCancel = nullptr;

 private:
  void BuildKeyPage();
  void BuildMidiPage();
  void BuildKitPage();
  void BuildSongPage();
  void BuildExpressionPage();
  void LoadExpressionPage();
  void ExpressionOKClick();
  QLabel* MakeLabel(QWidget* page, const QString& text, int x, int y, int w, int h, bool heading);
  QPushButton* MakeButton(QWidget* page, const char* name, const QString& text, int x, int y);

  void FormActivate();  // loads the active page
  void LoadKeyPage();
  void LoadMidiPage();
  void LoadKitPage();
  void LoadSongPage();

  // Key page.
  void HotKeyExit(HotKeyBox* box);
  void RefuseKey(HotKeyBox* box, const char* message);
  void PlaySoundClick(int tag);
  void Button6Click();  // OK.
  void Button7Click();  // Default
  void Button5Click();  // Cancel (the kit page's too): the settings as they were at opening
  // Midi page.
  bool SelectedDevice(int32_t& id) const;
  void Button4Click();  // Set
  void Button1Click();  // Test
  void Button3Click();  // OK.
  void Button2Click();  // Cancel
  bool OpenPendingDevice();
  void ShowDeviceInMainWindow();
  // Kit page.
  std::array<QCheckBox*, 9> KitBoxes() const;  // by row 0..8
  void Button9Click();   // OK.
  void Button10Click();  // Default
  // Song page.
  void Button11Click();  // OK.

  void SaveOptionsOrWarn();
  void Message(const QString& text);
  DialogService& Dialogs();

  TFmain* main_ = nullptr;
  // The key map and device the pages change: the main window's, or the dialog's own without one.
  ProgramSettings ownSettings_;
  ProgramSettings* settings_;
  int page_ = KeyMapPage;
  std::array<bool, 256> usedKeys_{};
  std::vector<std::string> deviceNames_;
  int32_t pendingDevice_ = 0;
  int32_t deviceAtEntry_ = 0;
  bool openAtEntry_ = false;    // whether a device played when the MIDI page was opened
  bool deviceTouched_ = false;  // Set or Test has reopened the device since
  std::array<uint8_t, 14> keyMapAtEntry_{};
  std::array<uint8_t, 9> kitAtEntry_{};
  std::unique_ptr<QtNoteOffScheduler> noteOff_;
};
