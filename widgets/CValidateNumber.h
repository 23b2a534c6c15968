#pragma once
// Dialog 149: one decimal number with inclusive limits. OK and Enter run the
// number check; a refused entry is reported ("Err_Range_Input" or
// "Err_Calibration_Value_Invalid") and stays in the edit for correction.

#include "widgets/CEntryDialog.h"

namespace qt40 {

class CValidateNumber : public CEntryDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 149;

    // Error boxes go through `messages`.
    CValidateNumber(const CResourceDatabase& database, Prompts& messages,
                    QWidget* parent = nullptr);

    // Limits, flags and starting text come from `entry`; its keys are the
    // caller's business (the caption and prompt arrive as looked-up texts).
    void Setup(const QString& caption, const QString& prompt, const NumberEntry& entry);

    // Valid after exec() returned Accepted.
    const NumberResult& Result() const { return result_; }

protected:
    void Check() override;

private:
    NumberEntry entry_;
    NumberResult result_;
};

}  // namespace qt40
