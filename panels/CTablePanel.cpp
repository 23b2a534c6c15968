#include "panels/CTablePanel.h"

#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "files/Utf8Path.h"
#include "model/CglobalFile.h"
#include "tables/CFileOperations.h"
#include "tables/TableSeries.h"

namespace qt40 {
namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}


}  // namespace

CTablePanel::CTablePanel(PanelHost& host, int dialogId, int receiver, TableKind kind,
                         const Captions& captions, QWidget* parent)
    : CPanel(host, dialogId, receiver, parent),
      transfer_(kind, host.Worker(), host.Questions(), *this, paintingClock_) {
    setObjectName(captions.objectName);
    AddTitle(kTitle, captions.title);

    auto button = [this](int id, const QString& text, const char* name) {
        QPushButton* b = AddButton(id, text);
        b->setObjectName(name);
        AddRow(b);
        return b;
    };
    read_ = button(kRead, "Read table from Device", "read");
    write_ = button(kWriteDevice, "Write table to Device", "write");
    writeFile_ = button(kWriteFile, "Write table to File", "writeFile");
    readFile_ = button(kReadFile, "Read table from File", "readFile");
    graph_ = button(kGraph, captions.graph, "graph");
    if (kind == TableKind::CustomRtd) {
        calibrated_ = button(kCalibratedRtd, "Write Calibrated RTD", "calibratedRtd");
    }

    QLabel* unit = AddLabel(kUnitCaption, Custom() ? "degC" : "%");
    unit->setAlignment(Qt::AlignRight);
    AddRow(unit);
    status_ = SummaryRow(kStatusCaption, "Status", "status");
    minimum_ =
        SummaryRow(kMinimumCaption, Custom() ? "Min. Temperature" : "Minimum Value", "minimum");
    maximum_ =
        SummaryRow(kMaximumCaption, Custom() ? "Max. Temperature" : "Maximum Value", "maximum");
    if (Custom()) step_ = SummaryRow(kStepCaption, "Temperature Step", "step");
    size_ = SummaryRow(kSizeCaption, "Table Size", "size");
    AddRow(AddLabel(kMaxSizeCaption, "Max Size"),
           AddLabel(kMaxSizeValue, QString::number(transfer_.Info().capacity)));
    AddCloseButton(kClose, captions.close);

    connect(read_, &QPushButton::clicked, this, &CTablePanel::OnRead);
    connect(write_, &QPushButton::clicked, this, &CTablePanel::OnWriteDevice);
    connect(writeFile_, &QPushButton::clicked, this, &CTablePanel::OnWriteFile);
    connect(readFile_, &QPushButton::clicked, this, &CTablePanel::OnReadFile);
    connect(graph_, &QPushButton::clicked, this, &CTablePanel::OnGraph);
}

QLabel* CTablePanel::SummaryRow(int id, const QString& caption, const QString& name) {
    QLabel* value = AddValue(name);
    AddRow(AddLabel(id, caption), value);
    return value;
}

void CTablePanel::Show(bool show) {
    if (!show) {
        // The graph goes with the panel; without its own Close the button
        // must not stay waiting for it.
        host_.HideTableGraph();
        graphShown_ = false;
    }
    CPanel::Show(show);
}

void CTablePanel::RefreshFields() {
    tableValid_ = false;
    graphAllowed_ = false;
    customSummary_ = {};
    curveSummary_ = {};
    ShowSummary();
    read_->setEnabled(true);
    write_->setEnabled(true);
    graph_->setEnabled(false);
    if (calibrated_) calibrated_->setEnabled(true);
}

void CTablePanel::ShowSummary() {
    if (Custom()) {
        status_->setText(FromStd(customSummary_.status));
        minimum_->setText(FromStd(customSummary_.minTemperature));
        maximum_->setText(FromStd(customSummary_.maxTemperature));
        step_->setText(FromStd(customSummary_.temperatureStep));
        size_->setText(FromStd(customSummary_.tableSize));
    } else {
        status_->setText(FromStd(curveSummary_.status));
        minimum_->setText(FromStd(curveSummary_.minimumValue));
        maximum_->setText(FromStd(curveSummary_.maximumValue));
        size_->setText(FromStd(curveSummary_.tableSize));
    }
}

void CTablePanel::AllowGraph() {
    graphAllowed_ = true;
    graph_->setEnabled(!graphShown_);
}

void CTablePanel::OnRead() {
    transfer_.StartRead();
}

void CTablePanel::OnWriteDevice() {
    if (Custom()) {
        transfer_.StartWrite(customEdit_, tableValid_);
    } else {
        transfer_.StartWrite(curveEdit_, tableValid_);
    }
}

