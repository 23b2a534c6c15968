#include "monitor/CTrafficWindow.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "hart/CommandSet.h"
#include "files/Utf8Path.h"
#include "monitor/TrafficTableModel.h"
#include "resources/CResourceDatabase.h"
#include "resources/MessageFormat.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeText.h"
#include "traffic/TrafficCsv.h"

namespace qt40 {
namespace {

// The timer's beat: often enough to look live, rare enough that a fast line
// costs the window one batch at a time.
constexpr int kFollowMs = 250;
// Column widths at the least; a caption wider than its column widens it.
constexpr int kWidths[] = {60, 95, 70, 110, 75, 260, 240, 80, 100};

QString Text(const std::string& text) { return QString::fromStdString(text); }

// A language text, or the built-in one when the file has none.
QString UiText(const CResourceDatabase& texts, const char* key, const char* builtIn) {
    const std::string text = texts.UIMsg(key);
    return text.empty() ? QString::fromUtf8(builtIn) : Text(text);
}

}  // namespace

CTrafficWindow::CTrafficWindow(traffic::ExchangeRecorder& recorder, const CResourceDatabase& texts,
                               Prompts& prompts, std::function<std::string()> line, QWidget* parent)
    : QWidget(parent, Qt::Window),
      recorder_(recorder),
      texts_(texts),
      prompts_(prompts),
      line_(std::move(line)) {
    setObjectName(QStringLiteral("CTrafficWindow"));
    resize(980, 620);

    commands_ = new QComboBox(this);
    commands_->setObjectName(QStringLiteral("commandFilter"));
    commands_->addItem(QString(), -1);
    for (int c = 0; c < 256; ++c) {
        if (const CommandLayout* layout = FindLayout(static_cast<std::uint8_t>(c))) {
            commands_->addItem(QString::number(c) + "  " + Text(layout->name), c);
        }
    }
    results_ = new QComboBox(this);
    results_->setObjectName(QStringLiteral("resultFilter"));
    // Widths that do not follow the chosen item: the bar stays where it is.
    for (QComboBox* box : {commands_, results_}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    commands_->setMinimumContentsLength(28);
    results_->setMinimumContentsLength(18);
    for (int i = 0; i < 4; ++i) results_->addItem(QString(), i - 1);
    pause_ = new QPushButton(this);
    pause_->setObjectName(QStringLiteral("pause"));
    pause_->setCheckable(true);
    clear_ = new QPushButton(this);
    clear_->setObjectName(QStringLiteral("clear"));
    save_ = new QPushButton(this);
    save_->setObjectName(QStringLiteral("save"));
    auto* menu = new QMenu(save_);
    menu->setObjectName(QStringLiteral("saveMenu"));
    QAction* capture = menu->addAction(QString());
    capture->setObjectName(QStringLiteral("saveCapture"));
    QAction* csv = menu->addAction(QString());
    csv->setObjectName(QStringLiteral("saveCsv"));
    save_->setMenu(menu);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));

    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* bar = new QHBoxLayout;
    bar->addWidget(commands_);
    bar->addWidget(results_);
    bar->addWidget(pause_);
    bar->addWidget(clear_);
    bar->addWidget(save_);
    bar->addWidget(count_, 1);

    model_ = new TrafficTableModel(recorder_, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("table"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Fixed heights and widths: nothing is measured per row, however many there are.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    for (int c = 0; c < TrafficTableModel::kColumns; ++c) table_->setColumnWidth(c, kWidths[c]);
    table_->horizontalHeader()->setStretchLastSection(true);

    detail_ = new QPlainTextEdit(this);
    detail_->setObjectName(QStringLiteral("detail"));
    detail_->setReadOnly(true);
    detail_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table_);
    split->addWidget(detail_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(kFollowMs);
    connect(timer_, &QTimer::timeout, this, &CTrafficWindow::Follow);
    connect(commands_, &QComboBox::currentIndexChanged, this, &CTrafficWindow::FilterChanged);
    connect(results_, &QComboBox::currentIndexChanged, this, &CTrafficWindow::FilterChanged);
    connect(clear_, &QPushButton::clicked, this, [this] {
        model_->Clear();
        detail_->clear();
        UpdateCount();
    });
    connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused) Follow();
    });
    connect(capture, &QAction::triggered, this, &CTrafficWindow::AskAndSaveCapture);
    connect(csv, &QAction::triggered, this, &CTrafficWindow::AskAndSaveCsv);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CTrafficWindow::ShowDetail);
    auto* close = new QShortcut(QKeySequence(QStringLiteral("Ctrl+T")), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    Relabel();
}

