#include "desk/results_model.h"

#include <QFileInfo>
#include <QStringList>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "analysis/report.h"
#include "analysis/result_meanings.h"
#include "analysis/take_facts.h"

namespace pellix::desk {
namespace {

constexpr std::array<const char*, ResultsModel::kColumns> kHeaders = {
    "Take", "Code", "Verdict", "LIE", "GLB", "EXC", "SPT", "SPJ", "JQ", "AVJ", "Flags"};
constexpr std::array<const char*, ResultsModel::kColumns> kToolTips = {
    "the recording",
    "the result code the control published (CR_msgX)",
    "what the code means",
    "lie stress (LIEstress)",
    "global stress (GLBstress)",
    "excitement (EXCstress)",
    "thorn rate (CR_spT)",
    "jump rate (CR_SPJ)",
    "jump spread (CR_JQ)",
    "average jump length (CR_avJ)",
    "what to know about the take: clipped, very quiet, short, unvoiced, a steady tone; and why a "
    "refused take was refused (the row's tooltip says it in words)"};

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QString Verdict(const analysis::CalibrationRecord& record) {
  if (record.accepted()) return "calibration accepted";
  return "calibration rejected: " + Text(std::string(analysis::kCalibrationRejected));
}

QString Verdict(const analysis::CheckRecord& record) {
  if (std::optional<Tarvo_alg1::ResultCodeValue> code = record.code.value()) {
    return Text(std::string(analysis::ResultCodeMeaning(*code)->summary));
  }
  return "unknown code " + Text(record.code.caption());
}

// A measure as the control published it; "-" for a take without measures.
analysis::PublishedFigure Measure(const std::optional<analysis::Measures>& m, int column) {
  if (!m) return "-";
  switch (column) {
    case ResultsModel::kThorns:
      return m->thorn_rate;
    case ResultsModel::kJumps:
      return m->jump_rate;
    case ResultsModel::kSpread:
      return m->jump_spread;
    default:
      return m->avg_jump_len;
  }
}

// A measure for the list: whole numbers as they are, others to two decimals (the tooltip has
// the whole text).
QString ShortMeasure(const analysis::PublishedFigure& figure) {
  const std::optional<double> value = figure.value();
  if (!value || std::floor(*value) == *value) return Text(figure.caption());
  return QString::number(*value, 'f', 2);
}

QString Stress(const std::optional<analysis::StressLevels>& s, int column) {
  if (!s) return "-";
  switch (column) {
    case ResultsModel::kLie:
      return Text(s->lie.caption());
    case ResultsModel::kGlobal:
      return Text(s->global.caption());
    default:
      return Text(s->excitement.caption());
  }
}

// The flags by name, and "refused" for a take the control refused.
QString Flags(const analysis::TakeFacts& facts) {
  QStringList names;
  for (const std::string& flag : facts.flags) names << Text(flag);
  if (!facts.refusal.empty()) names << "refused";
  return names.join(", ");
}

// Every flag in words, then why the take was refused and what to try.
QString FlagWords(const analysis::TakeFacts& facts) {
  QStringList lines;
  for (const std::string& flag : facts.flags) {
    lines << "\u2022 " + Text(std::string(analysis::TakeFlagWords(flag)));
  }
  if (!facts.refusal.empty()) lines << "Refused: " + Text(facts.refusal);
  if (!facts.advice.empty()) lines << "Try: " + Text(facts.advice);
  return lines.join("\n");
}

// One cell of a calibration or check row.
template <typename Take>
QString Cell(const Take& take, int column) {
  switch (column) {
    case ResultsModel::kFlags:
      return Flags(take.facts);
    case ResultsModel::kTake:
      return QFileInfo(Text(take.file)).fileName();
    case ResultsModel::kCode:
      return Text(take.code.caption());
    case ResultsModel::kVerdict:
      return Verdict(take);
    case ResultsModel::kLie:
    case ResultsModel::kGlobal:
    case ResultsModel::kExcitement:
      if constexpr (std::is_same_v<Take, analysis::CheckRecord>) return Stress(take.stress, column);
      return "-";
    default:
      return ShortMeasure(Measure(take.measures, column));
  }
}

// A row for a take that could not be read or analysed: its name and the error in words.
QVariant FailureData(const analysis::FailureRecord& failure, int column, int role) {
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (column) {
    case ResultsModel::kTake:
      return role == Qt::ToolTipRole ? Text(failure.file)
                                     : QFileInfo(Text(failure.file)).fileName();
    case ResultsModel::kVerdict:
      return Text(std::string(analysis::RoleName(failure.role))) +
             " failed: " + Text(failure.error_message) + " (error " +
             QString::number(failure.error_number) + ")";
    case ResultsModel::kFlags:
      return role == Qt::ToolTipRole ? QVariant() : QVariant("failed");
    default:
      return role == Qt::ToolTipRole ? QVariant() : QVariant("-");
  }
}

}  // namespace

int ResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const analysis::Record& row = record(index.row());
  if (const auto* failure = std::get_if<analysis::FailureRecord>(&row)) {
    return FailureData(*failure, index.column(), role);
  }
  const auto* calibration = std::get_if<analysis::CalibrationRecord>(&row);
  const auto* check = std::get_if<analysis::CheckRecord>(&row);
  const analysis::TakeFacts& facts = calibration != nullptr ? calibration->facts : check->facts;
  if (role == Qt::DisplayRole) {
    if (calibration != nullptr) return Cell(*calibration, index.column());
    if (check != nullptr) return Cell(*check, index.column());
  }
  if (role == Qt::ToolTipRole && index.column() == kTake) {
    return Text(calibration != nullptr ? calibration->file : check->file);
  }
  if (role == Qt::ToolTipRole && (index.column() == kFlags || index.column() == kVerdict)) {
    const QString words = FlagWords(facts);
    if (!words.isEmpty()) return words;
    return {};
  }
  if (role == Qt::ToolTipRole && index.column() >= kThorns && index.column() != kFlags) {
    return Text(
        Measure(calibration != nullptr ? calibration->measures : check->measures, index.column())
            .caption());
  }
  if (role == Qt::TextAlignmentRole && index.column() != kTake && index.column() != kVerdict &&
      index.column() != kFlags) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  if (role == Qt::DisplayRole) return QString(kHeaders[static_cast<std::size_t>(section)]);
  if (role == Qt::ToolTipRole) return QString(kToolTips[static_cast<std::size_t>(section)]);
  return {};
}

void ResultsModel::add(const analysis::Record& record) {
  if (std::holds_alternative<analysis::ProfileRecord>(record)) return;
  const int row = rowCount();
  beginInsertRows({}, row, row);
  rows_.push_back(record);
  endInsertRows();
}

std::string ResultsModel::csv() const {
  const std::unique_ptr<analysis::Report> report =
      analysis::MakeReport(analysis::ReportFormat::kCsv, {});
  std::string text = report->Header();
  for (const analysis::Record& row : rows_) text += report->Format(row);
  return text;
}

void ResultsModel::clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

}  // namespace pellix::desk
