// The PDF form of the records, judged by poppler's tools: the words come
// back as text, Japanese included; every font is embedded; the page sizes
// are right; and nothing is printed in colour.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <sstream>
#include <vector>

#include "records/LoopCheckSheet.h"
#include "records/RecordPdfWriter.h"
#include "resources/LanguageTexts.h"
#include "tests/files/TempFolder.h"
#include "tests/records/PdfTools.h"

namespace qt40 {
namespace {

QGuiApplication& App() {
    static int argc = 3;
    static char name[] = "records_pdf_tests";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return *app;
}

RecordTexts Language(const char* file, std::shared_ptr<LanguageTexts>& keep) {
    keep = std::make_shared<LanguageTexts>();
    EXPECT_TRUE(keep->Load(ProgramDir() / file)) << file;
    return RecordTexts([keep](const std::string& key) { return keep->Unformatted("UIMsg", key); });
}

LoopCheckSheet MeasuredSheet() {
    LoopCheckSheet sheet;
    sheet.tag = "TT-101";
    sheet.technician = "田中 一郎";
    sheet.meterId = "DMM-0042";
    sheet.note = "調整後に再確認";
    sheet.StartRun(LoopRunKind::AsFound);
    const char* readings[] = {"4.002", "8.04", "12.0401", "15.96", "19.959"};
    for (std::size_t i = 0; i < 5; ++i) {
        sheet.Measure(LoopRunKind::AsFound, i, std::stod(readings[i]), readings[i]);
    }
    return sheet;
}

class RecordPdfTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(test::HavePoppler()) << "poppler-utils is needed (./dev installs it)";
    }
    test::TempFolder dir;
};

TEST_F(RecordPdfTest, JapaneseSheetPrintsWithItsFontEmbedded) {
    std::shared_ptr<LanguageTexts> japanese;
    const RecordDocument doc =
        MeasuredSheet().ToDocument(Language("Japanese.lng", japanese), "QT40CFG 0.1.0",
                                   "2026-03-04 05:06");
    ASSERT_TRUE(RecordPdfWriter::Save(dir / "sheet.pdf", doc, QPageSize::A4).ok());

    const std::string text = test::PdfText(dir / "sheet.pdf");
    for (const char* words : {"ループチェックシート", "作業者", "田中 一郎", "基準計器ID",
                              "調整前", "実測値 (mA)", "誤差 (スパン%)", "合格", "不合格",
                              "調整後に再確認", "12.0401", "-0.256", "確認者", "署名"}) {
        EXPECT_NE(text.find(words), std::string::npos) << words << "\nin:\n" << text;
    }
    const std::vector<std::string> embedded = test::EmbeddedColumn(test::PdfFonts(dir / "sheet.pdf"));
    ASSERT_FALSE(embedded.empty());
    for (const std::string& flag : embedded) EXPECT_EQ(flag, "yes");
    EXPECT_NE(test::PdfInfo(dir / "sheet.pdf").find("(A4)"), std::string::npos);
}

TEST_F(RecordPdfTest, LetterPagesAndBlackOnWhite) {
    std::shared_ptr<LanguageTexts> english;
    const RecordDocument doc = MeasuredSheet().ToDocument(Language("English.lng", english),
                                                          "QT40CFG 0.1.0", "2026-03-04 05:06");
    ASSERT_TRUE(RecordPdfWriter::Save(dir / "sheet.pdf", doc, QPageSize::Letter).ok());
    EXPECT_NE(test::PdfInfo(dir / "sheet.pdf").find("612 x 792 pts (letter)"), std::string::npos)
        << test::PdfInfo(dir / "sheet.pdf");
    const std::string text = test::PdfText(dir / "sheet.pdf");
    EXPECT_NE(text.find("FAIL"), std::string::npos) << text;

    // Rendered in colour, every pixel is a grey: the record means the same on
    // a black-and-white printer.
    const auto [ppm, status] =
        test::RunTool("pdftoppm -r 40 -f 1 -l 1 " + test::Quoted(dir / "sheet.pdf"));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(ppm.rfind("P6", 0), 0u);
    std::istringstream header(ppm);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    header >> magic >> width >> height >> maximum;
    const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    ASSERT_EQ(ppm.size(), start + static_cast<std::size_t>(width * height * 3));
    std::size_t coloured = 0, dark = 0;
    for (std::size_t i = start; i + 2 < ppm.size(); i += 3) {
        if (ppm[i] != ppm[i + 1] || ppm[i] != ppm[i + 2]) ++coloured;
        if (static_cast<unsigned char>(ppm[i]) < 128) ++dark;
    }
    EXPECT_EQ(coloured, 0u);
    EXPECT_GT(dark, 500u);  // there is ink on the page
}