void CTrafficWindow::Relabel() {
    setWindowTitle(UiText(texts_, "Traffic_Title", "Traffic"));
    // The decoder's words follow the language file too.
    const CResourceDatabase* texts = &texts_;
    decoderTexts_ = traffic::DecoderTexts([texts](const std::string& key) { return texts->DisplayMsg(key); });
    model_->SetDecoderTexts(decoderTexts_);
    for (int i = 1; i < commands_->count(); ++i) {
        const int c = commands_->itemData(i).toInt();
        if (const CommandLayout* layout = FindLayout(static_cast<std::uint8_t>(c))) {
            commands_->setItemText(i, QString::number(c) + "  " + Text(decoderTexts_.CommandName(c, layout->name)));
        }
    }
    commands_->setItemText(0, UiText(texts_, "Traffic_All_Commands", "All commands"));
    results_->setItemText(0, UiText(texts_, "Traffic_All_Results", "All results"));
    results_->setItemText(1, UiText(texts_, "Traffic_Result_OK", "Answered"));
    results_->setItemText(2, UiText(texts_, "Traffic_Result_Refused", "Refused by the device"));
    results_->setItemText(3, UiText(texts_, "Traffic_Result_Failed", "No valid answer"));
    pause_->setText(UiText(texts_, "Traffic_Pause", "Pause"));
    clear_->setText(UiText(texts_, "Traffic_Clear", "Clear"));
    save_->setText(UiText(texts_, "Traffic_Save", "Save as…"));
    const auto actions = save_->menu()->actions();
    actions[0]->setText(UiText(texts_, "Traffic_Save_Capture", "Save as pcapng capture…"));
    actions[1]->setText(UiText(texts_, "Traffic_Save_CSV", "Save as CSV…"));
    model_->SetHeaders(
        UiText(texts_, "Traffic_Columns",
               "No.|Local time|Δt (ms)|Address|Command|Name|Response|Status|Duration (ms)")
            .split(QLatin1Char('|')));
    model_->SetFilteredDeltaHeader(UiText(texts_, "Traffic_Delta_Filtered", "Δt shown (ms)"));
    // Captions are drawn bold where the style says so: measured that way.
    QFont bold = table_->horizontalHeader()->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    for (int c = 0; c < TrafficTableModel::kColumns; ++c) {
        QString caption = model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        if (c == TrafficTableModel::kDelta) {
            const QString filtered = UiText(texts_, "Traffic_Delta_Filtered", "Δt shown (ms)");
            if (metrics.horizontalAdvance(filtered) > metrics.horizontalAdvance(caption))
                caption = filtered;
        }
        table_->setColumnWidth(c, std::max(kWidths[c], metrics.horizontalAdvance(caption) + 24));
    }
    UpdateCount();
}

void CTrafficWindow::changeEvent(QEvent* e) {
    // The language panel changed the texts: captions and the decoded detail follow.
    if (e->type() == QEvent::LanguageChange) {
        Relabel();
        ShowDetail();
    }
    QWidget::changeEvent(e);
}

void CTrafficWindow::Open() {
    Relabel();
    show();
    raise();
    activateWindow();
}

void CTrafficWindow::showEvent(QShowEvent* e) {
    Follow();
    timer_->start();
    QWidget::showEvent(e);
}

