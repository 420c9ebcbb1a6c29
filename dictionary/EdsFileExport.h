#pragma once

#include <cstddef>
#include <string>

#include "dictionary/EdsWriter.h"

namespace tarvo {

// The program's "Export EDS" command below its dialog: the EDS of a dictionary data file
// (English names) written to a file. Defaults and limits come along when the data file's
// JSON source lies beside it under the same name (as `tarvoctl dict build --eds` leaves it).
class EdsFileExport {
public:
    // Empty on success, with the number of entries written; else why nothing was written.
    static std::string Write(const std::string& dataFilePath, const std::string& outPath,
                             const EdsWriter::Device& device, size_t& written);
};

}  // namespace tarvo
