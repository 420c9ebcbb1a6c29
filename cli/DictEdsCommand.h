#pragma once

#include <string>
#include <vector>

namespace tarvo {

// The electronic data sheets of `tarvoctl dict`:
//   dict eds OUT.eds [FILE]   a CiA 306 EDS of a dictionary: the data file FILE (default the
//                             program's data/tarvo.dat) or a JSON source, whose defaults and
//                             limits the EDS then carries;
//   dict build --eds DRIVE.eds -o OUT.dat [--source OUT.json]
//                             a dictionary data file and its JSON source from an EDS; the
//                             objects our values cannot hold are listed and left out.
class DictEdsCommand {
public:
    static int Export(const std::vector<std::string>& args, const std::string& programFolder);
    // `nodeId` is the value of $NODEID (tarvoctl's --node).
    static int Build(const std::vector<std::string>& args, int nodeId);
};

}  // namespace tarvo
