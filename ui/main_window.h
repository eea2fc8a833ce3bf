// The main window `TFmain`: the controls and menus, a view of the editing session (the song with
// its cursor and undo history, model/edit_session.h), New/Open/Save, undo and redo, and the
// handlers of its own boxes.
//
// Handlers are grouped by concern over several files: main_window.cpp (creation, destruction,
// close query, help and forms), main_window_controls.cpp (building the controls and menus),
// main_window_document.cpp (New, Open, Save, Lock/Unlock, undo and redo),
// main_window_boxes.cpp (tempo, comment and scroll-bar handlers, focus), main_window_notes.cpp
// (keys, mouse, note entry and cursor moves), main_window_bars.cpp (bar commands and the bar
// clipboard) and main_window_parts.cpp (the song-part box).
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "files/program_info.h"
#include "model/edit_session.h"
#include "model/program_settings.h"
#include "model/tab_document.h"
#include "layout/view_layout.h"

class DialogService;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class QSpinBox;
class QToolBar;
class QToolButton;
class QFrame;
class QUrl;
class TabView;
class TFOpt;
class TFAbout;
class TDemo_Form;
class AudioExportJob;
class TClipBord;
struct FileDialogSpec;
struct ExportBoxes;
class TempoBox;
class CommentBox;
class QKeyEvent;
enum class ExpressionKind : int;
class NoteOffScheduler;
struct BarEdit;
struct CursorMove;
struct ImportResult;
struct WindowPlayback;
struct PlaybackStep;
class PlayClock;
class TMetronom;
class TClock;
class RecoveryKeeper;
class RecentFilesMenu;
class HelpWindow;

inline constexpr const char* kMainCaption = kProgramNameAndVersion;
inline constexpr const char* kApplicationTitle = "Grooveloom demo";
inline constexpr const char* kQuitUnsavedQuestion =
    "You have not saved the changes you have made. Do you want to quit without saving the changes?";
inline constexpr const char* kQuitQuestion = "Do you really want to quit?";
inline constexpr const char* kOpenUnsavedQuestion =
    "You have not saved the changes you have made. Open new file anyway?";
inline constexpr const char* kNotANumberMessage = "Please input a number!";
inline constexpr const char* kUndoErrorMessage =
    "An error occured while UnDo-ing, some temporary files may be corrupt. Open another file, or "
    "restart the application.";
inline constexpr const char* kTabFileFilter = "Grooveloom File (*.gvlm);;All Files (*)";

class TFmain : public QMainWindow, private SessionObserver {
  Q_OBJECT

 public:
  explicit TFmain(DialogService& dialogs, QWidget* parent = nullptr);
  ~TFmain() override;

  // The other forms of the program, created after this window (start-up order).
  void SetOptionsForm(TFOpt* form) { options_ = form; }
  void SetDemoForm(TDemo_Form* form) { demo_ = form; }
  void SetAboutBox(TFAbout* form) { about_ = form; }

  // --- Document lifecycle.
  void NewDocument();
  void OpenDocument();                      // asks for the file with Open1
  bool OpenDocumentFile(const QString& path);  // Open without the dialog (command line)
  bool SaveDocument();
  bool SaveDocumentAs();
  void Lock();
  void Unlock();

  // --- Undo and redo.
  void Push(const char* what);  // snapshot before an edit, named for the Undo and Redo items
  bool BUndoClick();
  bool BRedoClick();
  void IfUndo(bool enabled);
  void IfRedo(bool enabled);

  // --- The bar controls and the view after a change of the current bar.
  // Bar number, timing boxes, scroll bar, comment box, song part box, then the cursor box.
  void RefreshBarControls();
  // Shows the song part that starts at `bar` in cbSong (after committing a pending name).
  void SongPart(uint16_t bar);
  void NoControl();  // no active control: the window keeps the keyboard focus itself

