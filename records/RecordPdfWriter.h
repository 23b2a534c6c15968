#pragma once
// A record as PDF: laid out as a text document (title, head, tables, lines to
// sign), in black on white so it copies and prints in black and white, with
// a font that holds Japanese, embedded by Qt's PDF writer so the file prints
// the same anywhere. The print preview lays out the same document. Every
// page says "page N of M"; every page after the first says whose record it
// is; the lines to sign are never torn across two pages; a table that goes on
// over a page ends in its rule and starts again under its captions; tables of
// as many columns share their column widths.

#include <QByteArray>
#include <QFont>
#include <QPageSize>
#include <QSet>
#include <filesystem>
#include <memory>

#include "files/FileResult.h"
#include "records/RecordDocument.h"

class QPagedPaintDevice;
class QTextDocument;

namespace qt40 {

class RecordPdfWriter {
public:
    // Letter where the system's locale uses it (the United States, Canada,
    // ...), A4 everywhere else.
    static QPageSize::PageSizeId DefaultPageSize();

    // The document unpaginated, as HTML would show it.
    static std::unique_ptr<QTextDocument> Layout(const RecordDocument& doc);
    // Paints the pages on `device` (a PDF writer, a printer, the print
    // preview) in its page layout, exactly as the saved PDF has them. False
    // when the device would not paint or take another page.
    static bool Paint(const RecordDocument& doc, QPagedPaintDevice& device);
    // The PDF file's bytes; needs a QGuiApplication (an offscreen one will do).
    static QByteArray Pdf(const RecordDocument& doc, QPageSize::PageSizeId size);
    static FileResult Save(const std::filesystem::path& path, const RecordDocument& doc,
                           QPageSize::PageSizeId size);

    // Qt's PDF writer maps each glyph back to the lowest code point the
    // font's character map gives it. CJK fonts draw a Kangxi radical
    // (U+2F47 "⽇") and its ideograph (U+65E5 "日") with one glyph, so the
    // text layer would hold the radical and the archived sheet could not be
    // searched or copied. This rewrites, in place, each radical of the
    // ToUnicode maps to the ideograph that was written with that glyph,
    // where the record holds the ideograph and not the radical.
    static QByteArray PreferWrittenIdeographs(QByteArray pdf, const QSet<char32_t>& written,
                                              const QFont& font);
};

}  // namespace qt40
