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
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

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

// Where the pages fall: a table continued on the next page is closed on its
// page (so its last row there keeps the rule under it) and opened again,
// with its captions, on the next one.
struct Breaks {
    bool signaturesApart = false;
    // (table, row) starts a piece; true when it also starts a page of its own
    // (its captions alone would stay behind). Row 0 is the table's caption.
    std::map<std::pair<std::size_t, std::size_t>, bool> rows;
    bool At(std::size_t t, std::size_t r) const { return rows.count({t, r}) != 0; }
    bool Forced(std::size_t t, std::size_t r) const {
        const auto found = rows.find({t, r});
        return found != rows.end() && found->second;
    }
};

QString TableStart(const std::vector<double>& widths, const RecordTable& table, bool newPage) {
    // Black rules on white: the grid reads the same on a black-and-white copy.
    QString html =
        "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
        "style=\"border-collapse: collapse; border-color: black;" +
        QString(newPage ? " page-break-before: always;" : "") + "\">";
    html += "<thead><tr>";
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const QString width = i < widths.size()
                                  ? QStringLiteral(" width=\"%1%\"").arg(widths[i], 0, 'f', 2)
                                  : QString();
        html += QStringLiteral("<th align=\"%1\"%2>%3</th>")
                    .arg(i == 0 ? "left" : "right", width, Html(table.columns[i]));
    }
    return html + "</tr></thead>";
}

