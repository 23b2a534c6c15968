#include "monitor/CDisplayArea.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <limits>

#include "monitor/ScaleMath.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {
namespace {

struct ColumnLayout {
    const char* key;  // object name stem
    int headerId;
    const char* header;
    int barId;
    int unitId;
    const char* unit;
    int upperEditId;  // 0: the scale follows the device
    int lowerEditId;
    int graphId;
    const char* graph;
    CTemperature::Style style;
    bool redFill;
    double upper;
    double lower;
};

constexpr std::array<ColumnLayout, CDisplayArea::kColumns> kColumnLayouts{{
    {"pv", 1178, "PV", 1192, 1051, "mV", 0, 0, 1052, "PV Graph", CTemperature::Style::Plain, false,
     1000.0, 0.0},
    {"percent", 1179, "PV %", 1193, 1053, "%", 1273, 1269, 1057, "PV % Graph",
     CTemperature::Style::Plain, false, 100.0, 0.0},
    {"term", 1180, "Term.", 1194, 1054, "degC", 1274, 1275, 1056, "Term Graph",
     CTemperature::Style::Thermometer, true, 100.0, -40.0},
    {"ao", 1181, "AO", 1195, 1058, "mA", 1276, 1277, 1055, "AO Graph", CTemperature::Style::Plain,
     false, 20.0, 4.0},
}};

// Layout in dialog units within a column 70 units wide.
constexpr int kColumnWidth = 70;
constexpr int kPanelWidth = 280;
constexpr int kPanelHeight = 302;

QRect Units(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

double ValueOf(const MonitorValues& values, int column) {
    switch (column) {
        case CDisplayArea::kPv:
            return values.pv;
        case CDisplayArea::kPercent:
            return values.percent;
        case CDisplayArea::kTerm:
            return values.terminal;
        default:
            return values.loopCurrent;
    }
}

bool ValidColumn(int column) {
    return column >= 0 && column < CDisplayArea::kColumns;
}

}  // namespace

CDisplayArea::CDisplayArea(Prompts& prompts, const CResourceDatabase& resources, QWidget* parent)
    : QWidget(parent), prompts_(prompts), resources_(resources) {
    setObjectName(QStringLiteral("displayArea"));
    setFixedSize(DluX(kPanelWidth), DluY(kPanelHeight));
    setFocusPolicy(Qt::ClickFocus);

    for (int column = 0; column < kColumns; ++column) {
        const ColumnLayout& layout = kColumnLayouts[column];
        const int x = column * kColumnWidth;
        const QString key = QString::fromLatin1(layout.key);
        ColumnWidgets& widgets = columns_[column];

        widgets.header = new QLabel(QString::fromUtf8(layout.header), this);
        widgets.header->setTextFormat(Qt::PlainText);
        widgets.header->setObjectName(key + QStringLiteral("Header"));
        widgets.header->setProperty("controlId", layout.headerId);
        widgets.header->setAlignment(Qt::AlignCenter);
        widgets.header->setGeometry(Units(x + 2, 3, kColumnWidth - 4, 10));

        widgets.unit = new CLblColor(QString::fromUtf8(layout.unit), this);
        widgets.unit->setObjectName(key + QStringLiteral("Unit"));
        widgets.unit->setProperty("controlId", layout.unitId);
        widgets.unit->setGeometry(Units(x + 2, 14, kColumnWidth - 4, 10));

        widgets.bar = new CTemperature(layout.style, this);
        widgets.bar->setObjectName(key + QStringLiteral("Bar"));
        widgets.bar->setGeometry(Units(x + 1, 40, kColumnWidth - 2, 220));

        if (layout.upperEditId != 0) {
            widgets.upper = new QLineEdit(this);
            widgets.upper->setObjectName(key + QStringLiteral("Upper"));
            widgets.upper->setGeometry(Units(x + 8, 27, 36, 12));
            widgets.lower = new QLineEdit(this);
            widgets.lower->setObjectName(key + QStringLiteral("Lower"));
            widgets.lower->setGeometry(Units(x + 8, 261, 36, 12));
            for (QLineEdit* edit : {widgets.upper, widgets.lower}) {
                edit->setAlignment(Qt::AlignRight);
                connect(edit, &QLineEdit::editingFinished, this, &CDisplayArea::ApplyScales);
            }
            connect(widgets.upper, &QLineEdit::textChanged, this,
                    [this, column] { CheckEdit(column, true); });
            connect(widgets.lower, &QLineEdit::textChanged, this,
                    [this, column] { CheckEdit(column, false); });
        }

        widgets.graph = new QPushButton(QString::fromUtf8(layout.graph), this);
        widgets.graph->setObjectName(key + QStringLiteral("Graph"));
        widgets.graph->setProperty("controlId", layout.graphId);
        widgets.graph->setGeometry(Units(x + 5, 280, kColumnWidth - 10, 14));
        connect(widgets.graph, &QPushButton::clicked, this, [this, column] {
            SetTrendFlag(column);
            emit graphRequested(column);
        });
    }
}

void CDisplayArea::Initialise() {
    const QFont font = DerivedFont(100, 400);
    for (int column = 0; column < kColumns; ++column) {
        const ColumnLayout& layout = kColumnLayouts[column];
        ColumnWidgets& widgets = columns_[column];
        widgets.header->setFont(font);
        widgets.unit->setFont(font);
        widgets.unit->SetBackColor(CLblColor::ButtonFace());
        widgets.bar->Initialise();
        widgets.bar->SetScale(layout.upper, layout.lower);
        if (widgets.upper != nullptr) {
            widgets.upper->setText(Text(ScaleLabelText(layout.upper)));
            widgets.lower->setText(Text(ScaleLabelText(layout.lower)));
        }
    }
    Redraw();
}

void CDisplayArea::Show(bool show, bool connected) {
    if (show) {
        resources_.Relabel(kDialogId, this);
        ShowUnits();
        ClearTrendFlags();
        for (ColumnWidgets& widgets : columns_) widgets.graph->setEnabled(connected);
    }
    setVisible(show);
    if (show) {
        if (connected) {
            columns_[kPv].graph->setFocus();
        } else {
            columns_[kPercent].lower->setFocus();
        }
    }
    emit shown(show);
}

void CDisplayArea::SetUnits(const std::string& pvUnit, const std::string& svUnit,
                            const std::string& aoUnit) {
    unitNames_[kPv] = pvUnit;
    unitNames_[kTerm] = svUnit;
    unitNames_[kAo] = aoUnit;
    FollowTermUnit(svUnit);
    ShowUnits();
}

void CDisplayArea::FollowTermUnit(const std::string& unit) {
    // The default scale is -40 to 100 degC; in another unit it would peg the
    // thermometer, so it moves with the unit. A scale the user typed stays.
    if (unit == termScaleUnit_) return;
    const auto next = TerminalScaleDefault(unit);
    const auto shown = TerminalScaleDefault(termScaleUnit_);
    if (!next || !shown) return;
    ColumnWidgets& term = columns_[kTerm];
    const auto same = [](double a, double b) { return std::abs(a - b) < 0.005; };
    if (!same(term.bar->ScaleUpper(), shown->upper) ||
        !same(term.bar->ScaleLower(), shown->lower)) {
        return;
    }
    termScaleUnit_ = unit;
    term.bar->SetScale(next->upper, next->lower);
    term.upper->setText(Text(ScaleLabelText(next->upper)));
    term.lower->setText(Text(ScaleLabelText(next->lower)));
}

void CDisplayArea::ShowUnits() {
    // Relabelling may bring the file's default units back; the device's win.
    for (int column = 0; column < kColumns; ++column) {
        if (unitNames_[column]) columns_[column].unit->setText(Text(*unitNames_[column]));
    }
}

void CDisplayArea::TakeRange(double upperRange, double lowerRange) {
    columns_[kPv].bar->SetScale(std::max(upperRange, lowerRange), std::min(upperRange, lowerRange));
}

void CDisplayArea::Refresh(const MonitorValues& values) {
    values_ = values;
    Redraw();
}

void CDisplayArea::Redraw() {
    for (int column = 0; column < kColumns; ++column) {
        CTemperature* bar = columns_[column].bar;
        const double value = ValueOf(values_, column);
        const QColor fill =
            kColumnLayouts[column].redFill ? CTemperature::Red() : CTemperature::Green();
        bar->DrawScale();
        if (values_.live) {
            bar->DrawValue(value, fill, Text(ValueText(value)));
        } else {
            bar->DrawValue(std::numeric_limits<double>::quiet_NaN(), fill, QString());
        }
    }
    for (ColumnWidgets& widgets : columns_) {
        if (widgets.upper != nullptr) {
            widgets.upper->update();
            widgets.lower->update();
        }
    }
}

CDisplayArea::~CDisplayArea() {
    // The edits outlive this part of the object (the base destroys them), and
    // losing the focus as they go would call back into a panel already gone.
    for (ColumnWidgets& widgets : columns_) {
        for (QLineEdit* edit : {widgets.upper, widgets.lower}) {
            if (edit != nullptr) disconnect(edit, nullptr, this, nullptr);
        }
    }
}

void CDisplayArea::ApplyScales() {
    if (errorBoxOpen_) return;
    const auto read = [](QLineEdit* edit) {
        std::string text = edit->text().toStdString();
        if (text.size() > kScaleTextLimit) {
            text = CutScaleText(text);
            edit->setText(Text(text));
        }
        return ScaleTextValue(text);
    };
    for (ColumnWidgets& widgets : columns_) {
        if (widgets.upper == nullptr) continue;
        const double upper = read(widgets.upper);
        const double lower = read(widgets.lower);
        widgets.bar->SetScale(upper, lower);
    }
    Redraw();
}

void CDisplayArea::CheckEdit(int column, bool upper) {
    ColumnWidgets& widgets = columns_[column];
    QLineEdit* edit = upper ? widgets.upper : widgets.lower;
    if (ScaleTextAllowed(edit->text().toStdString())) return;
    // The box takes the focus from the edit; the scales must not be read
    // from the refused text meanwhile.
    errorBoxOpen_ = true;
    prompts_.Message("Err_Num_Inalid_char", {}, BoxType::OkWarning);
    errorBoxOpen_ = false;
    const double limit = upper ? widgets.bar->ScaleUpper() : widgets.bar->ScaleLower();
    edit->setText(Text(RestoredScaleText(limit)));
}

void CDisplayArea::SetTrendFlag(int column) {
    trendFlags_.fill(false);
    if (ValidColumn(column)) trendFlags_[column] = true;
}

void CDisplayArea::ClearTrendFlags() {
    trendFlags_.fill(false);
}

bool CDisplayArea::TrendFlag(int column) const {
    return ValidColumn(column) && trendFlags_[column];
}

std::optional<int> CDisplayArea::TrendColumn() const {
    for (int column = 0; column < kColumns; ++column) {
        if (trendFlags_[column]) return column;
    }
    return std::nullopt;
}

QString CDisplayArea::HeaderText(int column) const {
    return ValidColumn(column) ? columns_[column].header->text() : QString();
}

QString CDisplayArea::UnitText(int column) const {
    return ValidColumn(column) ? columns_[column].unit->text() : QString();
}

CTemperature* CDisplayArea::Bar(int column) const {
    return ValidColumn(column) ? columns_[column].bar : nullptr;
}

QLineEdit* CDisplayArea::UpperEdit(int column) const {
    return ValidColumn(column) ? columns_[column].upper : nullptr;
}

QLineEdit* CDisplayArea::LowerEdit(int column) const {
    return ValidColumn(column) ? columns_[column].lower : nullptr;
}

QPushButton* CDisplayArea::GraphButton(int column) const {
    return ValidColumn(column) ? columns_[column].graph : nullptr;
}

void CDisplayArea::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ApplyScales();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CDisplayArea::mouseReleaseEvent(QMouseEvent* event) {
    ApplyScales();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace qt40
