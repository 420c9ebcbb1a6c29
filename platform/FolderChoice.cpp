#include "platform/FolderChoice.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace tarvo {

namespace {

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Absolute(const char* value) {
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

bool FolderChoice::IsProgramFolder(const std::string& folder) {
    return IsFile(folder + "/data/tarvo.dat");
}

FolderChoice::Choice FolderChoice::Choose(const Inputs& inputs) {
    Choice choice;
    if (!inputs.given.empty()) {
        choice.kind = Kind::Given;
        choice.folder = inputs.given;
        return choice;
    }
    choice.folder = inputs.current;
    if (IsProgramFolder(inputs.current)) {
        return choice;
    }
    std::string own = ParentOf(inputs.executable);
    if (own.empty()) {
        return choice;
    }
    if (inputs.besideProgram && IsProgramFolder(own)) {
        choice.kind = Kind::BesideProgram;
        choice.folder = own;
        return choice;
    }
    std::string prefix = ParentOf(own);
    if (own.size() < 4 || own.compare(own.size() - 4, 4, "/bin") != 0 || prefix.empty()) {
        return choice;
    }
    std::string shipped = (prefix == "/" ? "" : prefix) + "/share/tarvostep";
    if (!IsProgramFolder(shipped)) {
        return choice;
    }
    auto environment = inputs.environment ? inputs.environment
                                          : [](const char*) -> const char* { return nullptr; };
    std::string perUser = PerUserFolder(environment, HomeFromPasswd());
    if (perUser.empty()) {
        return choice;
    }
    choice.kind = Kind::PerUser;
    choice.folder = perUser;
    choice.shippedData = shipped;
    choice.shippedLibraries = (prefix == "/" ? "" : prefix) + "/lib/tarvostep";
    return choice;
}

std::string FolderChoice::PerUserFolder(const std::function<const char*(const char*)>& environment,
                                        const std::string& home) {
    std::string data = Absolute(environment("XDG_DATA_HOME"));
    if (data.empty()) {
        std::string base = Absolute(environment("HOME"));
        if (base.empty()) {
            base = home.empty() || home[0] != '/' ? std::string() : home;
        }
        if (base.empty()) {
            return std::string();
        }
        while (base.size() > 1 && base.back() == '/') {
            base.pop_back();
        }
        data = (base == "/" ? "" : base) + "/.local/share";
    }
    while (data.size() > 1 && data.back() == '/') {
        data.pop_back();
    }
    return (data == "/" ? "" : data) + "/tarvostep";
}

std::string FolderChoice::OwnExecutable() {
    std::vector<char> buffer(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

std::string FolderChoice::HomeFromPasswd() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return std::string();
    }
    return found->pw_dir;
}

}  // namespace tarvo
