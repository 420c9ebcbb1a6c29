#include "transfer/RowResult.h"

namespace tarvo {

const char* RowResultText(RowResult result) {
    switch (result) {
        case RowResult::kTrue:
            return "True";
        case RowResult::kAlarm:
            return "Alarm";
        case RowResult::kFail:
            return "Fail";
        case RowResult::kSkipped:
            return "Skipped";
        case RowResult::kNone:
            break;
    }
    return "";
}

}  // namespace tarvo
