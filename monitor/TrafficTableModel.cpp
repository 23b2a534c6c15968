#include "monitor/TrafficTableModel.h"

#include <QBrush>
#include <QColor>

#include "traffic/ExchangeText.h"

namespace qt40 {

TrafficTableModel::TrafficTableModel(traffic::ExchangeRecorder& recorder, QObject* parent)
    : QAbstractTableModel(parent),
      recorder_(recorder),
      headers_(
          {"No.", "Time", "Δt", "Address", "Command", "Name", "Response", "Status", "Duration"}) {}

bool TrafficTableModel::Passes(const traffic::Exchange& e) const {
    if (command_ && e.Command() != *command_) return false;
    return !result_ || e.Result() == *result_;
}

int TrafficTableModel::Fetch() {
    std::vector<traffic::ExchangePtr> fresh = recorder_.Since(last_);
    if (fresh.empty()) return 0;
    last_ = fresh.back()->number;
    const std::size_t capacity = recorder_.Capacity();
    // More than the bound at once: only the newest can stay anyway.
    if (fresh.size() > capacity) fresh.erase(fresh.begin(), fresh.end() - static_cast<std::ptrdiff_t>(capacity));

    // The oldest go first, as they went from the recorder.
    const std::size_t overflow = all_.size() + fresh.size() > capacity ? all_.size() + fresh.size() - capacity : 0;
    if (overflow > 0) {
        const std::uint64_t keepFrom = overflow < all_.size() ? all_[overflow]->number : fresh.front()->number;
        all_.erase(all_.begin(), all_.begin() + static_cast<std::ptrdiff_t>(std::min(overflow, all_.size())));
        std::size_t gone = 0;
        while (gone < shown_.size() && shown_[gone]->number < keepFrom) ++gone;
        if (gone > 0) {
            beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
            shown_.erase(shown_.begin(), shown_.begin() + static_cast<std::ptrdiff_t>(gone));
            endRemoveRows();
        }
    }
    std::vector<traffic::ExchangePtr> passing;
    for (auto& e : fresh) {
        if (Passes(*e)) passing.push_back(e);
        all_.push_back(std::move(e));
    }
    if (!passing.empty()) {
        const int first = static_cast<int>(shown_.size());
        beginInsertRows({}, first, first + static_cast<int>(passing.size()) - 1);
        shown_.insert(shown_.end(), passing.begin(), passing.end());
        endInsertRows();
    }
    return static_cast<int>(fresh.size());
}

void TrafficTableModel::Clear() {
    beginResetModel();
    recorder_.Clear();
    all_.clear();
    shown_.clear();
    endResetModel();
}

void TrafficTableModel::SetFilter(std::optional<int> command,
                                  std::optional<traffic::ResultClass> result) {
    beginResetModel();
    command_ = command;
    result_ = result;
    shown_.clear();
    emit headerDataChanged(Qt::Horizontal, kDelta, kDelta);
    for (const auto& e : all_) {
        if (Passes(*e)) shown_.push_back(e);
    }
    endResetModel();
}

void TrafficTableModel::SetHeaders(const QStringList& headers) {
    if (headers.size() != kColumns) return;
    headers_ = headers;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void TrafficTableModel::SetFilteredDeltaHeader(const QString& header) {
    filteredDelta_ = header;
    emit headerDataChanged(Qt::Horizontal, kDelta, kDelta);
}

traffic::ExchangePtr TrafficTableModel::At(int row) const {
    if (row < 0 || row >= static_cast<int>(shown_.size())) return nullptr;
    return shown_[static_cast<std::size_t>(row)];
}

int TrafficTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int TrafficTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TrafficTableModel::data(const QModelIndex& index, int role) const {
    const traffic::ExchangePtr e = At(index.row());
    if (!e) return {};
    if (role == Qt::BackgroundRole) {
        switch (e->Result()) {
            case traffic::ResultClass::Ok: return {};
            case traffic::ResultClass::Refused: return QBrush(QColor(255, 244, 200));
            case traffic::ResultClass::Failed: return QBrush(QColor(255, 214, 214));
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == kNumber || index.column() == kDelta ||
                            index.column() == kCommand || index.column() == kDuration;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case kNumber:
            return QString::number(e->number);
        case kTime:
            return QString::fromStdString(traffic::LocalTimeOfDay(recorder_.WallClockStartUs() + e->sentUs));
        case kDelta: {
            const traffic::ExchangePtr previous = At(index.row() - 1);
            if (!previous) return QString();
            return QString::number(static_cast<double>(e->sentUs - previous->sentUs) / 1000.0, 'f', 1);
        }
        case kDuration:
            if (!e->Sent()) return QString();
            return QString::number(static_cast<double>(e->endedUs - e->sentUs) / 1000.0, 'f', 1);
        default: break;
    }
    const traffic::ExchangeColumns c = traffic::Columns(*e, decoderTexts_);
    switch (index.column()) {
        case kAddress: return QString::fromStdString(c.address);
        case kCommand: return QString::fromStdString(c.command);
        case kName: return QString::fromStdString(c.name);
        case kResponse:
            return QString::fromStdString(e->attempt > 1 ? c.response + " (try " + std::to_string(e->attempt) + ")"
                                                         : c.response);
        case kStatus: return QString::fromStdString(c.status);
        default: return {};
    }
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) {
        const traffic::ExchangePtr e = At(section);
        return e ? QVariant(QString::number(e->number)) : QVariant();
    }
    if (section == kDelta && Filtered() && !filteredDelta_.isEmpty()) return filteredDelta_;
    return section >= 0 && section < headers_.size() ? QVariant(headers_[section]) : QVariant();
}

void TrafficTableModel::SetDecoderTexts(traffic::DecoderTexts texts) {
    beginResetModel();
    decoderTexts_ = std::move(texts);
    endResetModel();
}

}  // namespace qt40
