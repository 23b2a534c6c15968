#include "records/RecordPdfWriter.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QPdfWriter>
#include <QTextDocument>

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

QString BuildHtml(const RecordDocument& doc) {
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
        html += "<p>&nbsp;</p><table width=\"100%\" cellspacing=\"0\" cellpadding=\"8\">";
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

}  // namespace

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

std::unique_ptr<QTextDocument> RecordPdfWriter::Layout(const RecordDocument& doc) {
    auto text = std::make_unique<QTextDocument>();
    text->setDefaultFont(RecordFont());
    text->setDefaultStyleSheet("h2 { font-size: 16pt; } h3 { font-size: 11pt; } "
                               "th { font-weight: bold; }");
    text->setHtml(BuildHtml(doc));
    return text;
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
        Layout(doc)->print(&pdf);
    }
    return bytes;
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