void CTablePanel::OnWriteFile() {
    if (!tableValid_) return;
    FileRequest request;
    request.filter = host_.Texts().UIMsg("File_Filter");
    request.defaultSuffix = "txt";
    const auto path = host_.Questions().SaveFileName(request);
    if (!path) return;
    // The table the panel shows, whichever way it came in.
    FileResult saved;
    switch (transfer_.Kind()) {
        case TableKind::CustomTc:
            saved = CFileOperations::WriteCustomTable(PathFromUtf8(*path), CglobalFile::CustomTcHeader(), "TC",
                                                      ImageFromEdit(customEdit_));
            break;
        case TableKind::CustomRtd:
            saved = CFileOperations::WriteCustomTable(PathFromUtf8(*path), CglobalFile::CustomRtdHeader(), "RTD",
                                                      ImageFromEdit(customEdit_));
            break;
        case TableKind::SpecialCurve:
            saved = CFileOperations::WriteSpecialCurve(PathFromUtf8(*path), CglobalFile::SpecialCurveHeader(),
                                                       ImageFromEdit(curveEdit_));
            break;
    }
    if (!saved.ok()) ShowFileError(saved.error);
}

void CTablePanel::OnReadFile() {
    FileRequest request;
    request.filter = host_.Texts().UIMsg("File_Filter");
    request.defaultSuffix = "txt";
    const auto path = host_.Questions().OpenFileName(request);
    if (!path) return;
    CFileOperations reader(host_.Questions());
    reader.SetUp(ReaderSetupFor(transfer_.Kind()));
    const TableReadOutcome outcome =
        Custom() ? reader.ReadCustomTable(PathFromUtf8(*path))
                 : reader.ReadSpecialCurve(PathFromUtf8(*path));
    if (outcome == TableReadOutcome::Aborted) {
        if (!reader.Result().fileError.empty()) ShowFileError(reader.Result().fileError);
        return;
    }
    if (Custom()) {
        const CustomTableImage image = host_.Worker().RecordSnapshot().customTable;
        tableValid_ = TakeOverCustomTableRead(reader.Result(), image, customEdit_, customSummary_);
    } else {
        tableValid_ = TakeOverSpecialCurveRead(reader.Result(), curveEdit_, curveSummary_);
    }
    ShowSummary();
    AllowGraph();
}

void CTablePanel::OnGraph() {
    if (!tableValid_) return;
    const TextLookup text = [this](const std::string& key) { return host_.Texts().UIMsg(key); };
    host_.ShowTableGraph(Custom() ? CustomTableSeries(customEdit_, transfer_.Kind(), text)
                                  : SpecialCurveSeries(curveEdit_, text));
    graphShown_ = true;
    graph_->setEnabled(false);
}

void CTablePanel::TableGraphClosed() {
    graphShown_ = false;
    graph_->setEnabled(graphAllowed_);
}

void CTablePanel::ShowFileError(const std::string& text) {
    // A failure of the file itself has no language text: the system's reason is shown.
    host_.Worker().SetPause(true);
    QMessageBox::critical(this, FromStd(host_.Texts().UIMsg("Message_Box")), FromStd(text));
    host_.Worker().SetPause(false);
}

bool CTablePanel::HandleNotification(const Notification& n) {
    return transfer_.HandleNotification(n);
}

CommResult CTablePanel::Submit(WorkerRequest code, bool polling) {
    return host_.Submit(code, polling);
}

void CTablePanel::ShowProgress(const std::string& key) {
    host_.Connection().ShowProgress(ProgressKind::Upload, key);
}

void CTablePanel::HideProgress() {
    host_.Connection().HideProgress(ProgressKind::Upload);
}

void CTablePanel::EnableRead(bool on) {
    read_->setEnabled(on);
}

void CTablePanel::EnableWrite(bool on) {
    write_->setEnabled(on);
}

void CTablePanel::TableArrived(bool complete) {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    // A header read alone (after a write, or after "Write Calibrated RTD")
    // leaves in the image whatever points were read last, perhaps another
    // table's: the values are taken only when they are this table's.
    const TablePoints points = Custom() ? r.customTable.points : r.specialCurve.points;
    const bool values = complete || points == PointsOf(transfer_.Kind());
    if (Custom()) {
        if (values) FillEditFromImage(r.customTable, customEdit_);
        customSummary_ = SummarizeCustomTable(r.customTable);  // header fields only
    } else if (values) {
        FillEditFromImage(r.specialCurve, curveEdit_);
        curveSummary_ = SummarizeSpecialCurve(r.specialCurve);
    } else {
        // Its minimum and maximum come from points: they stay as shown.
        const SpecialCurveSummary header = SummarizeSpecialCurve(r.specialCurve);
        curveSummary_.status = header.status;
        curveSummary_.tableSize = header.tableSize;
    }
    if (values) {
        tableValid_ = true;
        AllowGraph();
    }
    ShowSummary();
    if (calibrated_) calibrated_->setEnabled(true);
}

void CTablePanel::ConnectionLost() {
    // The connection was given up: the default panel takes the column back.
    if (host_.Connection().Connected()) host_.Connection().StopConnection();
    Show(false);
    host_.RequestDone();
}

void CTablePanel::SequenceEnded() {
    host_.RequestDone();
}

}  // namespace qt40
