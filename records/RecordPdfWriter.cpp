#include "records/RecordPdfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QSet>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <cmath>

#include "files/SafeTextWriter.h"
#include "files/Utf8Path.h"

namespace qt40 {
namespace {

QString Html(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped().replace('\n', "<br>");
}

QString Cell(const RecordCell& cell, bool first) {
    QString html = Html(cell.text);
    if (cell.strong) html = "<b>" + html + "</b>";
    return QStringLiteral("<td%1>%2</td>").arg(first ? "" : " align=\"right\"", html);
}

QString BuildHtml(const RecordDocument& doc, bool keepSignaturesApart) {
    QString html = "<html><body>";
    html += "<h2>" + Html(doc.title) + "</h2>";
    html += "<table cellspacing=\"0\" cellpadding=\"2\">";
    for (const RecordField& f : doc.head) {
        html += "<tr><td><b>" + Html(f.caption) + "</b></td><td>&nbsp;&nbsp;" + Html(f.value) +
                "</td></tr>";
    }
    html += "</table>";
    for (const RecordTable& table : doc.tables) {
        html += "<h3>" + Html(table.caption) + "</h3>";
        // Black rules on white: the grid reads the same on a black-and-white copy.
        html += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
                "style=\"border-collapse: collapse; border-color: black;\">";
        html += "<thead><tr>";
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            html += QStringLiteral("<th align=\"%1\">%2</th>")
                        .arg(i == 0 ? "left" : "right", Html(table.columns[i]));
        }
        html += "</tr></thead>";
        for (const auto& row : table.rows) {
            html += "<tr>";
            for (std::size_t i = 0; i < row.size(); ++i) html += Cell(row[i], i == 0);
            html += "</tr>";
        }
        html += "</table>";
    }
    if (!doc.signatures.empty()) {
        html += "<p>&nbsp;</p><table width=\"100%\" cellspacing=\"0\" cellpadding=\"8\"" +
                QString(keepSignaturesApart ? " style=\"page-break-before: always;\"" : "") + ">";
        for (const std::string& caption : doc.signatures) {
            html += "<tr><td width=\"35%\">" + Html(caption) +
                    "</td><td style=\"border-bottom: 1px solid black;\">&nbsp;</td></tr>";
        }
        html += "</table>";
    }
    return html + "</body></html>";
}

QFont RecordFont() {
    QFont font;
    // A family that holds Japanese and Latin alike, whichever the system has.
    font.setFamilies({"Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP", "Yu Gothic",
                      "Meiryo", "MS Gothic", "IPAexGothic", "IPAGothic", "Noto Sans",
                      "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    // Latin needs no shaping: without it no ligature or alternate digit
    // glyph lacks its character in the PDF, so the text copies and searches.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(9.5);
    return font;
}

// "Page %d of %d" with its numbers; a language text is not trusted to hold
// exactly two placeholders, so only "%d" is filled and nothing else read.
QString PageOf(const std::string& pattern, int page, int pages) {
    QString text = QString::fromStdString(pattern.empty() ? std::string("%d / %d") : pattern);
    for (int n : {page, pages}) {
        const qsizetype at = text.indexOf(QStringLiteral("%d"));
        if (at < 0) break;
        text.replace(at, 2, QString::number(n));
    }
    return text;
}

// The signature table: the last table of the document, when it has one.
QTextTable* SignatureTable(QTextDocument& text) {
    QTextTable* last = nullptr;
    for (QTextFrame* frame : text.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) last = table;
    }
    return last;
}

// Every character the record holds, as written.
QSet<char32_t> WrittenCharacters(const RecordDocument& doc) {
    QSet<char32_t> written;
    const auto add = [&](const std::string& text) {
        for (char32_t c : QString::fromStdString(text).toUcs4()) written.insert(c);
    };
    add(doc.title);
    add(doc.pageMark);
    add(doc.pageOf);
    for (const RecordField& f : doc.head) {
        add(f.caption);
        add(f.value);
    }
    for (const RecordTable& t : doc.tables) {
        add(t.caption);
        for (const std::string& c : t.columns) add(c);
        for (const auto& row : t.rows) {
            for (const RecordCell& cell : row) add(cell.text);
        }
    }
    for (const std::string& s : doc.signatures) add(s);
    return written;
}

bool IsRadical(char32_t c) {
    return c >= 0x2E80 && c <= 0x2FDF;  // CJK Radicals Supplement and Kangxi Radicals
}

QByteArray Hex4(char32_t c) {
    return QByteArray::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, '0');
}

}  // namespace

