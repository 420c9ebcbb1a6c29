#include "dictionary/OfflineUnitConverter.h"

#include <utility>

namespace tarvo {

OfflineUnitConverter::OfflineUnitConverter(UnitConverter::ReferenceReader reader)
    : evaluator_(noRequests_, noWindow_, nullptr),
      converter_(units_, evaluator_, std::move(reader)) {}

}  // namespace tarvo
