// The window "List of MIDI events": every event of the export's container in a table. The model
// reads the container only for the rows on screen, so millions of events show at once.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include "midi/midi_container.h"

class QProgressBar;
class QTableView;

class MidiEventTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { TimeColumn, ChannelColumn, EventColumn, Byte1Column, Byte2Column, TextColumn };
  static constexpr int kColumnCount = 6;

  explicit MidiEventTableModel(const TMIDI_Container& container, QObject* parent = nullptr);

  // The model holds the row count it last read: call Reload after the container changed, and
  // Empty before it changes, so the view never reads events that are gone.
  void Reload();
  void Empty();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const TMIDI_Container& container_;
  int rows_ = 0;
};

class EventListWindow : public QWidget {
  Q_OBJECT
 public:
  explicit EventListWindow(const TMIDI_Container& container, QWidget* parent = nullptr);

  // Shows the container's events as they are now.
  void Fill_List();
  // Shows no events; call before the container is cleared.
  void Clear_List();

  MidiEventTableModel* Model() const { return model_; }
  QTableView* View() const { return Event_View; }
  QProgressBar* ProgressBar() const { return Progress; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  MidiEventTableModel* model_;
  QProgressBar* Progress;
  QTableView* Event_View;
};
