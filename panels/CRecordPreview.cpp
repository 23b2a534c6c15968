#include "panels/CRecordPreview.h"

#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "files/Utf8Path.h"
#include "records/RecordCsvWriter.h"
#include "records/RecordPdfWriter.h"

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40 {

RecordTexts WindowRecordTexts(const CResourceDatabase& texts) {
    return RecordTexts([&texts](const std::string& key) { return texts.UIMsg(key); },
                       [&texts](int dialog, int control) { return texts.GuiText(dialog, control); });
}

std::string ProgramForRecords() {
    return std::string("QT40CFG ") + QT40_VERSION;
}

std::string PortForRecords(PanelHost& host, const RecordTexts& texts) {
    const std::string& port = host.Connection().PortName();
    if (port.empty()) return {};
    return port + " (" + texts.Text("Rec_Polling_Address") + " " +
           std::to_string(host.Connection().PollingAddress()) + ")";
}

CRecordPreview::CRecordPreview(PanelHost& host, RecordDocument doc, std::string saveTitleKey,
                               QWidget* parent)
    : QDialog(parent),
      host_(host),
      doc_(std::move(doc)),
      saveTitleKey_(std::move(saveTitleKey)),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName("CRecordPreview");
    const RecordTexts texts = WindowRecordTexts(host_.Texts());
    setWindowTitle(QString::fromStdString(doc_.title));
    printer_->setPageSize(QPageSize(RecordPdfWriter::DefaultPageSize()));
    printer_->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    preview_ = new QPrintPreviewWidget(printer_.get(), this);
    preview_->setObjectName("preview");
    connect(preview_, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) { RecordPdfWriter::Paint(doc_, *printer); });

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* key, const char* name) {
        auto* b = new QPushButton(QString::fromStdString(texts.Text(key)), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    connect(button("Rec_Save", "save"), &QPushButton::clicked, this, [this] { Save(); });
    connect(button("Rec_Print", "print"), &QPushButton::clicked, this, &CRecordPreview::Print);
    buttons->addStretch(1);
    connect(button("Rec_Close", "close"), &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 1);
    layout->addLayout(buttons);
    resize(720, 860);
}

CRecordPreview::~CRecordPreview() = default;

int CRecordPreview::exec() {
    // No exchange starts while a modal window is open.
    host_.Worker().SetPause(true);
    const int result = QDialog::exec();
    host_.Worker().SetPause(false);
    return result;
}

bool CRecordPreview::Save() {
    const RecordTexts texts = WindowRecordTexts(host_.Texts());
    FileRequest request;
    request.titleKey = saveTitleKey_;
    request.filter = texts.Text("Rec_File_Filter");
    request.defaultSuffix = "pdf";
    request.initialPath = suggestedName_;
    const auto path = host_.Questions().SaveFileName(request);
    // The file dialog's own pause ended with it; this window is still open.
    if (isVisible()) host_.Worker().SetPause(true);
    if (!path) return false;
    const std::filesystem::path file = PathFromUtf8(*path);
    std::string extension = Utf8FromPath(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A name ending in .csv saves the spreadsheet form; anything else the PDF.
    const FileResult saved = extension == ".csv"
                                 ? RecordCsvWriter::Save(file, doc_)
                                 : RecordPdfWriter::Save(file, doc_, RecordPdfWriter::DefaultPageSize());
    if (!saved.ok()) {
        host_.Questions().Message("Err_Record_Save", {saved.error}, BoxType::OkWarning);
        if (isVisible()) host_.Worker().SetPause(true);
        return false;
    }
    return true;
}

void CRecordPreview::Print() {
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() == QDialog::Accepted) RecordPdfWriter::Paint(doc_, *printer_);
}

}  // namespace qt40
