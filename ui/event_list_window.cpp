#include "ui/event_list_window.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

#include "ui/cp1252.h"
#include "ui/dialogs.h"

namespace {

struct ColumnSpec {
  const char* title;
  int width;
  bool right;
};
constexpr std::array<ColumnSpec, MidiEventTableModel::kColumnCount> kColumns = {{
    {"Time", 35, false},
    {"Channel", 35, true},
    {"Event", 40, true},
    {"Byte 1", 42, true},
    {"Byte 2", 42, true},
    {"Text", 200, false},
}};

}  // namespace

MidiEventTableModel::MidiEventTableModel(const TMIDI_Container& container, QObject* parent)
    : QAbstractTableModel(parent), container_(container) {}

void MidiEventTableModel::Reload() {
  beginResetModel();
  rows_ = container_.Count();
  endResetModel();
}

void MidiEventTableModel::Empty() {
  beginResetModel();
  rows_ = 0;
  endResetModel();
}

int MidiEventTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int MidiEventTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant MidiEventTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  if (role == Qt::TextAlignmentRole) {
    Qt::Alignment horizontal =
        kColumns[static_cast<std::size_t>(index.column())].right ? Qt::AlignRight : Qt::AlignLeft;
    return QVariant::fromValue(horizontal | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  const TMIDI_Event* event = container_.Event_At(index.row());
  if (event == nullptr) return {};
  switch (index.column()) {
    case TimeColumn: return QString::fromStdString(event->Time_Text());
    case ChannelColumn: return QString::fromStdString(event->Channel_Text());
    case EventColumn: return QString::fromStdString(event->Status_Text());
    case Byte1Column: return QString::fromStdString(event->Byte_1_Text());
    case Byte2Column: return QString::fromStdString(event->Byte_2_Text());
    case TextColumn: return FromCp1252(event->Event_Text());
    default: return {};
  }
}

QVariant MidiEventTableModel::headerData(int section, Qt::Orientation orientation,
                                         int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  const ColumnSpec& column = kColumns[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) return QString::fromLatin1(column.title);
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue((column.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  return {};
}

EventListWindow::EventListWindow(const TMIDI_Container& container, QWidget* parent)
    : QWidget(parent, Qt::Window),
      model_(new MidiEventTableModel(container, this)),
      Progress(new QProgressBar(this)),
      Event_View(new QTableView(this)) {
  setObjectName(QStringLiteral("EventListWindow"));
  setWindowTitle(QStringLiteral("List of MIDI events"));
  resize(277, 437);

  Progress->setObjectName(QStringLiteral("Progress"));
  Progress->setRange(0, 100);
  Progress->setValue(0);
  Progress->setTextVisible(false);

  Event_View->setObjectName(QStringLiteral("Event_View"));
  Event_View->setModel(model_);
  Event_View->setShowGrid(true);
  Event_View->setSelectionBehavior(QAbstractItemView::SelectRows);
  Event_View->setSelectionMode(QAbstractItemView::SingleSelection);
  Event_View->setWordWrap(false);
  Event_View->setCornerButtonEnabled(false);
  // Rows of one fixed height let the view place millions of them without measuring any.
  QHeaderView* rows = Event_View->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);
  QHeaderView* columns = Event_View->horizontalHeader();
  columns->setStretchLastSection(false);
  columns->setHighlightSections(false);
  // A heading wider than its column in the desktop's font widens the column rather than being cut.
  const int margins = 2 * columns->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, columns);
  for (int i = 0; i < MidiEventTableModel::kColumnCount; ++i) {
    const ColumnSpec& column = kColumns[static_cast<std::size_t>(i)];
    const int heading =
        columns->fontMetrics().horizontalAdvance(QLatin1String(column.title)) + margins;
    columns->resizeSection(i, std::max(column.width, heading));
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Progress);
  layout->addWidget(Event_View, 1);
}

void EventListWindow::Fill_List() {
  model_->Reload();
  Progress->setRange(0, model_->rowCount() + 1);
  Progress->setValue(Progress->maximum());
}

void EventListWindow::Clear_List() {
  model_->Empty();
  Progress->setRange(0, 100);
  Progress->setValue(0);
}

void EventListWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  raise();
  Fill_List();
}
