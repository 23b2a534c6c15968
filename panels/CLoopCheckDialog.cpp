#include "panels/CLoopCheckDialog.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "panels/CRecordPreview.h"
#include "model/NumberText.h"
#include "records/RecordTime.h"

namespace qt40 {
namespace {

using State = LoopCheckProcedure::State;
using Ending = LoopCheckProcedure::Ending;

constexpr int kReleaseWaitMs = 30000;

}  // namespace

CLoopCheckDialog::CLoopCheckDialog(PanelHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      procedureHost_(host),
      check_(host.Worker(), procedureHost_, sheet_) {
    setObjectName("CLoopCheckDialog");
    setWindowModality(Qt::WindowModal);

    const auto field = [this](const char* name, const QString& text = {}) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        return edit;
    };
    points_ = field("points", "0,25,50,75,100");
    tolerance_ = field("tolerance", "0.25");
    technician_ = field("technician");
    meter_ = field("meter");
    note_ = field("note");
    auto* form = new QFormLayout;
    auto* toleranceRow = new QHBoxLayout;
    toleranceRow->addWidget(tolerance_);
    toleranceRow->addWidget(new QLabel("%", this));
    const auto caption = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        return label;
    };
    pointsLabel_ = caption("pointsLabel");
    toleranceLabel_ = caption("toleranceLabel");
    technicianLabel_ = caption("technicianLabel");
    meterLabel_ = caption("meterLabel");
    noteLabel_ = caption("noteLabel");
    form->addRow(pointsLabel_, points_);
    form->addRow(toleranceLabel_, toleranceRow);
    form->addRow(technicianLabel_, technician_);
    form->addRow(meterLabel_, meter_);
    form->addRow(noteLabel_, note_);

    table_ = new QTableWidget(0, 6, this);
    table_->setObjectName("table");
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A row is chosen to take its point again.
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Every column in view: the table never scrolls sideways.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setMinimumHeight(status_->fontMetrics().height() * 2 + 4);
    verdicts_ = new QLabel(this);
    verdicts_->setObjectName("verdicts");
    verdicts_->setTextFormat(Qt::PlainText);
    QFont bold = verdicts_->font();
    bold.setBold(true);
    verdicts_->setFont(bold);

    const auto button = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    measured_ = field("measured");
    enter_ = button("enter");
    enter_->setDefault(true);
    auto* entry = new QHBoxLayout;
    entry->addWidget(measured_, 1);
    entry->addWidget(new QLabel("mA", this));
    entry->addWidget(enter_);

    asFound_ = button("asFound");
    asLeft_ = button("asLeft");
    stop_ = button("stop");
    redo_ = button("redo");
    preview_ = button("preview");
    close_ = button("close");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {asFound_, asLeft_, stop_, redo_}) buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {preview_, close_}) buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(table_, 1);
    layout->addWidget(verdicts_);
    layout->addWidget(status_);
    layout->addLayout(entry);
    layout->addLayout(buttons);
    resize(640, 520);

    connect(asFound_, &QPushButton::clicked, this, [this] { Start(LoopRunKind::AsFound); });
    connect(asLeft_, &QPushButton::clicked, this, [this] { Start(LoopRunKind::AsLeft); });
    connect(stop_, &QPushButton::clicked, this, [this] {
        check_.Stop();
        Refresh();
    });
    connect(redo_, &QPushButton::clicked, this, &CLoopCheckDialog::Redo);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        redo_->setEnabled(!check_.Running() && host_.Connection().Connected() && Selected() &&
                          check_.CanRedo(Selected()->first, Selected()->second));
    });
    connect(enter_, &QPushButton::clicked, this, &CLoopCheckDialog::Enter);
    connect(measured_, &QLineEdit::returnPressed, this, &CLoopCheckDialog::Enter);
    connect(preview_, &QPushButton::clicked, this, &CLoopCheckDialog::ShowPreview);
    connect(close_, &QPushButton::clicked, this, &CLoopCheckDialog::reject);

    // A connection given up while the output holds a point sends no answer
    // of ours: the check learns it here.
    watch_ = new QTimer(this);
    watch_->setInterval(200);
    connect(watch_, &QTimer::timeout, this, [this] {
        if (check_.CurrentState() == State::Measuring && !host_.Connection().Connected()) {
            check_.ConnectionClosed();
        }
        Refresh();
    });
    Relabel();
}

