#include "platform/PerUserFolderSetup.h"

#include "platform/WorkingFolder.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace tarvo {

namespace fs = std::filesystem;

namespace {

// The regular files of `shipped` (none when it does not exist); false on a read error.
bool ShippedFiles(const fs::path& shipped, std::vector<fs::path>& files, std::string& error) {
    std::error_code code;
    if (!fs::is_directory(shipped, code)) {
        return true;
    }
    fs::directory_iterator it(shipped, code);
    for (; !code && it != fs::directory_iterator(); it.increment(code)) {
        if (it->is_regular_file(code)) {
            files.push_back(it->path());
        }
    }
    if (code) {
        error = "cannot read " + shipped.string() + ": " + code.message();
        return false;
    }
    return true;
}

// Links `folder`/name to every regular file of `shipped`; a link left by another
// installation is pointed at this one, a file of the user's own stays.
bool LinkShipped(const fs::path& shipped, const fs::path& folder, std::string& error) {
    std::vector<fs::path> files;
    if (!ShippedFiles(shipped, files, error)) {
        return false;
    }
    std::error_code code;
    for (const fs::path& file : files) {
        fs::path link = folder / file.filename();
        fs::file_status status = fs::symlink_status(link, code);
        if (fs::is_symlink(status)) {
            if (fs::read_symlink(link, code) == file) {
                continue;
            }
            fs::remove(link, code);
        } else if (fs::exists(status)) {
            continue;
        }
        fs::create_symlink(file, link, code);
        if (code) {
            error = "cannot link " + link.string() + ": " + code.message();
            return false;
        }
    }
    return true;
}

// Copies every regular file of `shipped` that `folder` lacks, writable by the user.
bool CopyMissing(const fs::path& shipped, const fs::path& folder, std::string& error) {
    std::vector<fs::path> files;
    if (!ShippedFiles(shipped, files, error)) {
        return false;
    }
    std::error_code code;
    for (const fs::path& file : files) {
        fs::path target = folder / file.filename();
        if (fs::exists(fs::symlink_status(target, code))) {
            continue;
        }
        fs::copy_file(file, target, code);
        if (!code) {
            fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write,
                            fs::perm_options::add, code);
        }
        if (code) {
            error =
                "cannot copy " + file.string() + " to " + target.string() + ": " + code.message();
            return false;
        }
    }
    return true;
}

bool MakeFolder(const fs::path& folder, bool& created, std::string& error) {
    std::error_code code;
    created = fs::create_directories(folder, code);
    if (code || !fs::is_directory(folder, code)) {
        error = "cannot create the folder " + folder.string() +
                (code ? ": " + code.message() : std::string());
        return false;
    }
    return true;
}

}  // namespace

bool PerUserFolderSetup::Prepare(const FolderChoice::Choice& choice, std::string& error) {
    const fs::path folder = choice.folder;
    const fs::path shipped = choice.shippedData;
    bool created = false;
    bool userCreated = false;
    return MakeFolder(folder / "data", created, error) &&
           MakeFolder(folder / "sys", created, error) &&
           MakeFolder(folder / "user", userCreated, error) &&
           LinkShipped(shipped / "data", folder / "data", error) &&
           LinkShipped(choice.shippedLibraries, folder / "data", error) &&
           CopyMissing(shipped / "sys", folder / "sys", error) &&
           (!userCreated || CopyMissing(shipped / "user", folder / "user", error));
}

bool PerUserFolderSetup::ChooseHere(const std::string& given, bool besideProgram,
                                    FolderChoice::Choice& choice, std::string& error) {
    FolderChoice::Inputs inputs;
    inputs.current = WorkingFolder::Current();
    inputs.given = given.empty() ? std::string() : inputs.current;
    inputs.executable = FolderChoice::OwnExecutable();
    inputs.besideProgram = besideProgram;
    inputs.environment = [](const char* name) -> const char* { return std::getenv(name); };
    choice = FolderChoice::Choose(inputs);
    if (choice.kind != FolderChoice::Kind::PerUser || Prepare(choice, error)) {
        return true;
    }
    error = "cannot make the per-user folder ready: " + error;
    return false;
}

}  // namespace tarvo
