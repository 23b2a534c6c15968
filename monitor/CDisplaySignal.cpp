#include "monitor/CDisplaySignal.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <array>

#include "monitor/CTemperature.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {
namespace {

struct IndicatorPlace {
    int controlId;
    const char* text;
};

// Two rows of eight places; 0 leaves a place blank (1027 and 1442, bit 4).
constexpr std::array<IndicatorPlace, 8> kCommRow{{{1023, "COM"},
                                                  {1024, "PE"},
                                                  {1025, "OVE"},
                                                  {1026, "FE"},
                                                  {0, ""},
                                                  {1028, "SME"},
                                                  {1029, "BOE"},
                                                  {1030, "TME"}}};
constexpr std::array<IndicatorPlace, 8> kDeviceRow{{{1038, "MAL"},
                                                    {1031, "CFG"},
                                                    {1032, "CLD"},
                                                    {0, ""},
                                                    {1034, "AFX"},
                                                    {1035, "AOS"},
                                                    {1036, "NPV"},
                                                    {1037, "PV"}}};

struct StatusBit {
    int controlId;
    std::uint8_t mask;
    bool greenWhenClear;  // else neutral
};

constexpr std::array<StatusBit, 7> kStatusBits{{{1038, 0x80, false},
                                                {1031, 0x40, false},
                                                {1032, 0x20, false},
                                                {1034, 0x08, false},
                                                {1035, 0x04, true},
                                                {1036, 0x02, true},
                                                {1037, 0x01, true}}};

// The language text that says what each box means.
struct IndicatorTip {
    int controlId;
    const char* key;
};
constexpr std::array<IndicatorTip, 14> kTips{{{1023, "Status_Tip_COM"},
                                              {1024, "Status_Tip_PE"},
                                              {1025, "Status_Tip_OVE"},
                                              {1026, "Status_Tip_FE"},
                                              {1028, "Status_Tip_SME"},
                                              {1029, "Status_Tip_BOE"},
                                              {1030, "Status_Tip_TME"},
                                              {1038, "Status_Tip_MAL"},
                                              {1031, "Status_Tip_CFG"},
                                              {1032, "Status_Tip_CLD"},
                                              {1034, "Status_Tip_AFX"},
                                              {1035, "Status_Tip_AOS"},
                                              {1036, "Status_Tip_NPV"},
                                              {1037, "Status_Tip_PV"}}};

constexpr int kGroupWidth = 70;
constexpr int kCellWidth = 27;
constexpr int kCellHeight = 25;

QRect Units(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

}  // namespace

// A small thermometer on a transparent ground: the status bar's icon and the
// program's window icon.
QPixmap CDisplaySignal::ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath glass;
    glass.addRoundedRect(QRectF(12, 2, 8, 22), 4, 4);
    glass.addEllipse(QRectF(9, 18, 14, 13));
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.setBrush(Qt::white);
    painter.drawPath(glass.simplified());
    painter.setPen(Qt::NoPen);
    painter.setBrush(CTemperature::Red());
    painter.drawRect(QRectF(14.5, 9, 3, 14));
    painter.drawEllipse(QRectF(11.5, 20.5, 9, 8));
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    for (int y = 6; y <= 18; y += 4) painter.drawLine(QLineF(20, y, 23, y));
    return pixmap;
}

