#pragma once
// A record as PDF: laid out as a text document (title, head, tables, lines to
// sign), in black on white so it copies and prints in black and white, with
// a font that holds Japanese, embedded by Qt's PDF writer so the file prints
// the same anywhere. The print preview lays out the same document.

#include <QByteArray>
#include <QPageSize>
#include <filesystem>
#include <memory>

#include "files/FileResult.h"
#include "records/RecordDocument.h"

class QTextDocument;

namespace qt40 {

class RecordPdfWriter {
public:
    // Letter where the system's locale uses it (the United States, Canada,
    // ...), A4 everywhere else.
    static QPageSize::PageSizeId DefaultPageSize();

    static std::unique_ptr<QTextDocument> Layout(const RecordDocument& doc);
    // The PDF file's bytes; needs a QGuiApplication (an offscreen one will do).
    static QByteArray Pdf(const RecordDocument& doc, QPageSize::PageSizeId size);
    static FileResult Save(const std::filesystem::path& path, const RecordDocument& doc,
                           QPageSize::PageSizeId size);
};

}  // namespace qt40
