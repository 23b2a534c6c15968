// The traffic decoder in the words of the shipped language files: Japanese
// where the file gives it, and English.lng saying exactly what the built-in
// English says (which tshark comparisons and captures rely on).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/ResponseCodes.h"
#include "resources/LanguageTexts.h"
#include "traffic/ExchangeText.h"
#include "traffic/FrameDecoder.h"
#include "traffic/HartIpMessageText.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Language {
public:
    explicit Language(const char* file) { loaded_ = texts_.Load(ProgramDir() / file); }
    bool Loaded() const { return loaded_; }
    DecoderTexts Texts() const {
        return DecoderTexts(
            [this](const std::string& key) { return texts_.Unformatted("DisplayMsg", key); });
    }

private:
    LanguageTexts texts_;
    bool loaded_ = false;
};

Bytes WithChecksum(Bytes frame) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum ^= b;
    frame.push_back(sum);
    return frame;
}

// An answer at polling address 1 to `command` with `code`, status CLD, no data.
Bytes Answer(std::uint8_t command, std::uint8_t code) {
    return WithChecksum({0x06, 0x81, command, 0x02, code, 0x20});
}

TEST(DecoderLanguageTest, AFrameDecodesInJapanese) {
    const Language japanese("Japanese.lng");
    ASSERT_TRUE(japanese.Loaded());
    const DecoderTexts texts = japanese.Texts();
    struct Row {
        const char* name;
        Bytes frame;
        std::string command;
        std::string response;
    };
    const Row rows[] = {
        {"identity read", Answer(0, 0), "cmd 0 固有識別子の読み出し", "成功"},
        {"a code of the command's own", Answer(35, 14), "cmd 35 PVレンジの書き込み",
         "スパンが小さすぎる"},
        {"a code every command shares", Answer(44, 32), "cmd 44 PV単位の書き込み", "ビジー"},
        {"a communication error", Answer(3, 0x88), "cmd 3 ループ電流とダイナミック変数の読み出し",
         "通信エラー: チェックサムエラー"},
        {"a code nobody named", Answer(48, 99), "cmd 48 追加ステータスの読み出し", "応答コード 99"},
    };
    // A write of the range, field by field.
    const Bytes range = WithChecksum({0x02, 0x81, 35, 9, 32, 0x42, 0xC8, 0, 0, 0, 0, 0, 0});
    std::vector<std::string> fields;
    for (const DecodedField& f : DecodeFrame(range, texts).fields) fields.push_back(f.Text());
    EXPECT_EQ(fields, (std::vector<std::string>{"PV単位 = 32 (degC)", "上限レンジ値 = 100 degC",
                                                "下限レンジ値 = 0 degC"}));

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DecodedFrame f = DecodeFrame(row.frame, texts);
        EXPECT_EQ(f.CommandText(), row.command);
        EXPECT_EQ(f.responseText, row.response);
        ASSERT_EQ(f.statusBits.size(), 1u);
        // The bit's name is the status bar's; its meaning is translated.
        EXPECT_EQ(f.statusBits[0], "CLD (コールドスタート)");
        EXPECT_TRUE(f.problem.empty()) << f.problem;
    }

    // An exchange that went unanswered, and a refused session, in words.
    Exchange e;
    e.number = 7;
    e.request = WithChecksum({0x02, 0x80, 0x00, 0x00});
    e.outcome = Outcome::NoAnswer;
    e.endedUs = 629'200;
    EXPECT_EQ(Columns(e, texts).response, "応答なし");
    EXPECT_EQ(TraceLines(e, texts).back(), "RX #7 after 629.2 ms: 応答なし");
    HartIpHeader h;
    h.type = HartIpMessageType::Response;
    h.id = HartIpMessageId::SessionInitiate;
    h.status = kHartIpNoSessionAvailable;
    const DecodedMessage refused = DecodeHartIpMessage(HartIpMessage(h, {}), texts);
    EXPECT_EQ(refused.name, "HART-IP セッション開始 応答");
    EXPECT_EQ(refused.status, "空きセッションなし (status 15)");
}

// English.lng gives every command name and response text the built-in
// English gives, and Japanese.lng a text of its own for each: a key that is
// misspelt on either side shows here.
TEST(DecoderLanguageTest, TheLanguageFilesHoldEveryWordOfTheDecoder) {
    const Language english("English.lng");
    const Language japanese("Japanese.lng");
    ASSERT_TRUE(english.Loaded() && japanese.Loaded());
    const DecoderTexts builtIn;
    const DecoderTexts en = english.Texts();
    const DecoderTexts ja = japanese.Texts();
    for (int c = 0; c < 256; ++c) {
        const CommandLayout* layout = FindLayout(static_cast<std::uint8_t>(c));
        if (!layout) continue;
        SCOPED_TRACE(c);
        EXPECT_EQ(en.CommandName(c, layout->name), layout->name);
        for (const auto& fields : {layout->request, layout->answer}) {
            for (const FieldLayout& field : fields) EXPECT_EQ(en.FieldName(field.name), field.name);
        }
        EXPECT_NE(ja.CommandName(c, layout->name), layout->name);
        for (int code = 0; code < 256; ++code) {
            const auto command = static_cast<std::uint8_t>(c);
            const auto rc = static_cast<std::uint8_t>(code);
            EXPECT_EQ(en.ResponseText(command, rc), ResponseCodeText(command, rc)) << code;
            EXPECT_NE(ja.ResponseText(command, rc), builtIn.ResponseText(command, rc)) << code;
        }
    }
    for (int bit = 0; bit < 8; ++bit) {
        const auto mask = static_cast<std::uint8_t>(1 << bit);
        for (const StatusBitName& named : DeviceStatusBits(mask)) {
            EXPECT_EQ(en.StatusMeaning(mask, named.meaning), named.meaning);
            EXPECT_NE(ja.StatusMeaning(mask, named.meaning), named.meaning);
        }
    }
    for (int o = 0; o <= static_cast<int>(Outcome::PortClosed); ++o) {
        const auto outcome = static_cast<Outcome>(o);
        EXPECT_EQ(OutcomeWords(outcome, en), OutcomeText(outcome));
        EXPECT_NE(OutcomeWords(outcome, ja), OutcomeText(outcome));
    }
}

}  // namespace
}  // namespace qt40::traffic