TEST_F(RecordPdfTest, AFolderThatCannotTakeTheFileLeavesNothingBehind) {
    const RecordDocument doc = MeasuredSheet().ToDocument(RecordTexts{}, "QT40CFG", "now");
    test::TempFolder::Put(dir / "sheet.pdf", "the earlier sheet");
    const FileResult failed = RecordPdfWriter::Save(dir / "no" / "sheet.pdf", doc, QPageSize::A4);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.error.empty());
    // Over an existing file: replaced whole, never half-written.
    ASSERT_TRUE(RecordPdfWriter::Save(dir / "sheet.pdf", doc, QPageSize::A4).ok());
    EXPECT_EQ(test::TempFolder::Slurp(dir / "sheet.pdf").rfind("%PDF-", 0), 0u);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
}  // namespace qt40

namespace qt40 {
namespace {

int PageCount(const std::filesystem::path& pdf) {
    const std::string info = test::PdfInfo(pdf);
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? 0 : std::stoi(info.substr(at + 6));
}

// A report of `rows` rows, with lines to sign that are easy to find.
RecordDocument LongRecord(int rows) {
    RecordDocument doc;
    doc.title = "Configuration Report";
    doc.head = {{"Created", "2026-03-04 05:06 +09:00"}};
    RecordTable table{"Values", {"Item", "Value", "Unit"}, {}};
    for (int i = 0; i < rows; ++i) {
        table.rows.push_back({{"Row " + std::to_string(i)}, {std::to_string(i)}, {"mA"}});
    }
    doc.tables = {table};
    doc.signatures = {"SIGNFIRST", "SIGNSECOND"};
    doc.pageMark = "Configuration Report, Tag TT-101, Device ID 1000";
    doc.pageOf = "Page %d of %d";
    return doc;
}

TEST_F(RecordPdfTest, TheTextLayerHoldsTheIdeographsThatWereWritten) {
    RecordDocument doc = LongRecord(1);
    doc.title = "日山田目 設定レポート";
    doc.head = {{"作業者", "山田 日出男"}, {"備考", "目視確認"}};
    ASSERT_TRUE(RecordPdfWriter::Save(dir / "ja.pdf", doc, QPageSize::A4).ok());
    // No folding: the characters themselves, not look-alike radicals.
    const std::string text = test::PdfRawText(dir / "ja.pdf");
    for (const char* words : {"日山田目 設定レポート", "山田 日出男", "目視確認"}) {
        EXPECT_NE(text.find(words), std::string::npos) << words << "\nin:\n" << text;
    }
    for (const char* radical : {"\u2F47", "\u2F2D", "\u2F65", "\u2F6C"}) {
        EXPECT_EQ(text.find(radical), std::string::npos) << radical;
    }
    // Still every font embedded.
    for (const std::string& flag : test::EmbeddedColumn(test::PdfFonts(dir / "ja.pdf"))) {
        EXPECT_EQ(flag, "yes");
    }
}

TEST_F(RecordPdfTest, ARadicalThatWasWrittenStaysARadical) {
    RecordDocument doc = LongRecord(1);
    doc.title = "\u2F47 radical";
    ASSERT_TRUE(RecordPdfWriter::Save(dir / "radical.pdf", doc, QPageSize::A4).ok());
    EXPECT_NE(test::PdfRawText(dir / "radical.pdf").find("\u2F47 radical"), std::string::npos);
}

TEST_F(RecordPdfTest, PagesAreNumberedMarkedAndNeverSplitTheSignatures) {
    bool sawSignaturesAlone = false;
    for (int rows = 40; rows <= 100; ++rows) {
        const auto file = dir / ("long" + std::to_string(rows) + ".pdf");
        ASSERT_TRUE(RecordPdfWriter::Save(file, LongRecord(rows), QPageSize::A4).ok());
        const int pages = PageCount(file);
        ASSERT_GE(pages, 2) << rows;
        int first = 0, second = 0;
        for (int page = 1; page <= pages; ++page) {
            const std::string text = test::PdfRawText(file, page);
            EXPECT_NE(text.find("Page " + std::to_string(page) + " of " + std::to_string(pages)),
                      std::string::npos)
                << rows << " rows, page " << page << ":\n"
                << text;
            EXPECT_EQ(text.find("Tag TT-101, Device ID 1000") != std::string::npos, page > 1)
                << rows << " rows, page " << page;
            if (text.find("SIGNFIRST") != std::string::npos) first = page;
            if (text.find("SIGNSECOND") != std::string::npos) second = page;
            if (page == pages && text.find("Row ") == std::string::npos) sawSignaturesAlone = true;
        }
        ASSERT_NE(first, 0) << rows;
        EXPECT_EQ(first, second) << rows << " rows: the lines to sign torn apart";
    }
    // Some length put the signatures where they would have been torn.
    EXPECT_TRUE(sawSignaturesAlone);
}

}  // namespace
}  // namespace qt40

