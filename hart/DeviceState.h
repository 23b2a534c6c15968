#pragma once
// The records the HART layer works on, held together in one object that the
// program (or a test) creates: link state, device record, write buffer and the
// current point of a table transfer.

#include <bitset>

#include "hart/HartLink.h"
#include "model/DeviceRecord.h"
#include "model/WriteBuffer.h"

namespace qt40 {

struct DeviceState {
    HartLink link;
    DeviceRecord record;
    WriteBuffer writes;
    int pointIndex = 0;  // current point of a table transfer; 9999 marks the end
    // Commands whose answer was decoded into `record` since the last upload
    // began: a record field none of its commands answered holds no device value.
    std::bitset<256> answered;
};

}  // namespace qt40
