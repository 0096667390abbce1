// The results list: one row per calibration, check and failure, as the control published them,
// with what the session learnt about each take (its flags, why it was refused, what to try).
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "analysis/records.h"

namespace pellix::desk {

class ResultsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kTake,
    kCode,
    kVerdict,
    kLie,
    kGlobal,
    kExcitement,
    kThorns,
    kJumps,
    kSpread,
    kJumpLength,
    kFlags,
    kColumns
  };

  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Adds a calibration, check or failure record as the last row; profile records are not rows.
  void add(const analysis::Record& record);
  void clear();
  // The rows as pellix analyze --format csv writes them: its header line, then a line a row.
  std::string csv() const;
  // The record behind `row`: a CalibrationRecord, a CheckRecord or a FailureRecord.
  const analysis::Record& record(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

 private:
  std::vector<analysis::Record> rows_;
};

}  // namespace pellix::desk
