// The results list: one row per calibration and check, as the control published them.
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
    kColumns
  };

  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Adds a calibration or check record as the last row; profile records are not rows.
  void add(const analysis::Record& record);
  void clear();
  // The record behind `row`: a CalibrationRecord or a CheckRecord.
  const analysis::Record& record(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

 private:
  std::vector<analysis::Record> rows_;
};

}  // namespace pellix::desk
