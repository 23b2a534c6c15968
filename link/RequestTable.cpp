#include "link/RequestTable.h"

#include <array>
#include <vector>

namespace qt40 {
namespace {

// Command lists are built once from the command table; each ends with the terminator.
struct Lists {
    std::vector<std::vector<CommandStep>> storage;
    std::vector<RequestEntry> entries;
    const CommandStep* poll = nullptr;
    const CommandStep* pollWithReadings = nullptr;

    const CommandStep* Make(std::initializer_list<int> commands) {
        std::vector<CommandStep> list;
        for (int c : commands) list.push_back(*FindCommand(static_cast<std::uint8_t>(c)));
        list.push_back(kListEnd);
        storage.push_back(std::move(list));
        return storage.back().data();
    }

    void Add(int code, Runner runner, RetryKind retry, std::initializer_list<int> commands,
             Rest rest = Rest::None) {
        entries.push_back({code, runner, retry, Make(commands), rest});
    }

    Lists() {
        storage.reserve(64);
        using R = Runner;
        using K = RetryKind;
        poll = Make({3, 2, 48});
        pollWithReadings = Make({3, 2, 48, 156});
        entries.push_back({400, R::Quiet, K::None, poll, Rest::None});
        Add(401, R::Identify, K::None, {0});
        Add(402, R::Upload, K::None,
            {0, 130, 14, 15, 147, 132, 134, 141, 3, 16, 139, 145, 154, 12, 137, 150, 13, 143});
        entries.push_back({403, R::SetPolling, K::None, nullptr, Rest::None});
        Add(404, R::List, K::Auto, {131});
        Add(405, R::List, K::None, {3, 14, 15, 147, 150, 132, 152});
        Add(406, R::List, K::Auto, {44});
        Add(407, R::List, K::None, {3, 14, 15, 147, 150});
        Add(408, R::List, K::Auto, {35});
        Add(409, R::List, K::None, {150});
        Add(410, R::List, K::Auto, {34});
        Add(411, R::List, K::Auto, {148});
        Add(412, R::List, K::Auto, {135});
        Add(413, R::List, K::Auto, {133});
        Add(414, R::List, K::Auto, {47});
        Add(415, R::List, K::Auto, {136});
        Add(416, R::List, K::None, {145});
        Add(417, R::List, K::Auto, {146});
        Add(418, R::List, K::Auto, {18});
        Add(419, R::List, K::Auto, {17});
        Add(420, R::List, K::None, {151});
        for (int code : {422, 434, 437, 438}) Add(code, R::List, K::Auto, {40});
        Add(426, R::List, K::Auto, {49});
        Add(427, R::List, K::Auto, {19});
        Add(428, R::List, K::None, {42}, Rest::AfterReset);
        Add(429, R::List, K::Auto, {142});
        Add(430, R::List, K::Auto, {138});
        Add(431, R::List, K::Auto, {140});
        Add(435, R::List, K::Auto, {45});
        Add(436, R::List, K::Auto, {149});
        Add(439, R::List, K::None, {152});
        Add(440, R::List, K::Auto, {153});
        Add(441, R::List, K::None, {154});
        Add(442, R::List, K::Auto, {155});
        Add(443, R::List, K::Auto, {156});
        Add(446, R::List, K::None, {41}, Rest::AfterSelfTest);
        Add(447, R::List, K::None, {38});
        Add(448, R::List, K::None, {48});
        Add(450, R::List, K::None, {190});
        Add(451, R::List, K::Auto, {192});
        Add(452, R::List, K::Auto, {191});
        Add(453, R::List, K::Point, {193});
        Add(454, R::List, K::None, {194});
        Add(455, R::List, K::Auto, {196});
        Add(456, R::List, K::Auto, {195});
        Add(457, R::List, K::Point, {197});
        Add(458, R::List, K::Auto, {144});
        Add(459, R::List, K::None, {186});
        Add(460, R::List, K::Auto, {187});
        Add(461, R::List, K::Auto, {188});
        Add(462, R::List, K::Point, {189});
        Add(463, R::List, K::Auto, {6});
        Add(465, R::List, K::None, {0});
    }
};

const Lists& TheLists() {
    static const Lists lists;
    return lists;
}

}  // namespace

const RequestEntry* FindRequest(int code) {
    for (const RequestEntry& entry : TheLists().entries) {
        if (entry.code == code) return &entry;
    }
    return nullptr;
}

const CommandStep* IdlePollSteps(bool withCalibrationReadings) {
    return withCalibrationReadings ? TheLists().pollWithReadings : TheLists().poll;
}

}  // namespace qt40