CLoopCheckDialog::~CLoopCheckDialog() = default;

void CLoopCheckDialog::Relabel() {
    setWindowTitle(Text("Rec_Loop_Check"));
    pointsLabel_->setText(Text("Rec_Points"));
    points_->setToolTip(Text("Rec_Points_Of_Span"));
    toleranceLabel_->setText(Text("Rec_Tolerance"));
    technicianLabel_->setText(Text("Rec_Technician"));
    meterLabel_->setText(Text("Rec_Meter"));
    noteLabel_->setText(Text("Rec_Note"));
    table_->setHorizontalHeaderLabels({QString(), Text("Rec_Col_Point"), Text("Rec_Col_Target"),
                                       Text("Rec_Col_Measured"), Text("Rec_Col_Error"),
                                       Text("Rec_Col_Result")});
    enter_->setText(Text("Rec_Enter"));
    asFound_->setText(Text("Rec_Start_As_Found"));
    asLeft_->setText(Text("Rec_Start_As_Left"));
    stop_->setText(Text("Rec_Stop"));
    redo_->setText(Text("Rec_Redo_Point"));
    redo_->setToolTip(Text("Rec_Redo_Tip"));
    preview_->setText(Text("Rec_Preview"));
    close_->setText(Text("Rec_Close"));
    Refresh();
}

void CLoopCheckDialog::changeEvent(QEvent* e) {
    if (e->type() == QEvent::LanguageChange) Relabel();
    QDialog::changeEvent(e);
}

QString CLoopCheckDialog::Text(const char* key) const {
    return QString::fromStdString(WindowRecordTexts(host_.Texts()).Text(key));
}

void CLoopCheckDialog::Open() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    if (sheet_.deviceId != r.deviceIdText) sheet_.Clear();
    sheet_.TakeDevice(r);
    // The language may have changed while it was closed.
    Relabel();
    watch_->start();
    show();
    raise();
}

void CLoopCheckDialog::RecordTrim(bool upper, const std::string& measuredText) {
    // Only between the runs of the device the sheet holds.
    if (!sheet_.Run(LoopRunKind::AsFound) ||
        sheet_.deviceId != host_.Worker().RecordSnapshot().deviceIdText) {
        return;
    }
    sheet_.RecordTrim(upper, measuredText);
}

void CLoopCheckDialog::TakeFields() {
    sheet_.technician = technician_->text().toStdString();
    sheet_.meterId = meter_->text().toStdString();
    sheet_.note = note_->text().toStdString();
    // Settled with the first point: a verdict once shown never changes.
    if (sheet_.AnyMeasured()) return;
    if (const auto tolerance = ParseLoopTolerance(tolerance_->text().toStdString())) {
        sheet_.SetTolerance(*tolerance);
    }
}

void CLoopCheckDialog::Start(LoopRunKind kind) {
    if (check_.Running()) return;
    const auto points = ParseLoopPoints(points_->text().toStdString());
    if (!points) {
        host_.Questions().Message("Err_Loop_Points", {}, BoxType::OkWarning);
        points_->setFocus();
        return;
    }
    const auto tolerance = sheet_.AnyMeasured()
                               ? std::optional<double>(sheet_.Tolerance())
                               : ParseLoopTolerance(tolerance_->text().toStdString());
    if (!tolerance) {
        host_.Questions().Message("Err_Loop_Tolerance", {}, BoxType::OkWarning);
        tolerance_->setFocus();
        return;
    }
    if (check_.WouldReplace(kind)) {
        const std::string name =
            Text(kind == LoopRunKind::AsFound ? "Rec_As_Found" : "Rec_As_Left").toStdString();
        if (host_.Questions().Message("Confr_Loop_Replace_Run", {name}, BoxType::YesNoQuestion) !=
            Answer::Yes) {
            return;
        }
    }
    TakeFields();
    sheet_.SetPoints(*points);
    if (check_.Start(kind) != kCommSuccess) host_.RequestDone();
    Refresh();
}