  // --- Note entry at the cursor (main_window_notes.cpp).
  // Sets, replaces or removes the note of (row, variant, accent) at the cursor, draws the cell,
  // sounds a set note and records the change for undo. Does nothing for a hidden row.
  void SetNote(int row, int variant, int accent);
  // The instrument buttons: tag = row * 10 + variant, accent from "Accented".
  void SpeedButton3Click(int tag);
  // A ghost note, articulation, hi-hat foot or sticking toggled at the cursor, one undo step named
  // after it (main_window_expression.cpp).
  void ExpressionCommand(ExpressionKind kind);
  // Another device chosen in the (hidden) device list: opened in place of the current one.
  bool ComboBox2Change(int index);
  void i1Click();

  // --- Bar commands on the current bar (main_window_bars.cpp). Refusals show a warning.
  void InsertBarClick();
  void RemoveBarClick();
  void ClearBarClick();
  void ChangeTiming();  // from the timing boxes' selection
  // Writes the current bar in the grid the Grid box shows; notes without a cell there are removed,
  // and the window says how many.
  void ChangeGrid();
  void CopyBarClick(bool fromKeyboard);
  void CutBarClick();
  void PasteBarClick();

  // --- The session the window shows; the song is null before the first New or Open.
  EditSession& Session() { return session_; }
  ProgramSettings& Settings() { return settings_; }
  Osnova* Document() { return session_.Document(); }
  const Osnova* Document() const { return session_.Document(); }
  std::optional<TCursor>& Cursor() { return session_.Cursor(); }
  const std::optional<TCursor>& Cursor() const { return session_.Cursor(); }
  UR_Stack& History() { return session_.History(); }
  TClipBord* Clipboard() { return clipboard_.get(); }
  TabView* View() { return i1; }
  const QString& SaveTarget() const { return saveTarget_; }
  bool DocumentShown() const { return session_.Document() && !locked_; }
  DialogService& Dialogs() { return dialogs_; }

  // --- Recent files and crash recovery (main_window_desktop.cpp).
  // At start-up: songs left unsaved by a crash. True when one was recovered into this window.
  bool OfferRecovery();
  bool RecoverCopy(const QString& copy);  // one copy, without asking (--recover)
  // Opens a recovery copy as the unsaved song of `original` (empty: a song never saved).
  bool RecoverDocument(const QString& copy, const QString& original);
  RecoveryKeeper& Recovery() { return *recovery_; }
  RecentFilesMenu& Recent() { return *recent_; }

  // How Help and the About box's links reach the desktop; tests replace it.
  std::function<void(const QUrl&)> UrlOpener;

  // The index of the bar whose comment or song-part name is being typed; -1 when none.
  int32_t TextEditBar = -1;
  // Playback step in milliseconds, from the playback tempo box.
  uint16_t StepDelay = 125;
  // The clock of the audition's note-off (a Qt timer unless set; tests run it by hand).
  void SetNoteOffScheduler(std::unique_ptr<NoteOffScheduler> scheduler);

  // --- Playback (main_window_playback.cpp).
  void PlayCommand(uint8_t mode);  // Play (2), Play bar (1), Play song (0); ignored while playing
  void StopCommand();
  void StopPlaying();  // Stop, if playing: before New, Open and closing
  void PlaybackDeviceChanged();  // after MidiOut was opened anew: playback goes on there
  // Runs `reopen` (close the device, open one into MidiOut) with playback sending nothing meanwhile,
  // then tells playback; returns what `reopen` returned.
  bool ReopenMidiDevice(const std::function<bool()>& reopen);
  // The playback tempo box's value: StepDelay, the percentage shown beside it, a running playback.
  void SetPlaybackTempo();
  TMetronom& Metronom();
  TClock& Clock();
  class PracticePanel& Practice();  // click, count-in, loops and the speed trainer
  std::mutex& DocumentLock() { return session_.Lock(); }  // held by every change of the bars, which playback reads
  // Tests: the clock playback keeps time on, and the clock label's tick.
  void SetPlayClock(std::unique_ptr<PlayClock> clock, int tickMilliseconds = 1000);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;  // a new palette: ColourGlyphs

