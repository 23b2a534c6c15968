#include "panels/CComparisonPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "panels/CRecordPreview.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/Utf8Path.h"
#include "link/RequestTable.h"
#include "records/ConfigurationReport.h"
#include "records/RecordTime.h"

namespace qt40 {
namespace {

constexpr int kRowHeight = 22;

enum Column : int {
    kCaptionColumn = 0,
    kFileValue,
    kFileUnit,
    kFileChange,
    kToFile,
    kToDevice,
    kDeviceValue,
    kDeviceUnit,
    kDeviceChange,
    kColumnCount,
};

int SideIndex(Side side) {
    return side == Side::File ? 0 : 1;
}

constexpr const char* kFieldNames[kFieldCount] = {
    "tag",
    "descriptor",
    "message",
    "date",
    "deviceId",
    "sensorType",
    "sensorWires",
    "measurementType",
    "pvUnit",
    "pvUpperRange",
    "pvLowerRange",
    "pvDamping",
    "pvDriftAlarm",
    "burnout",
    "transfer",
    "termTempUnit",
    "cjcMode",
    "wireResistance",
    "sensorUpperRange",
    "sensorLowerRange",
    "sensorSerialNo",
    "finalAssemblyNo",
    "aoAlarmMode",
    "aoAlarmHigh",
    "aoAlarmLow",
    "aoSaturationHigh",
    "aoSaturationLow",
    "upperRangeUnit",
    "lowerRangeUnit",
    "driftAlarmUnit",
};

bool IsEditable(ConfigRow row) {
    return row != ConfigRow::DeviceId;
}

}  // namespace

const QColor CComparisonPage::kChangedColour(255, 255, 128);
const QColor CComparisonPage::kDiffersColour(253, 165, 181);

QString CComparisonPage::FieldName(Field field) {
    return kFieldNames[static_cast<int>(field)];
}

CComparisonPage::CComparisonPage(PanelHost& host, int dialogId, int page,
                                 std::shared_ptr<FilePages> shared, QWidget* parent)
    : CPanel(host, dialogId, kReceiverFileProperty, parent),
      shared_(std::move(shared)),
      page_(page) {
    shared_->pages[static_cast<std::size_t>(page - 1)] = this;
    // The whole window: the main window's panels are hidden meanwhile.
    setFixedSize(parent ? parent->size() : size());
    setAutoFillBackground(true);
    Grid()->setVerticalSpacing(2);
    Grid()->setHorizontalSpacing(4);
    Grid()->setColumnStretch(kFileValue, 1);
    Grid()->setColumnStretch(kDeviceValue, 1);
    BuildRows();
    BuildButtons();
}

CComparisonPage* CComparisonPage::OtherPage() const {
    return shared_->pages[page_ == 1 ? 1 : 0];
}

QLabel* CComparisonPage::Value(Side side, Field field) const {
    const auto it = values_.find({SideIndex(side), static_cast<int>(field)});
    return it == values_.end() ? nullptr : it->second;
}

QColor CComparisonPage::ValueColour(Side side, Field field) const {
    const QLabel* value = Value(side, field);
    return value ? value->palette().color(QPalette::Window) : QColor();
}

std::string CComparisonPage::CaptionOf(Field field) const {
    for (CComparisonPage* page : shared_->pages) {
        if (!page) continue;
        const auto it = page->captions_.find(static_cast<int>(field));
        if (it != page->captions_.end()) return it->second->text().toStdString();
    }
    return FieldCaption(field);
}

QLabel* CComparisonPage::UnitCaption(Side side, Field field) {
    QLabel* unit = nullptr;
    switch (field) {
        case Field::PvDamping:
            unit = AddLabel(kSeconds, "Sec");
            if (side == Side::File) seconds_ = unit;
            break;
        case Field::WireResistance:
            unit = AddLabel(kOhms, "Ohms");
            if (side == Side::File) ohms_ = unit;
            break;
        case Field::AoAlarmHigh:
        case Field::AoAlarmLow:
        case Field::AoSaturationHigh:
        case Field::AoSaturationLow:
            unit = AddLabel(kMilliamps, "mA");
            if (side == Side::File) milliamps_ = unit;
            break;
        case Field::PvUpperRange:
        case Field::PvLowerRange:
        case Field::PvDriftAlarm:
        case Field::SensorUpperRange:
        case Field::SensorLowerRange:
            // The PV unit of the same side, filled on refresh.
            unit = new QLabel(this);
            unit->setTextFormat(Qt::PlainText);  // a file's unit name, never markup
            units_[{SideIndex(side), static_cast<int>(field)}] = unit;
            break;
        default:
            return nullptr;
    }
    unit->setObjectName(QString(side == Side::File ? "fileUnit_" : "deviceUnit_") +
                        FieldName(field));
    return unit;
}

void CComparisonPage::BuildRows() {
    QGridLayout* grid = Grid();
    grid->addWidget(AddLabel(kProperties, "Properties"), 0, kCaptionColumn);
    grid->addWidget(AddLabel(kFileColumn, "File Configuration"), 0, kFileValue, 1, 3,
                    Qt::AlignHCenter);
    grid->addWidget(AddLabel(kDeviceColumn, "Device Configuration"), 0, kDeviceValue, 1, 3,
                    Qt::AlignHCenter);

    auto button = [this](int id, const QString& text, const QString& name) {
        QPushButton* b = AddButton(id, text);
        b->setObjectName(name);
        b->setFixedHeight(kRowHeight);
        return b;
    };
    QPushButton* compareFile = button(kCompareFile, "Compare", "compareFile");
    QPushButton* toFile = button(kAllCopyToFile, "All Copy <<", "allCopyToFile");
    QPushButton* toDevice = button(kAllCopyToDevice, ">> All Copy", "allCopyToDevice");
    QPushButton* compareDevice = button(kCompareDevice, "Compare", "compareDevice");
    grid->addWidget(compareFile, 1, kFileValue);
    grid->addWidget(toFile, 1, kFileUnit, 1, 3);
    grid->addWidget(toDevice, 1, kToDevice, 1, 2);
    grid->addWidget(compareDevice, 1, kDeviceChange - 1, 1, 2);
    connect(compareFile, &QPushButton::clicked, this, [this] {
        Model().Compare(Side::File);
        RefreshBoth();
    });
    connect(compareDevice, &QPushButton::clicked, this, [this] {
        Model().Compare(Side::Device);
        RefreshBoth();
    });
    connect(toFile, &QPushButton::clicked, this, [this] {
        Model().CopyAllToFile(host_.Worker().RecordSnapshot());
        RefreshBoth();
    });
    connect(toDevice, &QPushButton::clicked, this, [this] {
        Model().CopyAllToDevice();
        RefreshBoth();
    });

    int gridRow = 2;
    for (int r = 0; r < kRowCount; ++r) {
        const auto row = static_cast<ConfigRow>(r);
        if (PageOf(row) != page_) continue;
        bool first = true;
        for (Field field : LinesOf(row)) {
            const int f = static_cast<int>(field);
            QLabel* caption = AddLabel(kFirstCaption + f, FieldCaption(field));
            captions_[f] = caption;
            grid->addWidget(caption, gridRow, kCaptionColumn);
            for (Side side : {Side::File, Side::Device}) {
                QLabel* value =
                    AddValue(QString(side == Side::File ? "file_" : "device_") + FieldName(field));
                value->setFixedHeight(kRowHeight);
                value->setAutoFillBackground(true);
                values_[{SideIndex(side), f}] = value;
                const bool file = side == Side::File;
                grid->addWidget(value, gridRow, file ? kFileValue : kDeviceValue);
                if (QLabel* unit = UnitCaption(side, field)) {
                    grid->addWidget(unit, gridRow, file ? kFileUnit : kDeviceUnit);
                }
            }
            if (first && IsEditable(row)) {
                for (Side side : {Side::File, Side::Device}) {
                    const bool file = side == Side::File;
                    QPushButton* change =
                        button(file ? kChangeFile : kChangeDevice, "CHG",
                               QString(file ? "fileChange_" : "deviceChange_") + FieldName(field));
                    change->setFixedWidth(44);
                    grid->addWidget(change, gridRow, file ? kFileChange : kDeviceChange);
                    connect(change, &QPushButton::clicked, this, [this, row, side] {
                        if (Model().Edit(row, side, host_.Questions())) RefreshBoth();
                    });
                }
            }
            if (first) {
                // Page 2 keeps its copy buttons without captions.
                QPushButton* left = new QPushButton(page_ == 1 ? "<" : "", this);
                QPushButton* right = new QPushButton(page_ == 1 ? ">" : "", this);
                left->setObjectName("toFile_" + FieldName(field));
                right->setObjectName("toDevice_" + FieldName(field));
                for (QPushButton* b : {left, right}) {
                    b->setAutoDefault(false);
                    b->setFixedSize(24, kRowHeight);
                }
                right->setEnabled(row != ConfigRow::DeviceId);
                grid->addWidget(left, gridRow, kToFile);
                grid->addWidget(right, gridRow, kToDevice);
                connect(left, &QPushButton::clicked, this, [this, row] {
                    Model().CopyRow(row, Side::File);
                    RefreshBoth();
                });
                connect(right, &QPushButton::clicked, this, [this, row] {
                    Model().CopyRow(row, Side::Device);
                    RefreshBoth();
                });
            }
            first = false;
            ++gridRow;
        }
    }
    grid->setRowStretch(gridRow, 1);
}

void CComparisonPage::BuildButtons() {
    auto* bar = new QHBoxLayout;
    auto add = [&](int id, const QString& text, const QString& name,
                   void (CComparisonPage::*slot)()) {
        QPushButton* b = AddButton(id, text);
        b->setObjectName(name);
        bar->addWidget(b);
        if (slot) connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    close_ = add(kExit, "EXIT", "close", nullptr);
    connect(close_, &QPushButton::clicked, this, [this] { Show(false); });
    add(kPage, "Page", "page", &CComparisonPage::SwitchPage);
    pageNumber_ = new QLabel(QString::number(page_), this);
    pageNumber_->setTextFormat(Qt::PlainText);
    pageNumber_->setObjectName("pageNumber");
    bar->addWidget(pageNumber_);
    bar->addStretch(1);
    // Left of the file buttons, so that none of them moves.
    add(kReport, "Report…", "report", &CComparisonPage::OnReport);
    add(kReadFile, "Read File", "readFile", &CComparisonPage::OnReadFile);
    add(kWriteFile, "Write File", "writeFile", &CComparisonPage::OnWriteFile);
    add(kUpload, "Upload", "upload", &CComparisonPage::OnUpload);
    add(kDownload, "Download", "download", &CComparisonPage::OnDownload);
    Grid()->addLayout(bar, Grid()->rowCount(), 0, 1, kColumnCount);
}

void CComparisonPage::Show(bool show) {
    if (!show) {
        setVisible(false);
        host_.ShowSensorInfo(true);
        return;
    }
    host_.Texts().Relabel(DialogId(), this);
    RefreshFields();
    host_.Worker().SetReceiver(Receiver());
    host_.ShowSensorInfo(false);
    host_.ShowMonitor(false);
    move(0, 0);
    raise();
    setVisible(true);
    if (close_) close_->setFocus();
}

void CComparisonPage::SwitchPage() {
    CComparisonPage* other = OtherPage();
    if (!other) return;
    setVisible(false);
    other->Show(true);
}

void CComparisonPage::RefreshFields() {
    const ConfigComparison& model = Model();
    const QColor normal = palette().color(QPalette::Button);
    for (const auto& [key, label] : values_) {
        const Side side = key.first == 0 ? Side::File : Side::Device;
        const auto field = static_cast<Field>(key.second);
        label->setText(QString::fromStdString(model.Text(side, field)));
        QPalette p = label->palette();
        switch (model.Colour(side, field)) {
            case Highlight::Normal:
                p.setColor(QPalette::Window, normal);
                break;
            case Highlight::Changed:
                p.setColor(QPalette::Window, kChangedColour);
                break;
            case Highlight::Differs:
                p.setColor(QPalette::Window, kDiffersColour);
                break;
        }
        label->setPalette(p);
    }
    for (const auto& [key, label] : units_) {
        const Side side = key.first == 0 ? Side::File : Side::Device;
        Field caption = Field::PvUnit;
        switch (static_cast<Field>(key.second)) {
            case Field::PvUpperRange:
                caption = Field::UpperRangeUnit;
                break;
            case Field::PvLowerRange:
                caption = Field::LowerRangeUnit;
                break;
            case Field::PvDriftAlarm:
                caption = Field::DriftAlarmUnit;
                break;
            default:
                break;
        }
        label->setText(QString::fromStdString(model.Text(side, caption)));
    }
}

void CComparisonPage::RefreshBoth() {
    for (CComparisonPage* page : shared_->pages) {
        if (page) page->RefreshFields();
    }
}

FileRequest CComparisonPage::FileDialogRequest() const {
    FileRequest request;
    request.filter = host_.Texts().UIMsg("File_Filter");
    request.defaultSuffix = "txt";
    return request;
}

void CComparisonPage::ShowFileError(const std::string& text) {
    host_.Worker().SetPause(true);
    QMessageBox::warning(this, QString::fromStdString(host_.Texts().UIMsg("Message_Box")),
                         QString::fromStdString(text));
    host_.Worker().SetPause(false);
}

void CComparisonPage::OnReadFile() {
    const auto path = host_.Questions().OpenFileName(FileDialogRequest());
    if (!path) return;
    CFilePropertyReadWrite file;
    // A file that names only some keys leaves the others as they are.
    file.SetValues(Model().FileValues());
    const FileResult read = file.Read(PathFromUtf8(*path));
    // Also a file that cannot be opened: the user chose it and must hear why.
    if (!read.ok()) {
        ShowFileError(read.error);
        return;
    }
    Model().LoadFile(file.Values());
    RefreshBoth();
}

void CComparisonPage::OnWriteFile() {
    const auto path = host_.Questions().SaveFileName(FileDialogRequest());
    if (!path) return;
    FileUnitCaptions captions;
    // The unit captions as the language file names them.
    for (CComparisonPage* page : shared_->pages) {
        if (!page) continue;
        if (page->seconds_) captions.seconds = page->seconds_->text().toStdString();
        if (page->ohms_) captions.ohms = page->ohms_->text().toStdString();
        if (page->milliamps_) captions.milliamps = page->milliamps_->text().toStdString();
    }
    const FileResult written = SaveConfigFile(PathFromUtf8(*path), Model().FileValues(), captions);
    if (!written.ok()) ShowFileError(written.error);
}

CommResult CComparisonPage::StartConnectionFlow() {
    // Already on the loop: identify again on the running worker. Stopping it
    // would cut off a poll in flight, whose failure would then reach the new
    // connection as if it were its own.
    if (host_.Connection().Connected() && host_.Worker().Running()) {
        return host_.Submit(WorkerRequest::Identify, false);
    }
    return host_.Connection().ConnectDevice();
}

void CComparisonPage::OnUpload() {
    Download().Cancel();
    shared_->uploadRequested = true;
    if (StartConnectionFlow() != kCommSuccess) shared_->uploadRequested = false;
}

void CComparisonPage::OnDownload() {
    shared_->uploadRequested = false;
    Download().SetFieldNames([this](Field field) { return CaptionOf(field); });
    Download().Request(Model().DeviceValues());
    if (StartConnectionFlow() != kCommSuccess) Download().Cancel();
}

void CComparisonPage::OnReport() {
    // The report is stamped with the time and port it is made on: made
    // without the device, it would present an old upload as read now.
    if (host_.Connection().Connected() && host_.Worker().Running()) {
        shared_->reportPage = this;
        if (shared_->reportReading.Start() == kCommSuccess) return;
        shared_->reportPage = nullptr;
        host_.RequestDone();
    }
    host_.Questions().Message("Err_Report_Not_Connected", {}, BoxType::OkWarning);
}

void CComparisonPage::ShowReport() {
    const RecordTexts texts = WindowRecordTexts(host_.Texts());
    ReportInput input = ReportInputFrom(host_.Worker(), shared_->reportReading);
    input.program = ProgramForRecords();
    input.created = LocalTimestamp();
    input.port = PortForRecords(host_, texts);
    CRecordPreview preview(host_, ConfigurationReport(input, texts), "Save_Report", this);
    preview.SetSuggestedName(ReportFileName(input.record.tag, input.created));
    preview.exec();
}

bool CComparisonPage::HandleNotification(const Notification& n) {
    if (shared_->reportPage) {
        const ProcedureStep step = shared_->reportReading.HandleNotification(n);
        if (step == ProcedureStep::Continues) return true;
        if (step != ProcedureStep::NotMine) {
            CComparisonPage* page = shared_->reportPage;
            shared_->reportPage = nullptr;
            host_.RequestDone();
            if (step == ProcedureStep::ConnectionLost) {
                if (host_.Connection().Connected()) host_.Connection().StopConnection();
            } else {
                // A refused read leaves its rows empty; the rest is reported.
                page->ShowReport();
            }
            return true;
        }
    }
    const bool consumed = Download().HandleNotification(n);
    if (!consumed) host_.PassToMainWindow(n);
    if (const auto end = Download().TakeEnd()) {
        DownloadEnded(*end);
    } else if (shared_->uploadRequested &&
               (n.Completes(WorkerRequest::Identify) || n.Completes(WorkerRequest::Upload) ||
                n.Completes(WorkerRequest::StartPolling))) {
        if (n.result != kCommSuccess) {
            shared_->uploadRequested = false;
        } else if (n.Completes(WorkerRequest::StartPolling)) {
            shared_->uploadRequested = false;
            Model().LoadDevice(host_.Worker().RecordSnapshot());
            RefreshBoth();
        }
    }
    return true;
}

void CComparisonPage::DownloadEnded(ConfigDownload::Outcome outcome) {
    const DeviceRecord record = host_.Worker().RecordSnapshot();
    ConfigDownload& d = Download();
    switch (outcome) {
        case ConfigDownload::Outcome::Finished:
            Model().LoadDevice(record);
            break;
        case ConfigDownload::Outcome::Stopped:
        case ConfigDownload::Outcome::Aborted:
            // The steps written show what the device took; an aborted step
            // keeps the values it could not write, in pink.
            Model().LoadDevice(record, FieldsOfSteps(d.StepsWritten()));
            if (outcome == ConfigDownload::Outcome::Aborted && d.StoppedAt()) {
                Model().Mark(Side::Device,
                             DownloadSteps()[static_cast<std::size_t>(*d.StoppedAt())].fields,
                             Highlight::Differs);
            }
            break;
        case ConfigDownload::Outcome::Refused:
        case ConfigDownload::Outcome::Failed:
            break;
    }
    RefreshBoth();
    host_.RequestDone();
}

}  // namespace qt40
