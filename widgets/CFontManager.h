#pragma once
// Fonts derived from the main window's font: same face, a given size in
// tenths of a point and a given weight. Panels mix this in.

#include <QFont>

namespace qt40 {

class CFontManager {
public:
    virtual ~CFontManager() = default;

    // Taken once when the main window starts; later derived fonts follow it.
    static void SetTemplateFont(const QFont& font);
    static QFont TemplateFont();

    // `sizeTenths` 110 is 11 points; `weight` 400 normal, 700 bold.
    static QFont DerivedFont(int sizeTenths, int weight);
    // Panel titles and close buttons.
    static QFont TitleFont() { return DerivedFont(110, 700); }
};

}  // namespace qt40