 private:
  // main_window_controls.cpp
  void BuildControls(QWidget* client);  // the panels below, left to right and top to bottom
  void BuildFileButtons(QWidget* client);
  void BuildEditButtons(QWidget* client);
  void BuildTimingPanel(QWidget* client);
  // The bar's grid and the song's swing, on a strip of their own above the timing and tempo boxes.
  void BuildFeelPanel();
  void BuildBarNumberPanel(QWidget* client);
  void BuildBarButtons(QWidget* client);
  void BuildCommentPanel(QWidget* client);
  void BuildSongPartPanel(QWidget* client);
  void BuildTabView(QWidget* client);
  void BuildInstrumentPanel(QWidget* client);
  void BuildExpressionPanel();  // main_window_expression.cpp
  bool ExpressionKey(const QKeyEvent& key);
  void BuildMenus();
  void ColourGlyphs();  // the drawn button glyphs and the clock, readable on the window's palette

  // main_window.cpp
  void FormCreate();
  bool FormCloseQuery();
  void End1Click();
  void Help1Click();
  void MidiDemo1Click();  // Tools > "MIDI Demo...": the song's MIDI events, listed
  // The title starts with "*" while the song has unsaved changes.
  void ShowModifiedMarker();
  void Credits1Click();
  void ShowOptionsPage(int page);
  void TextFile1Click();
  void HTMLFille1Click();
  void MIDIFile1Click();
  void MusicXMLFile1Click();
  void AudioFile1Click();  // main_window_audio.cpp
  ExportBoxes BoxesForExport() const;

  // main_window_print.cpp: PDF export and printing of the tab.
  void ConnectPrintCommands();
  void PDFFile1Click();
  void Print1Click();

  // main_window_desktop.cpp: what the Recent Files list and the recovery copy hear of.
  void SetUpDesktopIntegration();
  void DocumentOpened(const QString& path);
  void DocumentSaved(const QString& path);
  void DocumentReplaced();  // New or Open are about to replace the song
  void DocumentEdited();
  bool AskBeforeReplacingRecovered();  // true to replace the recovered, still unsaved song

  // main_window_document.cpp
  void SetTitleFromDocument();
  bool AskUnsavedBeforeReplacing();
  bool WriteDocument(const QString& path);
  FileDialogSpec Open1Spec() const;
  FileDialogSpec Save1Spec() const;
  void ShowDocument(uint16_t firstVisible);
  void FillSongPartItems();
  bool Restore(bool undo);
  // The window's side of every replacement of the song, and of every edit (SessionObserver).
  void SongReplaced(SongSource source) override;
  void SongEdited() override;
  uint8_t PaceOfBox() const;

  // main_window_notes.cpp
  // The window's look at every key before its controls; true when the key was the window's.
  bool PreviewKey(QObject* watched, QEvent* event);
  bool KeysGoToWindow() const;  // the focus rules of the key handler
  void FormKeyDown(const QKeyEvent& key);
  // Home, End, Ctrl+Home, Ctrl+End, Page Up and Page Down, for keys the key map leaves free.
  bool NavigationKey(const QKeyEvent& key);
  void i1MouseDown(Qt::MouseButton button, QPoint pos);
  void RpaceClick(int index);
  void PaceKey(bool greater);
  // Hides the cursor box, runs a cursor move and refreshes the bar controls (which show the box).
  void MoveCursor(CursorMove (*move)(Osnova&, TCursor&, TabViewSink&));

  // main_window_bars.cpp
  bool Refused(const BarEdit& edit);
  void ShowBarsAfterChange(bool partNamesChanged);
  void EnablePaste();

