#pragma once
// A panel of the left column: relabels and refreshes itself when shown,
// becomes the worker's receiver, and takes the place of the sensor
// information panel while it is visible.

#include <QWidget>
#include <cstdint>
#include <optional>

#include "panels/PanelHost.h"
#include "model/ConfigurationRules.h"
#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QLabel;
class QPushButton;
class QGridLayout;

namespace qt40 {

class CLblColor;

class CPanel : public QWidget, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kWidthUnits = 177;
    static constexpr int kHeightUnits = 302;

    CPanel(PanelHost& host, int dialogId, int receiver, QWidget* parent);

    int DialogId() const { return dialogId_; }
    int Receiver() const { return receiver_; }

    virtual void Show(bool show);
    // A worker notification for this panel; false passes it to the main window.
    virtual bool HandleNotification(const Notification& n);
    // The table graph was closed: a table panel enables its graph button again.
    virtual void TableGraphClosed() {}
    // The window is about to close (the worker still runs): a procedure that
    // holds the loop lets it go first.
    virtual void BeforeWindowCloses() {}

protected:
    // Fills the panel's fields from the device record.
    virtual void RefreshFields() {}

    // Controls are direct children carrying their "controlId", so that the
    // language file can relabel them.
    CLblColor* AddTitle(int id, const QString& text);
    QPushButton* AddButton(int id, const QString& text);
    QLabel* AddLabel(int id, const QString& text);
    QLabel* AddValue(const QString& objectName);
    QPushButton* AddCloseButton(int id, const QString& text);
    QGridLayout* Grid() const { return grid_; }
    // A whole number of 24 bits (serial and assembly numbers): the digits
    // before the decimal point of the accepted entry; nothing on Cancel.
    // The two ends of a range, upper first, within `limits`; nothing on Cancel
    // or when the span is narrower than `minimumSpan` ("Err_Span" is shown).
    struct RangeKeys {
        const char* upperTitle;
        const char* upperPrompt;
        const char* lowerTitle;
        const char* lowerPrompt;
    };
    struct EnteredRange {
        std::string upperText;
        std::string lowerText;
    };
    std::optional<EnteredRange> EnterRange(const RangeEntryLimits& limits, const std::string& unit,
                                           double minimumSpan, const RangeKeys& keys,
                                           const QString& upperInitial,
                                           const QString& lowerInitial);
    std::optional<std::uint32_t> EnterU24(DeviceValue value, const char* titleKey,
                                          const char* promptKey, const QString& initialText);
    void AddRow(QWidget* left, QWidget* right = nullptr);
    void AddStretch();

    PanelHost& host_;
    QPushButton* close_ = nullptr;

private:
    int dialogId_;
    int receiver_;
    QGridLayout* grid_;
    int row_ = 0;
};

}  // namespace qt40