namespace qt40 {
namespace {

// One page rendered in greys, 0 black to 255 white.
struct Grey {
    int width = 0, height = 0;
    std::string pixels;
    bool Ink(int x, int y) const {
        return static_cast<unsigned char>(pixels[static_cast<std::size_t>(y * width + x)]) < 160;
    }
};

Grey Render(const std::filesystem::path& pdf, int page) {
    const std::string p = std::to_string(page);
    const auto [pgm, status] =
        test::RunTool("pdftoppm -gray -r 100 -f " + p + " -l " + p + " " + test::Quoted(pdf));
    Grey g;
    std::istringstream header(pgm);
    std::string magic;
    int maximum = 0;
    header >> magic >> g.width >> g.height >> maximum;
    if (status != 0 || magic != "P5") return {};
    g.pixels = pgm.substr(static_cast<std::size_t>(header.tellg()) + 1);
    if (g.pixels.size() != static_cast<std::size_t>(g.width * g.height)) return {};
    return g;
}

// A table carried over to the next page ends on its page in a rule, as a
// table does: its left rule never runs on below its last row as a bare leg.
// Two tables one after the other: no page is left without a row.
TEST_F(RecordPdfTest, ATableCarriedOverAPageEndsInItsRule) {
    int carried = 0;
    for (int rows = 40; rows <= 130; rows += 9) {
        const auto file = dir / ("rows" + std::to_string(rows) + ".pdf");
        RecordDocument doc = LongRecord(rows);
        doc.tables.push_back(doc.tables.front());
        ASSERT_TRUE(RecordPdfWriter::Save(file, doc, QPageSize::A4).ok());
        const int pages = PageCount(file);
        for (int page = 1; page <= pages; ++page) {
            const std::string text = test::PdfRawText(file, page);
            EXPECT_TRUE(text.find("Row ") != std::string::npos ||
                        text.find("SIGNFIRST") != std::string::npos)
                << rows << " rows: page " << page << " of " << pages << " is empty";
            const Grey g = Render(file, page);
            ASSERT_GT(g.width, 0) << rows << " rows, page " << page;
            // The table's left rule: the column with the most ink in the left quarter.
            int rule = -1, most = 0;
            for (int x = 0; x < g.width / 4; ++x) {
                int ink = 0;
                for (int y = 0; y < g.height; ++y) ink += g.Ink(x, y);
                if (ink > most) most = ink, rule = x;
            }
            if (most < g.height / 4) continue;  // no table on this page
            int bottom = g.height - 1;
            while (bottom > 0 && !g.Ink(rule, bottom)) --bottom;
            // Where the rule ends, a line goes across most of the page.
            int across = 0;
            for (int x = rule; x < g.width; ++x) {
                across += g.Ink(x, bottom) || g.Ink(x, bottom - 1);
            }
            EXPECT_GT(across, (g.width - 2 * rule) * 8 / 10)
                << rows << " rows, page " << page << " of " << pages;
            if (page < pages) ++carried;
        }
    }
    EXPECT_GT(carried, 5);  // the lengths did carry tables over
}

// Word boxes from poppler: the right edge of each of `words`.
std::vector<double> RightEdges(const std::filesystem::path& pdf,
                               const std::vector<std::string>& words) {
    const auto [html, status] = test::RunTool("pdftotext -bbox " + test::Quoted(pdf) + " -");
    std::vector<double> edges;
    for (const std::string& word : words) {
        const std::size_t at = html.find(">" + word + "</word>");
        if (status != 0 || at == std::string::npos) return {};
        const std::size_t start = html.rfind("<word", at);
        const std::size_t x = html.find("xMax=\"", start);
        edges.push_back(std::stod(html.substr(x + 6)));
    }
    return edges;
}

// Tables of as many columns share their widths: a long caption in one moves
// the columns of every other one with it, so values stand one under another.
TEST_F(RecordPdfTest, ColumnsLineUpFromTableToTable) {
    RecordDocument doc = LongRecord(0);
    doc.tables = {
        {"Identification", {"Item", "Value", "Unit"}, {{{"Tag"}, {"VALONE"}, {"UNITONE"}}}},
        {"Calibration",
         {"Item", "Value", "Unit"},
         {{{"Calibrated RTD Coefficient A of sensor 1"}, {"VALTWO"}, {"UNITTWO"}}}},
        {"Output", {"Item", "Value", "Unit"}, {{{"PV"}, {"VALTHREE"}, {"degC"}}}},
    };
    ASSERT_TRUE(RecordPdfWriter::Save(dir / "columns.pdf", doc, QPageSize::A4).ok());
    const std::vector<double> values =
        RightEdges(dir / "columns.pdf", {"VALONE", "VALTWO", "VALTHREE"});
    ASSERT_EQ(values.size(), 3u);
    EXPECT_NEAR(values[0], values[1], 0.5);
    EXPECT_NEAR(values[0], values[2], 0.5);
    const std::vector<double> units = RightEdges(dir / "columns.pdf", {"UNITONE", "UNITTWO"});
    ASSERT_EQ(units.size(), 2u);
    EXPECT_NEAR(units[0], units[1], 0.5);
    // And the long caption still has its room: nothing was cut.
    EXPECT_NE(test::PdfText(dir / "columns.pdf").find("Calibrated RTD Coefficient A of sensor 1"),
              std::string::npos);
}

}  // namespace
}  // namespace qt40