std::optional<std::pair<LoopRunKind, std::size_t>> CLoopCheckDialog::Selected() const {
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    if (items.isEmpty()) return std::nullopt;
    const int row = items.front()->row();
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return std::nullopt;
    return rows_[static_cast<std::size_t>(row)];
}

void CLoopCheckDialog::Redo() {
    const auto point = Selected();
    if (!point || !check_.CanRedo(point->first, point->second)) return;
    TakeFields();
    if (check_.Redo(point->first, point->second) != kCommSuccess) host_.RequestDone();
    Refresh();
}

void CLoopCheckDialog::Enter() {
    if (check_.CurrentState() != State::Measuring) return;
    const NumberVerdict verdict = check_.Enter(measured_->text().toStdString());
    if (!verdict.result) {
        // Refused, never stored: the same point asks again.
        host_.Questions().Message(verdict.errorKey, {}, BoxType::OkWarning);
        measured_->selectAll();
        measured_->setFocus();
        return;
    }
    measured_->clear();
    if (!check_.Running()) host_.RequestDone();
    Refresh();
}

bool CLoopCheckDialog::HandleNotification(const Notification& n) {
    const ProcedureStep step = check_.HandleNotification(n);
    switch (step) {
        case ProcedureStep::NotMine:
            return false;
        case ProcedureStep::Continues:
            break;
        case ProcedureStep::ConnectionLost:
            if (host_.Connection().Connected()) host_.Connection().StopConnection();
            host_.RequestDone();
            break;
        case ProcedureStep::Finished:
        case ProcedureStep::Refused:
            host_.RequestDone();
            break;
    }
    Refresh();
    if (check_.CurrentState() == State::Measuring) measured_->setFocus();
    return true;
}

void CLoopCheckDialog::EndCheck() {
    if (!check_.Running()) return;
    check_.Stop();
    // The release (or the loss of the line) comes through the worker's
    // notifications; the window paints meanwhile, input waits.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (check_.CurrentState() == State::Measuring && !host_.Connection().Connected()) {
            check_.ConnectionClosed();
        }
        if (!check_.Running()) loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(kReleaseWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    Refresh();
}

void CLoopCheckDialog::reject() {
    EndCheck();
    watch_->stop();
    QDialog::reject();
}

void CLoopCheckDialog::closeEvent(QCloseEvent* e) {
    EndCheck();
    watch_->stop();
    QDialog::closeEvent(e);
}

void CLoopCheckDialog::ShowPreview() {
    TakeFields();
    const RecordTexts texts = WindowRecordTexts(host_.Texts());
    CRecordPreview preview(host_, sheet_.ToDocument(texts, ProgramForRecords(), LocalTimestamp()),
                           "Save_Loop_Check", this);
    preview.exec();
}

