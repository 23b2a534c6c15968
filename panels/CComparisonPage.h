#pragma once
// One of the two full-window pages that hold a configuration file beside the
// connected device: three columns (row names, "File Configuration", "Device
// Configuration"), per-row "CHG", "<" and ">", and the buttons both pages
// share. The rules live in ConfigComparison and ConfigDownload; a page shows
// them and asks through Prompts.

#include <QColor>
#include <array>
#include <map>
#include <memory>

#include "panels/CPanel.h"
#include "panels/PanelProcedureHost.h"
#include "files/ConfigComparison.h"
#include "procedures/ConfigDownload.h"
#include "files/FileConfig.h"
#include "procedures/ReportReading.h"

class QLabel;
class QPushButton;

namespace qt40 {

class CComparisonPage;

// What both pages share: the two columns, the download chain and an upload
// that is waiting for its end.
struct FilePages {
    explicit FilePages(PanelHost& host)
        : download(host.Worker(), host.Connection(), host.Questions()),
          reportHost(host),
          reportReading(host.Worker(), reportHost) {}
    ConfigComparison model;
    ConfigDownload download;
    std::array<CComparisonPage*, 2> pages{};
    bool uploadRequested = false;
    // The report's own reads (status, sensor trims), then its preview on
    // the page that asked.
    PanelProcedureHost reportHost;
    ReportReading reportReading;
    CComparisonPage* reportPage = nullptr;
};

class CComparisonPage : public CPanel {
    Q_OBJECT
public:
    // Control identifiers the language file relabels (the same on both pages).
    enum Control : int {
        kProperties = 1801,
        kFileColumn = 1802,
        kDeviceColumn = 1803,
        kCompareFile = 1804,
        kAllCopyToFile = 1805,
        kAllCopyToDevice = 1806,
        kCompareDevice = 1807,
        kExit = 1808,
        kPage = 1809,
        kReadFile = 1810,
        kWriteFile = 1811,
        kUpload = 1812,
        kDownload = 1813,
        kChangeFile = 1814,
        kChangeDevice = 1815,
        kSeconds = 1816,
        kOhms = 1817,
        kMilliamps = 1818,
        kReport = 1819,
        kFirstCaption = 1820,  // + the field's number
    };

    static const QColor kChangedColour;  // light yellow
    static const QColor kDiffersColour;  // pink

    CComparisonPage(PanelHost& host, int dialogId, int page, std::shared_ptr<FilePages> shared,
                    QWidget* parent);

    void Show(bool show) override;
    bool HandleNotification(const Notification& n) override;

    int PageNumber() const { return page_; }
    ConfigComparison& Model() { return shared_->model; }
    ConfigDownload& Download() { return shared_->download; }
    QLabel* Value(Side side, Field field) const;
    QColor ValueColour(Side side, Field field) const;
    // The caption this page shows for a row's line (relabelled).
    std::string CaptionOf(Field field) const;
    // Redraws the values and colours from the shared columns.
    void RefreshFields() override;

    // The name tests and the language file find a value by.
    static QString FieldName(Field field);

protected:
    CComparisonPage* OtherPage() const;
    std::shared_ptr<FilePages> SharedPages() const { return shared_; }

private:
    void BuildRows();
    void BuildButtons();
    QLabel* UnitCaption(Side side, Field field);
    void RefreshBoth();
    void SwitchPage();
    void OnReadFile();
    void OnWriteFile();
    CommResult StartConnectionFlow();
    void OnUpload();
    void OnDownload();
    void OnReport();
    void ShowReport();
    void DownloadEnded(ConfigDownload::Outcome outcome);
    void ShowFileError(const std::string& text);
    FileRequest FileDialogRequest() const;

    std::shared_ptr<FilePages> shared_;
    int page_;
    std::map<std::pair<int, int>, QLabel*> values_;  // (side, field)
    std::map<std::pair<int, int>, QLabel*> units_;   // PV unit captions
    std::map<int, QLabel*> captions_;                // by field
    QLabel* seconds_ = nullptr;
    QLabel* ohms_ = nullptr;
    QLabel* milliamps_ = nullptr;
    QLabel* pageNumber_ = nullptr;
};

}  // namespace qt40