  // main_window_parts.cpp
  // Leaves the comment or song-part box being typed into and commits a typed part name, so that
  // what was typed lands in the document and on the bar it was typed for.
  void FinishTyping();
  void cbSongSelect(int index);
  void cbSongDblClick();
  std::vector<std::string> SongPartBoxItems() const;
  void SetSongPartItems(const std::vector<std::string>& items);
  void ShowSongPartOf(uint16_t bar);

  // main_window_boxes.cpp
  void ETempoExit();
  void ESpedExit();
  void EcomEnter();
  void EcomChange(const QString& text);
  void EcomExit();
  void SpeedButton12Click();
  void ScrollBar1Change(int position);
  void cbSongEnter();
  void cbSongExit();
  void ShowTimingOf(const TBar& bar);
  void SwingChange();  // a value chosen in the swing boxes
  void ShowSwingOf(const Osnova& doc);
  void SetCommentBox(const std::string& comment);
  void SetScrollBar(int max, int position);
  void ToggleCursorBox();
  void DrawCurrentComment();

  // main_window_playback.cpp
  void CreatePlayback();
  void GoToFirstBar();
  void ApplyPlaybackStep(const PlaybackStep& step);
  // Space plays from the cursor or stops, Shift+Space plays the bar, Ctrl+Space the song, Esc
  // stops: keys the key map leaves free.
  void PlaybackKey(const QKeyEvent& key);
  void PracticeSelect(uint16_t anchor, uint16_t bar);
  void FollowUserCursor();  // a cursor moved during playback: playback goes on from there

  DialogService& dialogs_;
  ProgramSettings settings_;
  EditSession session_{&settings_.GlobalKit};  // before playback_: its thread reads the song under the session's lock
  std::unique_ptr<TClipBord> clipboard_;  // from the first New or Open on, across documents
  QString saveTarget_;  // Save1's file name: where Save writes once the document has a file
  bool locked_ = true;
  std::vector<std::string> deviceNames_;
  std::unique_ptr<NoteOffScheduler> noteOff_;  // the audition's delayed note-off
  std::unique_ptr<QObject> keyPreview_;         // application event filter feeding PreviewKey
  std::unique_ptr<WindowPlayback> playback_;    // after session_: stopped before the song goes
  std::unique_ptr<AudioExportJob> audioExport_;  // the audio export's render, once one has run
  std::unique_ptr<RecoveryKeeper> recovery_;
  RecentFilesMenu* recent_ = nullptr;  // owned by its menu
  bool recovering_ = false;             // a recovery copy being opened is no recent file
  bool recoveredUnsaved_ = false;       // the song shown was recovered and has not been saved

  TFOpt* options_ = nullptr;
  TDemo_Form* demo_ = nullptr;
  TFAbout* about_ = nullptr;
  HelpWindow* help_ = nullptr;  // made on first use

  struct LockItem {
    QWidget* Widget = nullptr;
    QAction* Action = nullptr;
  };
  std::vector<LockItem> lockItems_;  // Lock/Unlock in this order

