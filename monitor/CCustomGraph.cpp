#include "monitor/CCustomGraph.h"

#include <QLabel>
#include <QPushButton>

#include "monitor/CCustomLineGraph.h"
#include "monitor/CUnderLine.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {
namespace {

constexpr int kPlotLeft = 52;
constexpr int kPlotTop = 56;
constexpr int kPlotHeight = 365;

QLabel* PlainLabel(QWidget* parent, int id, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setProperty("controlId", id);
    // Language texts are shown as they are, never as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

CCustomGraph::CCustomGraph(const CResourceDatabase& texts, Prompts& prompts, QWidget* parent)
    : QWidget(parent), texts_(texts) {
    setObjectName(QStringLiteral("CCustomGraph"));
    setFixedSize(DluX(kWidthUnits), DluY(kHeightUnits));

    title_ = new CLblColor(QString(), this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setProperty("controlId", 1304);
    title_->setTextFormat(Qt::PlainText);
    title_->setGeometry(4, 4, width() - 8, 28);

    yName_ = PlainLabel(this, 1329, "yName");
    yName_->setGeometry(4, 36, 300, 18);

    plot_ = new CCustomLineGraph(texts, prompts, this);
    plot_->setObjectName(QStringLiteral("plot"));
    plot_->setProperty("controlId", 1308);
    plot_->setGeometry(kPlotLeft, kPlotTop, width() - kPlotLeft - 4, kPlotHeight);

    const int middle = kPlotTop + (kPlotHeight - CCustomLineGraph::kBottomMargin) / 2;
    yUnit_ = PlainLabel(this, 1328, "yUnit");
    yUnit_->setAlignment(Qt::AlignCenter);
    yUnit_->setGeometry(0, middle - 18, kPlotLeft, 16);
    underline_ = new CUnderLine(this);
    underline_->setObjectName(QStringLiteral("underline"));
    underline_->setProperty("controlId", 1331);
    underline_->setGeometry(4, middle - 1, kPlotLeft - 8, 1);

    xName_ = PlainLabel(this, 1330, "xName");
    xName_->setAlignment(Qt::AlignCenter);
    xName_->setGeometry(kPlotLeft + 60, kPlotTop + kPlotHeight, width() - kPlotLeft - 140, 18);

    close_ = new QPushButton(QStringLiteral("Close Graph"), this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setProperty("controlId", 1275);
    close_->setAutoDefault(false);
    close_->setGeometry(width() - 230, kPlotTop + kPlotHeight + 26, 200, 30);
    connect(close_, &QPushButton::clicked, this, [this] {
        series_.Clear();
        plot_->Forget();
        emit closeRequested();
    });
    hide();
}

void CCustomGraph::Initialise() {
    title_->SetBackColor(QColor(120, 183, 210));
    title_->setFont(TitleFont());
    close_->setFont(TitleFont());
    plot_->Initialise();
}

void CCustomGraph::Show(bool show) {
    if (show && !isVisible()) {
        texts_.Relabel(kDialogId, this);
        setVisible(true);
        close_->setFocus();
        return;
    }
    if (!show) setVisible(false);
}

void CCustomGraph::SetLabels(const std::string& title, const std::string& yName,
                             const std::string& xName, const std::string& yUnit) {
    title_->setText(QString::fromStdString(title));
    yName_->setText(QString::fromStdString(yName));
    xName_->setText(QString::fromStdString(xName));
    yUnit_->setText(QString::fromStdString(yUnit));
    const QFont small = DerivedFont(80, 400);
    for (QLabel* label : {yName_, xName_, yUnit_}) label->setFont(small);
    title_->SetBackColor(QColor(120, 183, 210));
    title_->setFont(TitleFont());
    const std::string yHeader = yUnit.empty() ? yName : yName + " (" + yUnit + ")";
    plot_->SetCsvHeaders(xName, yHeader);
}

void CCustomGraph::SetRanges(AxisRange x, AxisRange y) {
    plot_->SetRanges(SeparateLimits(x), SeparateLimits(y));
}

void CCustomGraph::PlotTable(const std::vector<double>& x, const std::vector<double>& y) {
    series_.Assign(x, y);
    plot_->PlotTrend(series_);
}

QString CCustomGraph::TitleText() const {
    return title_->text();
}
QString CCustomGraph::YNameText() const {
    return yName_->text();
}
QString CCustomGraph::XNameText() const {
    return xName_->text();
}
QString CCustomGraph::YUnitText() const {
    return yUnit_->text();
}

}  // namespace qt40
