#pragma once
// The traffic view's table over the exchange recorder: it takes what the
// recorder finished since its last look in one batch (the window calls Fetch
// on a timer, never per exchange), keeps at most the recorder's capacity and
// shows the exchanges that pass the filter by command and by result. Texts of
// a row are made when the row is painted.

#include <QAbstractTableModel>
#include <QStringList>
#include <deque>
#include <optional>

#include "traffic/DecoderTexts.h"
#include "traffic/ExchangeRecorder.h"

namespace qt40 {

class TrafficTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kNumber,  // as recorded, kept through filters and clearing
        kTime,
        kDelta,
        kAddress,
        kCommand,
        kName,
        kResponse,
        kStatus,
        kDuration,
        kColumns
    };

    explicit TrafficTableModel(traffic::ExchangeRecorder& recorder, QObject* parent = nullptr);

    // Takes the exchanges finished since the last call; returns how many.
    int Fetch();
    // Forgets every exchange, here and in the recorder.
    void Clear();
    // Which exchanges show: one command (or all) and one result class (or all).
    void SetFilter(std::optional<int> command, std::optional<traffic::ResultClass> result);
    void SetHeaders(const QStringList& headers);
    // The Δt caption while a filter hides rows (Δt is then between the rows shown).
    void SetFilteredDeltaHeader(const QString& header);
    // The words of the Name, Response and Status columns.
    void SetDecoderTexts(traffic::DecoderTexts texts);
    bool Filtered() const { return command_ || result_; }

    traffic::ExchangePtr At(int row) const;
    // The exchanges shown, oldest first (what "Save as" writes).
    std::vector<traffic::ExchangePtr> Shown() const { return {shown_.begin(), shown_.end()}; }
    std::size_t Held() const { return all_.size(); }
    std::int64_t WallClockStartUs() const { return recorder_.WallClockStartUs(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    bool Passes(const traffic::Exchange& e) const;

    traffic::ExchangeRecorder& recorder_;
    std::deque<traffic::ExchangePtr> all_;    // as the recorder holds them, bounded alike
    std::deque<traffic::ExchangePtr> shown_;  // those passing the filter
    std::uint64_t last_ = 0;                  // number of the last exchange taken
    std::optional<int> command_;
    std::optional<traffic::ResultClass> result_;
    QStringList headers_;
    QString filteredDelta_;
    traffic::DecoderTexts decoderTexts_;
};

}  // namespace qt40