 private:
  // Controls; each objectName is the member's name, so tests and the other windows find them
  // with findChild.
  QFrame* Panel1 = nullptr;  // file buttons
  QFrame* Panel2 = nullptr;  // undo, clipboard and export buttons
  QFrame* Panel3 = nullptr;  // bar buttons
  QFrame* Panel4 = nullptr;  // bar number, pace and song tempo
  QFrame* Panel5 = nullptr;  // timing
  QFrame* Panel6 = nullptr;  // comment
  QFrame* Panel7 = nullptr;  // instruments and playback
  QFrame* Panel8 = nullptr;  // song part
  QToolButton *SpeedButton2 = nullptr, *SpeedButton1 = nullptr, *BSave = nullptr;
  QToolButton *BUndo = nullptr, *BRedo = nullptr, *BCopy = nullptr, *BCut = nullptr, *Bpaste = nullptr;
  QToolButton *SpeedButton6 = nullptr, *SpeedButton7 = nullptr, *SpeedButton8 = nullptr;
  QComboBox *ETakt1 = nullptr, *Etakt2 = nullptr, *RPace = nullptr, *cbSong = nullptr;
  QComboBox* ComboBox2 = nullptr;  // MIDI devices, never shown
  QSpinBox* EAbar = nullptr;
  TempoBox *ETempo = nullptr, *ESped = nullptr;
  QToolBar* FeelBar = nullptr;
  QFrame* Panel9 = nullptr;  // on FeelBar: the grid above the timing, the swing above the tempo
  QComboBox* GridBox = nullptr;  // items by BarGrid, in its order
  QSpinBox* SwingBox = nullptr;  // percent, 0..50
  QComboBox* SwingUnitBox = nullptr;  // "8ths", "16ths": SwingUnit's order
  QToolButton *SpeedButton11 = nullptr, *SpeedButton10 = nullptr, *SpeedButton9 = nullptr;
  CommentBox* Ecom = nullptr;
  QToolButton* SpeedButton12 = nullptr;
  TabView* i1 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  std::vector<QToolButton*> InstrumentButtons;  // tag = row * 10 + variant
  QCheckBox *chAccent = nullptr, *chLoop = nullptr;
  QLabel* LTime = nullptr;
  QToolButton *BPLay = nullptr, *BPLaySong = nullptr, *BPLayBar = nullptr, *BStop = nullptr;
  QToolButton *SpeedButton30 = nullptr, *SpeedButton29 = nullptr;

  // Menus and their items.
  QMenu *File1 = nullptr, *Export1 = nullptr, *Edit = nullptr, *Bar1 = nullptr, *Options1 = nullptr;
  QMenu *Playback = nullptr, *About1 = nullptr, *PopupMenu1 = nullptr, *Tools1 = nullptr;
  QMenu* RecentFiles1 = nullptr;
  QAction *New1 = nullptr, *Open2 = nullptr, *File_3 = nullptr, *File_4 = nullptr, *End1 = nullptr;
  QAction *TextFile1 = nullptr, *HTMLFille1 = nullptr, *MIDIFile1 = nullptr;
  QAction *PDFFile1 = nullptr, *Print1 = nullptr;  // File > Export > "PDF File", File > "Print..."
  QAction* AudioFile1 = nullptr;
  QAction* MusicXMLFile1 = nullptr;  // File > Export > "MusicXML file..."
  QAction *EUndo = nullptr, *ERedo = nullptr, *ECopy = nullptr, *ECut = nullptr, *EPaste = nullptr;
  QAction *Clear1 = nullptr, *Insert1 = nullptr, *Remove1 = nullptr;
  QAction *Selectkit1 = nullptr, *Midi1 = nullptr, *Keymap1 = nullptr, *Songinfo1 = nullptr;
  QAction *Play1 = nullptr, *PLaybar1 = nullptr, *Playsong1 = nullptr, *Stop1 = nullptr;
  QAction *Help1 = nullptr, *Credits1 = nullptr, *MidiDemo1 = nullptr;
  QAction *EUndo1 = nullptr, *ERedo1 = nullptr, *Addbar1 = nullptr, *Removebar1 = nullptr;
  QAction *Clearbar1 = nullptr, *Copybar1 = nullptr, *Cutbar1 = nullptr, *Pastebar1 = nullptr;

  QMenu* Import1 = nullptr;
  QAction *ImportText1 = nullptr, *ImportMidi1 = nullptr, *PasteTab1 = nullptr;

 public:
  // --- Imports (main_window_import.cpp): File > Import and Edit > "Paste tab as new song" each
  // make a new, unnamed, modified song.
  void ImportTextClick();
  void ImportMidiClick();
  ImportResult ReadMidiOfferingChannel(const QString& path);  // a question if channel 10 is empty
  void PasteTabClick();
  bool ImportDocumentFile(const QString& path);  // a text tab or MIDI file, by its extension

 private:
  void BuildImportItems();
  std::optional<QString> ChooseImport(const QString& title, const QString& filter);
  bool ShowImport(ImportResult result);
};
