#pragma once
// The result of every operation of the HART layer. Device refusals are HART
// response codes and stay in the link state; these numbers are the link's own.

namespace qt40 {

enum CommResult : int {
    kCommSuccess = 200,
    kCommPortNotOpened = 201,
    kCommNoPortName = 202,
    kCommEventsNotCreated = 203,
    kCommThreadNotStarted = 204,
    kCommNoWorker = 205,
    kCommAnswerRejected = 208,
    kCommExchangeFailed = 209,
};

}  // namespace qt40