QString BuildHtml(const RecordDocument& doc, const Breaks& breaks,
                  const std::vector<std::vector<double>>& widths) {
    QString html = "<html><body>";
    html += "<h2>" + Html(doc.title) + "</h2>";
    html += "<table cellspacing=\"0\" cellpadding=\"2\">";
    for (const RecordField& f : doc.head) {
        html += "<tr><td><b>" + Html(f.caption) + "</b></td><td>&nbsp;&nbsp;" + Html(f.value) +
                "</td></tr>";
    }
    html += "</table>";
    for (std::size_t t = 0; t < doc.tables.size(); ++t) {
        const RecordTable& table = doc.tables[t];
        const bool newPage = breaks.Forced(t, 0);
        html += "<h3" + QString(newPage ? " style=\"page-break-before: always;\"" : "") + ">" +
                Html(table.caption) + "</h3>";
        html += TableStart(widths[t], table, false);
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            if (r > 0 && breaks.At(t, r)) {
                html += "</table>" + TableStart(widths[t], table, breaks.Forced(t, r));
            }
            const auto& row = table.rows[r];
            html += "<tr>";
            for (std::size_t i = 0; i < row.size(); ++i) html += Cell(row[i], i == 0);
            html += "</tr>";
        }
        html += "</table>";
    }
    if (!doc.signatures.empty()) {
        html += "<p>&nbsp;</p><table width=\"100%\" cellspacing=\"0\" cellpadding=\"8\"" +
                QString(breaks.signaturesApart ? " style=\"page-break-before: always;\"" : "") +
                ">";
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

// The share of the page width each column of each table takes: tables of as
// many columns share their widths, so their columns line up down the record.
std::vector<std::vector<double>> ColumnWidths(const RecordDocument& doc) {
    QFont bold = RecordFont();
    bold.setBold(true);
    const QFontMetricsF plain(RecordFont());
    const QFontMetricsF strong(bold);
    std::map<std::size_t, std::vector<double>> widest;  // by column count
    for (const RecordTable& table : doc.tables) {
        std::vector<double>& w = widest[table.columns.size()];
        w.resize(table.columns.size(), 0.0);
        const auto take = [&](std::size_t i, const std::string& text, const QFontMetricsF& m) {
            // The widest line of a cell, and room around it.
            for (const QString& line : QString::fromStdString(text).split('\n')) {
                w[i] = std::max(w[i], m.horizontalAdvance(line) + 2 * m.averageCharWidth());
            }
        };
        for (std::size_t i = 0; i < table.columns.size(); ++i) take(i, table.columns[i], strong);
        for (const auto& row : table.rows) {
            for (std::size_t i = 0; i < row.size() && i < w.size(); ++i) {
                take(i, row[i].text, row[i].strong ? strong : plain);
            }
        }
    }
    std::vector<std::vector<double>> widths;
    for (const RecordTable& table : doc.tables) {
        const std::vector<double>& w = widest[table.columns.size()];
        double sum = 0.0;
        for (double x : w) sum += x;
        std::vector<double> percent;
        for (double x : w) percent.push_back(sum > 0.0 ? 100.0 * x / sum : 0.0);
        widths.push_back(std::move(percent));
    }
    return widths;
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

std::unique_ptr<QTextDocument> Build(const RecordDocument& doc, const Breaks& breaks) {
    auto text = std::make_unique<QTextDocument>();
    text->setDefaultFont(RecordFont());
    text->setDefaultStyleSheet("h2 { font-size: 16pt; } h3 { font-size: 11pt; } "
                               "th { font-weight: bold; }");
    text->setHtml(BuildHtml(doc, breaks, ColumnWidths(doc)));
    return text;
}

// The top of a table row in the document.
qreal RowTop(QTextDocument& text, QTextTable* table, int row) {
    const QTextBlock block = table->cellAt(row, 0).firstCursorPosition().block();
    return text.documentLayout()->blockBoundingRect(block).top();
}

// Laid out for `device` in pages of `page`: a table is never carried over a
// page by the layout itself (its last row on the page would lose its rule),
// and the signature block, which must never be torn across two pages,
// starts a page of its own where it would.
std::unique_ptr<QTextDocument> Paginated(const RecordDocument& doc, QPaintDevice* device,
                                         QSizeF page) {
    Breaks breaks;
    const auto pageOf = [&](qreal y) { return static_cast<int>(std::floor(y / page.height())); };
    std::size_t rowCount = 0;
    for (const RecordTable& t : doc.tables) rowCount += t.rows.size();
    for (std::size_t pass = 0;; ++pass) {
        auto text = Build(doc, breaks);
        text->documentLayout()->setPaintDevice(device);
        text->setPageSize(page);
        // Each pass adds a break; there are never more than rows and tables.
        if (pass > rowCount + doc.tables.size() + 1) return text;
        // The tables with rules are the record's, in order, each cut into
        // pieces at the breaks so far.
        std::vector<QTextTable*> pieces;
        QTextTable* signatures = nullptr;
        for (QTextFrame* frame : text->rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            if (!table) continue;
            if (table->format().border() > 0) {
                pieces.push_back(table);
            } else {
                signatures = table;
            }
        }
        bool moved = false;
        std::size_t piece = 0;
        for (std::size_t t = 0; t < doc.tables.size() && !moved; ++t) {
            std::size_t first = 0;  // the record row of the piece's row 1
            while (piece < pieces.size()) {
                QTextTable* table = pieces[piece++];
                const int rows = table->rows();
                const std::size_t end = first + static_cast<std::size_t>(std::max(0, rows - 1));
                for (int r = 1; r < rows; ++r) {
                    if (pageOf(RowTop(*text, table, r)) == pageOf(RowTop(*text, table, r - 1))) {
                        continue;
                    }
                    // The layout carried the table over: cut it there. When
                    // only the captions of a piece were left behind, they go
                    // to the next page with it.
                    const std::size_t at = first + static_cast<std::size_t>(r) - 1;
                    if (r > 1 || !breaks.At(t, at)) {
                        breaks.rows[{t, at}] = r == 1;
                    } else if (!breaks.Forced(t, at)) {
                        breaks.rows[{t, at}] = true;
                    } else {
                        continue;  // nothing more to do for it
                    }
                    moved = true;
                    break;
                }
                if (moved) break;
                first = end;
                if (first >= doc.tables[t].rows.size()) break;
            }
        }
        if (moved) continue;
        if (doc.signatures.empty() || !signatures || breaks.signaturesApart) return text;
        const QRectF box = text->documentLayout()->frameBoundingRect(signatures);
        if (pageOf(box.top()) == pageOf(box.bottom() - 1)) return text;
        breaks.signaturesApart = true;
    }
}

}  // namespace

std::unique_ptr<QTextDocument> RecordPdfWriter::Layout(const RecordDocument& doc) {
    return Build(doc, Breaks{});
}

bool RecordPdfWriter::Paint(const RecordDocument& doc, QPagedPaintDevice& device) {
    QPainter painter(&device);
    if (!painter.isActive()) return false;
    QFont small = RecordFont();
    small.setPointSizeF(8);
    painter.setFont(small);
    const qreal line = QFontMetricsF(small, &device).height();
    // The paint area of a page: a line for the heading of continuation
    // pages above the text, a line for the page number below it.
    const QRectF area(QPointF(0, 0),
                      device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    const QRectF body = area.adjusted(0, 1.5 * line, 0, -1.5 * line);
    auto text = Paginated(doc, &device, body.size());
    const int pages = std::max(1, text->pageCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage()) return false;
        painter.setPen(Qt::black);
        if (page > 0 && !doc.pageMark.empty()) {
            painter.drawText(QRectF(area.left(), area.top(), area.width(), line),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             QString::fromStdString(doc.pageMark));
        }
        painter.drawText(QRectF(area.left(), area.bottom() - line, area.width(), line),
                         Qt::AlignRight | Qt::AlignVCenter, PageOf(doc.pageOf, page + 1, pages));
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
    return true;
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
        if (!Paint(doc, pdf)) return {};
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