void CTrafficWindow::hideEvent(QHideEvent* e) {
    // Closed, it costs nothing: the recorder keeps recording, bounded.
    timer_->stop();
    QWidget::hideEvent(e);
}

void CTrafficWindow::Follow() {
    if (pause_->isChecked()) return;
    QScrollBar* bar = table_->verticalScrollBar();
    // A row the user picked stays where it is: the table stops following.
    const bool atEnd = bar->value() >= bar->maximum() && !table_->selectionModel()->hasSelection();
    if (model_->Fetch() == 0) return;
    if (atEnd) table_->scrollToBottom();
    UpdateCount();
}

void CTrafficWindow::FilterChanged() {
    const int command = commands_->currentData().toInt();
    const int result = results_->currentData().toInt();
    model_->SetFilter(command < 0 ? std::nullopt : std::optional<int>(command),
                      result < 0 ? std::nullopt
                                 : std::optional(static_cast<traffic::ResultClass>(result)));
    detail_->clear();
    table_->scrollToBottom();
    UpdateCount();
}

void CTrafficWindow::UpdateCount() {
    std::string text = texts_.UIMsg("Traffic_Count");
    if (text.empty()) text = "%d shown, %d kept, %d dropped";
    const MessageArgs args = {static_cast<long long>(model_->rowCount()),
                              static_cast<long long>(model_->Held()),
                              static_cast<long long>(recorder_.Dropped())};
    count_->setText(Text(FormatMessageText(text, args)));
}

void CTrafficWindow::SelectRow(int row) {
    table_->selectRow(row);
    table_->scrollTo(model_->index(row, 0));
    ShowDetail();
}

void CTrafficWindow::ShowDetail() {
    const traffic::ExchangePtr e = model_->At(table_->currentIndex().row());
    if (!e) {
        detail_->clear();
        return;
    }
    const std::int64_t at = model_->WallClockStartUs() + e->sentUs;
    QString text = UiText(texts_, "Traffic_Detail_Time", "Local time") + " " +
                   Text(traffic::LocalTimeOfDay(at)) + ", UTC " + Text(traffic::UtcText(at)) + "\n";
    for (const std::string& line : traffic::DetailLines(*e, decoderTexts_)) text += Text(line) + "\n";
    detail_->setPlainText(text);
}

void CTrafficWindow::AskAndSaveCapture() { AskAndSave(true); }
void CTrafficWindow::AskAndSaveCsv() { AskAndSave(false); }

void CTrafficWindow::AskAndSave(bool capture) {
    // With a filter on, only the rows shown are saved: the title says so.
    const bool filtered = model_->Filtered();
    FileRequest request;
    request.titleKey = capture ? (filtered ? "Save_Traffic_Capture_Shown" : "Save_Traffic_Capture")
                               : (filtered ? "Save_Traffic_CSV_Shown" : "Save_Traffic_CSV");
    request.filter = texts_.UIMsg(capture ? "Traffic_Capture_Filter" : "Traffic_CSV_Filter");
    request.defaultSuffix = capture ? "pcapng" : "csv";
    const auto path = prompts_.SaveFileName(request);
    if (!path) return;
    const std::vector<traffic::ExchangePtr> shown = model_->Shown();
    FileResult saved;
    if (capture) {
        traffic::CaptureSource source;
        source.line = line_ ? line_() : std::string();
        source.wallClockStartUs = model_->WallClockStartUs();
        source.dropped = recorder_.Dropped();
        source.application = "qt40cfg";
        if (filtered) {
            source.note = "Saved from the Traffic window with a filter on: the " +
                          std::to_string(shown.size()) + " exchanges shown of the " +
                          std::to_string(model_->Held()) + " kept.";
        }
        saved = traffic::CaptureWriter::Save(PathFromUtf8(*path), shown, source);
    } else {
        saved = traffic::TrafficCsv::Save(PathFromUtf8(*path), shown, model_->WallClockStartUs());
    }
    if (!saved.ok()) prompts_.Message("Err_Traffic_Save", {saved.error}, BoxType::OkWarning);
}

}  // namespace qt40