QByteArray RecordPdfWriter::PreferWrittenIdeographs(QByteArray pdf, const QSet<char32_t>& written,
                                                    const QFont& font) {
    // Per radical: the written ideograph that the font draws with the same
    // glyph (its compatibility equivalent first, then by the font's map).
    const QRawFont raw = QRawFont::fromFont(font);
    const auto glyph = [&](char32_t c) -> quint32 {
        if (!raw.isValid()) return 0;
        const auto glyphs = raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
        return glyphs.size() == 1 ? glyphs.front() : 0;
    };
    QHash<char32_t, char32_t> replacement;
    const auto targetOf = [&](char32_t radical) -> char32_t {
        if (const auto found = replacement.constFind(radical); found != replacement.cend()) {
            return *found;
        }
        char32_t target = 0;
        if (!written.contains(radical)) {
            const QList<uint> equivalent =
                QString::fromUcs4(&radical, 1).normalized(QString::NormalizationForm_KC).toUcs4();
            if (equivalent.size() == 1 && written.contains(equivalent.front())) {
                target = equivalent.front();
            } else if (const quint32 g = glyph(radical); g != 0) {
                for (char32_t c : written) {
                    if (c >= 0x3400 && !IsRadical(c) && glyph(c) == g) {
                        target = c;
                        break;
                    }
                }
            }
        }
        replacement.insert(radical, target);
        return target;
    };

    // Qt writes each ToUnicode map as an uncompressed stream: a destination
    // rewritten in place keeps every length and offset of the file.
    static const QByteArray kBegin = "begincmap";
    static const QByteArray kEnd = "endcmap";
    for (qsizetype at = pdf.indexOf(kBegin); at >= 0; at = pdf.indexOf(kBegin, at)) {
        const qsizetype end = pdf.indexOf(kEnd, at);
        if (end < 0) break;
        qsizetype line = pdf.indexOf("beginbfrange", at);
        while (line >= 0 && line < end) {
            const qsizetype lineEnd = pdf.indexOf('\n', line);
            if (lineEnd < 0 || lineEnd > end) break;
            // "<src> <src> <dst>" maps one glyph when both sources agree;
            // "<src> <src> [<dst> <dst> ...]" maps one glyph a destination.
            // A range "<lo> <hi> <dst>" counts up from dst and is left alone.
            const QByteArray text = pdf.mid(line, lineEnd - line);
            QList<qsizetype> starts;
            for (qsizetype i = text.indexOf('<'); i >= 0; i = text.indexOf('<', i + 1)) {
                starts.push_back(i);
            }
            const bool list = text.contains('[');
            if (starts.size() >= 3) {
                const bool single = text.mid(starts[0], 6) == text.mid(starts[1], 6);
                for (qsizetype k = 2; k < starts.size(); ++k) {
                    if (!list && !(single && k == 2)) break;
                    const qsizetype s = starts[k];
                    if (text.size() < s + 6 || text[s + 5] != '>') continue;
                    bool ok = false;
                    const auto code = static_cast<char32_t>(text.mid(s + 1, 4).toUInt(&ok, 16));
                    if (!ok || !IsRadical(code)) continue;
                    if (const char32_t target = targetOf(code); target != 0 && target <= 0xFFFF) {
                        pdf.replace(line + s + 1, 4, Hex4(target));
                    }
                }
            }
            line = lineEnd + 1;
        }
        at = end;
    }
    return pdf;
}

QPageSize::PageSizeId RecordPdfWriter::DefaultPageSize() {
    switch (QLocale::system().territory()) {
        case QLocale::UnitedStates:
        case QLocale::Canada:
        case QLocale::Mexico:
        case QLocale::Chile:
        case QLocale::Colombia:
        case QLocale::Venezuela:
        case QLocale::Philippines:
        case QLocale::PuertoRico:
            return QPageSize::Letter;
        default:
            return QPageSize::A4;
    }
}