void CLoopCheckDialog::Refresh() {
    const RecordTexts texts = WindowRecordTexts(host_.Texts());
    const auto selected = Selected();
    const QSignalBlocker quiet(table_);
    table_->setRowCount(0);
    rows_.clear();
    int current = -1;
    QStringList verdicts;
    for (LoopRunKind kind : {LoopRunKind::AsFound, LoopRunKind::AsLeft}) {
        const LoopRun* run = sheet_.Run(kind);
        if (!run) continue;
        const QString name = Text(kind == LoopRunKind::AsFound ? "Rec_As_Found" : "Rec_As_Left");
        verdicts << QString::fromStdString(texts.Format("Rec_Run_Result", {name.toStdString()})) +
                        ": " + Text(run->VerdictKey());
        for (std::size_t i = 0; i < run->points.size(); ++i) {
            const LoopPointResult& p = run->points[i];
            const int row = table_->rowCount();
            table_->insertRow(row);
            rows_.emplace_back(kind, i);
            const bool here = check_.Running() && check_.CurrentState() != State::Releasing &&
                              check_.RunKind() == kind && check_.PointIndex() == i;
            if (here) current = row;
            const QStringList cells = {
                i == 0 ? name : QString(),
                QString::fromStdString(FormatGeneral(p.percent)),
                QString::fromStdString(FormatFixed(p.targetMa, 3)),
                p.measuredMa ? QString::fromStdString(p.measuredText) : QString(),
                p.errorPercent ? QString::fromStdString(FormatFixed(*p.errorPercent, 3)) : QString(),
                p.pass ? Text(*p.pass ? "Rec_Pass" : "Rec_Fail") : QString()};
            for (int c = 0; c < cells.size(); ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                item->setTextAlignment(c == 0 ? (Qt::AlignLeft | Qt::AlignVCenter)
                                              : (Qt::AlignRight | Qt::AlignVCenter));
                QFont font = item->font();
                // The point being checked, and a failure, stand out without colour.
                font.setBold(here || (c == 5 && p.pass && !*p.pass));
                item->setFont(font);
                table_->setItem(row, c, item);
            }
            if (!here && selected && selected->first == kind && selected->second == i) {
                table_->selectRow(row);
            }
        }
    }
    if (current >= 0) {
        // The point being checked stays in view, however long the sheet.
        table_->clearSelection();
        table_->scrollToItem(table_->item(current, 1));
    }
    verdicts_->setText(verdicts.join(QStringLiteral("    ")));

    QString status;
    switch (check_.CurrentState()) {
        case State::Setting:
            status = QString::fromStdString(
                texts.Format("Rec_Setting", {FormatFixed(check_.LevelMa(), 3)}));
            break;
        case State::Measuring:
            status = QString::fromStdString(texts.Format(
                "Rec_Point_Prompt", {static_cast<long long>(check_.PointIndex() + 1),
                                     static_cast<long long>(check_.PointCount()),
                                     FormatFixed(check_.LevelMa(), 3)}));
            break;
        case State::Releasing:
            status = Text("Rec_Releasing");
            break;
        case State::Idle:
            switch (check_.LastEnding()) {
                case Ending::None:
                    status = Text("Rec_Ready");
                    break;
                case Ending::Refused:
                    status = Text("Rec_Check_Refused") + '\n' +
                             Text(check_.Released() ? "Rec_Released" : "Rec_Not_Released");
                    break;
                case Ending::ConnectionLost:
                    status = Text("Rec_Stop_Exchange_Lost") + '\n' +
                             Text(check_.Released() ? "Rec_Released" : "Rec_Not_Released");
                    break;
                case Ending::Completed:
                case Ending::Stopped:
                    status = Text(check_.Released() ? "Rec_Released" : "Rec_Not_Released");
                    break;
            }
            break;
    }
    status_->setText(status);

    const bool idle = !check_.Running();
    const bool connected = host_.Connection().Connected() && host_.Worker().Running();
    asFound_->setEnabled(idle && connected);
    asLeft_->setEnabled(idle && connected && sheet_.Run(LoopRunKind::AsFound) != nullptr);
    stop_->setEnabled(check_.Running() && check_.CurrentState() != State::Releasing);
    measured_->setEnabled(check_.CurrentState() == State::Measuring);
    enter_->setEnabled(check_.CurrentState() == State::Measuring);
    const auto chosen = Selected();
    redo_->setEnabled(idle && connected && chosen && check_.CanRedo(chosen->first, chosen->second));
    table_->setSelectionMode(idle ? QAbstractItemView::SingleSelection
                                  : QAbstractItemView::NoSelection);
    preview_->setEnabled(idle && (sheet_.Run(LoopRunKind::AsFound) || sheet_.Run(LoopRunKind::AsLeft)));
    points_->setEnabled(idle);
    // One tolerance a sheet, settled by its first point.
    const bool settled = sheet_.AnyMeasured();
    if (settled) {
        tolerance_->setText(QString::fromStdString(FormatGeneral(sheet_.Tolerance())));
    }
    tolerance_->setEnabled(idle && !settled);
    tolerance_->setToolTip(settled ? Text("Rec_Tolerance_Locked") : QString());
}

}  // namespace qt40