CDisplaySignal::CDisplaySignal(const CResourceDatabase& resources, QWidget* parent)
    : QWidget(parent), resources_(resources) {
    setObjectName(QStringLiteral("displaySignal"));
    setFixedSize(DluX(530), DluY(50));

    const auto addLabel = [this](int controlId, const QString& text, const QRect& geometry) {
        auto* label = new CLblColor(text, this);
        label->setObjectName(QStringLiteral("label%1").arg(controlId));
        label->setProperty("controlId", controlId);
        label->setGeometry(geometry);
        labels_[controlId] = label;
        return label;
    };

    addLabel(1191, QStringLiteral("Comm Status"), Units(0, 0, kGroupWidth, kCellHeight));
    addLabel(1021, QStringLiteral("Device Status"),
             Units(0, kCellHeight, kGroupWidth, kCellHeight));
    const std::array<const std::array<IndicatorPlace, 8>*, 2> rows{&kCommRow, &kDeviceRow};
    for (int row = 0; row < 2; ++row) {
        for (int place = 0; place < 8; ++place) {
            const IndicatorPlace& indicator = (*rows[row])[place];
            if (indicator.controlId == 0) continue;
            CLblColor* label = addLabel(indicator.controlId, QString::fromLatin1(indicator.text),
                                        Units(kGroupWidth + 1 + place * kCellWidth,
                                              row * kCellHeight, kCellWidth, kCellHeight));
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
    }

    icon_ = new QLabel(this);
    icon_->setTextFormat(Qt::PlainText);
    icon_->setObjectName(QStringLiteral("icon"));
    icon_->setGeometry(DluX(392), (height() - 32) / 2, 32, 32);

    name_ = addLabel(kName, QStringLiteral("QT40\nConfigurator\nMonitor"), Units(418, 1, 110, 48));
    name_->setObjectName(QStringLiteral("name"));

    // In the free space right of the indicators: the layout stays as it is.
    traffic_ = new QPushButton(QStringLiteral("Traffic…"), this);
    traffic_->setObjectName(QStringLiteral("traffic"));
    traffic_->setFocusPolicy(Qt::NoFocus);
    traffic_->setGeometry(Units(kGroupWidth + 1 + 8 * kCellWidth + 8, 6, 80, 14));
    connect(traffic_, &QPushButton::clicked, this, &CDisplaySignal::trafficRequested);
}

QColor CDisplaySignal::Neutral() {
    return CLblColor::ButtonFace();
}

void CDisplaySignal::Initialise() {
    const QFont indicatorFont = DerivedFont(100, 400);
    for (auto& [controlId, label] : labels_) {
        label->setFont(indicatorFont);
        label->SetTextColor(Qt::black);
        label->SetBackColor(Neutral());
    }
    for (int group : {1191, 1021}) {
        labels_[group]->SetTextColor(Qt::white);
        labels_[group]->SetBackColor(GroupBack());
    }
    name_->setFont(CTemperature::CellFont(25, 700));
    name_->SetTextColor(Qt::black);
    name_->SetBackColor(NameBack());
    icon_->setPixmap(ProgramIcon());
}

void CDisplaySignal::Show(bool show) {
    if (show) {
        resources_.Relabel(kDialogId, this);
        const QString tip = QString::fromStdString(resources_.UIMsg("Traffic_Open_Tip"));
        for (const auto& [controlId, label] : labels_) {
            if (label->geometry().top() < DluY(kCellHeight)) label->setToolTip(tip);
        }
        // Each box says what it means; those of the line's row also how to
        // see the line's traffic.
        for (const IndicatorTip& entry : kTips) {
            CLblColor* label = Label(entry.controlId);
            if (label == nullptr) continue;
            QString text = QString::fromStdString(resources_.UIMsg(entry.key));
            if (label->geometry().top() < DluY(kCellHeight)) text += QStringLiteral("\n") + tip;
            label->setToolTip(text);
        }
        traffic_->setText(QString::fromStdString(resources_.UIMsg("Traffic_Open_Button")));
        traffic_->setToolTip(tip);
    }
    setVisible(show);
}

void CDisplaySignal::mouseDoubleClickEvent(QMouseEvent* e) {
    // The labels leave mouse events to us; the first row is the line's.
    if (e->position().y() < DluY(kCellHeight)) {
        emit commRowDoubleClicked();
        return;
    }
    QWidget::mouseDoubleClickEvent(e);
}

void CDisplaySignal::DeviceStatusRefresh(std::uint8_t status) {
    ShowLive();
    const QColor green = CTemperature::Green();
    SetColor(kHeartbeat, IndicatorColor(kHeartbeat) == green ? CTemperature::LightGreen() : green);
    for (const StatusBit& bit : kStatusBits) {
        const bool set = (status & bit.mask) != 0;
        SetColor(bit.controlId, set ? CTemperature::Red() : bit.greenWhenClear ? green : Neutral());
    }
    SetColor(kFailure, Neutral());
}

void CDisplaySignal::MarkFailure() {
    SetColor(kFailure, CTemperature::Red());
}

void CDisplaySignal::ShowOffline() {
    for (const auto& [controlId, label] : labels_) {
        if (controlId == 1191 || controlId == 1021 || label == name_) continue;
        label->SetBackColor(Neutral());
        label->SetTextColor(OfflineText());
    }
    live_ = false;
}

void CDisplaySignal::ShowLive() {
    if (live_) return;
    for (const auto& [controlId, label] : labels_) {
        if (controlId == 1191 || controlId == 1021 || label == name_) continue;
        label->SetTextColor(Qt::black);
    }
    live_ = true;
}

CLblColor* CDisplaySignal::Label(int controlId) const {
    const auto found = labels_.find(controlId);
    return found == labels_.end() ? nullptr : found->second;
}

QColor CDisplaySignal::IndicatorColor(int controlId) const {
    const CLblColor* label = Label(controlId);
    return label == nullptr ? QColor() : label->BackColor();
}

void CDisplaySignal::SetColor(int controlId, const QColor& color) {
    if (CLblColor* label = Label(controlId)) label->SetBackColor(color);
}

}  // namespace qt40