namespace {

std::unique_ptr<QTextDocument> Build(const RecordDocument& doc, bool keepSignaturesApart) {
    auto text = std::make_unique<QTextDocument>();
    text->setDefaultFont(RecordFont());
    text->setDefaultStyleSheet("h2 { font-size: 16pt; } h3 { font-size: 11pt; } "
                               "th { font-weight: bold; }");
    text->setHtml(BuildHtml(doc, keepSignaturesApart));
    return text;
}

// Laid out for `device` in pages of `page`: the signature block, which must
// never be torn across two pages, starts a page of its own where it would.
std::unique_ptr<QTextDocument> Paginated(const RecordDocument& doc, QPaintDevice* device,
                                         QSizeF page) {
    auto text = Build(doc, false);
    text->documentLayout()->setPaintDevice(device);
    text->setPageSize(page);
    if (doc.signatures.empty()) return text;
    QTextTable* signatures = SignatureTable(*text);
    if (!signatures) return text;
    const QRectF box = text->documentLayout()->frameBoundingRect(signatures);
    const auto pageOf = [&](qreal y) { return static_cast<int>(std::floor(y / page.height())); };
    if (pageOf(box.top()) == pageOf(box.bottom() - 1)) return text;
    text = Build(doc, true);
    text->documentLayout()->setPaintDevice(device);
    text->setPageSize(page);
    return text;
}

}  // namespace

std::unique_ptr<QTextDocument> RecordPdfWriter::Layout(const RecordDocument& doc) {
    return Build(doc, false);
}

QByteArray RecordPdfWriter::Pdf(const RecordDocument& doc, QPageSize::PageSizeId size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(size));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(QString::fromStdString(doc.title));
        pdf.setCreator(QStringLiteral("QT40CFG"));
        pdf.setResolution(300);

        QPainter painter(&pdf);
        if (!painter.isActive()) return {};
        QFont small = RecordFont();
        small.setPointSizeF(8);
        painter.setFont(small);
        const qreal line = QFontMetricsF(small, &pdf).height();
        // The paint area of a page: a line for the heading of continuation
        // pages above the text, a line for the page number below it.
        const QRectF area(QPointF(0, 0), pdf.pageLayout().paintRectPixels(pdf.resolution()).size());
        const QRectF body = area.adjusted(0, 1.5 * line, 0, -1.5 * line);
        auto text = Paginated(doc, &pdf, body.size());
        const int pages = std::max(1, text->pageCount());
        for (int page = 0; page < pages; ++page) {
            if (page > 0 && !pdf.newPage()) return {};
            painter.setPen(Qt::black);
            if (page > 0 && !doc.pageMark.empty()) {
                painter.drawText(QRectF(area.left(), area.top(), area.width(), line),
                                 Qt::AlignLeft | Qt::AlignVCenter,
                                 QString::fromStdString(doc.pageMark));
            }
            painter.drawText(QRectF(area.left(), area.bottom() - line, area.width(), line),
                             Qt::AlignRight | Qt::AlignVCenter,
                             PageOf(doc.pageOf, page + 1, pages));
            painter.save();
            painter.translate(body.left(), body.top() - page * body.height());
            const QRectF shown(0, page * body.height(), body.width(), body.height());
            painter.setClipRect(shown);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = shown;
            context.palette.setColor(QPalette::Text, Qt::black);
            text->documentLayout()->draw(&painter, context);
            painter.restore();
        }
    }
    return PreferWrittenIdeographs(bytes, WrittenCharacters(doc), RecordFont());
}

FileResult RecordPdfWriter::Save(const std::filesystem::path& path, const RecordDocument& doc,
                                 QPageSize::PageSizeId size) {
    const QByteArray bytes = Pdf(doc, size);
    if (bytes.isEmpty()) return FileResult::Failure(Utf8FromPath(path) + ": the PDF could not be made");
    SafeTextWriter writer(path);
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    writer.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return writer.Commit();
}

}  // namespace qt40
