#pragma once
// The two small windows that show a long operation: the upload after
// connecting (a percentage and a bar over a 0 … 100 scale) and the search for
// a transmitter (the polling address being tried).

#include <QDialog>

class QLabel;

namespace qt40 {

// The bar of a progress window, with its scale when `withScale` is set.
class CProgressBar : public QWidget {
    Q_OBJECT
public:
    CProgressBar(bool withScale, QWidget* parent);
    void SetPercent(float percent);
    float Percent() const { return percent_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool withScale_;
    float percent_ = 0.0f;
};

class CProgressWindow : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Upload, Search };

    // Shown centred over `owner`, which keeps it (and deletes it).
    CProgressWindow(Kind kind, QWidget* owner);

    // Centred over the parent, bar at 0.
    void Start(const QString& message, int address);
    void SetProgress(float percent, int address);
    QString PercentText() const;
    QString AddressText() const;

private:
    Kind kind_;
    QWidget* owner_;
    QLabel* message_;
    QLabel* percent_ = nullptr;
    QLabel* address_ = nullptr;
    CProgressBar* bar_;
};

// The names the main window gives its two progress windows.
using CUploadDeviceInfo = CProgressWindow;
using CLookingForDeviceInfo = CProgressWindow;

}  // namespace qt40
